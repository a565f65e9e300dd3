// An ordinary user of the machine against the elevated installer: folders
// they made where the log goes, which they may still change, with links
// they planted there to a file of their choice. Wine shows a link to a file
// as a plain file, so here only the folders' trust can stop the writes; the
// run must end as usual with nothing written through the links, and never
// change such a folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installation.h"
#include "support/scratch.h"
#include "unix_shell.h"

#include <aclapi.h>
#include <sddl.h>

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr char kKorven[] = "C:\\ProgramData\\Korven";
constexpr char kVentaro[] = "C:\\ProgramData\\Korven\\Ventaro";
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
  static void Remove() { Shell("rm -rf " + ShellQuoted(UnixPath(kKorven))); }
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
  const UnixRun run = RunUnixShell("ls -lnR --time-style=+%s.%N " + ShellQuoted(UnixPath(kKorven)));
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
    MakeLoose(kKorven, c.made);
  } else {
    ASSERT_TRUE(::CreateDirectoryA(kKorven, nullptr));
  }
  if (ventaroLoose) {
    MakeLoose(kVentaro, c.made);
  } else if (c.planted != Planted::kNothing) {
    ASSERT_TRUE(::CreateDirectoryA(kVentaro, nullptr));
  }
  if (HasFatalFailure()) return;

  // Files of the user's choice outside, reached through links in Ventaro.
  test::ScratchFolder outside;
  const std::vector<std::string> canaries = {outside / "canary0.txt", outside / "canary1.txt", outside / "canary2.txt",
                                             outside / "canary3.txt"};
  for (std::size_t i = 0; i < canaries.size(); ++i) {
    test::WriteFileContent(canaries[i], "canary " + std::to_string(i) + "\r\n");
  }
  const std::string ventaro = UnixPath(kVentaro);
  if (c.planted == Planted::kLogLink) {
    Shell("ln -s " + ShellQuoted(UnixPath(canaries[0])) + " " + ShellQuoted(ventaro + "/setup.exe.log"));
  } else if (c.planted == Planted::kRotationLinks) {
    // A log so close to its limit that the run's first line rotates it.
    test::WriteFileContent(std::string(kVentaro) + "\\setup.exe.log", std::string(kMaxLogSize - 10, 'x'));
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

}  // namespace
}  // namespace e2e
