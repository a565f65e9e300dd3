#pragma once

// The machine profile (acpi-sim.ini beside the server) and the syntax of
// its values.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a buffer method does with the caller's array when it answers.
enum class ArrayMode {
  kInPlace,  // writes the reply into the request array, as much as fits
  kReplace,  // puts a new array holding exactly the reply into the holder
  kNone,     // leaves no array in the holder (a VT_I4 0 instead)
};

// The profile (an INI file) that tells the server what to answer. Nothing
// is cached: every read asks the file anew, so a profile changed between
// calls takes effect at the next call. A missing file reads as an empty
// profile.
//
// The typed reads return false when the key is there but its value is
// malformed, and otherwise leave in *value what the profile says, or
// nothing (the mode: its default) when the key is absent.
class SimProfile {
 public:
  explicit SimProfile(std::string path) : path_(std::move(path)) {}

  // The key's text; nothing when the key is absent. "Key=" is present
  // and empty.
  std::optional<std::string> Text(const char* section, const char* key) const;

  // A number, decimal or 0x hex; an empty value counts as absent.
  bool Number(const char* section, const char* key, std::optional<std::uint32_t>* value) const;
  // Hex byte pairs; an empty value is no bytes.
  bool Bytes(const char* section, const char* key, std::optional<std::vector<std::uint8_t>>* value) const;
  // inplace, replace or none; an empty value counts as absent.
  bool Mode(const char* section, const char* key, ArrayMode* value) const;

  // What [Items] gives for item, whose keys may be decimal or 0x hex;
  // 0 when no key names it.
  bool ItemValue(std::uint32_t item, std::uint32_t* value) const;

 private:
  std::string path_;
};

// The value syntax. Each parser returns false, with its out-parameter
// untouched, on a text that is not of its kind.

// A number: decimal ("1234", "-5" for negative HRESULT-style values) or
// hex with a 0x prefix ("0x302"), blanks around it allowed; it must fit
// 32 bits.
bool ParseProfileNumber(const std::string& text, std::uint32_t* value);

// Bytes written as pairs of hex digits, blanks allowed between the pairs
// ("e1 00 0a", "e1000a"); the empty text is no bytes. An odd digit or a
// stray character (a comma too) is refused.
bool ParseProfileBytes(const std::string& text, std::vector<std::uint8_t>* bytes);

// "inplace", "replace" or "none", in any case.
bool ParseArrayMode(const std::string& text, ArrayMode* mode);
