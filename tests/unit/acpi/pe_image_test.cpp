// The PE image routines on small images made in memory, of both formats.
// Every image's bytes are exactly its size: a read outside it is reported by
// AddressSanitizer, so each refusal below is also shown to read nothing
// beyond the image.

#include "acpi/pe_image.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi/name_hash.h"
#include "tests/unit/acpi/pe_test_image.h"
#include "tests/unit/acpi/recording_resolver.h"

namespace {

using Format = TestImage::Format;
using Damage = std::function<void(TestImage&)>;

constexpr Format kFormats[] = {Format::kPe32, Format::kPe32Plus};

const char* FormatName(Format format) { return format == Format::kPe32 ? "PE32" : "PE32+"; }

// The first `size` bytes of an image, in a block of exactly that size.
std::vector<std::uint8_t> Truncated(const TestImage& image, std::size_t size) {
  return std::vector<std::uint8_t>(image.Bytes().begin(), image.Bytes().begin() + size);
}

// Only opened bytes were written, and every Open was closed again.
void ExpectWritesOnlyWhereOpened(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                                 const RecordingResolver& resolver) {
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) EXPECT_TRUE(resolver.WasOpened(i, 1)) << "byte +" << i << " written while not opened";
  }
  EXPECT_TRUE(resolver.Balanced()) << "an opened range was not closed";
}

// --- Headers ------------------------------------------------------------

TEST(PeImageHeadersTest, AcceptsBothFormatsAndRefusesDamagedOrTruncatedHeaders) {
  const struct {
    const char* what;
    Damage damage;
    std::size_t keep;  // bytes kept of the image; 0: all
    bool valid;
  } cases[] = {
      {"whole headers", nullptr, 0, true},
      {"no MZ", [](TestImage& i) { i.Put(0, 0x5a4e, 2); }, 0, false},
      {"no PE signature", [](TestImage& i) { i.Put(TestImage::kNtHeaders, 0x4551, 4); }, 0, false},
      {"neither PE32 nor PE32+ (ROM)", [](TestImage& i) { i.Put(i.OptionalHeader(), 0x107, 2); }, 0, false},
      {"new header past the end", [](TestImage& i) { i.Put(PeImage::kDosNewHeaderOffset, 0x3000, 4); }, 0, false},
      {"new header offset negative", [](TestImage& i) { i.Put(PeImage::kDosNewHeaderOffset, 0xfffffff8, 4); }, 0,
       false},
      {"new header offset misaligned", [](TestImage& i) { i.Put(PeImage::kDosNewHeaderOffset, 0x81, 4); }, 0, false},
      {"empty", nullptr, 1, false},  // the image is cut to 1 byte, below the MZ word
      {"cut inside the new header offset", nullptr, PeImage::kDosNewHeaderOffset + 2, false},
      {"cut before the signature", nullptr, TestImage::kNtHeaders, false},
      {"cut inside the file header", nullptr, TestImage::kNtHeaders + 20, false},
      {"cut inside the optional header's magic", nullptr, TestImage::kNtHeaders + 25, false},
  };
  for (Format format : kFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.what);
      TestImage image(format);
      if (c.damage) c.damage(image);
      std::vector<std::uint8_t> bytes = Truncated(image, c.keep == 0 ? image.Bytes().size() : c.keep);
      const PeImage::Image view(bytes.data(), bytes.size());
      EXPECT_EQ(view.Valid(), c.valid);
      if (c.valid) {
        EXPECT_EQ(view.Wide(), format == Format::kPe32Plus);
        EXPECT_EQ(view.Base(), bytes.data());
      }
    }
  }
}

TEST(PeImageHeadersTest, RefusesAnImageCutWithinTheDirectoryCount) {
  for (Format format : kFormats) {
    SCOPED_TRACE(FormatName(format));
    TestImage image(format);
    const std::size_t count =
        image.OptionalHeader() + (image.Wide() ? PeImage::kPe32PlusDirectoryCount : PeImage::kPe32DirectoryCount);
    std::vector<std::uint8_t> cut = Truncated(image, count + 3);
    EXPECT_FALSE(PeImage::Image(cut.data(), cut.size()).Valid());
    std::vector<std::uint8_t> whole = Truncated(image, count + 4);
    EXPECT_TRUE(PeImage::Image(whole.data(), whole.size()).Valid());
  }
}

TEST(PeImageHeadersTest, NothingIsReadFromAnInvalidImage) {
  const PeImage::Image none;
  PeImage::Range range;
  EXPECT_FALSE(none.Valid());
  EXPECT_FALSE(none.FindDirectory(PeImage::kExportDirectory, &range));
  EXPECT_EQ(none.At(0, 1), nullptr);
  EXPECT_EQ(none.String(0), nullptr);
  EXPECT_EQ(PeImage::LookUpExport(none, {ExportNameHash("Any"), 0}).address, nullptr);
}

