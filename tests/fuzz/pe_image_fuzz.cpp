// The PE image routines over any image. Input: the delta to relocate by
// (8 bytes, little-endian), one byte choosing an ordinal to look up and how
// many forwarders to follow, then the image's bytes, in a block of exactly
// their size: a read beyond the image is reported by AddressSanitizer.
// Every module a forwarder names is this image again (or, for names whose
// hash is odd, none), so forwarders chain and loop.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "acpi/name_hash.h"
#include "acpi/pe_image.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool Within(const PeImage::Image& image, const void* at, std::size_t size) {
  const auto first = reinterpret_cast<std::uintptr_t>(image.Base());
  const auto address = reinterpret_cast<std::uintptr_t>(at);
  return address >= first && address - first <= image.Size() && size <= image.Size() - (address - first);
}

// Answers every request but those for names starting with 'x', and keeps
// what the routines opened.
class FuzzResolver {
 public:
  explicit FuzzResolver(const PeImage::Image& image) : image_(image) {}

  bool Open(void* at, std::size_t size, std::uint32_t* old) {
    if (opened_.size() == 64) return false;
    opened_.push_back({reinterpret_cast<std::uintptr_t>(at), size});
    ++open_;
    *old = 0x20;
    return true;
  }
  void Close(void*, std::size_t, std::uint32_t old) {
    Require(open_ > 0, "no more closes than opens");
    Require(old == 0x20, "what was opened is restored as it was");
    --open_;
  }
  void* LoadModule(const char* name) { return Named(name) ? this : nullptr; }
  std::uintptr_t ByName(void* module, const char* name) {
    Require(module == this, "functions are asked of the module loaded");
    return Named(name) ? 0x10001000u : 0;
  }
  std::uintptr_t ByOrdinal(void* module, std::uint16_t ordinal) {
    Require(module == this, "functions are asked of the module loaded");
    return ordinal % 2 == 0 ? 0x10002000u : 0;
  }
  PeImage::Image ModuleNamed(std::uint64_t nameHash) const {
    ++lookups_;
    return nameHash % 2 == 0 ? image_ : PeImage::Image();
  }

  // Whether byte `at` of the image lay within a range opened at some point.
  // The platform protects whole pages: a range opens every page it touches
  // (pages counted from the image's base).
  bool WasOpened(const std::uint8_t* at) const {
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(image_.Base());
    const std::uintptr_t page = (reinterpret_cast<std::uintptr_t>(at) - base) / PeImage::kPageSize;
    for (const auto& range : opened_) {
      const std::uintptr_t first = (range.first - base) / PeImage::kPageSize;
      const std::uintptr_t last = (range.first - base + range.second - 1) / PeImage::kPageSize;
      if (page >= first && page <= last) return true;
    }
    return false;
  }
  bool Balanced() const { return open_ == 0; }
  int Lookups() const { return lookups_; }

 private:
  // A name handed out must end within the image.
  bool Named(const char* name) {
    Require(Within(image_, name, std::strlen(name) + 1), "names lie within the image");
    return name[0] != 'x';
  }

  PeImage::Image image_;
  std::vector<std::pair<std::uintptr_t, std::size_t>> opened_;
  int open_ = 0;
  mutable int lookups_ = 0;
};

void RequireWritesOnlyWhereOpened(const std::vector<std::uint8_t>& before, const std::uint8_t* after,
                                  const FuzzResolver& resolver) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) Require(resolver.WasOpened(after + i), "only opened bytes are written");
  }
  Require(resolver.Balanced(), "every opened range is closed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  std::uintptr_t delta = 0;
  for (int i = 7; i >= 0; --i) delta = (delta << 8) | data[i];
  const std::uint32_t ordinal = data[8] & 0x1f;
  const int forwards = data[8] >> 5;
  // Exactly the image's bytes, on the heap.
  std::vector<std::uint8_t> bytes(data + 9, data + size);
  const PeImage::Image image(bytes.data(), bytes.size());
  if (!image.Valid()) return 0;
  Require(image.Base() == bytes.data() && image.Size() == bytes.size(), "the image is the bytes given");

  for (unsigned index = 0; index < 16; ++index) {
    PeImage::Range directory;
    if (image.FindDirectory(index, &directory)) {
      Require(directory.size == 0 || image.At(directory.rva, directory.size) != nullptr,
              "a directory found lies within the image");
    }
  }
  const PeImage::Range section = image.Section(PeImage::SectionTag(".acpirdy"), 8);
  Require(section.size == 0 || image.At(section.rva, section.size) != nullptr, "a section found lies within the image");

  for (const PeImage::ExportQuery query :
       {PeImage::ExportQuery{0, ordinal}, PeImage::ExportQuery{ExportNameHash("A"), 0},
        PeImage::ExportQuery{ExportNameHash("LoadLibraryA"), 0}}) {
    const PeImage::ExportEntry entry = PeImage::LookUpExport(image, query);
    Require(entry.address == nullptr || Within(image, entry.address, 1), "an export lies within the image");
    Require(entry.forwarder == nullptr || Within(image, entry.forwarder, 1), "a forwarder lies within the image");
    const FuzzResolver modules(image);
    void* found = PeImage::FindExport(image, query, forwards, modules);
    Require(found == nullptr || Within(image, found, 1), "a forwarded export lies within the image");
    Require(modules.Lookups() <= 2 * forwards, "no more modules looked up than forwarders allowed");
  }

  {
    const std::vector<std::uint8_t> before = bytes;
    FuzzResolver resolver(image);
    PeImage::ApplyRelocations(image, delta, resolver);
    RequireWritesOnlyWhereOpened(before, bytes.data(), resolver);
    if (delta == 0) Require(before == bytes, "relocating by 0 changes nothing");
  }
  {
    const std::vector<std::uint8_t> before = bytes;
    FuzzResolver resolver(image);
    PeImage::BindImports(image, resolver);
    RequireWritesOnlyWhereOpened(before, bytes.data(), resolver);
  }
  return 0;
}
