#include "support/text.h"

#include <cctype>

namespace test {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string HexByte(unsigned byte) {
  static const char kDigits[] = "0123456789abcdef";
  return {kDigits[(byte >> 4) & 15], kDigits[byte & 15]};
}

std::string HexBytes(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) {
    if (i != 0) text += ' ';
    text += HexByte(i < 8 ? static_cast<unsigned>(value >> (8 * i)) & 0xffu : 0u);
  }
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

}  // namespace test