// --- Directories and sections -----------------------------------------------

TEST(PeImageDirectoryTest, FindsDirectoriesWithinTheImageOnly) {
  const struct {
    const char* what;
    Damage set;
    std::size_t size;
    bool found;
    PeImage::Range range;
  } cases[] = {
      {"present", [](TestImage& i) { i.SetDirectory(5, 0x2000, 0x10); }, 0x3000, true, {0x2000, 0x10}},
      {"reaching the image's last byte",
       [](TestImage& i) { i.SetDirectory(5, 0x2ff0, 0x10); },
       0x3000,
       true,
       {0x2ff0, 0x10}},
      {"absent", nullptr, 0x3000, true, {}},
      {"address 0", [](TestImage& i) { i.SetDirectory(5, 0, 0x10); }, 0x3000, true, {}},
      {"size 0", [](TestImage& i) { i.SetDirectory(5, 0x2000, 0); }, 0x3000, true, {}},
      {"beyond the directory count",
       [](TestImage& i) {
         i.SetDirectory(5, 0x2000, 0x10);
         i.SetDirectoryCount(5);
       },
       0x3000,
       true,
       {}},
      {"running past the end", [](TestImage& i) { i.SetDirectory(5, 0x2ff0, 0x11); }, 0x3000, false, {}},
      {"starting past the end", [](TestImage& i) { i.SetDirectory(5, 0x3000, 0x10); }, 0x3000, false, {}},
      {"wrapping 32 bits", [](TestImage& i) { i.SetDirectory(5, 0xfffffff0, 0x20); }, 0x3000, false, {}},
      // The entry itself lies beyond an image cut short after the count.
      {"entry outside the image", nullptr, 0x120, false, {}},
  };
  for (Format format : kFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.what);
      TestImage image(format, c.size);
      if (c.set) c.set(image);
      PeImage::Range range{1, 1};
      EXPECT_EQ(image.View().FindDirectory(PeImage::kRelocationDirectory, &range), c.found);
      EXPECT_EQ(range.rva, c.range.rva);
      EXPECT_EQ(range.size, c.range.size);
    }
  }
}

TEST(PeImageDirectoryTest, FindsTheFirstSectionOfTheNameAndSizeWithinTheImage) {
  constexpr std::uint64_t kTag = PeImage::SectionTag(".acpirdy");
  const struct {
    const char* what;
    std::vector<std::pair<std::string, PeImage::Range>> sections;
    PeImage::Range found;
  } cases[] = {
      {"one", {{".acpirdy", {0x2000, 0x10}}}, {0x2000, 0x10}},
      {"after others", {{".text", {0x1000, 0x100}}, {".acpirdy", {0x2000, 0x10}}}, {0x2000, 0x10}},
      {"too small first", {{".acpirdy", {0x1000, 4}}, {".acpirdy", {0x2000, 0x10}}}, {0x2000, 0x10}},
      {"another name only", {{".acpirdz", {0x2000, 0x10}}}, {}},
      {"a prefix of the name", {{".acpi", {0x2000, 0x10}}}, {}},
      {"past the image's end", {{".acpirdy", {0x2ff8, 0x10}}}, {}},
      {"none", {}, {}},
  };
  for (Format format : kFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.what);
      TestImage image(format);
      for (const auto& section : c.sections) image.AddSection(section.first, section.second.rva, section.second.size);
      const PeImage::Range range = image.View().Section(kTag, 8);
      EXPECT_EQ(range.rva, c.found.rva);
      EXPECT_EQ(range.size, c.found.size);
    }
  }
}

TEST(PeImageDirectoryTest, ASectionTableRunningOffTheImageEndsTheSearch) {
  TestImage image(Format::kPe32, 0x200);
  image.AddSection(".text", 0x100, 0x10);
  image.Put(TestImage::kNtHeaders + PeImage::kNtFileHeaderOffset + 2, 40, 2);  // 40 sections: beyond 0x200 bytes
  EXPECT_EQ(image.View().Section(PeImage::SectionTag(".acpirdy"), 1).size, 0u);
}

// --- Exports -------------------------------------------------------------

// a.dll: exports from ordinal 5.
TestImage ExportingImage(Format format) {
  TestImage image(format);
  image.SetExports(0x2000, 5,
                   {{"First", 0x1010, ""},
                    {"", 0x1020, ""},  // ordinal 6, no name
                    {"Second", 0x1030, ""},
                    {"Zero", 0, ""},
                    {"Forwarded", 0, "b.Target"},
                    {"Outside", 0x3000, ""}});
  return image;
}

