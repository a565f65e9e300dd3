#pragma once

#include "base/win.h"

#include <winsvc.h>

// A move-only owner of one platform handle. Traits say what the handle is,
// which values mean "none" and how it is closed.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return handle_; }
  bool IsValid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return IsValid(); }

  // For out-parameters of the platform calls that open the handle.
  Handle* Receive() {
    Reset();
    return &handle_;
  }

  Handle Release() {
    Handle handle = handle_;
    handle_ = Traits::Null();
    return handle;
  }

  void Reset(Handle handle = Traits::Null()) {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Null();
};

// Kernel objects: processes, threads, files, events. Both null and
// INVALID_HANDLE_VALUE mean "none", as the platform calls disagree.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using ScopedHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
using ScopedFindHandle = UniqueHandle<FindHandleTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
using ScopedRegKey = UniqueHandle<RegKeyTraits>;

struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::CloseServiceHandle(h); }
};
using ScopedServiceHandle = UniqueHandle<ServiceHandleTraits>;
