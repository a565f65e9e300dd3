#pragma once

#include <string>

#include "base/unique_handle.h"
#include "base/win.h"

// The registry key below HKEY_LOCAL_MACHINE (the RegistryKey setting) that
// records an installation: the values "Version" and "Path".

// Opens the installation's key for reading. The key closes with the object.
// Lives as a local object of one function and is never deleted through a
// pointer, hence no virtual destructor.
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

// Creates, or opens when it exists, the installation's key with full access.
// The key closes with the object.
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

// Reads the value "Version" of an open key, stored as REG_SZ, REG_EXPAND_SZ
// (taken unexpanded) or REG_MULTI_SZ (its first string). True on success;
// only then is version assigned.
bool ReadVersion(HKEY key, std::string& version);

// The version that the registry records as installed: the value "Version"
// of the key that the RegistryKey setting names. Empty when there is none to
// read.
std::string GetCurrentVersion();

// Records an installation in an open key: "Path", then "Version", each as
// REG_SZ with its terminating NUL. A failed value does not keep the next one
// from being written, and neither failure is reported.
void WriteInstallRecord(HKEY key, const std::string& version, const std::string& path);
