#pragma once

#include "base/win.h"

// Which of the server's buffer method shapes a call has.
enum class BufferMethod {
  kMbif,           // holder, length
  kSelector,       // selector, holder, length
  kItemArgument,   // item, argument, holder, length
};

// One buffer export: creates a server object, sends the caller's `*length`
// bytes as a VT_I1 array (with 0xE1 as first byte when `leadWithE1`), calls
// `methodName`, copies the reply back and releases everything. The copy-back
// stays within the caller's buffer and the returned array; when the reply
// does not fit (or is no byte array), what fits is copied, `*length` becomes
// the bytes copied and the answer is 0. 1 on success, 0 on failure.
int ExchangeBuffer(BufferMethod shape, const wchar_t* methodName, ULONG first, ULONG second,
                   bool leadWithE1, BYTE* buffer, ULONG* length);