TEST(PeImageExportTest, LooksUpByNameOrOrdinalAndTellsForwardersApart) {
  const struct {
    const char* what;
    PeImage::ExportQuery query;
    std::uint32_t address;  // 0: none
    const char* forwarder;  // null: not forwarded
  } cases[] = {
      {"by name", {ExportNameHash("First"), 0}, 0x1010, nullptr},
      {"by name, third", {ExportNameHash("Second"), 0}, 0x1030, nullptr},
      {"names are case-sensitive", {ExportNameHash("first"), 0}, 0, nullptr},
      {"no such name", {ExportNameHash("Missing"), 0}, 0, nullptr},
      {"by ordinal, the base", {0, 5}, 0x1010, nullptr},
      {"by ordinal, unnamed", {0, 6}, 0x1020, nullptr},
      {"ordinal below the base", {0, 4}, 0, nullptr},
      {"ordinal past the table", {0, 11}, 0, nullptr},
      {"an empty entry", {ExportNameHash("Zero"), 0}, 0, nullptr},
      {"forwarded", {ExportNameHash("Forwarded"), 0}, 0, "b.Target"},
      {"forwarded, by ordinal", {0, 9}, 0, "b.Target"},
      {"an address outside the image", {ExportNameHash("Outside"), 0}, 0, nullptr},
  };
  for (Format format : kFormats) {
    TestImage image = ExportingImage(format);
    const PeImage::Image view = image.View();
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.what);
      const PeImage::ExportEntry entry = PeImage::LookUpExport(view, c.query);
      EXPECT_EQ(entry.address, c.address == 0 ? nullptr : view.Base() + c.address);
      if (c.forwarder == nullptr) {
        EXPECT_EQ(entry.forwarder, nullptr);
      } else {
        ASSERT_NE(entry.forwarder, nullptr);
        EXPECT_STREQ(entry.forwarder, c.forwarder);
      }
    }
  }
}

TEST(PeImageExportTest, DamagedExportTablesFindNothing) {
  // Fields of the export directory at 0x2000.
  constexpr std::uint32_t kFunctionCount = 0x2000 + 20;
  constexpr std::uint32_t kNameCount = 0x2000 + 24;
  constexpr std::uint32_t kFunctions = 0x2000 + 28;
  constexpr std::uint32_t kNames = 0x2000 + 32;
  constexpr std::uint32_t kNameOrdinals = 0x2000 + 36;
  const struct {
    const char* what;
    Damage damage;
    bool byOrdinal;  // still found by ordinal: the damage is to the names only
  } cases[] = {
      {"function table past the end", [](TestImage& i) { i.Put(kFunctions, 0x2ffc, 4); }, false},
      {"function count huge", [](TestImage& i) { i.Put(kFunctionCount, 0xffffffff, 4); }, false},
      {"function table misaligned", [](TestImage& i) { i.Put(kFunctions, i.Read(kFunctions, 4) + 1, 4); }, false},
      {"directory cut below its header", [](TestImage& i) { i.SetDirectory(PeImage::kExportDirectory, 0x2ff0, 0x10); },
       false},
      {"name table past the end", [](TestImage& i) { i.Put(kNames, 0x2ffc, 4); }, true},
      {"name count huge", [](TestImage& i) { i.Put(kNameCount, 0x40000000, 4); }, true},
      {"name ordinals past the end", [](TestImage& i) { i.Put(kNameOrdinals, 0x2ffe, 4); }, true},
  };
  for (Format format : kFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.what);
      TestImage image = ExportingImage(format);
      c.damage(image);
      const PeImage::Image view = image.View();
      EXPECT_EQ(PeImage::LookUpExport(view, {ExportNameHash("Second"), 0}).address, nullptr);
      EXPECT_EQ(PeImage::LookUpExport(view, {0, 7}).address, c.byOrdinal ? view.Base() + 0x1030 : nullptr);
    }
  }
}

TEST(PeImageExportTest, ANameRunningOffTheImageMatchesNothingAndOthersAreStillFound) {
  TestImage image = ExportingImage(Format::kPe32);
  const std::uint32_t names = static_cast<std::uint32_t>(image.Read(0x2000 + 32, 4));
  // The first name ("First") now starts 5 bytes before the end, with no NUL after it.
  const std::uint32_t last = static_cast<std::uint32_t>(image.Bytes().size() - 5);
  for (std::uint32_t i = 0; i < 5; ++i) image.Put(last + i, "First"[i], 1);
  image.Put(names, last, 4);
  const PeImage::Image view = image.View();
  EXPECT_EQ(PeImage::LookUpExport(view, {ExportNameHash("First"), 0}).address, nullptr);
  EXPECT_EQ(PeImage::LookUpExport(view, {ExportNameHash("Second"), 0}).address, view.Base() + 0x1030);
}

