#pragma once

#include <string>

// The folder of the running executable, ending with a backslash; the empty
// string when the platform cannot name the executable.
std::string GetModuleDirectory();

// The folder part of a full executable path: up to and including its last
// backslash; without one, up to and including its first colon; else empty.
std::string ModuleDirectoryOf(const std::string& fullPath);
