// The text the tools read and write: numbers, hex bytes with each tool's
// separators, and the hex forms of their reports and journal.

#include "tools/common/tool_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// acpi-sim's profile takes blanks between byte pairs; acpi-probe's command
// line also commas and colons.
constexpr char kProfileSeparators[] = " \t";
constexpr char kProbeSeparators[] = " \t,:";

TEST(ToolText, NumbersAreDecimalOrHexAndFit32Bits) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"0", 0u},
      {"010", 10u},  // decimal, not octal
      {"0010", 10u},
      {"4294967295", 0xFFFFFFFFu},
      {"4294967296", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"0x302", 0x302u},
      {"0XfFfFfFfF", 0xFFFFFFFFu},
      {"0x010", 0x10u},
      {"0x00000000000302", 0x302u},
      {"0x100000000", std::nullopt},
      {"0x", std::nullopt},
      {"x10", std::nullopt},
      {"", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {"12a", std::nullopt},
      {"0x12g", std::nullopt},
      {"0b101", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(ParseNumber(c.text), c.value);
  }
}

TEST(ToolText, DigitsStopAtTheirLimitWithoutWrapping) {
  const struct {
    const char* digits;
    unsigned base;
    std::uint64_t limit;
    std::optional<std::uint64_t> value;
  } cases[] = {
      {"2147483648", 10, 0x80000000ull, 0x80000000ull},
      {"2147483649", 10, 0x80000000ull, std::nullopt},
      {"ff", 16, 0xFF, 0xFFull},
      {"100", 16, 0xFF, std::nullopt},
      {"ff", 10, 0xFFFFFFFF, std::nullopt},
      {"7", 10, 6, std::nullopt},
      {"18446744073709551615", 10, UINT64_MAX, UINT64_MAX},
      {"18446744073709551616", 10, UINT64_MAX, std::nullopt},
      {"ffffffffffffffff0", 16, UINT64_MAX, std::nullopt},
      {"", 10, 100, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.digits + "\" base " + std::to_string(c.base));
    EXPECT_EQ(ParseDigits(c.digits, c.base, c.limit), c.value);
  }
}

TEST(ToolText, HexBytesArePairsWithTheToolsSeparatorsBetween) {
  const struct {
    const char* text;
    const char* separators;
    std::optional<Bytes> bytes;
  } cases[] = {
      {"", kProfileSeparators, Bytes{}},
      {" \t ", kProfileSeparators, Bytes{}},
      {"e1 00 0A", kProfileSeparators, Bytes{0xE1, 0x00, 0x0A}},
      {"e1000a", kProfileSeparators, Bytes{0xE1, 0x00, 0x0A}},
      {"\tff  7f\t", kProfileSeparators, Bytes{0xFF, 0x7F}},
      {"e1,00", kProfileSeparators, std::nullopt},
      {"e1:00", kProfileSeparators, std::nullopt},
      {"e1,00:ff 7f\t01", kProbeSeparators, Bytes{0xE1, 0x00, 0xFF, 0x7F, 0x01}},
      {",:", kProbeSeparators, Bytes{}},
      {"e", kProbeSeparators, std::nullopt},
      {"e1 0", kProbeSeparators, std::nullopt},
      {"e 1", kProbeSeparators, std::nullopt},
      {"e,1", kProbeSeparators, std::nullopt},
      {"0xe1", kProbeSeparators, std::nullopt},
      {"g0", kProbeSeparators, std::nullopt},
      {"e1;00", kProbeSeparators, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\" with \"" + c.separators + "\"");
    EXPECT_EQ(ParseHexBytes(c.text, c.separators), c.bytes);
  }
}

TEST(ToolText, HexFormsAreLowerCaseAndPadded) {
  const Bytes bytes = {0xE1, 0x00, 0x0A, 0xFF};
  EXPECT_EQ(FormatHexBytes(bytes.data(), bytes.size()), "e1 00 0a ff");
  EXPECT_EQ(FormatHexBytes(bytes.data(), 1), "e1");
  EXPECT_EQ(FormatHexBytes(nullptr, 0), "");

  EXPECT_EQ(FormatWord(0x2A), "0x0000002a");
  EXPECT_EQ(FormatWord(0xDEADBEEF), "0xdeadbeef");
  EXPECT_EQ(FormatWord(0x3, 4), "0x0003");
  EXPECT_EQ(FormatWord(0x123456789ull), "0x123456789");
  EXPECT_EQ(FormatWord(0x1400000ull, 16), "0x0000000001400000");
}

TEST(ToolText, FormattedBytesReadBack) {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(ParseHexBytes(FormatHexBytes(all.data(), all.size()), kProfileSeparators), all);
}

}  // namespace