// --- Forwarders ----------------------------------------------------------------

class PeImageForwarderTest : public ::testing::Test {
 protected:
  PeImageForwarderTest() {
    // A chain a → b → c → d → e → f.Target, and forwarders of every form.
    Module("a.dll", {{"Target", 0, "b.Target"},
                     {"ByOrdinal", 0, "f.#3"},
                     {"Loop", 0, "a.Loop"},
                     {"PingPong", 0, "b.PongPing"},
                     {"ApiSet", 0, "api-ms-win-core-test-l1-1-0.Target"},
                     {"ExtSet", 0, "ext-ms-win-test-l1-1-0.Target"},
                     {"CaseOfModule", 0, "F.Target"},
                     {"NoModule", 0, "missing.Target"},
                     {"NoExport", 0, "f.Missing"},
                     {"NoDot", 0, "fTarget"},
                     {"OrdinalZero", 0, "f.#0"},
                     {"OrdinalNone", 0, "f.#"}});
    Module("b.dll", {{"Target", 0, "c.Target"}, {"PongPing", 0, "a.PingPong"}});
    Module("c.dll", {{"Target", 0, "d.Target"}});
    Module("d.dll", {{"Target", 0, "e.Target"}});
    Module("e.dll", {{"Target", 0, "f.Target"}});
    Module("f.dll", {{"Target", 0x1100, ""}, {"Other", 0x1200, ""}, {"Third", 0x1300, ""}});
    Module("kernelbase.dll", {{"Target", 0x1400, ""}});
  }

  void Module(const std::string& name, const std::vector<TestImage::Export>& exports) {
    names_.push_back(name);
    images_.emplace_back(Format::kPe32Plus);
    images_.back().SetExports(0x2000, 1, exports);
  }
  // Registered once every image is in place (the list no longer moves).
  void Register(RecordingResolver& resolver) {
    for (std::size_t i = 0; i < images_.size(); ++i) resolver.AddModule(names_[i], images_[i].View());
  }
  std::uint8_t* Base(std::size_t module) { return images_[module].Bytes().data(); }

  std::vector<std::string> names_;
  std::vector<TestImage> images_;
};

