#include "setup/setup_log.h"

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "support/handle_mark.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/scratch.h"

#include <sddl.h>
#include <shlobj.h>

namespace test {
namespace {

constexpr std::size_t kMaxFileSize = 5242880;

std::string CommonAppData() {
  char folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return folder;
}

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::string::size_type start = 0, end;
  while ((end = content.find("\r\n", start)) != std::string::npos) {
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, content.size()) << "the file does not end with CR LF";
  return lines;
}

// Local time as the log writes it, for ordering.
std::string Stamp(const SYSTEMTIME& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond, t.wMilliseconds);
  return text;
}

// The folder's DACL as SDDL text, for telling whether it was changed.
std::string DaclText(const std::string& path) {
  DWORD size = 0;
  ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::string descriptor(size, '\0');
  if (size == 0 || !::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor[0], size, &size)) {
    ADD_FAILURE() << "cannot read the security of " << path << ", error " << ::GetLastError();
    return {};
  }
  char* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(&descriptor[0], SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr)) {
    ADD_FAILURE() << "cannot write out the security of " << path;
    return {};
  }
  std::string result = text;
  ::LocalFree(text);
  return result;
}

bool SidIs(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

// Whether the folder's DACL, as the platform reports it, allows Everyone
// anything.
bool GrantsEveryone(const std::string& path) {
  DWORD size = 0;
  ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::string descriptor(size, '\0');
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (size == 0 || !::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor[0], size, &size) ||
      !::GetSecurityDescriptorDacl(&descriptor[0], &present, &dacl, &defaulted)) {
    ADD_FAILURE() << "cannot read the security of " << path << ", error " << ::GetLastError();
    return true;
  }
  if (!present || !dacl) return true;  // no DACL: everyone may do anything
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return true;
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && ace->Mask != 0 && SidIs(&ace->SidStart, WinWorldSid))
      return true;
  }
  return false;
}

// A symbolic link to a folder, removed again on destruction. Wine cannot
// make one from a Windows program (CreateSymbolicLinkA reports success and
// makes nothing), so there it is a Unix link, which Wine shows as a reparse
// point.
class FolderLink {
 public:
  FolderLink(const std::string& link, const std::string& target) {
    if (UnixName() && UnixSpawn()) {
      unixLink_ = UnixPath(link);
      const std::string unixTarget = UnixPath(target);
      made_ = !unixLink_.empty() && !unixTarget.empty() && Run({"ln", "-s", unixTarget, unixLink_});
    } else {
      made_ = ::CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
      windowsLink_ = link;
    }
  }
  ~FolderLink() {
    if (!made_) return;
    // rm -f on the link itself: the folder it points to stays.
    if (!unixLink_.empty())
      Run({"rm", "-f", unixLink_});
    else
      ::RemoveDirectoryA(windowsLink_.c_str());
  }
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;

  bool Made() const { return made_; }

 private:
  using UnixNameFunction = char*(CDECL*)(const WCHAR*);
  using UnixSpawnFunction = LONG(CDECL*)(char* const*, int);

  static UnixNameFunction UnixName() {
    return reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  }
  static UnixSpawnFunction UnixSpawn() {
    return reinterpret_cast<UnixSpawnFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll"), "__wine_unix_spawnvp")));
  }
  // Runs a Unix program and waits for it.
  static bool Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return UnixSpawn()(argv.data(), TRUE) == 0;
  }

  bool made_ = false;
  std::string unixLink_;
  std::string windowsLink_;
};

// The log folder starts missing and is removed again afterwards; the log is
// closed before that, so that its file can go.
class SetupLogTest : public testing::Test {
 protected:
  SetupLogTest() { RemoveTree(korven_); }
  ~SetupLogTest() override {
    SetupLog::Close();
    RemoveTree(korven_);
  }

  std::string File(const std::string& name) const { return ventaro_ + name; }

  // Runs the probe, which logs one line and returns without closing the
  // log. Its console output goes to `output`.
  DWORD RunProbe(std::string& output) {
    const test::ProgramRun run = test::RunCollectingOutput("\"" + ExeFolder() + "setup_log_probe.exe\"");
    EXPECT_TRUE(run.started) << "cannot start the probe";
    output = run.output;
    return run.started ? run.exitCode : ~0u;
  }

