#pragma once

#include "base/win.h"

// The nine functions through which other programs reach the ACPI automation
// server. Each creates its own server object for the call, answers 1 for
// success and 0 for failure, and needs COM initialised on the calling thread.
// Lengths are byte counts, in and out; a buffer must hold at least as many
// bytes as its length says on entry (AcpiGGrp: at least one).
extern "C" {
int WINAPI AcpiInit();
int WINAPI AcpiGetItem(ULONG item, ULONG* value);
int WINAPI AcpiGetItemEx(ULONG item, ULONG argument, ULONG* value);
int WINAPI AcpiSetItem(ULONG item, ULONG second, ULONG third);
int WINAPI AcpiGetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length);
int WINAPI AcpiSetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length);
int WINAPI AcpiMbif(BYTE* buffer, ULONG* length);
int WINAPI AcpiGGrp(ULONG selector, BYTE* buffer, ULONG* length);
int WINAPI AcpiCallMethod(const ULONG* method, BYTE* buffer, ULONG* length);
}

// For programs that find the exports with GetProcAddress.
using AcpiInitFunction = decltype(&AcpiInit);
using AcpiGetItemFunction = decltype(&AcpiGetItem);
using AcpiGetItemExFunction = decltype(&AcpiGetItemEx);
using AcpiSetItemFunction = decltype(&AcpiSetItem);
using AcpiGetItemBufferFunction = decltype(&AcpiGetItemBuffer);
using AcpiSetItemBufferFunction = decltype(&AcpiSetItemBuffer);
using AcpiMbifFunction = decltype(&AcpiMbif);
using AcpiGGrpFunction = decltype(&AcpiGGrp);
using AcpiCallMethodFunction = decltype(&AcpiCallMethod);