TEST_F(PeImageForwarderTest, FollowsForwardersUpToTheLimit) {
  constexpr std::size_t kA = 0, kB = 1, kE = 4, kF = 5, kKernelBase = 6;
  const struct {
    const char* what;
    std::size_t start;
    const char* name;
    int limit;
    std::size_t module;     // where the export is found
    std::uint32_t address;  // 0: not found
    std::size_t lookups;    // modules asked of the resolver
  } cases[] = {
      {"not forwarded", kF, "Target", 0, kF, 0x1100, 0},
      {"one forward", kE, "Target", 1, kF, 0x1100, 1},
      {"four forwards, limit four", kB, "Target", 4, kF, 0x1100, 4},
      {"five forwards, limit four", kA, "Target", 4, kF, 0, 4},
      {"five forwards, limit five", kA, "Target", 5, kF, 0x1100, 5},
      {"forward by ordinal", kA, "ByOrdinal", 4, kF, 0x1300, 1},
      {"a module forwarding to itself", kA, "Loop", 4, kA, 0, 4},
      {"two modules forwarding to each other", kA, "PingPong", 4, kA, 0, 4},
      {"an API set, behind kernelbase", kA, "ApiSet", 4, kKernelBase, 0x1400, 2},
      {"an extension API set, behind kernelbase", kA, "ExtSet", 4, kKernelBase, 0x1400, 2},
      {"module names fold case", kA, "CaseOfModule", 4, kF, 0x1100, 1},
      {"a module not loaded", kA, "NoModule", 4, kA, 0, 1},
      {"an export the target lacks", kA, "NoExport", 4, kA, 0, 1},
      {"no dot", kA, "NoDot", 4, kA, 0, 0},
      {"ordinal 0", kA, "OrdinalZero", 4, kA, 0, 0},
      {"no ordinal after #", kA, "OrdinalNone", 4, kA, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingResolver resolver(Base(c.start));
    Register(resolver);
    void* found = PeImage::FindExport(images_[c.start].View(), {ExportNameHash(c.name), 0}, c.limit, resolver);
    EXPECT_EQ(found, c.address == 0 ? nullptr : Base(c.module) + c.address);
    EXPECT_EQ(resolver.Log().size(), c.lookups);
  }
}

TEST_F(PeImageForwarderTest, AForwarderRunningOffTheImageIsRefused) {
  TestImage& a = images_[0];
  // "NoDot"'s text ("fTarget") moved to the image's last 7 bytes, its NUL gone.
  const std::uint32_t end = static_cast<std::uint32_t>(a.Bytes().size());
  for (std::uint32_t i = 0; i < 7; ++i) a.Put(end - 7 + i, "f.Targe"[i], 1);
  // The directory now reaches the end, so that the text counts as a forwarder.
  a.SetDirectory(PeImage::kExportDirectory, 0x2000, end - 0x2000);
  const std::uint32_t functions = static_cast<std::uint32_t>(a.Read(0x2000 + 28, 4));
  a.Put(functions + 4 * 9, end - 7, 4);  // NoDot is the tenth export
  RecordingResolver resolver(Base(0));
  Register(resolver);
  PeImage::Forwarder forwarder;
  EXPECT_FALSE(PeImage::ReadForwarder(a.View(), reinterpret_cast<const char*>(Base(0) + end - 7), &forwarder));
  EXPECT_EQ(PeImage::FindExport(a.View(), {ExportNameHash("NoDot"), 0}, 4, resolver), nullptr);
  EXPECT_TRUE(resolver.Log().empty());
}

TEST(PeImageForwarderTextTest, ReadsTheModuleAndTheExportAskedOfIt) {
  const struct {
    const char* text;
    bool read;
    const char* module;
    bool apiSet;
    const char* name;  // null: by ordinal
    std::uint32_t ordinal;
  } cases[] = {
      {"NTDLL.RtlAcquireSRWLockExclusive", true, "ntdll.dll", false, "RtlAcquireSRWLockExclusive", 0},
      {"kernelbase.#12", true, "kernelbase.dll", false, nullptr, 12},
      {"api-ms-win-core-synch-l1-2-0.Sleep", true, "api-ms-win-core-synch-l1-2-0.dll", true, "Sleep", 0},
      {"ext-ms-win-x-l1-1-0.F", true, "ext-ms-win-x-l1-1-0.dll", true, "F", 0},
      {"apix.F", true, "apix.dll", false, "F", 0},
      {".F", true, ".dll", false, "F", 0},
      {"a.b.c", true, "a.dll", false, "b.c", 0},
      {"m.#4294967295", true, "m.dll", false, nullptr, 4294967295u},
      {"m.#7x", true, "m.dll", false, nullptr, 7},
      {"NoDot", false, "", false, nullptr, 0},
      {"m.#0", false, "", false, nullptr, 0},
      {"m.#", false, "", false, nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TestImage image(Format::kPe32);
    image.PutString(0x2000, c.text);
    PeImage::Forwarder forwarder;
    const bool read =
        PeImage::ReadForwarder(image.View(), reinterpret_cast<const char*>(image.Bytes().data() + 0x2000), &forwarder);
    ASSERT_EQ(read, c.read);
    if (!read) continue;
    EXPECT_EQ(forwarder.moduleHash, ModuleNameHash(c.module));
    EXPECT_EQ(forwarder.apiSet, c.apiSet);
    EXPECT_EQ(forwarder.query.nameHash, c.name == nullptr ? 0 : ExportNameHash(c.name));
    EXPECT_EQ(forwarder.query.ordinal, c.ordinal);
  }
}

// --- Base relocations -----------------------------------------------------------

constexpr std::uint16_t Entry(std::uint16_t type, std::uint16_t offset) {
  return static_cast<std::uint16_t>(type << 12 | offset);
}
constexpr std::uint16_t kAbsolute = PeImage::kRelocationAbsolute;
constexpr std::uint16_t kHighLow = PeImage::kRelocationHighLow;
constexpr std::uint16_t kDir64 = PeImage::kRelocationDir64;
constexpr std::uintptr_t kUp = 0x10000;
constexpr std::uintptr_t kDown = static_cast<std::uintptr_t>(0) - 0x10000;

struct Slot {
  std::uint32_t rva;
  std::size_t width;
  std::uint64_t linked;
  std::uint64_t relocated;  // what the slot holds afterwards
};

struct RelocationCase {
  const char* what;
  Format format;
  std::vector<TestImage::Block> blocks;
  std::uintptr_t delta;
  std::vector<Slot> slots;
  bool applied;
  std::vector<std::string> log;
  Damage damage = nullptr;
  int failOpen = 0;
};

void PrintTo(const RelocationCase& c, std::ostream* os) { *os << c.what; }

class PeImageRelocationTest : public ::testing::TestWithParam<RelocationCase> {};

TEST_P(PeImageRelocationTest, AppliesEachBlockWithItsPageOpen) {
  const RelocationCase& c = GetParam();
  TestImage image(c.format);
  // The directory lies in the last page, away from the patched ones.
  image.SetRelocations(0x2800, c.blocks);
  for (const Slot& slot : c.slots) image.Put(slot.rva, slot.linked, slot.width);
  if (c.damage) c.damage(image);
  const std::vector<std::uint8_t> before = image.Bytes();

  RecordingResolver resolver(image.Bytes().data());
  resolver.FailOpen(c.failOpen);
  EXPECT_EQ(PeImage::ApplyRelocations(image.View(), c.delta, resolver), c.applied);
  for (const Slot& slot : c.slots) {
    EXPECT_EQ(image.Read(slot.rva, slot.width), slot.relocated) << "slot +" << std::hex << slot.rva;
  }
  EXPECT_EQ(resolver.Log(), c.log);
  ExpectWritesOnlyWhereOpened(before, image.Bytes(), resolver);
}

const std::vector<std::string> kFirstPageOpened = {"open +0x1000 0x1000", "close +0x1000 0x1000 (0x21)"};

INSTANTIATE_TEST_SUITE_P(
    Relocations, PeImageRelocationTest,
    ::testing::Values(
        RelocationCase{"i686 HIGHLOW, delta up",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10), Entry(kHighLow, 0x20)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00411000}, {0x1020, 4, 0x00402000, 0x00412000}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"i686 HIGHLOW, delta down",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kDown,
                       {{0x1010, 4, 0x00401000, 0x003f1000}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"i686 HIGHLOW wraps at 32 bits",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0xffff8000, 0x00008000}, {0x1014, 4, 0x11111111, 0x11111111}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"i686 HIGHLOW at an odd offset, as in code",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x13)}}},
                       kUp,
                       {{0x1013, 4, 0x00401000, 0x00411000}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"x64 DIR64, delta up",
                       Format::kPe32Plus,
                       {{0x1000, {Entry(kDir64, 0x08)}}},
                       kUp,
                       {{0x1008, 8, 0x0000000140001000, 0x0000000140011000}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"x64 DIR64, delta down across 4 GB",
                       Format::kPe32Plus,
                       {{0x1000, {Entry(kDir64, 0x08)}}},
                       kDown,
                       {{0x1008, 8, 0x0000000100008000, 0x00000000ffff8000}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"ABSOLUTE entries pad a block and change nothing",
                       Format::kPe32Plus,
                       {{0x1000, {Entry(kDir64, 0x08), Entry(kAbsolute, 0), Entry(kAbsolute, 0x10)}}},
                       kUp,
                       {{0x1000, 8, 0x1234, 0x1234},
                        {0x1008, 8, 0x0000000140001000, 0x0000000140011000},
                        {0x1010, 8, 0x5678, 0x5678}},
                       true,
                       kFirstPageOpened},
        RelocationCase{"both kinds in one image, two pages",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10), Entry(kAbsolute, 0)}}, {0x2000, {Entry(kDir64, 0x20)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00411000}, {0x2020, 8, 0x0000000140001000, 0x0000000140011000}},
                       true,
                       {"open +0x1000 0x1000", "close +0x1000 0x1000 (0x21)", "open +0x2000 0x1000",
                        "close +0x2000 0x1000 (0x22)"}},
        RelocationCase{
            "a value across the page's end opens the next page on its own",
            Format::kPe32,
            {{0x1000, {Entry(kHighLow, 0xffe)}}},
            kUp,
            {{0x1ffe, 4, 0x00401000, 0x00411000}},
            true,
            {"open +0x1000 0x1000", "open +0x2000 0x1", "close +0x2000 0x1 (0x22)", "close +0x1000 0x1000 (0x21)"}},
        RelocationCase{"bytes too few for another block at the end are ignored",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00411000}},
                       true,
                       kFirstPageOpened,
                       [](TestImage& i) { i.SetDirectory(PeImage::kRelocationDirectory, 0x2800, 10 + 7); }},
        RelocationCase{"a kind x86 and x64 do not carry (HIGH) stops the walk",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10), Entry(1, 0x20), Entry(kHighLow, 0x30)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00411000}, {0x1030, 4, 0x00401000, 0x00401000}},
                       false,
                       kFirstPageOpened},
        RelocationCase{"a block shorter than its header",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00401000}},
                       false,
                       {},
                       [](TestImage& i) { i.Put(0x2800 + 4, 6, 4); }},
        RelocationCase{"a block longer than the directory",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00401000}},
                       false,
                       {},
                       [](TestImage& i) { i.Put(0x2800 + 4, 12, 4); }},
        RelocationCase{
            "a page past the image's end", Format::kPe32, {{0x3000, {Entry(kHighLow, 0x10)}}}, kUp, {}, false, {}},
        RelocationCase{"a value running past the image's end",
                       Format::kPe32Plus,
                       {{0x2000, {Entry(kDir64, 0xffc)}}},
                       kUp,
                       {{0x2ffc, 4, 0x11111111, 0x11111111}},
                       false,
                       {"open +0x2000 0x1000", "close +0x2000 0x1000 (0x21)"}},
        RelocationCase{"no relocation directory",
                       Format::kPe32,
                       {},
                       kUp,
                       {},
                       false,
                       {},
                       [](TestImage& i) { i.SetDirectory(PeImage::kRelocationDirectory, 0, 0); }},
        RelocationCase{"a directory past the image's end",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00401000}},
                       false,
                       {},
                       [](TestImage& i) { i.SetDirectory(PeImage::kRelocationDirectory, 0x2800, 0x900); }},
        RelocationCase{"the page cannot be opened",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0x10)}}},
                       kUp,
                       {{0x1010, 4, 0x00401000, 0x00401000}},
                       false,
                       {"open +0x1000 0x1000"},
                       nullptr,
                       1},
        RelocationCase{"the next page cannot be opened",
                       Format::kPe32,
                       {{0x1000, {Entry(kHighLow, 0xffe)}}},
                       kUp,
                       {{0x1ffe, 4, 0x00401000, 0x00401000}},
                       false,
                       {"open +0x1000 0x1000", "open +0x2000 0x1", "close +0x1000 0x1000 (0x21)"},
                       nullptr,
                       2}));

