#include "setup/setup_log.h"

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <regex>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "support/scratch.h"

#include <shlobj.h>

namespace test {
namespace {

constexpr std::size_t kMaxFileSize = 5242880;

std::string CommonAppData() {
  char folder[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return folder;
}

std::string ExeFolder() {
  std::string path(32768, '\0');
  path.resize(::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size())));
  return path.substr(0, path.rfind('\\') + 1);
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
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

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
    ScratchFolder scratch;
    const std::string outputFile = scratch / "output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    ScopedHandle out(::CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(out.IsValid());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = out.Get();
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + ExeFolder() + "setup_log_probe.exe\"";
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      ADD_FAILURE() << "cannot start the probe, error " << ::GetLastError();
      return ~0u;
    }
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = ~0u;
    ::GetExitCodeProcess(process.Get(), &code);
    out.Reset();
    output = ReadFileContent(outputFile);
    return code;
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
  // A folder where the file should be: the library cannot open it and throws.
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
    EXPECT_EQ(::RegSetValueExA(key_.Get(), kValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(missing),
                               sizeof missing),
              ERROR_SUCCESS);
  }
  ~MissingCommonAppData() {
    ::RegSetValueExA(key_.Get(), kValue, 0, type_, reinterpret_cast<const BYTE*>(saved_.data()),
                     static_cast<DWORD>(saved_.size()));
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

    SetupLog::Open();
    EXPECT_EQ(spdlog::get("setup.exe"), nullptr);
    spdlog::debug("main: feature = 0x{:08x}", 0x302u);

    std::string output;
    EXPECT_EQ(RunProbe(output), 0u);
    EXPECT_EQ(output, "");
  }
  EXPECT_FALSE(FolderExists(korven_));
  EXPECT_FALSE(FolderExists("C:\\no-such-common-app-data"));
}

}  // namespace
}  // namespace test
