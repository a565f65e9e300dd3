#pragma once

#include <string>

// The folder path without any backslash at its end; a path made only of
// backslashes becomes empty.
std::string StripTrailingBackslashes(std::string folder);