// --- Imports ------------------------------------------------------------------

struct ImportCase {
  const char* what;
  std::vector<TestImage::ImportedModule> modules;
  bool bound;
  std::vector<std::string> requests;  // the resolver's log without its opens and closes
  Damage damage = nullptr;
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.what; }

std::vector<std::string> Requests(const std::vector<std::string>& log) {
  std::vector<std::string> requests;
  for (const std::string& line : log) {
    if (line.rfind("open ", 0) != 0 && line.rfind("close ", 0) != 0) requests.push_back(line);
  }
  return requests;
}

// The address the resolver gives for a function: distinct, and of the
// width of the format's slots.
std::uintptr_t AddressOf(Format format, const std::string& module, const std::string& function) {
  const std::uintptr_t low = 0x1000 + (ModuleNameHash((module + "!" + function).c_str()) & 0xfff0000u);
  return format == Format::kPe32 ? low : low | (std::uintptr_t{0x7ff0} << 32);
}

void AddFunctions(RecordingResolver& resolver, Format format, const std::vector<TestImage::ImportedModule>& modules) {
  for (const TestImage::ImportedModule& module : modules) {
    if (module.module.rfind("missing", 0) == 0) continue;
    resolver.AddModuleThatLoads(module.module);
    for (const TestImage::Import& function : module.functions) {
      const std::string name = function.name.empty() ? "#" + std::to_string(function.ordinal) : function.name;
      if (name != "Missing") resolver.AddFunction(module.module, name, AddressOf(format, module.module, name));
    }
  }
}

