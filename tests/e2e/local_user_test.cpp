// An ordinary user of the machine against the elevated installer: folders
// they made where the log goes, which they may still change, with links
// they planted there to a file of their choice. Wine shows a link to a file
// as a plain file, so here only the folders' trust can stop the writes; the
// run must end as usual with nothing written through the links, and never
// change such a folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_table.h"
#include "installation.h"
#include "support/scratch.h"
#include "unix_shell.h"

#include <aclapi.h>
#include <sddl.h>

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr std::size_t kMaxLogSize = 5242880;

// Runs a shell script, failing the test when it does not succeed.
void Shell(const std::string& script) {
  const UnixRun run = RunUnixShell(script);
  EXPECT_TRUE(run.finished && run.status == 0) << script << "\n" << run.output;
}

// The log folders as an earlier test or run left them are gone before and
// after: the next run makes its own.
class NoLogFolders {
 public:
  NoLogFolders() { Remove(); }
  ~NoLogFolders() { Remove(); }

 private:
  // rm follows no link: what the links point to stays.
  static void Remove() { Shell("rm -rf " + ShellQuoted(UnixPath(kKorvenFolder))); }
};

enum class Loose { kKorven, kVentaro, kBoth };
enum class Made { kUnixMode, kEveryoneFullControl };
enum class Planted { kLogLink, kRotationLinks, kNothing };

