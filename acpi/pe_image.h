#pragma once

#include <cstddef>
#include <cstdint>

#include "acpi/name_hash.h"

// A PE image as the loader maps it (each section at its virtual address),
// read and patched where it lies: its directories, export lookup with
// forwarders, base relocations and import binding. Every read is checked
// against the image's size first, so damaged or truncated headers and
// directories are refused, never followed outside the image. The layout
// follows the image's own optional header (PE32 or PE32+), not the build.
//
// This code also runs before its own image is relocated and bound (see
// image_readiness.cpp): it uses no global data, no string literal and no
// library call. What needs the platform (loading a module, finding a
// function, making pages writable, finding another loaded module) it asks
// of a resolver the caller passes as a template argument, so that the calls
// are direct and no function address of this image is ever taken.
//
// The resolver's members, as each routine needs them:
//   bool Open(void* at, std::size_t size, std::uint32_t* old)  make writable; old: what to restore
//   void Close(void* at, std::size_t size, std::uint32_t old)  restore
//   void* LoadModule(const char* name)                          null when it cannot be loaded
//   std::uintptr_t ByName(void* module, const char* name)       0 when there is no such export
//   std::uintptr_t ByOrdinal(void* module, std::uint16_t ordinal)
//   Image ModuleNamed(std::uint64_t moduleNameHash)             a loaded module, or an invalid Image

namespace PeImage {

constexpr std::size_t kPageSize = 0x1000;

// Data directory entries.
constexpr unsigned kExportDirectory = 0;
constexpr unsigned kImportDirectory = 1;
constexpr unsigned kRelocationDirectory = 5;

// Base relocation kinds: x86 images carry HIGHLOW, x64 images DIR64, both
// ABSOLUTE as padding. No other kind is produced for them.
constexpr std::uint16_t kRelocationAbsolute = 0;
constexpr std::uint16_t kRelocationHighLow = 3;
constexpr std::uint16_t kRelocationDir64 = 10;

// The parts of the format read here, as the format lays them out.
constexpr std::uint16_t kDosMagic = 0x5a4d;         // "MZ"
constexpr std::uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kDosNewHeaderOffset = 0x3c;  // e_lfanew
constexpr std::uint32_t kNtFileHeaderOffset = 4;
constexpr std::uint32_t kNtOptionalHeaderOffset = 24;

struct FileHeader {
  std::uint16_t machine;
  std::uint16_t numberOfSections;
  std::uint32_t timeDateStamp;
  std::uint32_t pointerToSymbolTable;
  std::uint32_t numberOfSymbols;
  std::uint16_t sizeOfOptionalHeader;
  std::uint16_t characteristics;
};
static_assert(sizeof(FileHeader) == 20);

// Offsets within the optional header.
constexpr std::uint32_t kOptionalSizeOfImage = 56;
constexpr std::uint32_t kPe32DirectoryCount = 92;
constexpr std::uint32_t kPe32Directories = 96;
constexpr std::uint32_t kPe32PlusDirectoryCount = 108;
constexpr std::uint32_t kPe32PlusDirectories = 112;

struct DataDirectory {
  std::uint32_t virtualAddress;
  std::uint32_t size;
};
static_assert(sizeof(DataDirectory) == 8);

struct SectionHeader {
  std::uint8_t name[8];
  std::uint32_t virtualSize;
  std::uint32_t virtualAddress;
  std::uint32_t sizeOfRawData;
  std::uint32_t pointerToRawData;
  std::uint32_t pointerToRelocations;
  std::uint32_t pointerToLinenumbers;
  std::uint16_t numberOfRelocations;
  std::uint16_t numberOfLinenumbers;
  std::uint32_t characteristics;
};
static_assert(sizeof(SectionHeader) == 40);

struct ExportDirectory {
  std::uint32_t characteristics;
  std::uint32_t timeDateStamp;
  std::uint16_t majorVersion;
  std::uint16_t minorVersion;
  std::uint32_t name;
  std::uint32_t base;
  std::uint32_t numberOfFunctions;
  std::uint32_t numberOfNames;
  std::uint32_t addressOfFunctions;
  std::uint32_t addressOfNames;
  std::uint32_t addressOfNameOrdinals;
};
static_assert(sizeof(ExportDirectory) == 40);

struct ImportDescriptor {
  std::uint32_t originalFirstThunk;  // the lookup table; 0 in old images, whose slots keep the names
  std::uint32_t timeDateStamp;
  std::uint32_t forwarderChain;
  std::uint32_t name;
  std::uint32_t firstThunk;  // the slots
};
static_assert(sizeof(ImportDescriptor) == 20);

struct RelocationBlockHeader {
  std::uint32_t virtualAddress;  // of the page the entries patch
  std::uint32_t sizeOfBlock;     // with this header
};
static_assert(sizeof(RelocationBlockHeader) == 8);

// A section name packed little-endian into 8 bytes, as it lies in the
// section table: compares as one number, and a literal folds to one.
template <typename Unit>
constexpr std::uint64_t SectionTag(const Unit* name) {
  std::uint64_t tag = 0;
  for (int i = 7; i >= 0; --i) tag = (tag << 8) | static_cast<std::uint8_t>(name[i]);
  return tag;
}

struct Range {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

class Image {
 public:
  Image() = default;
  // The image mapped at `base`, of which `size` bytes may be read. Not
  // Valid when its headers do not lie within them or are not a PE32 or PE32+
  // image's.
  Image(std::uint8_t* base, std::size_t size);

