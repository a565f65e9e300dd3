#include "setup/setup_log.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include "base/win.h"

#include <shlobj.h>

namespace {

constexpr char kLoggerName[] = "setup.exe";
constexpr char kLogFile[] = "\\Korven\\Ventaro\\setup.exe.log";
constexpr std::size_t kMaxFileSize = 5242880;
constexpr std::size_t kOlderFiles = 3;

}  // namespace

void SetupLog::Open() {
  char folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return;
  const std::string path = std::string(folder) + kLogFile;

  std::shared_ptr<spdlog::logger> logger;
  try {
    // Creates the missing folders and continues an existing file.
    logger = spdlog::rotating_logger_mt(kLoggerName, path, kMaxFileSize, kOlderFiles, false);
    spdlog::flush_every(std::chrono::seconds(3));
    spdlog::set_level(spdlog::level::debug);
    spdlog::set_default_logger(logger);
  } catch (const std::exception&) {
    // Typically the file cannot be opened. Go on without a log, as when the
    // folder cannot be found; the built-in logger keeps dropping debug lines.
    if (logger && spdlog::default_logger_raw() != logger.get()) spdlog::drop(kLoggerName);
  }
}

void SetupLog::Close() {
  try {
    spdlog::shutdown();
    // shutdown leaves no default logger at all, and spdlog::debug would then
    // dereference null. A logger without sinks lets later messages go nowhere.
    spdlog::set_default_logger(std::make_shared<spdlog::logger>(""));
  } catch (const std::exception&) {
  }
}
