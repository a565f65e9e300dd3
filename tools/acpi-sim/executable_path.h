#pragma once

#include <string>

// The running executable's full path; empty when the platform cannot
// name it.
std::wstring ExecutablePath();

// The running executable's folder, ending with a backslash; empty when
// the platform cannot name it. ANSI, as the profile functions take it.
std::string ExecutableFolder();
