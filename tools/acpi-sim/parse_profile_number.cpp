#include "tools/acpi-sim/parse_profile_number.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseProfileNumber(const std::string& text, std::uint32_t* value) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin == end) return false;

  bool negative = false;
  std::uint64_t limit = 0xFFFFFFFFull;
  unsigned base = 10;
  if (text[begin] == '-') {
    negative = true;
    limit = 0x80000000ull;
    ++begin;
  } else if (end - begin > 2 && text[begin] == '0' && (text[begin + 1] == 'x' || text[begin + 1] == 'X')) {
    base = 16;
    begin += 2;
  }
  if (begin == end) return false;

  std::uint64_t number = 0;
  for (std::size_t i = begin; i < end; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    number = number * base + static_cast<unsigned>(digit);
    if (number > limit) return false;
  }
  *value = negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(number))
                    : static_cast<std::uint32_t>(number);
  return true;
}
