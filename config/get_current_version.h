#pragma once

#include <string>

// The version that the registry records as installed: the value "Version"
// of the key that the RegistryKey setting names below HKEY_LOCAL_MACHINE.
// Empty when there is none to read.
std::string GetCurrentVersion();
