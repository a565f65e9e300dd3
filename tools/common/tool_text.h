#pragma once

// The text the tools read from people and write for them: numbers, hex
// bytes and hex words. Pure (no <windows.h>), so that the host build tests
// it natively.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value of a hex digit of either case; -1 for any other character.
int HexDigit(char c);

// Digits alone in base 10 or 16 (no sign, prefix or blank), at least one,
// whose value is at most limit; nothing otherwise.
std::optional<std::uint64_t> ParseDigits(std::string_view digits, unsigned base, std::uint64_t limit);

// A 32-bit number: decimal ("010" is ten), or hex after 0x or 0X. Nothing
// for anything else, blanks and signs included.
std::optional<std::uint32_t> ParseNumber(std::string_view text);

// Bytes written as pairs of hex digits, any of separators allowed around
// the pairs but never inside one ("e1 00 ff", "e100ff"); the empty text is
// no bytes. Nothing for an odd digit or any other character. Each tool
// says which separators its input takes.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text, std::string_view separators);

// "e1 00 ff": lower case, single blanks; empty for no bytes.
std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count);

// "0x0000002a": lower case, at least `digits` digits.
std::string FormatWord(std::uint64_t value, int digits = 8);
