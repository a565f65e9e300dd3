#pragma once

#include <string>

// Registers this program as an own-process, demand-start service under
// name, or points an existing service of that name at this program.
// Returns 0, or the platform's error code.
unsigned long InstallService(const std::string& name);

// Stops and removes the service. Returns 0, or the platform's error code
// (ERROR_SERVICE_DOES_NOT_EXIST when there is none of that name).
unsigned long UninstallService(const std::string& name);
