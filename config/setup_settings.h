#pragma once

#include <string>

// The five settings of section "Common" in setup.ini beside the executable.
// Each call reads the file anew. A setting that cannot be read is reported
// in a message box and comes back as the empty string.

// The folder of the running executable, ending with a backslash; the empty
// string when the platform cannot name the executable. setup.ini and the
// service's files are found there.
std::string GetModuleDirectory();

std::string GetServiceName();
// Ends with a backslash unless empty.
std::string GetInstallPath();
std::string GetRegistryKey();
std::string GetExecution();
std::string GetTargetVersion();
