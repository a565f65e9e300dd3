#include "acpi/pe_image.h"

// Runs before its own image is relocated and bound, like its callers: no
// global data, no string literal, no library call (see pe_image.h).

namespace PeImage {

namespace {

// Relocated values are read and written a byte at a time: one may sit at
// any offset (inside an instruction, in i686 code), unaligned for its width.
template <typename Value>
Value LoadLittleEndian(const std::uint8_t* at) {
  Value value = 0;
  for (std::size_t i = 0; i < sizeof(Value); ++i) value |= static_cast<Value>(static_cast<Value>(at[i]) << (8 * i));
  return value;
}

template <typename Value>
void StoreLittleEndian(std::uint8_t* at, Value value) {
  for (std::size_t i = 0; i < sizeof(Value); ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A lookup table or slot entry, 4 or 8 bytes as the image's format has them.
bool ReadThunk(const Image& image, std::uint64_t rva, std::uint64_t* value) {
  if (image.Wide()) {
    const auto* thunk = image.Get<std::uint64_t>(rva);
    if (thunk == nullptr) return false;
    *value = *thunk;
  } else {
    const auto* thunk = image.Get<std::uint32_t>(rva);
    if (thunk == nullptr) return false;
    *value = *thunk;
  }
  return true;
}

bool NamesApiSet(const char* name) {
  return (name[0] == 'a' && name[1] == 'p' && name[2] == 'i' && name[3] == '-') ||
         (name[0] == 'e' && name[1] == 'x' && name[2] == 't' && name[3] == '-');
}

// A forwarder names its module without the extension the loader lists it with.
std::uint64_t WithDllExtension(std::uint64_t hash) {
  hash = NameHashStep(hash, '.');
  hash = NameHashStep(hash, 'd');
  hash = NameHashStep(hash, 'l');
  return NameHashStep(hash, 'l');
}

}  // namespace

Image::Image(std::uint8_t* base, std::size_t size) {
  // Read as a candidate, kept only when whole.
  Image image;
  image.base_ = base;
  image.size_ = size;
  const auto* dosMagic = image.Get<std::uint16_t>(0);
  const auto* newHeader = image.Get<std::uint32_t>(kDosNewHeaderOffset);
  if (dosMagic == nullptr || *dosMagic != kDosMagic || newHeader == nullptr) return;
  const std::uint64_t nt = *newHeader;
  const auto* signature = image.Get<std::uint32_t>(nt);
  const auto* file = image.Get<FileHeader>(nt + kNtFileHeaderOffset);
  const std::uint64_t optional = nt + kNtOptionalHeaderOffset;
  const auto* magic = image.Get<std::uint16_t>(optional);
  if (signature == nullptr || *signature != kNtSignature || file == nullptr || magic == nullptr) return;

  std::uint64_t count = 0;
  if (*magic == kPe32Magic) {
    count = optional + kPe32DirectoryCount;
    image.directories_ = static_cast<std::uint32_t>(optional + kPe32Directories);
  } else if (*magic == kPe32PlusMagic) {
    count = optional + kPe32PlusDirectoryCount;
    image.directories_ = static_cast<std::uint32_t>(optional + kPe32PlusDirectories);
    image.wide_ = true;
  } else {
    return;
  }
  const auto* directoryCount = image.Get<std::uint32_t>(count);
  if (directoryCount == nullptr) return;
  image.directoryCount_ = *directoryCount;
  image.sections_ = static_cast<std::uint32_t>(optional + file->sizeOfOptionalHeader);
  image.sectionCount_ = file->numberOfSections;
  *this = image;
}

std::uint8_t* Image::At(std::uint64_t rva, std::uint64_t size) const {
  if (base_ == nullptr || rva > size_ || size > size_ - rva) return nullptr;
  return base_ + rva;
}

const char* Image::StringAt(const char* at) const {
  const auto first = reinterpret_cast<std::uintptr_t>(base_);
  const auto address = reinterpret_cast<std::uintptr_t>(at);
  if (base_ == nullptr || at == nullptr || address < first || address - first >= size_) return nullptr;
  const char* const end = reinterpret_cast<const char*>(base_ + size_);
  for (const char* c = at; c != end; ++c) {
    if (*c == '\0') return at;
  }
  return nullptr;
}

bool Image::FindDirectory(unsigned index, Range* directory) const {
  *directory = Range{};
  if (!Valid()) return false;
  if (index >= directoryCount_) return true;
  const auto* entry = Get<DataDirectory>(directories_ + std::uint64_t{index} * sizeof(DataDirectory));
  if (entry == nullptr) return false;
  if (entry->virtualAddress == 0 || entry->size == 0) return true;
  if (At(entry->virtualAddress, entry->size) == nullptr) return false;
  directory->rva = entry->virtualAddress;
  directory->size = entry->size;
  return true;
}

Range Image::Section(std::uint64_t tag, std::uint32_t minSize) const {
  for (std::uint32_t i = 0; i < sectionCount_; ++i) {
    const auto* section = Get<SectionHeader>(sections_ + std::uint64_t{i} * sizeof(SectionHeader));
    if (section == nullptr) break;
    if (SectionTag(section->name) == tag && section->virtualSize >= minSize &&
        At(section->virtualAddress, section->virtualSize) != nullptr) {
      return Range{section->virtualAddress, section->virtualSize};
    }
  }
  return Range{};
}

ExportEntry LookUpExport(const Image& module, ExportQuery query) {
  Range directory;
  if (!module.FindDirectory(kExportDirectory, &directory) || directory.size == 0) return {};
  const auto* exports = module.Get<ExportDirectory>(directory.rva);
  if (exports == nullptr) return {};
  const auto* functions = module.Get<std::uint32_t>(exports->addressOfFunctions, exports->numberOfFunctions);
  if (functions == nullptr) return {};

  std::uint32_t index = 0;
  if (query.ordinal != 0) {
    if (query.ordinal < exports->base) return {};
    index = query.ordinal - exports->base;
  } else {
    const auto* names = module.Get<std::uint32_t>(exports->addressOfNames, exports->numberOfNames);
    const auto* nameOrdinals = module.Get<std::uint16_t>(exports->addressOfNameOrdinals, exports->numberOfNames);
    if (names == nullptr || nameOrdinals == nullptr) return {};
    const char* const end = reinterpret_cast<const char*>(module.Base() + module.Size());
    std::uint32_t i = 0;
    for (; i < exports->numberOfNames; ++i) {
      // A name that does not end within the image matches nothing.
      const char* name = reinterpret_cast<const char*>(module.At(names[i], 1));
      const char* stop = end;
      const std::uint64_t hash = name != nullptr ? HashNameUnits(kNameHashSeed, name, end, false, &stop) : 0;
      if (stop != end && hash == query.nameHash) break;
    }
    if (i == exports->numberOfNames) return {};
    index = nameOrdinals[i];
  }
  if (index >= exports->numberOfFunctions || functions[index] == 0) return {};

  const std::uint32_t rva = functions[index];
  ExportEntry entry;
  if (rva >= directory.rva && rva - directory.rva < directory.size) {
    entry.forwarder = reinterpret_cast<const char*>(module.Base() + rva);
  } else {
    entry.address = module.At(rva, 1);
  }
  return entry;
}

bool ReadForwarder(const Image& module, const char* text, Forwarder* forwarder) {
  if (module.StringAt(text) == nullptr) return false;
  const char* const end = reinterpret_cast<const char*>(module.Base() + module.Size());
  const char* dot = text;
  while (*dot != '\0' && *dot != '.') ++dot;
  if (*dot != '.') return false;
  forwarder->apiSet = NamesApiSet(text);
  forwarder->moduleHash = WithDllExtension(HashNameUnits(kNameHashSeed, text, dot, true));

  const char* function = dot + 1;
  if (*function == '#') {
    std::uint32_t ordinal = 0;
    for (++function; *function >= '0' && *function <= '9'; ++function) {
      ordinal = ordinal * 10 + static_cast<std::uint32_t>(*function - '0');
    }
    if (ordinal == 0) return false;
    forwarder->query = ExportQuery{0, ordinal};
  } else {
    forwarder->query = ExportQuery{HashNameUnits(kNameHashSeed, function, end, false), 0};
  }
  return true;
}

bool RelocationBlocks::Next(RelocationBlock* block) {
  if (damaged_ || end_ - at_ < sizeof(RelocationBlockHeader)) return false;
  const auto* header = image_.Get<RelocationBlockHeader>(at_);
  if (header == nullptr || header->sizeOfBlock < sizeof(RelocationBlockHeader) || header->sizeOfBlock > end_ - at_ ||
      header->virtualAddress >= image_.Size()) {
    damaged_ = true;
    return false;
  }
  const std::size_t count = (header->sizeOfBlock - sizeof(RelocationBlockHeader)) / sizeof(std::uint16_t);
  block->pageRva = header->virtualAddress;
  block->entries = image_.Get<std::uint16_t>(at_ + sizeof(RelocationBlockHeader), count);
  block->count = count;
  at_ += header->sizeOfBlock;
  return true;
}

std::uint8_t* RelocationTarget(const Image& image, std::uint32_t pageRva, std::uint16_t entry) {
  const std::uint16_t type = RelocationType(entry);
  if (type != kRelocationHighLow && type != kRelocationDir64) return nullptr;
  return image.At(std::uint64_t{pageRva} + RelocationOffset(entry), RelocationWidth(type));
}

void Relocate(std::uint8_t* target, std::uint16_t type, std::uintptr_t delta) {
  if (type == kRelocationHighLow) {
    StoreLittleEndian(target, static_cast<std::uint32_t>(LoadLittleEndian<std::uint32_t>(target) + delta));
  } else {
    StoreLittleEndian(target, LoadLittleEndian<std::uint64_t>(target) + static_cast<std::uint64_t>(delta));
  }
}

bool ImportedModules::Next(ImportedModule* module) {
  if (damaged_) return false;
  const auto* descriptor = image_.Get<ImportDescriptor>(at_);
  if (descriptor == nullptr) {
    damaged_ = true;
    return false;
  }
  if (descriptor->name == 0) return false;
  at_ += sizeof(ImportDescriptor);

  const std::size_t width = SlotWidth(image_);
  // The lookup table keeps the names even where the slots were bound before.
  const std::uint32_t lookupRva =
      descriptor->originalFirstThunk != 0 ? descriptor->originalFirstThunk : descriptor->firstThunk;
  std::size_t count = 0;
  for (std::uint64_t value = 1;; ++count) {
    if (!ReadThunk(image_, lookupRva + std::uint64_t{count} * width, &value)) {
      damaged_ = true;
      return false;
    }
    if (value == 0) break;
  }
  const char* name = image_.String(descriptor->name);
  const bool slotsInImage = image_.Wide() ? image_.Get<std::uint64_t>(descriptor->firstThunk, count) != nullptr
                                          : image_.Get<std::uint32_t>(descriptor->firstThunk, count) != nullptr;
  if (name == nullptr || !slotsInImage) {
    damaged_ = true;
    return false;
  }
  module->name = name;
  module->lookupRva = lookupRva;
  module->slotsRva = descriptor->firstThunk;
  module->count = count;
  return true;
}

bool ReadImportedFunction(const Image& image, const ImportedModule& module, std::size_t index,
                          ImportedFunction* function) {
  std::uint64_t value = 0;
  if (!ReadThunk(image, module.lookupRva + std::uint64_t{index} * SlotWidth(image), &value)) return false;
  const std::uint64_t byOrdinal = image.Wide() ? 1ull << 63 : 1ull << 31;
  if ((value & byOrdinal) != 0) {
    function->name = nullptr;
    function->ordinal = static_cast<std::uint16_t>(value & 0xffffu);
    return true;
  }
  // The hint's two bytes come before the name.
  function->name = image.String(value + 2);
  return function->name != nullptr;
}

bool WriteSlot(const Image& image, const ImportedModule& module, std::size_t index, std::uintptr_t address) {
  const std::uint64_t rva = module.slotsRva + std::uint64_t{index} * SlotWidth(image);
  const auto value = static_cast<std::uint64_t>(address);
  if (image.Wide()) {
    auto* slot = image.Get<std::uint64_t>(rva);
    if (slot == nullptr) return false;
    *slot = value;
    return true;
  }
  auto* slot = image.Get<std::uint32_t>(rva);
  if (slot == nullptr || value > 0xffffffffull) return false;
  *slot = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace PeImage
