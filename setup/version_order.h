#pragma once

#include <string_view>

// The order in which the installer compares an installed version with the
// version it brings: text, not numbers. Bytes are compared from the first
// on as signed 8-bit values (so 0x80..0xFF rank below every ASCII
// character); when one string is a proper prefix of the other, the shorter
// sorts first.

// Negative when a sorts before b, zero when they are equal, positive after.
int CompareVersions(std::string_view a, std::string_view b);

// True when the installed version sorts strictly before the target, i.e. an
// installation is due without asking the service manager.
bool VersionSortsBefore(std::string_view installed, std::string_view target);
