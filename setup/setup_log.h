#pragma once

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
