#pragma once

#include <string>

// The five settings of section "Common" in setup.ini beside the executable.
// Each call reads the file anew. A setting that cannot be read is reported
// in a message box and comes back as the empty string.

std::string GetServiceName();
// Ends with a backslash unless empty.
std::string GetInstallPath();
std::string GetRegistryKey();
std::string GetExecution();
std::string GetTargetVersion();