  bool Valid() const { return base_ != nullptr; }
  std::uint8_t* Base() const { return base_; }
  std::size_t Size() const { return size_; }
  // PE32+: 8-byte import slots, the by-ordinal flag in bit 63.
  bool Wide() const { return wide_; }

  // The `size` bytes at `rva`; null unless all of them lie within the image.
  std::uint8_t* At(std::uint64_t rva, std::uint64_t size) const;
  // `count` Ts at `rva`; null unless they lie within the image, aligned.
  template <typename T>
  T* Get(std::uint64_t rva, std::uint64_t count = 1) const {
    std::uint8_t* at = count <= kMaxCount ? At(rva, count * sizeof(T)) : nullptr;
    return at != nullptr && reinterpret_cast<std::uintptr_t>(at) % alignof(T) == 0 ? reinterpret_cast<T*>(at) : nullptr;
  }
  // The NUL-terminated string at `at` (a pointer into the image, or null);
  // null unless its NUL lies within the image.
  const char* StringAt(const char* at) const;
  const char* String(std::uint64_t rva) const { return StringAt(reinterpret_cast<const char*>(At(rva, 1))); }

  // A data directory as the headers give it: false when they place it
  // outside the image. An absent one (no entry, or address or size 0) is
  // found empty.
  bool FindDirectory(unsigned index, Range* directory) const;
  // The first section named by `tag` (see SectionTag) of at least
  // `minSize` bytes that lies within the image; empty when there is none.
  Range Section(std::uint64_t tag, std::uint32_t minSize) const;

 private:
  static constexpr std::uint64_t kMaxCount = 0xffffffffull;

