#pragma once

#include <string>

#include "base/unique_handle.h"

// Creates, or opens when it exists, the installation's key below
// HKEY_LOCAL_MACHINE with full access. The key closes with the object.
class RegWriter {
 public:
  RegWriter() = default;
  RegWriter(const RegWriter&) = delete;
  RegWriter& operator=(const RegWriter&) = delete;

  // True when HKEY_LOCAL_MACHINE\subkey is open for writing; a new key and
  // an existing one are alike. An empty subkey is refused, so that nothing
  // is ever written at the root of HKEY_LOCAL_MACHINE. On failure the object
  // stays closed.
  bool Create(const std::string& subkey);

  bool IsOpen() const { return key_.IsValid(); }
  // The open key, for RegSetValueExA; null while closed.
  HKEY Key() const { return key_.Get(); }

 private:
  ScopedRegKey key_;
};
