#pragma once

#include <string>

// Folder and file names taken apart and put together as text. Folder paths
// handed between steps end with a backslash, and file names are appended to
// them directly.

// The folder path with one backslash appended, unless it is empty or already
// ends with one.
std::string WithTrailingBackslash(std::string path);

// The folder path without any backslash at its end; a path made only of
// backslashes becomes empty.
std::string StripTrailingBackslashes(std::string folder);

// The folder part of a full executable path: up to and including its last
// backslash; without one, up to and including its first colon; else empty.
std::string ModuleDirectoryOf(const std::string& fullPath);

// The part of a path after its last backslash or colon. Empty when the path
// holds neither, or ends with one of them.
std::string PathFileName(const std::string& path);
