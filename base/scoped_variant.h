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

  // Clears what is held; VariantClear's answer, which is a failure when the
  // value cannot be freed (a locked array), the value then being kept.
  HRESULT Clear() { return ::VariantClear(&value_); }

  // For filling an empty VARIANT, by an out-parameter or by hand: clears
  // what is held first.
  VARIANT* Receive() {
    ::VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};
