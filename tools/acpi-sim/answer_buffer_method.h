#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include "base/win.h"

#include "tools/acpi-sim/sim_method.h"
#include "tools/acpi-sim/sim_profile.h"

// Answers a buffer method as the profile says: the reply (the request
// itself unless the profile gives one) goes into the holder in the way its
// Array mode says, and the reply's length into *length. holder must hold a
// one-dimensional VT_I1 array.
HRESULT AnswerBufferMethod(const SimMethod& method, VARIANT* holder, ULONG* length, const SimProfile& profile);
