#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/acpi-sim/array_mode.h"

// The machine profile (an INI file) that tells the server what to answer.
// Nothing is cached: every read asks the file anew, so a profile changed
// between calls takes effect at the next call. A missing file reads as
// an empty profile.
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