const std::vector<TestImage::ImportedModule> kTwoModules = {
    {"a.dll", {{"Alpha", 0}, {"", 7}, {"Beta", 0}}, true},
    {"b.dll", {{"Gamma", 0}}, true},
};

class PeImageImportTest : public ::testing::TestWithParam<ImportCase> {};

TEST_P(PeImageImportTest, BindsEachSlotWithItsModulesSlotsOpen) {
  const ImportCase& c = GetParam();
  for (Format format : kFormats) {
    SCOPED_TRACE(FormatName(format));
    TestImage image(format);
    const std::vector<std::uint32_t> slots = image.SetImports(0x2000, c.modules);
    if (c.damage) c.damage(image);
    const std::vector<std::uint8_t> before = image.Bytes();
    RecordingResolver resolver(image.Bytes().data());
    AddFunctions(resolver, format, c.modules);

    EXPECT_EQ(PeImage::BindImports(image.View(), resolver), c.bound);
    EXPECT_EQ(Requests(resolver.Log()), c.requests);
    ExpectWritesOnlyWhereOpened(before, image.Bytes(), resolver);
    if (!c.bound) continue;
    const std::size_t width = image.Wide() ? 8 : 4;
    for (std::size_t m = 0; m < c.modules.size(); ++m) {
      const auto& functions = c.modules[m].functions;
      for (std::size_t f = 0; f < functions.size(); ++f) {
        const std::string name =
            functions[f].name.empty() ? "#" + std::to_string(functions[f].ordinal) : functions[f].name;
        EXPECT_EQ(image.Read(static_cast<std::uint32_t>(slots[m] + f * width), width),
                  AddressOf(format, c.modules[m].module, name))
            << c.modules[m].module << "!" << name;
      }
      EXPECT_EQ(image.Read(static_cast<std::uint32_t>(slots[m] + functions.size() * width), width), 0u)
          << "the slots' terminator";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Imports, PeImageImportTest,
    ::testing::Values(
        ImportCase{
            "by name and by ordinal, two modules",
            kTwoModules,
            true,
            {"load a.dll", "find a.dll!Alpha", "find a.dll!#7", "find a.dll!Beta", "load b.dll", "find b.dll!Gamma"}},
        ImportCase{"names kept in the slots of an old image",
                   {{"a.dll", {{"Alpha", 0}, {"", 7}}, false}},
                   true,
                   {"load a.dll", "find a.dll!Alpha", "find a.dll!#7"}},
        ImportCase{"a module with no functions is loaded all the same",
                   {{"a.dll", {}, true}, {"b.dll", {{"Gamma", 0}}, true}},
                   true,
                   {"load a.dll", "load b.dll", "find b.dll!Gamma"}},
        ImportCase{"no imports", {}, true, {}},
        ImportCase{
            "no import directory", {}, true, {}, [](TestImage& i) { i.SetDirectory(PeImage::kImportDirectory, 0, 0); }},
        ImportCase{
            "a module that does not load stops the binding",
            {{"a.dll", {{"Alpha", 0}}, true}, {"missing.dll", {{"Beta", 0}}, true}, {"b.dll", {{"Gamma", 0}}, true}},
            false,
            {"load a.dll", "find a.dll!Alpha", "load missing.dll"}},
        ImportCase{"a function that is not found stops the binding",
                   {{"a.dll", {{"Alpha", 0}, {"Missing", 0}, {"Beta", 0}}, true}, {"b.dll", {{"Gamma", 0}}, true}},
                   false,
                   {"load a.dll", "find a.dll!Alpha", "find a.dll!Missing"}},
        ImportCase{"a directory past the image's end",
                   kTwoModules,
                   false,
                   {},
                   [](TestImage& i) { i.SetDirectory(PeImage::kImportDirectory, 0x2ff0, 0x20); }},
        ImportCase{"descriptors running off the image without their 0 name",
                   kTwoModules,
                   false,
                   {"load a.dll", "find a.dll!Alpha", "find a.dll!#7", "find a.dll!Beta"},
                   [](TestImage& i) {
                     // The table copied to the image's last 20 bytes: one descriptor, then the end.
                     const std::uint32_t last = static_cast<std::uint32_t>(i.Bytes().size() - 20);
                     for (std::uint32_t b = 0; b < 20; ++b) i.Put(last + b, i.Read(0x2000 + b, 1), 1);
                     i.SetDirectory(PeImage::kImportDirectory, last, 20);
                   }},
        ImportCase{"a module name running off the image",
                   kTwoModules,
                   false,
                   {},
                   [](TestImage& i) {
                     const std::uint32_t end = static_cast<std::uint32_t>(i.Bytes().size());
                     i.Put(end - 2, 'a' | 'b' << 8, 2);
                     i.Put(0x2000 + 12, end - 2, 4);
                   }},
        ImportCase{"a function name past the image's end",
                   kTwoModules,
                   false,
                   {"load a.dll"},
                   [](TestImage& i) {
                     const std::uint32_t lookup = static_cast<std::uint32_t>(i.Read(0x2000, 4));
                     i.Put(lookup, 0x2fff, 4);  // hint and name from the last byte on
                   }},
        ImportCase{"a lookup table running off the image",
                   kTwoModules,
                   false,
                   {},
                   [](TestImage& i) {
                     // Non-zero entries up to the image's end: no terminator.
                     for (std::uint32_t at = 0x2f00; at < 0x3000; at += 4) i.Put(at, 0x80000001, 4);
                     i.Put(0x2000, 0x2f00, 4);
                   }},
        ImportCase{"slots past the image's end", kTwoModules, false, {}, [](TestImage& i) {
                     i.Put(0x2000 + 16, 0x2ffc, 4);
                   }}));

TEST(PeImageImportSlotTest, APe32SlotRefusesAnAddressAbove4Gb) {
  TestImage image(Format::kPe32);
  const std::vector<std::uint32_t> slots = image.SetImports(0x2000, {{"a.dll", {{"Alpha", 0}}, true}});
  const std::uint64_t linked = image.Read(slots[0], 4);
  RecordingResolver resolver(image.Bytes().data());
  resolver.AddFunction("a.dll", "Alpha", static_cast<std::uintptr_t>(0x100001000ull));
  EXPECT_FALSE(PeImage::BindImports(image.View(), resolver));
  EXPECT_EQ(image.Read(slots[0], 4), linked);
  EXPECT_TRUE(resolver.Balanced());
}

}  // namespace
