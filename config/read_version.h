#pragma once

#include <string>

#include "base/win.h"

// Reads the value "Version" of an open key, stored as REG_SZ, REG_EXPAND_SZ
// (taken unexpanded) or REG_MULTI_SZ (its first string). True on success;
// only then is version assigned.
bool ReadVersion(HKEY key, std::string& version);
