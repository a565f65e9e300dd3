#pragma once

#include "base/win.h"

#include <oleauto.h>

// Owns one VARIANT: starts empty, cleared when the owner goes. Header-only
// and free of the C runtime, so it may serve code that runs before the
// runtime's start-up.
class ScopedVariant {
 public:
  ScopedVariant() { ::VariantInit(&value_); }
  ~ScopedVariant() { ::VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* Get() { return &value_; }
  const VARIANT& Value() const { return value_; }

  // Clears what is held, then takes ownership of `value` (a bitwise copy).
  void Reset(const VARIANT& value) {
    ::VariantClear(&value_);
    value_ = value;
  }

  // Clears what is held; VariantClear's answer, which is a failure when the
  // value cannot be freed (a locked array), the value then being kept.
  HRESULT Clear() { return ::VariantClear(&value_); }

  // For out-parameters that fill an empty VARIANT: clears what is held first.
  VARIANT* Receive() {
    ::VariantClear(&value_);
    return &value_;
  }

  // Hands the value to the caller, who then clears it; the owner is empty.
  VARIANT Release() {
    const VARIANT value = value_;
    ::VariantInit(&value_);
    return value;
  }

 private:
  VARIANT value_;
};
