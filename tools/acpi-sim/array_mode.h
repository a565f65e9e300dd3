#pragma once

#include <string>

// What a buffer method does with the caller's array when it answers.
enum class ArrayMode {
  kInPlace,  // writes the reply into the request array, as much as fits
  kReplace,  // puts a new array holding exactly the reply into the holder
  kNone,     // leaves no array in the holder (a VT_I4 0 instead)
};

// "inplace", "replace" or "none", in any case. False, with *mode
// untouched, on anything else.
bool ParseArrayMode(const std::string& text, ArrayMode* mode);