  std::uint8_t* base_ = nullptr;
  std::size_t size_ = 0;
  bool wide_ = false;
  std::uint32_t directories_ = 0;  // offset of the data directories
  std::uint32_t directoryCount_ = 0;
  std::uint32_t sections_ = 0;  // offset of the section table
  std::uint16_t sectionCount_ = 0;
};

// --- Exports ----------------------------------------------------------------

// By name hash (ExportNameHash), or by ordinal when `ordinal` is not 0.
struct ExportQuery {
  std::uint64_t nameHash = 0;
  std::uint32_t ordinal = 0;
};

// What a module's export table holds for an export: its address, or the
// text of a forwarder to another module. Both null when there is none.
struct ExportEntry {
  std::uint8_t* address = nullptr;
  const char* forwarder = nullptr;
};
ExportEntry LookUpExport(const Image& module, ExportQuery query);

// A forwarder "module.function" or "module.#ordinal": the module's name
// hash (with ".dll"), and the export asked of it.
struct Forwarder {
  std::uint64_t moduleHash = 0;
  // An API set name ("api-ms-win-core-...", "ext-ms-..."), no module of its
  // own: the functions needed here live in kernelbase behind it.
  bool apiSet = false;
  ExportQuery query;
};
// False when the text is none of those forms or does not end within the image.
bool ReadForwarder(const Image& module, const char* text, Forwarder* forwarder);

constexpr std::uint64_t kKernelBaseHash = ModuleNameHash("kernelbase.dll");

// The address of an export, following at most `forwardsLeft` forwarders to
// the modules the resolver names (forwarders may chain, kernel32 to
// kernelbase and on; a loop would not end). Null when there is none.
template <typename Resolver>
void* FindExport(const Image& module, ExportQuery query, int forwardsLeft, const Resolver& resolver) {
  Image current = module;
  for (;;) {
    const ExportEntry entry = LookUpExport(current, query);
    if (entry.forwarder == nullptr) return entry.address;
    Forwarder forwarder;
    if (forwardsLeft == 0 || !ReadForwarder(current, entry.forwarder, &forwarder)) return nullptr;
    --forwardsLeft;
    current = resolver.ModuleNamed(forwarder.moduleHash);
    if (!current.Valid() && forwarder.apiSet) current = resolver.ModuleNamed(kKernelBaseHash);
    if (!current.Valid()) return nullptr;
    query = forwarder.query;
  }
}

// --- Base relocations -------------------------------------------------------

struct RelocationBlock {
  std::uint32_t pageRva = 0;
  const std::uint16_t* entries = nullptr;  // type in the top 4 bits, offset in the page below
  std::size_t count = 0;
};

// The relocation directory's blocks in order. Bytes too few for another
// block header at its end are ignored.
class RelocationBlocks {
 public:
  RelocationBlocks(const Image& image, Range directory) : image_(image), at_(directory.rva), end_(directory.rva) {
    end_ += directory.size;
  }
  // False at the end, or at a block that does not fit (then Damaged()).
  bool Next(RelocationBlock* block);
  bool Damaged() const { return damaged_; }

