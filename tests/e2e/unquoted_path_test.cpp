// Paths an elevated run must not be led to. A command line whose program
// path holds blanks and is not quoted lets the platform try each piece up
// to a blank as a program first: for C:\Program Files\Fan Control\... that
// is C:\Program.exe, then C:\Program Files\Fan.exe (with Program Files (x86),
// C:\Program Files.exe and C:\Program Files (x86)\Fan.exe on the way). And setup.ini, which the
// user can write, must not send the installation or the service executable
// out of the folders meant for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "installation.h"
#include "support/process.h"

#include <shlobj.h>

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr char kInstallPath[] = "Fan Control\\Service";

// Starts the command line as it stands and waits; false when nothing started.
bool Start(const std::string& commandLine) {
  test::ProcessOptions options;
  options.noWindow = true;
  return test::RunToEnd(commandLine, options).started;
}

// A copy of command-probe, which writes the command line it got to
// "<its path>.cmdline" when run. Removed with that file on destruction,
// and any left by an earlier run before it is planted.
class Canary {
 public:
  explicit Canary(std::string path) : path_(std::move(path)) {
    Remove();
    EXPECT_TRUE(::CopyFileA(FromUnixPath(COMMAND_PROBE_EXE).c_str(), path_.c_str(), FALSE))
        << path_ << ": " << ::GetLastError();
  }
  ~Canary() { Remove(); }
  Canary(const Canary&) = delete;
  Canary& operator=(const Canary&) = delete;

  const std::string& Path() const { return path_; }
  // The command line it ran with; empty when it did not run.
  std::string CommandLine() const { return test::ReadFileContent(path_ + ".cmdline"); }
  void Remove() const {
    ::DeleteFileA(path_.c_str());
    ::DeleteFileA((path_ + ".cmdline").c_str());
  }

 private:
  std::string path_;
};

// A folder under Program Files that the test installs below, removed with
// everything in it before and after (the Installation removes only its own
// install path).
class ProgramFilesFolder {
 public:
  explicit ProgramFilesFolder(const std::string& name) : path_(ProgramFiles() + name) { test::RemoveTree(path_); }
  ~ProgramFilesFolder() { test::RemoveTree(path_); }
  ProgramFilesFolder(const ProgramFilesFolder&) = delete;
  ProgramFilesFolder& operator=(const ProgramFilesFolder&) = delete;

 private:
  std::string path_;
};

Lines RunLines(const std::string& targetFolder) {
  return {"main: feature = 0x00000302", "main: targetVer = 1.2.0.8",
          "main: currentVer = ", "main: MakeTargetFolder path = " + targetFolder};
}

TEST(UnquotedPath, InstallingBelowBlanksRunsOnlyTheServiceExecutable) {
  // The machine's Program Files, as the shell gives it to this build.
  const std::string programFiles = ProgramFiles();
  const std::size_t blank = programFiles.find(' ');
  ASSERT_NE(blank, std::string::npos) << programFiles << ": no blank to test with";
  // Declared first, so removed last: after the Installation has cleaned up.
  ProgramFilesFolder fanControl("Fan Control");
  Canary program(programFiles.substr(0, blank) + ".exe");
  Canary fan(programFiles + "Fan.exe");

  Installation setup;
  setup.UseMachine();
  setup.settings["InstallPath"] = kInstallPath;
  const std::string target = programFiles + kInstallPath + "\\1.2.0.8\\";
  RunResult run = setup.Run();

  EXPECT_EQ(run.exitCode, 0u);
  Lines expected = RunLines(target);
  expected.push_back("ExecuteCommand: CreateProcessA...");
  expected.push_back("main: RegisterService: bSuccess = true");
  EXPECT_EQ(run.lines, expected);
  // The service executable itself ran: it registered the service.
  EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
  EXPECT_EQ(program.CommandLine(), "");
  EXPECT_EQ(fan.CommandLine(), "");

  // The same command line unquoted does reach the canaries, one after the
  // other: they stand where the platform looks.
  const std::string unquoted = target + "fansvc.exe /Service";
  ASSERT_TRUE(Start(unquoted));
  EXPECT_EQ(program.CommandLine(), unquoted);
  EXPECT_EQ(fan.CommandLine(), "");
  program.Remove();
  ASSERT_TRUE(Start(unquoted));
  // Wine quotes the program it found ("C:\Program Files\Fan" Control\...),
  // Windows passes the line as given: the rest is the same.
  const std::string rest = " Control\\Service\\1.2.0.8\\fansvc.exe /Service";
  const std::string seen = fan.CommandLine();
  EXPECT_TRUE(seen.size() > rest.size() && seen.compare(seen.size() - rest.size(), rest.size(), rest) == 0) << seen;
}

TEST(UnsafeSettings, InstallPathLeavingProgramFilesEndsTheRunBeforeTheCopy) {
  const std::string escape = test::UniqueName("VentaroEscape");
  const std::string drive = ProgramFiles().substr(0, 3);
  const struct {
    const char* what;
    std::optional<std::string> installPath;
    std::string wouldMake;  // where the files would otherwise have gone
  } cases[] = {
      {"parent steps", "..\\" + escape, drive + escape + "\\1.2.0.8\\"},
      {"an absolute path", drive + escape, drive + escape + "\\1.2.0.8\\"},
      // With version missing too: Program Files itself.
      {"missing, version missing", std::nullopt, ProgramFiles()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Installation setup;
    setup.UseMachine();
    setup.settings["InstallPath"] = c.installPath;
    if (!c.installPath) setup.settings["version"] = std::nullopt;
    const std::vector<std::string> programFilesBefore = ListFolder(ProgramFiles());
    RunResult run = setup.Run();

    EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
    Lines expected = RunLines("");
    if (!c.installPath) expected[1] = "main: targetVer = ";
    expected.push_back("main: CopyData fail path = ");
    EXPECT_EQ(run.lines, expected);
    EXPECT_FALSE(test::FileExists(c.wouldMake + "fansvc.exe"));
    EXPECT_EQ(ListFolder(ProgramFiles()), programFilesBefore);
    EXPECT_FALSE(test::FolderExists(drive + escape));
    EXPECT_FALSE(setup.ReadValue("Version"));
    EXPECT_FALSE(setup.ServiceExists());
    test::RemoveTree(drive + escape);
  }
}

TEST(UnsafeSettings, ExecutionLeavingTheTargetFolderStartsNothing) {
  Installation setup;
  setup.UseMachine();
  // Where "..\evil.exe" would lead from the version folder.
  ASSERT_EQ(::SHCreateDirectoryExA(nullptr, setup.InstallRoot().c_str(), nullptr), ERROR_SUCCESS);
  Canary evil(setup.InstallRoot() + "evil.exe");
  setup.settings["Execution"] = "..\\evil.exe";
  RunResult run = setup.Run();

  EXPECT_EQ(run.exitCode, 0u);
  Lines expected = RunLines(setup.TargetFolder("1.2.0.8"));
  expected.push_back("main: RegisterService: bSuccess = false");
  EXPECT_EQ(run.lines, expected);
  EXPECT_EQ(evil.CommandLine(), "");
  EXPECT_FALSE(setup.ReadValue("Version"));
  EXPECT_FALSE(setup.ServiceExists());
}

}  // namespace
}  // namespace e2e