  // Opens the log where it must not be: no logger, a line logged goes
  // nowhere, and a run of the probe ends as usual with nothing on the console.
  void ExpectNoLogAndNoOutput() {
    SetupLog::Open();
    EXPECT_EQ(spdlog::get("setup.exe"), nullptr);
    spdlog::debug("main: feature = 0x{:08x}", 0x302u);
    SetupLog::Close();
    std::string output;
    EXPECT_EQ(RunProbe(output), 0u);
    EXPECT_EQ(output, "");
  }

  const std::string korven_ = CommonAppData() + "\\Korven\\";
  const std::string ventaro_ = korven_ + "Ventaro\\";
  const std::string log_ = ventaro_ + "setup.exe.log";
};

TEST_F(SetupLogTest, CreatesItsFoldersAndWritesDefaultPatternDebugLines) {
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  SetupLog::Open();
  EXPECT_TRUE(FolderExists(korven_));
  EXPECT_TRUE(FileExists(log_));
  spdlog::debug("main: feature = 0x{:08x}", 0x302u);
  spdlog::debug("main: targetVer = {}", std::string("1.2.0.8"));
  spdlog::debug("main: currentVer = {}", std::string());
  spdlog::debug("main: RegisterService: bSuccess = {}", true);
  spdlog::debug("ExecuteCommand: app = {}, CreateProcessA fail({}). ", "\"C:\\x y\\svc.exe\" /Service", 2u);
  SetupLog::Close();
  ::GetLocalTime(&after);

  const std::vector<std::string> lines = SplitLines(ReadFileContent(log_));
  const std::vector<std::string> texts = {
      "main: feature = 0x00000302",
      "main: targetVer = 1.2.0.8",
      "main: currentVer = ",
      "main: RegisterService: bSuccess = true",
      "ExecuteCommand: app = \"C:\\x y\\svc.exe\" /Service, CreateProcessA fail(2). ",
  };
  ASSERT_EQ(lines.size(), texts.size());
  const std::regex pattern(R"(\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] \[setup\.exe\] \[debug\] (.*))");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, pattern)) << lines[i];
    EXPECT_EQ(match[2].str(), texts[i]);
    // Local time, in an order that sorts as text.
    EXPECT_LE(Stamp(before).substr(0, 19), match[1].str().substr(0, 19)) << lines[i];
    EXPECT_GE(Stamp(after), match[1].str()) << lines[i];
  }
}

TEST_F(SetupLogTest, ContinuesTheFileOfAnEarlierRun) {
  ASSERT_TRUE(::CreateDirectoryA(korven_.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(ventaro_.c_str(), nullptr));
  const std::string earlier = "[2024-05-06 07:08:09.123] [setup.exe] [debug] main: feature = 0x00000302\r\n";
  WriteFileContent(log_, earlier);

  SetupLog::Open();
  spdlog::debug("main: targetVer = {}", "2.0");
  SetupLog::Close();

  const std::string content = ReadFileContent(log_);
  ASSERT_EQ(content.compare(0, earlier.size(), earlier), 0) << content;
  const std::vector<std::string> lines = SplitLines(content);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("] [setup.exe] [debug] main: targetVer = 2.0"), std::string::npos) << lines[1];
  EXPECT_FALSE(FileExists(File("setup.exe.1.log"))) << "an existing file must not be rotated on open";
}

