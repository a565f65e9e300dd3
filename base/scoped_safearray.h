#pragma once

#include "base/win.h"

#include <oleauto.h>

// Owns one SAFEARRAY, destroyed when the owner goes. Header-only and free of
// the C runtime, like ScopedVariant.
class ScopedSafeArray {
 public:
  explicit ScopedSafeArray(SAFEARRAY* array = nullptr) : array_(array) {}
  ~ScopedSafeArray() {
    if (array_ != nullptr) ::SafeArrayDestroy(array_);
  }
  ScopedSafeArray(const ScopedSafeArray&) = delete;
  ScopedSafeArray& operator=(const ScopedSafeArray&) = delete;

  SAFEARRAY* Get() const { return array_; }
  explicit operator bool() const { return array_ != nullptr; }

  // Hands the array to the caller (a VARIANT, say), who then destroys it.
  SAFEARRAY* Release() {
    SAFEARRAY* array = array_;
    array_ = nullptr;
    return array;
  }

 private:
  SAFEARRAY* array_;
};

// The bytes of a one-dimensional array of 1-byte elements, locked from
// construction to destruction. An array of another shape, a null one or one
// that cannot be locked gives no access and stays as it was.
class SafeArrayByteLock {
 public:
  explicit SafeArrayByteLock(SAFEARRAY* array) {
    if (array == nullptr || ::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != 1) return;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data))) return;
    array_ = array;
    data_ = static_cast<BYTE*>(data);
  }
  ~SafeArrayByteLock() {
    if (array_ != nullptr) ::SafeArrayUnaccessData(array_);
  }
  SafeArrayByteLock(const SafeArrayByteLock&) = delete;
  SafeArrayByteLock& operator=(const SafeArrayByteLock&) = delete;

  explicit operator bool() const { return array_ != nullptr; }
  BYTE* Data() const { return data_; }
  // The number of bytes; 0 without access.
  ULONG Size() const { return array_ != nullptr ? array_->rgsabound[0].cElements : 0; }

 private:
  SAFEARRAY* array_ = nullptr;
  BYTE* data_ = nullptr;
};
