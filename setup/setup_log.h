#pragma once

// The installer's log: one rotating file, setup.exe.log in Korven\Ventaro
// under the common application-data folder, kept by spdlog. Messages are
// written with spdlog::debug through the default logger.
class SetupLog {
 public:
  // Places the file and makes its logger the default one. When the folder
  // cannot be found or the file cannot be opened there is no log, and the
  // run goes on unchanged.
  static void Open();
  // Writes out what is logged, stops the flush thread and closes the file.
  static void Close();
};
