#pragma once

// What the design makes every call to the ACPI server cost, and no more:
// the ProgID looked up, a fresh server object, the method's DISPID, one
// Invoke, the object released. The baselines of the installation's two
// activations and of the export calls.

#include "base/win.h"

#include <oaidl.h>

// A method without arguments ("iAcpiInit").
HRESULT BareCall(const wchar_t* method);
// A method taking (item, argument, holder, length), as "iAcpiGetItem" takes
// (item, &value) when holder is null: a buffer of `length` bytes goes out
// in a VT_I1 array and the reply comes back into it.
HRESULT BareItemCall(const wchar_t* method, ULONG item, ULONG* value);
HRESULT BareBufferCall(const wchar_t* method, const ULONG* leading, int leadingCount, BYTE* buffer, ULONG* length);
