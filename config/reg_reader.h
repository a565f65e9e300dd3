#pragma once

#include <string>

#include "base/unique_handle.h"

// Opens the installation's key below HKEY_LOCAL_MACHINE for reading. The key
// closes with the object. Lives as a local object of one function and is
// never deleted through a pointer, hence no virtual destructor.
class RegReader {
 public:
  RegReader() = default;
  RegReader(const RegReader&) = delete;
  RegReader& operator=(const RegReader&) = delete;

  // Opens HKEY_LOCAL_MACHINE\subkey with the mask of AccessRights. On
  // failure the object stays closed.
  bool Open(const std::string& subkey);
  // The access mask that Open asks for: KEY_READ.
  virtual REGSAM AccessRights() const;

  bool IsOpen() const { return key_.IsValid(); }
  // The open key, for value reads; null while closed.
  HKEY Key() const { return key_.Get(); }

 private:
  ScopedRegKey key_;
};
