#pragma once

#include "base/win.h"

// The installer's log: one rotating file, setup.exe.log in Korven\Ventaro
// under the common application-data folder, kept by spdlog. Messages are
// written with spdlog::debug through the default logger.
class SetupLog {
 public:
  // Places the file and makes its logger the default one. Missing folders
  // are created so that only SYSTEM and Administrators may change them.
  // When the folder cannot be found, the file cannot be opened, or a folder
  // on the way or the file is a link (a reparse point, a second hard link)
  // there is no log, and the run goes on unchanged.
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
