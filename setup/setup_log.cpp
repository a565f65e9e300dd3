#include "setup/setup_log.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include "base/unique_handle.h"
#include "base/win.h"
#include "setup/log_place.h"

#include <sddl.h>
#include <shlobj.h>

namespace {

constexpr char kLoggerName[] = "setup.exe";
constexpr char kKorven[] = "\\Korven";
constexpr char kVentaro[] = "\\Ventaro";
constexpr char kFileName[] = "\\setup.exe.log";
constexpr std::size_t kMaxFileSize = 5242880;
constexpr std::size_t kOlderFiles = 3;

// Opens the entry itself, not what a link points to, for its attributes and
// link count.
FoundEntry LookAt(const std::string& path) {
  FoundEntry found;
  ScopedHandle entry(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!entry.IsValid()) {
    const DWORD error = ::GetLastError();
    found.state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FoundEntry::State::kMissing
                                                                                 : FoundEntry::State::kUnreadable;
    return found;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(entry.Get(), &info)) {
    found.state = FoundEntry::State::kUnreadable;
    return found;
  }
  DWORD attributes = info.dwFileAttributes;
  // Wine shows a link to a folder as a reparse point only by its path.
  const DWORD byPath = ::GetFileAttributesA(path.c_str());
  if (byPath != INVALID_FILE_ATTRIBUTES) attributes |= byPath;
  found.state = FoundEntry::State::kPresent;
  found.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  found.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  found.links = info.nNumberOfLinks;
  return found;
}

// Creates the missing folders with a security that keeps ordinary users
// out; a folder that cannot be made so means no log.
bool CreateLogFolders(const LogPlace& place, const std::string& korven, const std::string& ventaro) {
  if (!place.createKorven && !place.createVentaro) return true;
  LogFolderSecurity security;
  if (!security.IsValid()) return false;
  if (place.createKorven && !::CreateDirectoryA(korven.c_str(), security.Attributes())) return false;
  if (place.createVentaro && !::CreateDirectoryA(ventaro.c_str(), security.Attributes())) return false;
  return true;
}

}  // namespace

void SetupLog::Open() {
  char folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return;
  const std::string korven = std::string(folder) + kKorven;
  const std::string ventaro = korven + kVentaro;
  const std::string path = ventaro + kFileName;

  // Elevated writes must not be led elsewhere by a link an ordinary user
  // planted; when in doubt, there is no log.
  const LogPlace place = DecideLogPlace(LookAt(korven), LookAt(ventaro), LookAt(path));
  if (!place.usable || !CreateLogFolders(place, korven, ventaro)) return;

  std::shared_ptr<spdlog::logger> logger;
  try {
    // Continues an existing file.
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

namespace {

// P: protected, no inherited entries. OICI: inherited by files and folders.
// FA is FILE_ALL_ACCESS; 0x1200a9 is FILE_GENERIC_READ | FILE_GENERIC_EXECUTE.
constexpr char kDescriptor[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

LogFolderSecurity::LogFolderSecurity() {
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kDescriptor, SDDL_REVISION_1, &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

LogFolderSecurity::~LogFolderSecurity() {
  if (descriptor_) ::LocalFree(descriptor_);
}
