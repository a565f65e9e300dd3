#pragma once

#include <string>

#include <oaidl.h>
#include <oleauto.h>
#include "base/win.h"

// The journal line of one call: the method's name and its arguments as
// they arrived, in declared order (args holds them last first, as
// Invoke receives them).
std::string DescribeCall(const char* method, const VARIANTARG* args, unsigned count);
