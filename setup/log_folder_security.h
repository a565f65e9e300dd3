#pragma once

#include "base/win.h"

// The security the log's folders are created with: SYSTEM and
// Administrators have full control, Users may list, traverse and read;
// files and folders below inherit it, and nothing is inherited from the
// folder above. No ordinary user can then change or redirect the log.
class LogFolderSecurity {
 public:
  LogFolderSecurity();
  ~LogFolderSecurity();
  LogFolderSecurity(const LogFolderSecurity&) = delete;
  LogFolderSecurity& operator=(const LogFolderSecurity&) = delete;

  // False when the descriptor could not be built; a folder must then not be
  // created with it.
  bool IsValid() const { return descriptor_ != nullptr; }
  // For CreateDirectoryA; null when not valid.
  SECURITY_ATTRIBUTES* Attributes() { return IsValid() ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};
