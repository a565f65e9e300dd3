// How profile values are read: numbers and hex bytes at their edges.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/acpi-sim/sim_profile.h"

namespace {

TEST(AcpiSimProfileValues, NumbersAreDecimalOrHexAndFit32Bits) {
  struct Case {
    const char* text;
    bool valid;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"0", true, 0},
      {" 4096 ", true, 4096},
      {"4294967295", true, 0xFFFFFFFF},
      {"4294967296", false, 0},
      {"0x302", true, 0x302},
      {"0XfFfFfFfF", true, 0xFFFFFFFF},
      {"0x100000000", false, 0},
      {"0x00000000000302", true, 0x302},
      {"-2147467259", true, 0x80004005},
      {"-2147483648", true, 0x80000000},
      {"-2147483649", false, 0},
      {"0x", false, 0},
      {"-", false, 0},
      {"", false, 0},
      {"12a", false, 0},
      {"0x12g", false, 0},
      {"1 2", false, 0},
      {"-0x5", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    std::uint32_t value = 0xA5A5A5A5;
    EXPECT_EQ(ParseProfileNumber(c.text, &value), c.valid);
    EXPECT_EQ(value, c.valid ? c.value : 0xA5A5A5A5) << "a refused text leaves the value alone";
  }
}

TEST(AcpiSimProfileValues, HexBytesArePairsWithBlanksBetween) {
  using Bytes = std::vector<std::uint8_t>;
  struct Case {
    const char* text;
    bool valid;
    Bytes bytes;
  };
  const Case cases[] = {
      {"", true, {}},
      {"   ", true, {}},
      {"e1 00 0A", true, {0xE1, 0x00, 0x0A}},
      {"e1000a", true, {0xE1, 0x00, 0x0A}},
      {"\tff  7f\t", true, {0xFF, 0x7F}},
      {"e", false, {}},
      {"e1 0", false, {}},
      {"e 1", false, {}},
      {"0xe1", false, {}},
      {"e1,00", false, {}},
      {"g0", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    Bytes bytes = {0x99};
    EXPECT_EQ(ParseProfileBytes(c.text, &bytes), c.valid);
    EXPECT_EQ(bytes, c.valid ? c.bytes : Bytes{0x99}) << "a refused text leaves the bytes alone";
  }
}

}  // namespace
