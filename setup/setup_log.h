#pragma once

#include "base/win.h"

// The installer's log: one rotating file, setup.exe.log in Korven\Ventaro
// under the common application-data folder, kept by spdlog. Messages are
// written with spdlog::debug through the default logger.
class SetupLog {
 public:
  // Places the file and makes its logger the default one. Missing folders
  // are created so that only SYSTEM and Administrators may change them.
  // There is no log, and the run goes on unchanged, when the folder cannot
  // be found, the file cannot be opened, a folder on the way or the file is
  // a link (a reparse point, a second hard link), or a folder on the way
  // that this run did not make may be changed by someone untrusted (its
  // owner is not SYSTEM, Administrators, TrustedInstaller or this run's
  // account, or its DACL lets anyone else add, write, delete, rename or
  // re-permission entries).
  static void Open();
  // Writes out what is logged, stops the flush thread and closes the file.
  static void Close();
};

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
