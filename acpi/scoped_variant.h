#pragma once

#include "base/win.h"

#include <oleauto.h>

// Owns one VARIANT: starts empty, cleared when the owner goes.
class ScopedVariant {
 public:
  ScopedVariant() { ::VariantInit(&value_); }
  ~ScopedVariant() { ::VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* Get() { return &value_; }

 private:
  VARIANT value_;
};
