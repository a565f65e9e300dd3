#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A 32-bit number written in decimal or with 0x in hex.
std::optional<std::uint32_t> ParseNumber(const std::string& text);

// Hex bytes: pairs of hex digits, optionally separated by blanks, commas or
// colons ("e1 00 ff", "e100ff"). Nothing for an odd digit or any other character.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);

// "e1 00 ff": lower case, single blanks; empty for no bytes.
std::string FormatHexBytes(const std::uint8_t* bytes, std::size_t count);

// "0x0000002a"
std::string FormatWord(std::uint64_t value, int digits = 8);
