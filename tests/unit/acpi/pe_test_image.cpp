#include "tests/unit/acpi/pe_test_image.h"

#include <stdexcept>

namespace {

constexpr std::uint32_t kDirectoryCount = 16;

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

TestImage::TestImage(Format format, std::size_t size) : format_(format), bytes_(size, 0) {
  Put(0, PeImage::kDosMagic, 2);
  Put(PeImage::kDosNewHeaderOffset, kNtHeaders, 4);
  Put(kNtHeaders, PeImage::kNtSignature, 4);
  const std::uint32_t file = kNtHeaders + PeImage::kNtFileHeaderOffset;
  Put(file, Wide() ? 0x8664 : 0x14c, 2);  // machine
  const std::uint32_t directories = Wide() ? PeImage::kPe32PlusDirectories : PeImage::kPe32Directories;
  Put(file + 16, directories + kDirectoryCount * sizeof(PeImage::DataDirectory), 2);  // size of the optional header
  Put(OptionalHeader(), Wide() ? PeImage::kPe32PlusMagic : PeImage::kPe32Magic, 2);
  Put(OptionalHeader() + PeImage::kOptionalSizeOfImage, size, 4);
  SetDirectoryCount(kDirectoryCount);
}

void TestImage::Put(std::uint32_t rva, std::uint64_t value, std::size_t width) {
  if (rva + width > bytes_.size()) throw std::out_of_range("TestImage::Put beyond the image");
  for (std::size_t i = 0; i < width; ++i, value >>= 8) bytes_[rva + i] = static_cast<std::uint8_t>(value);
}

std::uint64_t TestImage::Read(std::uint32_t rva, std::size_t width) const {
  if (rva + width > bytes_.size()) throw std::out_of_range("TestImage::Read beyond the image");
  std::uint64_t value = 0;
  for (std::size_t i = width; i != 0; --i) value = (value << 8) | bytes_[rva + i - 1];
  return value;
}

void TestImage::PutString(std::uint32_t rva, const std::string& text) {
  for (std::size_t i = 0; i <= text.size(); ++i) Put(static_cast<std::uint32_t>(rva + i), text.c_str()[i], 1);
}

std::uint32_t TestImage::DirectoryEntry(unsigned index) const {
  return OptionalHeader() + (Wide() ? PeImage::kPe32PlusDirectories : PeImage::kPe32Directories) +
         index * static_cast<std::uint32_t>(sizeof(PeImage::DataDirectory));
}

void TestImage::SetDirectory(unsigned index, std::uint32_t rva, std::uint32_t size) {
  Put(DirectoryEntry(index), rva, 4);
  Put(DirectoryEntry(index) + 4, size, 4);
}

void TestImage::SetDirectoryCount(std::uint32_t count) {
  Put(OptionalHeader() + (Wide() ? PeImage::kPe32PlusDirectoryCount : PeImage::kPe32DirectoryCount), count, 4);
}

std::uint32_t TestImage::SectionTable() const { return DirectoryEntry(kDirectoryCount); }

void TestImage::AddSection(const std::string& name, std::uint32_t rva, std::uint32_t size) {
  const std::uint32_t at = SectionTable() + sections_ * static_cast<std::uint32_t>(sizeof(PeImage::SectionHeader));
  for (std::size_t i = 0; i < 8; ++i) Put(static_cast<std::uint32_t>(at + i), i < name.size() ? name[i] : 0, 1);
  Put(at + 8, size, 4);
  Put(at + 12, rva, 4);
  ++sections_;
  Put(kNtHeaders + PeImage::kNtFileHeaderOffset + 2, sections_, 2);
}

void TestImage::SetExports(std::uint32_t at, std::uint32_t ordinalBase, const std::vector<Export>& exports) {
  std::vector<std::size_t> named;
  for (std::size_t i = 0; i < exports.size(); ++i) {
    if (!exports[i].name.empty()) named.push_back(i);
  }
  const auto count = static_cast<std::uint32_t>(exports.size());
  const auto names = static_cast<std::uint32_t>(named.size());
  const std::uint32_t functionsAt = at + sizeof(PeImage::ExportDirectory);
  const std::uint32_t namesAt = functionsAt + 4 * count;
  const std::uint32_t ordinalsAt = namesAt + 4 * names;
  std::uint32_t text = AlignUp(ordinalsAt + 2 * names, 4);

  Put(at + 16, ordinalBase, 4);
  Put(at + 20, count, 4);
  Put(at + 24, names, 4);
  Put(at + 28, functionsAt, 4);
  Put(at + 32, namesAt, 4);
  Put(at + 36, ordinalsAt, 4);
  for (std::uint32_t i = 0; i < names; ++i) {
    const Export& e = exports[named[i]];
    Put(namesAt + 4 * i, text, 4);
    Put(ordinalsAt + 2 * i, named[i], 2);
    PutString(text, e.name);
    text += static_cast<std::uint32_t>(e.name.size() + 1);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const Export& e = exports[i];
    if (e.forwarder.empty()) {
      Put(functionsAt + 4 * i, e.rva, 4);
    } else {
      Put(functionsAt + 4 * i, text, 4);
      PutString(text, e.forwarder);
      text += static_cast<std::uint32_t>(e.forwarder.size() + 1);
    }
  }
  SetDirectory(PeImage::kExportDirectory, at, text - at);
}

void TestImage::SetRelocations(std::uint32_t at, const std::vector<Block>& blocks) {
  std::uint32_t next = at;
  for (const Block& block : blocks) {
    const auto size = static_cast<std::uint32_t>(sizeof(PeImage::RelocationBlockHeader) + 2 * block.entries.size());
    Put(next, block.pageRva, 4);
    Put(next + 4, size, 4);
    for (std::size_t i = 0; i < block.entries.size(); ++i)
      Put(static_cast<std::uint32_t>(next + 8 + 2 * i), block.entries[i], 2);
    next += size;
  }
  SetDirectory(PeImage::kRelocationDirectory, at, next - at);
}

std::vector<std::uint32_t> TestImage::SetImports(std::uint32_t at, const std::vector<ImportedModule>& modules) {
  const std::size_t width = Wide() ? 8 : 4;
  const std::uint64_t byOrdinal = Wide() ? 1ull << 63 : 1ull << 31;
  const auto descriptors = static_cast<std::uint32_t>((modules.size() + 1) * sizeof(PeImage::ImportDescriptor));
  std::uint32_t next = AlignUp(at + descriptors, 8);
  std::vector<std::uint32_t> slots;
  for (std::size_t m = 0; m < modules.size(); ++m) {
    const ImportedModule& module = modules[m];
    const auto tableSize = static_cast<std::uint32_t>((module.functions.size() + 1) * width);
    const std::uint32_t lookupAt = next;
    const std::uint32_t slotsAt = module.lookupTable ? lookupAt + tableSize : lookupAt;
    next = slotsAt + tableSize;
    for (std::size_t f = 0; f < module.functions.size(); ++f) {
      const Import& function = module.functions[f];
      std::uint64_t entry = byOrdinal | function.ordinal;
      if (!function.name.empty()) {
        entry = next;
        Put(next, f, 2);  // the hint
        PutString(next + 2, function.name);
        next = AlignUp(static_cast<std::uint32_t>(next + 2 + function.name.size() + 1), 2);
      }
      Put(static_cast<std::uint32_t>(lookupAt + f * width), entry, width);
      if (module.lookupTable) Put(static_cast<std::uint32_t>(slotsAt + f * width), entry, width);
    }
    const std::uint32_t descriptor = at + static_cast<std::uint32_t>(m * sizeof(PeImage::ImportDescriptor));
    Put(descriptor, module.lookupTable ? lookupAt : 0, 4);
    Put(descriptor + 12, next, 4);
    Put(descriptor + 16, slotsAt, 4);
    PutString(next, module.module);
    next = AlignUp(static_cast<std::uint32_t>(next + module.module.size() + 1), 8);
    slots.push_back(slotsAt);
  }
  SetDirectory(PeImage::kImportDirectory, at, descriptors);
  return slots;
}