TEST_F(SetupLogTest, RotatesPast5MiBKeepingExactlyThreeOlderFiles) {
  const std::string message = "main: MakeTargetFolder path = C:\\Program Files\\Korven\\1.2.0.8\\";
  // The length of one line, as the log writes it.
  SetupLog::Open();
  spdlog::debug(message);
  SetupLog::Close();
  const std::size_t line = ReadFileContent(log_).size();
  ASSERT_GT(line, message.size());

  const std::string full(kMaxFileSize - line, 'x');
  WriteFileContent(log_, full);
  WriteFileContent(File("setup.exe.1.log"), "one");
  WriteFileContent(File("setup.exe.2.log"), "two");
  WriteFileContent(File("setup.exe.3.log"), "three");

  // A line that takes the file to exactly the limit still goes into it.
  SetupLog::Open();
  spdlog::debug(message);
  SetupLog::Close();
  EXPECT_EQ(ReadFileContent(log_).size(), kMaxFileSize);
  EXPECT_EQ(ReadFileContent(File("setup.exe.1.log")), "one");

  // The next one would take it past: every file moves one place down, the
  // oldest is lost, and a new file receives the line.
  SetupLog::Open();
  spdlog::debug(message);
  SetupLog::Close();
  EXPECT_EQ(ReadFileContent(log_).size(), line);
  EXPECT_EQ(ReadFileContent(File("setup.exe.1.log")).size(), kMaxFileSize);
  EXPECT_EQ(ReadFileContent(File("setup.exe.2.log")), "one");
  EXPECT_EQ(ReadFileContent(File("setup.exe.3.log")), "two");
  EXPECT_FALSE(FileExists(File("setup.exe.4.log")));

  // Once more: still three older files, never a fourth.
  WriteFileContent(log_, std::string(kMaxFileSize, 'y'));
  SetupLog::Open();
  spdlog::debug(message);
  SetupLog::Close();
  EXPECT_EQ(ReadFileContent(log_).size(), line);
  EXPECT_EQ(ReadFileContent(File("setup.exe.1.log")), std::string(kMaxFileSize, 'y'));
  EXPECT_EQ(ReadFileContent(File("setup.exe.2.log")).size(), kMaxFileSize);
  EXPECT_EQ(ReadFileContent(File("setup.exe.3.log")), "one");
  EXPECT_FALSE(FileExists(File("setup.exe.4.log")));
}

TEST_F(SetupLogTest, RotatesWhenTheNextLineWouldEndPastTheLimitNotWhenItEndsAtIt) {
  const std::string message = "main: targetVer = 1.2.0.8";
  SetupLog::Open();
  spdlog::debug(message);
  SetupLog::Close();
  const std::size_t line = ReadFileContent(log_).size();
  ASSERT_GT(line, message.size());

  const struct {
    std::size_t before;  // the file's size when the line comes
    bool rotates;
  } cases[] = {
      {kMaxFileSize - line, false},     // the line ends at the limit
      {kMaxFileSize - line + 1, true},  // it would end one byte past it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.before) + " bytes before the line");
    ::DeleteFileA(File("setup.exe.1.log").c_str());
    WriteFileContent(log_, std::string(c.before, 'x'));
    SetupLog::Open();
    spdlog::debug(message);
    SetupLog::Close();
    if (c.rotates) {
      EXPECT_EQ(ReadFileContent(log_).size(), line);
      EXPECT_EQ(ReadFileContent(File("setup.exe.1.log")).size(), c.before) << "the full file moved whole";
    } else {
      EXPECT_EQ(ReadFileContent(log_).size(), c.before + line);
      EXPECT_FALSE(FileExists(File("setup.exe.1.log")));
    }
  }
}

TEST_F(SetupLogTest, MessagesAfterCloseGoNowhere) {
  SetupLog::Open();
  spdlog::debug("main: targetVer = {}", "1.0");
  SetupLog::Close();
  spdlog::debug("main: currentVer = {}", "after close");
  const std::vector<std::string> lines = SplitLines(ReadFileContent(log_));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("main: targetVer = 1.0"), std::string::npos);
}

TEST_F(SetupLogTest, LinesOfARunThatEndsWithoutCloseAreInTheFile) {
  std::string output;
  EXPECT_EQ(RunProbe(output), 0u);
  EXPECT_EQ(output, "");
  const std::vector<std::string> lines = SplitLines(ReadFileContent(log_));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[[-0-9: .]{23}\] \[setup\.exe\] \[debug\] )"
                                                    R"(main: feature = 0x000001ff)")))
      << lines[0];
}