 private:
  const Image& image_;
  std::uint64_t at_;
  std::uint64_t end_;
  bool damaged_ = false;
};

constexpr std::size_t RelocationWidth(std::uint16_t type) { return type == kRelocationDir64 ? 8 : 4; }
constexpr std::uint16_t RelocationType(std::uint16_t entry) { return static_cast<std::uint16_t>(entry >> 12); }
constexpr std::size_t RelocationOffset(std::uint16_t entry) { return entry & 0x0fffu; }

// Where the value one entry names lies; null for a kind x86 and x64 images
// do not carry, or a value not within the image.
std::uint8_t* RelocationTarget(const Image& image, std::uint32_t pageRva, std::uint16_t entry);
// Adds `delta` to that value.
void Relocate(std::uint8_t* target, std::uint16_t type, std::uintptr_t delta);

// Applies the relocation directory for an image loaded `delta` bytes away
// from its linked base. Each page is opened for writing only while its
// block is applied; a value that runs into the next page opens that page on
// its own, since it may be protected differently. False, having stopped,
// at the first block or value that cannot be applied, and for an image
// without relocations.
template <typename Resolver>
bool ApplyRelocations(const Image& image, std::uintptr_t delta, Resolver& resolver) {
  Range directory;
  if (!image.FindDirectory(kRelocationDirectory, &directory) || directory.size == 0) return false;
  RelocationBlocks blocks(image, directory);
  RelocationBlock block;
  while (blocks.Next(&block)) {
    std::uint8_t* page = image.Base() + block.pageRva;
    std::uint32_t pageProtection;
    if (!resolver.Open(page, kPageSize, &pageProtection)) return false;
    bool applied = true;
    for (std::size_t i = 0; i < block.count; ++i) {
      const std::uint16_t entry = block.entries[i];
      const std::uint16_t type = RelocationType(entry);
      if (type == kRelocationAbsolute) continue;
      std::uint8_t* const target = RelocationTarget(image, block.pageRva, entry);
      if (target == nullptr) {
        applied = false;
        break;
      }
      if (RelocationOffset(entry) + RelocationWidth(type) <= kPageSize) {
        Relocate(target, type, delta);
        continue;
      }
      std::uint32_t nextProtection;
      if (!resolver.Open(page + kPageSize, 1, &nextProtection)) {
        applied = false;
        break;
      }
      Relocate(target, type, delta);
      resolver.Close(page + kPageSize, 1, nextProtection);
    }
    resolver.Close(page, kPageSize, pageProtection);
    if (!applied) return false;
  }
  return !blocks.Damaged();
}

// --- Imports ----------------------------------------------------------------

// One module the image imports from: its name, and its lookup table and
// slots, `count` of each (the lookup table ends with a 0 entry).
struct ImportedModule {
  const char* name = nullptr;
  std::uint32_t lookupRva = 0;
  std::uint32_t slotsRva = 0;
  std::size_t count = 0;
};

// The import directory's modules in order, up to the descriptor whose name
// is 0.
class ImportedModules {
 public:
  ImportedModules(const Image& image, Range directory) : image_(image), at_(directory.rva) {}
  // False at the end, or at a descriptor, name, lookup table or slots not
  // within the image (then Damaged()).
  bool Next(ImportedModule* module);
  bool Damaged() const { return damaged_; }

 private:
  const Image& image_;
  std::uint64_t at_;
  bool damaged_ = false;
};

// A lookup table entry: a name, or an ordinal when the name is null.
struct ImportedFunction {
  const char* name = nullptr;
  std::uint16_t ordinal = 0;
};
// False when the entry names a name that does not lie within the image.
bool ReadImportedFunction(const Image& image, const ImportedModule& module, std::size_t index,
                          ImportedFunction* function);
// False when the address does not fit the slot (PE32 slots hold 32 bits).
bool WriteSlot(const Image& image, const ImportedModule& module, std::size_t index, std::uintptr_t address);
inline std::size_t SlotWidth(const Image& image) { return image.Wide() ? 8 : 4; }

// Binds every import: each module loaded, each slot given the address of
// the function its lookup entry names. The slots of a module are opened for
// writing only while they are written. True for an image without imports;
// false, having stopped, at the first module or function not found.
template <typename Resolver>
bool BindImports(const Image& image, Resolver& resolver) {
  Range directory;
  if (!image.FindDirectory(kImportDirectory, &directory)) return false;
  if (directory.size == 0) return true;
  ImportedModules modules(image, directory);
  ImportedModule imported;
  while (modules.Next(&imported)) {
    void* const module = resolver.LoadModule(imported.name);
    if (module == nullptr) return false;
    if (imported.count == 0) continue;

    std::uint8_t* const slots = image.Base() + imported.slotsRva;
    const std::size_t size = imported.count * SlotWidth(image);
    std::uint32_t protection;
    if (!resolver.Open(slots, size, &protection)) return false;
    bool bound = true;
    for (std::size_t i = 0; i < imported.count && bound; ++i) {
      ImportedFunction function;
      bound = ReadImportedFunction(image, imported, i, &function);
      if (!bound) break;
      const std::uintptr_t address = function.name != nullptr ? resolver.ByName(module, function.name)
                                                              : resolver.ByOrdinal(module, function.ordinal);
      bound = address != 0 && WriteSlot(image, imported, i, address);
    }
    resolver.Close(slots, size, protection);
    if (!bound) return false;
  }
  return !modules.Damaged();
}

}  // namespace PeImage
