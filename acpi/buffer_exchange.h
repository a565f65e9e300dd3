#pragma once

#include "base/win.h"

// One of the server's buffer methods and the values that lead its arguments.
struct BufferMethod {
  enum class Shape {
    kMbif,          // holder, length
    kSelector,      // selector, holder, length
    kItemArgument,  // item, argument, holder, length
  };
  // What the request's first byte is.
  enum class RequestStart {
    kAsGiven,  // the caller's
    kE1,       // 0xE1, written into the caller's buffer too
  };

  Shape shape;
  const wchar_t* name;
  ULONG first;   // the item or the selector
  ULONG second;  // the argument
  RequestStart start;
};

constexpr BufferMethod MbifMethod(const wchar_t* name) {
  return {BufferMethod::Shape::kMbif, name, 0, 0, BufferMethod::RequestStart::kAsGiven};
}

constexpr BufferMethod SelectorMethod(const wchar_t* name, ULONG selector, BufferMethod::RequestStart start) {
  return {BufferMethod::Shape::kSelector, name, selector, 0, start};
}

constexpr BufferMethod ItemArgumentMethod(const wchar_t* name, ULONG item, ULONG argument) {
  return {BufferMethod::Shape::kItemArgument, name, item, argument, BufferMethod::RequestStart::kAsGiven};
}

// One buffer export: creates a server object, sends the caller's `*length`
// bytes as a VT_I1 array, calls the method, copies the reply back and
// releases everything. The copy-back stays within the caller's buffer and
// the returned array; when the reply does not fit (or is no byte array),
// what fits is copied, `*length` becomes the bytes copied and the answer is
// 0. 1 on success, 0 on failure, a holder that cannot be cleared included.
int ExchangeBuffer(const BufferMethod& method, BYTE* buffer, ULONG* length);
