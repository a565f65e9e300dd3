// A folder name outside the machine's ANSI code page: users whose profile
// folder is named in another script download the installer there. The
// installer's manifest makes UTF-8 its active code page, so its ANSI calls
// get the real names; setup.ini is then read as UTF-8. This test program
// has no such manifest: it works with the wide functions wherever a name
// may lie outside its own code page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "installation.h"
#include "support/process.h"
#include "support/text.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

std::wstring Wide(const std::string& utf8) {
  const int n =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int n =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

std::string ReadBytes(const std::wstring& path) {
  ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  ScopedHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid()) << ::GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// A folder with the given files at its top level, removed on destruction.
class WideFolder {
 public:
  explicit WideFolder(std::wstring path) : path_(std::move(path)) {
    EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr)) << ::GetLastError();
  }
  ~WideFolder() {
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(::FindFirstFileW((path_ + L"*").c_str(), &data));
    if (find) {
      do {
        ::DeleteFileW((path_ + data.cFileName).c_str());
      } while (::FindNextFileW(find.Get(), &data));
    }
    find.Reset();
    ::RemoveDirectoryW(path_.c_str());
  }
  WideFolder(const WideFolder&) = delete;
  WideFolder& operator=(const WideFolder&) = delete;
  const std::wstring& Path() const { return path_; }  // ends with a backslash

 private:
  std::wstring path_;
};

DWORD RunAndWait(const std::wstring& program) {
  test::ProcessOptions options;
  options.noWindow = true;
  const test::Process process(L"\"" + program + L"\"", options);
  if (!process.Started()) {
    ADD_FAILURE() << "cannot start setup.exe: " << process.StartError();
    return ~0u;
  }
  process.Wait();
  return process.ExitCode();
}

// The messages of the log lines after the first `from` bytes.
Lines LogMessagesFrom(std::size_t from) {
  const std::string log = ReadBytes(Wide(kLogFile));
  Lines messages;
  const std::string prefix = "] [setup.exe] [debug] ";
  for (const std::string& line : test::SplitLines(log.substr(from < log.size() ? from : log.size()))) {
    const std::size_t cut = line.find(prefix);
    messages.push_back(cut == std::string::npos ? line : line.substr(cut + prefix.size()));
  }
  return messages;
}

std::wstring RegistryText(const std::string& key, const wchar_t* name) {
  ScopedRegKey opened;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(key).c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS) {
    return L"<no key>";
  }
  wchar_t text[1024] = {};
  DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  if (::RegQueryValueExW(opened.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return L"<no text>";
  }
  return text;
}

TEST(UnicodeFolders, InstallsFromAFolderNamedInOtherScriptsIntoAPathWithAnUmlaut) {
  Installation setup;  // the simulator, and unique names that it cleans up
  setup.UseMachine();
  // Cyrillic, Greek and CJK: none of them in code page 1252. Removed before
  // the scratch folder around it, which cannot name it.
  test::ScratchFolder downloads;
  WideFolder payload(Wide(downloads.Path()) +
                     L"\u041f\u0451\u0442\u0440 \u0395\u03bb\u03ad\u03bd\u03b7 \u5c71\u7530\\");
  for (const auto& file :
       {std::make_pair(SETUP_EXE, L"setup.exe"), std::make_pair(SAMPLE_SERVICE_EXE, L"fansvc.exe")}) {
    ASSERT_TRUE(::CopyFileW(Wide(FromUnixPath(file.first)).c_str(), (payload.Path() + file.second).c_str(), FALSE))
        << ::GetLastError();
  }
  // setup.ini in UTF-8, as an editor saves it; the install path below the
  // Installation's own, so that it goes with it.
  const std::string installPath = setup.InstallPath() +
                                  "\\K\xc3\xbc"
                                  "che";
  WriteBytes(payload.Path() + L"setup.ini",
             "[Common]\r\nServiceName=" + setup.ServiceName() + "\r\nInstallPath=" + installPath +
                 "\r\nRegistryKey=" + setup.RegistryKey() + "\r\nExecution=fansvc.exe\r\nversion=1.2.0.8\r\n");
  if (HasFatalFailure()) return;

  const std::size_t logStart = ReadBytes(Wide(kLogFile)).size();
  EXPECT_EQ(RunAndWait(payload.Path() + L"setup.exe"), 0u);

  const std::wstring target = Wide(ProgramFiles()) + Wide(installPath) + L"\\1.2.0.8\\";
  for (const wchar_t* name : {L"setup.exe", L"setup.ini", L"fansvc.exe"}) {
    EXPECT_NE(::GetFileAttributesW((target + name).c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(target + name);
  }
  EXPECT_EQ(Utf8(RegistryText(setup.RegistryKey(), L"Path")), Utf8(target));
  EXPECT_EQ(Utf8(RegistryText(setup.RegistryKey(), L"Version")), "1.2.0.8");
  EXPECT_TRUE(setup.ServiceExists());
  Lines expected = FreshInstallLines(setup);
  expected[3] = "main: MakeTargetFolder path = " + Utf8(target);  // the log is UTF-8
  EXPECT_EQ(LogMessagesFrom(logStart), expected);
}

}  // namespace
}  // namespace e2e
