#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "acpi/pe_image.h"

// A small PE image as the loader maps it, made in memory by a test: the
// headers of a PE32 (i686) or PE32+ (x64) image, then directories and values
// placed at chosen RVAs. Its bytes are exactly its size, so that
// AddressSanitizer reports any read beyond them.
class TestImage {
 public:
  enum class Format { kPe32, kPe32Plus };

  explicit TestImage(Format format, std::size_t size = 0x3000);

  bool Wide() const { return format_ == Format::kPe32Plus; }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // The image over these bytes (valid while they are neither moved nor resized).
  PeImage::Image View() { return PeImage::Image(bytes_.data(), bytes_.size()); }

  // Little-endian values of 1, 2, 4 or 8 bytes; strings with their NUL.
  void Put(std::uint32_t rva, std::uint64_t value, std::size_t width);
  std::uint64_t Read(std::uint32_t rva, std::size_t width) const;
  void PutString(std::uint32_t rva, const std::string& text);

  void SetDirectory(unsigned index, std::uint32_t rva, std::uint32_t size);
  void SetDirectoryCount(std::uint32_t count);
  void AddSection(const std::string& name, std::uint32_t rva, std::uint32_t size);
  // Where the headers put things, for tests that damage them.
  static constexpr std::uint32_t kNtHeaders = 0x80;
  std::uint32_t OptionalHeader() const { return kNtHeaders + PeImage::kNtOptionalHeaderOffset; }
  std::uint32_t DirectoryEntry(unsigned index) const;

  // An export directory at `at`, with its tables and strings after it; the
  // directory's range covers them all, forwarder texts included. An export
  // without a name is found by ordinal only; one with a forwarder text is
  // forwarded, else it lies at `rva`. Ordinals count from `ordinalBase`.
  struct Export {
    std::string name;
    std::uint32_t rva = 0;
    std::string forwarder;
  };
  void SetExports(std::uint32_t at, std::uint32_t ordinalBase, const std::vector<Export>& exports);

  // A relocation directory at `at`: one block per page, its entries as
  // given (type << 12 | offset).
  struct Block {
    std::uint32_t pageRva;
    std::vector<std::uint16_t> entries;
  };
  void SetRelocations(std::uint32_t at, const std::vector<Block>& blocks);

  // An import directory at `at`, with the lookup tables, slots and names
  // after it. A function without a name is imported by ordinal. Without a
  // lookup table the slots hold the names, as in old images. Returns each
  // module's slots' RVA.
  struct Import {
    std::string name;
    std::uint16_t ordinal = 0;
  };
  struct ImportedModule {
    std::string module;
    std::vector<Import> functions;
    bool lookupTable = true;
  };
  std::vector<std::uint32_t> SetImports(std::uint32_t at, const std::vector<ImportedModule>& modules);

 private:
  std::uint32_t SectionTable() const;

  Format format_;
  std::vector<std::uint8_t> bytes_;
  std::uint16_t sections_ = 0;
};