// Makes the folder, then lets others change it: with a Unix mode that lets
// everyone write, or as a Windows program would, with a DACL that gives
// Everyone full control (Wine keeps that as the folder's mode).
void MakeLoose(const std::string& folder, Made made) {
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  if (made == Made::kUnixMode) {
    Shell("chmod 0777 " + ShellQuoted(UnixPath(folder)));
  } else {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    EXPECT_EQ(::SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, dacl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    ::LocalFree(descriptor);
  }
  // As the platform now reports it: Everyone may add, write and delete.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  char* text = nullptr;
  ::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
  EXPECT_NE(std::string(text ? text : "").find(";0x1301ff;;;WD)"), std::string::npos) << folder << ": " << text;
  ::LocalFree(text);
  ::LocalFree(descriptor);
}

// Every entry of the log folders with its size, time and link target, as
// the host sees them.
std::string LogFoldersAsTheHostSeesThem() {
  const UnixRun run = RunUnixShell("ls -lnR --time-style=+%s.%N " + ShellQuoted(UnixPath(kKorvenFolder)));
  EXPECT_TRUE(run.finished);
  return run.output;
}

struct LooseFolderCase {
  const char* name;
  Loose loose;
  Made made;
  Planted planted;
};

void PrintTo(const LooseFolderCase& c, std::ostream* out) { *out << c.name; }

class LooseLogFolder : public testing::TestWithParam<LooseFolderCase> {};

TEST_P(LooseLogFolder, NoLogIsWrittenNothingThroughALinkAndTheInstallationCompletes) {
  const LooseFolderCase& c = GetParam();
  NoLogFolders clean;
  Installation setup;
  setup.UseMachine();

  const bool korvenLoose = c.loose != Loose::kVentaro;
  const bool ventaroLoose = c.loose != Loose::kKorven;
  if (korvenLoose) {
    MakeLoose(kKorvenFolder, c.made);
  } else {
    ASSERT_TRUE(::CreateDirectoryA(kKorvenFolder, nullptr));
  }
  if (ventaroLoose) {
    MakeLoose(kLogFolder, c.made);
  } else if (c.planted != Planted::kNothing) {
    ASSERT_TRUE(::CreateDirectoryA(kLogFolder, nullptr));
  }
  if (HasFatalFailure()) return;

  // Files of the user's choice outside, reached through links in Ventaro.
  test::ScratchFolder outside;
  const std::vector<std::string> canaries = {outside / "canary0.txt", outside / "canary1.txt", outside / "canary2.txt",
                                             outside / "canary3.txt"};
  for (std::size_t i = 0; i < canaries.size(); ++i) {
    test::WriteFileContent(canaries[i], "canary " + std::to_string(i) + "\r\n");
  }
  const std::string ventaro = UnixPath(kLogFolder);
  if (c.planted == Planted::kLogLink) {
    Shell("ln -s " + ShellQuoted(UnixPath(canaries[0])) + " " + ShellQuoted(ventaro + "/setup.exe.log"));
  } else if (c.planted == Planted::kRotationLinks) {
    // A log so close to its limit that the run's first line rotates it.
    test::WriteFileContent(kLogFile, std::string(kMaxLogSize - 10, 'x'));
    for (int i = 1; i <= 3; ++i) {
      Shell("ln -s " + ShellQuoted(UnixPath(canaries[i])) + " " +
            ShellQuoted(ventaro + "/setup.exe." + std::to_string(i) + ".log"));
    }
  }
  const std::string before = LogFoldersAsTheHostSeesThem();

  const RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.lines, Lines{});
  ExpectInstalled(setup, "1.2.0.8");
  for (std::size_t i = 0; i < canaries.size(); ++i) {
    EXPECT_EQ(test::ReadFileContent(canaries[i]), "canary " + std::to_string(i) + "\r\n") << canaries[i];
  }
  // Not a byte, link, file or permission changed in the folders.
  EXPECT_EQ(LogFoldersAsTheHostSeesThem(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Users, LooseLogFolder,
    testing::Values(
        LooseFolderCase{"KorvenByModeLogLinked", Loose::kKorven, Made::kUnixMode, Planted::kLogLink},
        LooseFolderCase{"KorvenByDaclRotationLinked", Loose::kKorven, Made::kEveryoneFullControl,
                        Planted::kRotationLinks},
        LooseFolderCase{"KorvenByModeNoVentaro", Loose::kKorven, Made::kUnixMode, Planted::kNothing},
        LooseFolderCase{"VentaroByModeRotationLinked", Loose::kVentaro, Made::kUnixMode, Planted::kRotationLinks},
        LooseFolderCase{"VentaroByDaclLogLinked", Loose::kVentaro, Made::kEveryoneFullControl, Planted::kLogLink},
        LooseFolderCase{"BothByModeLogLinked", Loose::kBoth, Made::kUnixMode, Planted::kLogLink},
        LooseFolderCase{"BothByDaclRotationLinked", Loose::kBoth, Made::kEveryoneFullControl, Planted::kRotationLinks}),
    [](const testing::TestParamInfo<LooseFolderCase>& info) { return std::string(info.param.name); });

TEST(LogFolders, TheRunsOwnFoldersKeepTheLogFromRunToRun) {
  NoLogFolders clean;
  Installation setup;
  setup.UseMachine();
  const RunResult first = setup.Run();
  EXPECT_EQ(first.exitCode, 0u);
  EXPECT_EQ(first.lines, FreshInstallLines(setup));
  const RunResult second = setup.Run();
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(second.lines,
            (Lines{"main: feature = 0x00000302", "main: targetVer = 1.2.0.8", "main: currentVer = 1.2.0.8"}));
}

// What an ordinary user of the machine could try against the elevated
// installer, what it does about it, and which tests show it. The tests of
// this program named in `shownBy` must exist.
struct Threat {
  const char* threat;
  const char* answer;
  std::vector<const char*> e2eTests;  // name prefixes in this program
  const char* shownBy;
  const char* onlyWindows;
};

std::vector<Threat> Threats() {
  return {
      {"a link planted in the log folder, to the log file or to an older file of the rotation",
       "no log where the folder is one others may change; in a trusted folder, a reparse point on the way or a "
       "log file with a second name also means no log",
       {"Users/LooseLogFolder."},
       "`Users/LooseLogFolder.*` (Unix symbolic links; a log the run would rotate), "
       "`SetupLogTest.LinkedFolderOnTheWayMeansNoLogThere`, `SetupLogTest.LogFileWithASecondNameMeansNoLogUntilThat"
       "NameIsGone`, `DecideLogPlace.*`",
       "junctions and object-manager links, which Wine cannot make; Wine shows a symbolic link to a file as a plain "
       "file"},
      {"a log folder others can change, made beforehand under ProgramData",
       "trusted only when its owner is SYSTEM, Administrators, TrustedInstaller or the run's own account and its "
       "DACL lets no one else add, write, delete, rename or re-permission entries (CREATOR OWNER counts as anyone); "
       "otherwise no log, and the folder is left as it is",
       {"Users/LooseLogFolder.", "LogFolders.TheRunsOwnFoldersKeepTheLogFromRunToRun"},
       "`Users/LooseLogFolder.*` (a Unix mode, a DACL granting Everyone full control), "
       "`LogFolders.TheRunsOwnFoldersKeepTheLogFromRunToRun`, `OnlyTrustedCanChange.*`, `fuzz.log_place`",
       "other owners and an enforced DACL: Wine runs every process as one user and enforces no DACL"},
      {"the single-run lock taken first and held",
       "the lock is a mutex in a private namespace whose boundary holds the Administrators group, which an ordinary "
       "user can neither create nor open; where the platform has no private namespaces, the global name "
       "`Global\\Korven.Ventaro.Setup`",
       {"Installation.TwoRunsStartedAtTheSameMomentInstallOnceTwentyTimesOver"},
       "`SingleRunLock.*` (the namespace functions stood in for through the import table, a namespace gone between "
       "create and open; the global name for real), `Installation.TwoRunsStartedAtTheSameMomentInstallOnceTwenty"
       "TimesOver`",
       "the private namespace itself: Wine has none"},
      {"a DLL planted beside `setup.exe`",
       "DLLs are loaded from the system folder only",
       {"Installation.DllsBesideSetupAreNeverLoaded"},
       "`Installation.DllsBesideSetupAreNeverLoaded`",
       "nothing more"},
      {"settings that would leave their folders (`InstallPath`, `version`, `Execution`)",
       "nothing is made outside Program Files and nothing is started outside the target folder",
       {"UnsafeSettings."},
       "`UnsafeSettings.*`, `SettingRules.*`",
       "nothing more"},
      {"a payload file held open at its source, the service executable included",
       "waited for a few seconds, then the copy fails: exit -1, nothing registered or recorded",
       {"Faults/SetupFaultTest.EndsAsDesignedAndWritesOnlyWhatItOwns/PayloadFileHeldAtItsSource",
        "Faults/SetupFaultTest.EndsAsDesignedAndWritesOnlyWhatItOwns/ServiceExecutableHeldAtItsSource",
        "Faults/SetupFaultTest.EndsAsDesignedAndWritesOnlyWhatItOwns/SourceHeldBriefly"},
       "`Faults/*/PayloadFileHeldAtItsSource`, `Faults/*/ServiceExecutableHeldAtItsSource`, "
       "`Faults/*/SourceHeldBriefly`, `CopyDataTest.Source*`",
       "nothing more"},
  };
}

bool TestExists(const std::string& prefix) {
  const testing::UnitTest& all = *testing::UnitTest::GetInstance();
  for (int i = 0; i < all.total_test_suite_count(); ++i) {
    const testing::TestSuite& suite = *all.GetTestSuite(i);
    for (int j = 0; j < suite.total_test_count(); ++j) {
      const std::string name = std::string(suite.name()) + "." + suite.GetTestInfo(j)->name();
      if (name.compare(0, prefix.size(), prefix) == 0) return true;
    }
  }
  return false;
}

TEST(ThreatTable, ReadmeShowsTheThreatsAndTheirTestsExist) {
  FaultTable table;
  table.header = {"Threat", "What the installer does", "Shown here by", "Only Windows shows"};
  for (const Threat& t : Threats()) {
    for (const char* test : t.e2eTests) EXPECT_TRUE(TestExists(test)) << test;
    table.rows.push_back({t.threat, {t.answer, t.shownBy, t.onlyWindows}});
  }
  ExpectReadmeSection("threat table", "tests/e2e/local_user_test.cpp", FaultTableMarkdown(table));
}

}  // namespace
}  // namespace e2e