TEST_F(SetupLogTest, FileThatCannotBeOpenedMeansNoLogAndNoOutput) {
  // A folder where the file should be: it cannot be the log.
  ASSERT_TRUE(::CreateDirectoryA(korven_.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(ventaro_.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(log_.c_str(), nullptr));

  EXPECT_NO_THROW(SetupLog::Open());
  EXPECT_EQ(spdlog::get("setup.exe"), nullptr);
  EXPECT_NE(spdlog::default_logger()->name(), "setup.exe");
  spdlog::debug("main: feature = 0x{:08x}", 0x302u);

  // The run goes on: exit status as usual, nothing on the console.
  std::string output;
  EXPECT_EQ(RunProbe(output), 0u);
  EXPECT_EQ(output, "");
  EXPECT_TRUE(FolderExists(log_));
}

TEST(LogFolderSecurityTest, FullControlForSystemAndAdministratorsReadAndTraverseForUsersNothingInherited) {
  LogFolderSecurity security;
  ASSERT_TRUE(security.IsValid());
  SECURITY_ATTRIBUTES* attributes = security.Attributes();
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->nLength, sizeof *attributes);
  EXPECT_FALSE(attributes->bInheritHandle);
  PSECURITY_DESCRIPTOR descriptor = attributes->lpSecurityDescriptor;
  ASSERT_TRUE(::IsValidSecurityDescriptor(descriptor));

  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "entries of ProgramData would be inherited";

  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  const struct {
    WELL_KNOWN_SID_TYPE who;
    ACCESS_MASK rights;
  } expected[] = {
      {WinLocalSystemSid, FILE_ALL_ACCESS},
      {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
      {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
  };
  ASSERT_EQ(dacl->AceCount, std::size(expected));
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    SCOPED_TRACE(i);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    // For the folder itself and, inherited, for every file and folder below.
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_TRUE(SidIs(&ace->SidStart, expected[i].who));
    EXPECT_EQ(ace->Mask, expected[i].rights);
  }
}

// Wine keeps no DACL of its own: it turns the one a folder is created with
// into Unix permissions and reports a DACL made from those. What survives is
// whether the world may read, which tells a protected folder from one made
// with the default security.
TEST_F(SetupLogTest, CreatesOnlyMissingFoldersProtectedAndLeavesExistingOnesAsTheyAre) {
  {
    ScratchFolder scratch;
    const std::string plain = scratch / "plain";
    ASSERT_TRUE(::CreateDirectoryA(plain.c_str(), nullptr));
    ASSERT_TRUE(GrantsEveryone(plain)) << "this platform cannot tell a protected folder from a plain one";
  }
  const struct { bool korvenThere, ventaroThere; } cases[] = {{false, false}, {true, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("Korven ") + (c.korvenThere ? "there" : "missing") + ", Ventaro " +
                 (c.ventaroThere ? "there" : "missing"));
    RemoveTree(korven_);
    if (c.korvenThere) {
      ASSERT_TRUE(::CreateDirectoryA(korven_.c_str(), nullptr));
    }
    if (c.ventaroThere) {
      ASSERT_TRUE(::CreateDirectoryA(ventaro_.c_str(), nullptr));
    }
    const std::string korvenBefore = c.korvenThere ? DaclText(korven_) : "";
    const std::string ventaroBefore = c.ventaroThere ? DaclText(ventaro_) : "";

    SetupLog::Open();
    spdlog::debug("main: targetVer = {}", "1.2.0.8");
    SetupLog::Close();

    const std::vector<std::string> lines = SplitLines(ReadFileContent(log_));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("main: targetVer = 1.2.0.8"), std::string::npos) << lines[0];
    if (c.korvenThere) {
      EXPECT_EQ(DaclText(korven_), korvenBefore);
    } else {
      EXPECT_FALSE(GrantsEveryone(korven_)) << DaclText(korven_);
    }
    if (c.ventaroThere) {
      EXPECT_EQ(DaclText(ventaro_), ventaroBefore);
    } else {
      EXPECT_FALSE(GrantsEveryone(ventaro_)) << DaclText(ventaro_);
    }
  }
}

TEST_F(SetupLogTest, LogFileWithASecondNameMeansNoLogUntilThatNameIsGone) {
  ASSERT_TRUE(::CreateDirectoryA(korven_.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(ventaro_.c_str(), nullptr));
  ScratchFolder scratch;
  // A file an ordinary user must not get written, reached by a second name.
  const std::string victim = scratch / "victim.txt";
  WriteFileContent(victim, "keep me\r\n");
  ASSERT_TRUE(::CreateHardLinkA(log_.c_str(), victim.c_str(), nullptr)) << ::GetLastError();

  ExpectNoLogAndNoOutput();
  EXPECT_EQ(ReadFileContent(victim), "keep me\r\n");

  // With one name left, it is the log file of an earlier run again.
  ASSERT_TRUE(::DeleteFileA(victim.c_str()));
  SetupLog::Open();
  spdlog::debug("main: targetVer = {}", "1.2.0.8");
  SetupLog::Close();
  const std::vector<std::string> lines = SplitLines(ReadFileContent(log_));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "keep me");
  EXPECT_NE(lines[1].find("main: targetVer = 1.2.0.8"), std::string::npos) << lines[1];
}

TEST_F(SetupLogTest, LinkedFolderOnTheWayMeansNoLogThere) {
  for (const bool korvenIsLink : {true, false}) {
    SCOPED_TRACE(korvenIsLink ? "Korven a link" : "Ventaro a link");
    RemoveTree(korven_);
    ScratchFolder elsewhere;
    if (!korvenIsLink) {
      ASSERT_TRUE(::CreateDirectoryA(korven_.c_str(), nullptr));
    }
    // Without the trailing backslash, which would look through the link.
    const std::string& folder = korvenIsLink ? korven_ : ventaro_;
    const std::string link = folder.substr(0, folder.size() - 1);
    FolderLink folderLink(link, elsewhere.Path());
    ASSERT_TRUE(folderLink.Made());
    const DWORD attributes = ::GetFileAttributesA(link.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << std::hex << attributes;

    ExpectNoLogAndNoOutput();

    // Nothing was written or made where the link leads.
    EXPECT_FALSE(FileExists(log_));
    EXPECT_FALSE(FileExists(elsewhere / "setup.exe.log"));
    EXPECT_FALSE(FolderExists(elsewhere / "Ventaro"));
  }
}

TEST_F(SetupLogTest, LeavesNoHandleOpenWhetherItLogsOrNot) {
  // Warm up: the first runs may open handles the process then keeps.
  for (int i = 0; i < 3; ++i) {
    RemoveTree(korven_);
    SetupLog::Open();
    SetupLog::Close();
  }
  // Folders created, the file used.
  std::uintptr_t before = FreshHandleValue();
  for (int i = 0; i < 20; ++i) {
    RemoveTree(korven_);
    SetupLog::Open();
    spdlog::debug("main: targetVer = {}", "1.2.0.8");
    SetupLog::Close();
  }
  EXPECT_EQ(FreshHandleValue(), before) << "logging";
  ASSERT_TRUE(FileExists(log_));

  // The file refused.
  ScratchFolder scratch;
  const std::string other = scratch / "other.txt";
  WriteFileContent(other, "");
  ASSERT_TRUE(::DeleteFileA(log_.c_str()));
  ASSERT_TRUE(::CreateHardLinkA(log_.c_str(), other.c_str(), nullptr));
  before = FreshHandleValue();
  for (int i = 0; i < 20; ++i) {
    SetupLog::Open();
    SetupLog::Close();
  }
  EXPECT_EQ(FreshHandleValue(), before) << "refused";
  EXPECT_EQ(ReadFileContent(other), "");
}

// Points the common application-data folder at a folder that does not
// exist, which makes the shell report it as not found; restores it after.
class MissingCommonAppData {
 public:
  MissingCommonAppData() {
    EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key_.Receive()),
              ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(::RegQueryValueExA(key_.Get(), kValue, nullptr, &type_, nullptr, &size), ERROR_SUCCESS);
    saved_.resize(size);
    ::RegQueryValueExA(key_.Get(), kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&saved_[0]), &size);
    const char missing[] = "C:\\no-such-common-app-data";
    EXPECT_EQ(
        ::RegSetValueExA(key_.Get(), kValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(missing), sizeof missing),
        ERROR_SUCCESS);
  }
  ~MissingCommonAppData() {
    ::RegSetValueExA(key_.Get(), kValue, 0, type_, reinterpret_cast<const BYTE*>(saved_.data()),
                     static_cast<DWORD>(saved_.size()));
    // The shell keeps the last folder it found under "Shell Folders"; one
    // more lookup puts the real one back, so that no later program's lookup
    // changes the machine on our behalf.
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  }

 private:
  static constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  static constexpr char kValue[] = "Common AppData";
  ScopedRegKey key_;
  DWORD type_ = 0;
  std::string saved_;
};

TEST_F(SetupLogTest, UnknownCommonAppDataFolderMeansNoLogAndNoOutput) {
  {
    MissingCommonAppData missing;
    char folder[MAX_PATH] = {};
    ASSERT_TRUE(FAILED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        << "the folder is still found: " << folder;
    ExpectNoLogAndNoOutput();
  }
  EXPECT_FALSE(FolderExists(korven_));
  EXPECT_FALSE(FolderExists("C:\\no-such-common-app-data"));
}

}  // namespace
}  // namespace test
