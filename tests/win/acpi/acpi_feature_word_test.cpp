// FeatureWord::Query in the installer's own process, through a registered
// copy of acpi-sim answering "iAcpiMbif".

#include "acpi/feature_word.h"

#include <objbase.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi_test_programs.h"
#include "support/text.h"

namespace {

// A reply as hex text: 4 unused bytes, the count, then records of 2 unused
// bytes, the length L, the value and max(L, 4) bytes.
struct Record {
  std::uint16_t length;
  std::uint32_t value;
};

std::string Hex(std::uint64_t value, int bytes) { return " " + test::HexBytes(value, bytes); }

std::string Reply(std::uint32_t count, const std::vector<Record>& records) {
  std::string text = Hex(0, 4) + Hex(count, 4);
  for (const Record& r : records) {
    text += Hex(0xeeee, 2) + Hex(r.length, 2) + Hex(r.value, 4);
    for (int i = 0; i < (r.length > 4 ? r.length : 4); ++i) text += " ee";
  }
  return text.substr(1);
}

class FeatureWordQueryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
  void TearDown() override { ::CoUninitialize(); }
};

TEST_F(FeatureWordQueryTest, TakesTheWordFromTheServersReply) {
  const struct {
    const char* what;
    std::string profile;
    std::uint32_t word;  // expected afterwards; the word starts at 0x11
  } cases[] = {
      {"the machine's feature word", "[Mbif]\r\nFeatureWord=0x00000302\r\n", 0x302},
      {"L = 0 then L = 8", "[Mbif]\r\nReply=" + Reply(3, {{0, 1}, {8, 2}, {4, 0x0000ff00}}) + "\r\n", 0x0000ff00},
      {"count 5", "[Mbif]\r\nReply=" + Reply(5, {{6, 1}, {4, 2}, {4, 0x201}, {4, 4}, {4, 5}}) + "\r\n", 0x201},
      {"count 2 keeps the word", "[Mbif]\r\nReply=" + Reply(2, {{4, 1}, {4, 2}, {4, 0x302}}) + "\r\n", 0x11},
      {"count 1 keeps the word", "[Mbif]\r\nReply=" + Reply(1, {{4, 0x302}, {4, 0x302}, {4, 0x302}}) + "\r\n", 0x11},
      // The reply holds the value at 36..39, but the server says 39 bytes.
      {"value beyond the returned length",
       "[Mbif]\r\nReply=" + Reply(3, {{4, 1}, {4, 2}, {4, 0x302}}) + "\r\nLength=39\r\n", 0x11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    acpi_test::RegisteredSim sim(c.profile);
    ASSERT_TRUE(sim.Registered());
    FeatureWord word(0x11);
    EXPECT_TRUE(word.Query());
    EXPECT_EQ(word.Value(), c.word);
  }
}

TEST_F(FeatureWordQueryTest, SendsAZeroFilledRequestOf4096Bytes) {
  acpi_test::RegisteredSim sim;
  ASSERT_TRUE(sim.Registered());
  FeatureWord word;
  EXPECT_TRUE(word.Query());
  EXPECT_EQ(word.Value(), 0x302u);

  const std::vector<std::string> journal = sim.Journal();
  ASSERT_EQ(journal.size(), 1u);
  std::string zeros = "00";
  for (int i = 1; i < 4096; ++i) zeros += " 00";
  EXPECT_EQ(journal[0], "iAcpiMbif [" + zeros + "] &0x00001000");
}

TEST_F(FeatureWordQueryTest, FailedMbifLeavesTheWordAndAnswersFalse) {
  {
    acpi_test::RegisteredSim sim("[iAcpiMbif]\r\nFail=0x80004005\r\n");
    ASSERT_TRUE(sim.Registered());
    FeatureWord word(0x11);
    EXPECT_FALSE(word.Query());
    EXPECT_EQ(word.Value(), 0x11u);
  }
  ASSERT_FALSE(acpi_test::ServerProgIdRegistered());
  FeatureWord word;
  EXPECT_FALSE(word.Query());
  EXPECT_EQ(word.Value(), 0u);
}

}  // namespace
