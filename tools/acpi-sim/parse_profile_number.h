#pragma once

#include <cstdint>
#include <string>

// A profile number: decimal ("1234", "-5" for negative HRESULT-style
// values) or hex with a 0x prefix ("0x302"), blanks around it allowed.
// False, with *value untouched, when the text is not such a number or
// does not fit 32 bits.
bool ParseProfileNumber(const std::string& text, std::uint32_t* value);
