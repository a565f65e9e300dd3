#include "tools/common/tool_text.h"

#include <cstdio>

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint64_t> ParseDigits(std::string_view digits, unsigned base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    // Checked before the step, so that the value never wraps.
    const auto d = static_cast<std::uint64_t>(digit);
    if (d > limit || value > (limit - d) / base) return std::nullopt;
    value = value * base + d;
  }
  return value;
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  const std::optional<std::uint64_t> value = ParseDigits(text, base, 0xFFFFFFFFull);
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text, std::string_view separators) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    if (separators.find(c) != std::string_view::npos) {
      if (high >= 0) return std::nullopt;
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::string FormatWord(std::uint64_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}
