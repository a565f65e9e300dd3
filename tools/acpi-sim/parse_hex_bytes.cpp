#include "tools/acpi-sim/parse_hex_bytes.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>* bytes) {
  std::vector<std::uint8_t> parsed;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    int high = HexDigit(text[i]);
    int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
  }
  *bytes = std::move(parsed);
  return true;
}
