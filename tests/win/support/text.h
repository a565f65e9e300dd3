#pragma once

// Text as the tests write and read it: bytes in hex, lines of output.

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// One byte as two lower-case hex digits: "2a".
std::string HexByte(unsigned byte);
// The value's lowest `bytes` bytes, little-endian, with a blank between
// them, as profiles and replies spell bytes: "2a 00 00 00".
std::string HexBytes(std::uint64_t value, int bytes);

// The text with ASCII letters in lower case, for names Windows compares
// without case.
std::string Lower(std::string text);

// The lines of a text, ended by LF or CR LF, without their ends; the last
// one may lack its end.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace test
