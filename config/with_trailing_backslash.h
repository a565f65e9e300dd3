#pragma once

#include <string>

// The folder path with one backslash appended, unless it is empty or already
// ends with one: file names are appended to folder paths directly.
std::string WithTrailingBackslash(std::string path);
