#include "setup/setup_log.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "base/win.h"
#include "setup/log_place.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace {

constexpr char kLoggerName[] = "setup.exe";
constexpr char kKorven[] = "\\Korven";
constexpr char kVentaro[] = "\\Ventaro";
constexpr char kFileName[] = "\\setup.exe.log";
constexpr std::size_t kMaxFileSize = 5242880;
constexpr std::size_t kOlderFiles = 3;

// The SIDs a folder may belong to, and be changed by, without an ordinary
// user being able to lead the log: SYSTEM, Administrators, TrustedInstaller
// and the account this run is.
class TrustedSids {
 public:
  TrustedSids() {
    Add(WinLocalSystemSid);
    Add(WinBuiltinAdministratorsSid);
    PSID installer = nullptr;
    if (::ConvertStringSidToSidA(kTrustedInstaller, &installer)) {
      Keep(installer, ::GetLengthSid(installer));
      ::LocalFree(installer);
    }
    ScopedHandle token;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
      DWORD size = 0;
      ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
      std::vector<BYTE> user(size);
      if (size != 0 && ::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) {
        PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
        Keep(sid, ::GetLengthSid(sid));
      }
    }
    DWORD size = sizeof creatorOwner_;
    if (!::CreateWellKnownSid(WinCreatorOwnerSid, nullptr, creatorOwner_, &size)) creatorOwner_[0] = 0;
  }

  Trustee Classify(PSID sid) const {
    if (!sid || !::IsValidSid(sid)) return Trustee::kOther;
    for (const std::vector<BYTE>& trusted : sids_) {
      if (::EqualSid(sid, const_cast<BYTE*>(trusted.data()))) return Trustee::kTrusted;
    }
    if (creatorOwner_[0] != 0 && ::EqualSid(sid, const_cast<BYTE*>(creatorOwner_))) return Trustee::kCreatorOwner;
    return Trustee::kOther;
  }

 private:
  static constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

  void Add(WELL_KNOWN_SID_TYPE type) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (::CreateWellKnownSid(type, nullptr, sid, &size)) Keep(sid, size);
  }
  void Keep(const void* sid, DWORD size) {
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    sids_.emplace_back(bytes, bytes + size);
  }

  std::vector<std::vector<BYTE>> sids_;
  BYTE creatorOwner_[SECURITY_MAX_SID_SIZE] = {};
};

// The owner and DACL of what the handle is open on, in the terms the
// decision takes.
FolderSecurity ReadFolderSecurity(HANDLE entry, const TrustedSids& trusted) {
  FolderSecurity security;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return security;
  }
  security.read = true;
  security.owner = trusted.Classify(owner);
  security.hasDacl = dacl != nullptr;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
      security.read = false;
      break;
    }
    AccessEntry entry;
    // Every kind of entry keeps its mask right after the header.
    entry.mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->Mask;
    switch (header->AceType) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: entry.allows = false; break;
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        entry.trustee = trusted.Classify(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart);
        break;
      default: break;  // an entry of another kind counts as a grant to anyone
    }
    security.entries.push_back(entry);
  }
  ::LocalFree(descriptor);
  return security;
}

// Opens the entry itself, not what a link points to, for its attributes,
// link count and, for a folder, its owner and DACL: all read through that
// one handle, so that they belong to the same entry.
FoundEntry LookAt(const std::string& path, const TrustedSids& trusted) {
  FoundEntry found;
  ScopedHandle entry(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
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
  if (found.folder) found.security = ReadFolderSecurity(entry.Get(), trusted);
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
  // A folder someone else may change is refused, not repaired: a handle they
  // already hold would keep its access.
  const TrustedSids trusted;
  const LogPlace place = DecideLogPlace(LookAt(korven, trusted), LookAt(ventaro, trusted), LookAt(path, trusted));
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
