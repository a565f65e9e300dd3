#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Bytes written as pairs of hex digits, blanks allowed between the pairs
// ("e1 00 0a", "e1000a"); the empty text is no bytes. False, with *bytes
// untouched, on anything else (an odd digit, a stray character).
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>* bytes);
