#include "tools/acpi-sim/array_mode.h"

#include "tools/acpi-sim/same_ascii_name.h"

bool ParseArrayMode(const std::string& text, ArrayMode* mode) {
  if (SameAsciiName(text, "inplace")) {
    *mode = ArrayMode::kInPlace;
  } else if (SameAsciiName(text, "replace")) {
    *mode = ArrayMode::kReplace;
  } else if (SameAsciiName(text, "none")) {
    *mode = ArrayMode::kNone;
  } else {
    return false;
  }
  return true;
}
