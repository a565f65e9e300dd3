#pragma once

// Points this program's import of one function at another while the object
// lives: for answers the platform cannot be brought to give. Only calls
// through this executable's import table are redirected, which is every
// call of the code linked into it.

#include "base/win.h"

namespace test {

class ScopedImportPatch {
 public:
  // `dll` as the import table names it ("shell32.dll"), any case.
  ScopedImportPatch(const char* dll, const char* function, const void* replacement);
  ~ScopedImportPatch();
  ScopedImportPatch(const ScopedImportPatch&) = delete;
  ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

  // False when the executable does not import the function.
  bool Patched() const { return slot_ != nullptr; }
  // What the import pointed at before.
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace test
