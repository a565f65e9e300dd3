#pragma once

#include <string>

// The part of a path after its last backslash or colon. Empty when the path
// holds neither, or ends with one of them.
std::string PathFileName(const std::string& path);
