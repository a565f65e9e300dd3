// Whole runs of the real setup.exe against the ACPI simulator and the
// sample service, checked as a person would check them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "installation.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

std::string Profile(const std::string& featureWord) { return "[Mbif]\r\nFeatureWord=" + featureWord + "\r\n"; }

void ExpectNothingInstalled(const Installation& setup) {
  EXPECT_FALSE(setup.ReadValue("Version"));
  EXPECT_FALSE(setup.ReadValue("Path"));
  EXPECT_FALSE(setup.ServiceExists());
}

TEST(Installation, FirstRunInstallsAndSecondFindsNothingToDo) {
  Installation setup;
  setup.UseMachine();

  RunResult first = setup.Run();
  EXPECT_EQ(first.exitCode, 0u);
  EXPECT_EQ(first.lines, FreshInstallLines(setup));
  EXPECT_TRUE(first.messageBoxes.empty());
  ExpectInstalled(setup, "1.2.0.8");
  // Path, then Version: the version is what later runs trust, so a run
  // killed between the two leaves none, and the next run installs again.
  EXPECT_EQ(first.valuesWritten, (Lines{"Path", "Version"}));

  RunResult second = setup.Run();
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(second.lines,
            (Lines{"main: feature = 0x00000302", "main: targetVer = 1.2.0.8", "main: currentVer = 1.2.0.8"}));
  ExpectInstalled(setup, "1.2.0.8");
}

struct GateCase {
  const char* word;
  bool admitted;
};

TEST(Installation, FeatureGateLooksAtBitsEightToFifteenOnly) {
  for (const GateCase& c :
       {GateCase{.word = "0x000001FF", .admitted = false}, GateCase{.word = "0xFFFF00FF", .admitted = false},
        GateCase{.word = "0x00000200", .admitted = true}, GateCase{.word = "0x0000FF00", .admitted = true}}) {
    SCOPED_TRACE(c.word);
    Installation setup;
    setup.UseMachine(Profile(c.word));
    RunResult run = setup.Run();
    const std::string logged = "main: feature = 0x" + Lower(c.word + 2);
    if (c.admitted) {
      EXPECT_EQ(run.exitCode, 0u);
      EXPECT_EQ(run.lines, FreshInstallLines(setup, logged.substr(logged.find("0x"))));
      ExpectInstalled(setup, "1.2.0.8");
    } else {
      // An early end: the line is in the file although the log was never closed.
      EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
      EXPECT_EQ(run.lines, Lines{logged});
      ExpectNothingInstalled(setup);
      EXPECT_FALSE(test::FolderExists(setup.InstallRoot()));
    }
  }
}

TEST(Installation, WithoutTheServerTheMachineIsRefused) {
  Installation setup;
  setup.UseNoServer();
  RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  EXPECT_EQ(run.lines, Lines{"main: feature = 0x00000000"});
  ExpectNothingInstalled(setup);
}

TEST(Installation, SameVersionIsInstalledAgainOnlyWithoutTheService) {
  Installation setup;
  setup.UseMachine();
  setup.WriteValue("Version", REG_SZ, std::string("1.2.0.8", 8));

  setup.CreateService();
  RunResult present = setup.Run();
  EXPECT_EQ(present.exitCode, 0u);
  EXPECT_EQ(present.lines.back(), "main: currentVer = 1.2.0.8");
  EXPECT_FALSE(test::FolderExists(setup.TargetFolder("1.2.0.8")));
  EXPECT_FALSE(setup.ReadValue("Path"));

  Installation again;
  again.UseMachine();
  again.WriteValue("Version", REG_SZ, std::string("1.2.0.8", 8));
  RunResult missing = again.Run();
  EXPECT_EQ(missing.exitCode, 0u);
  Lines expected = FreshInstallLines(again);
  expected[2] = "main: currentVer = 1.2.0.8";
  EXPECT_EQ(missing.lines, expected);
  ExpectInstalled(again, "1.2.0.8");
}

TEST(Installation, VersionsAreComparedAsTextNotNumbers) {
  // 1.2.0.9 sorts after 1.2.0.10, so with the service present nothing is due.
  Installation setup;
  setup.UseMachine();
  setup.settings["version"] = "1.2.0.10";
  setup.WriteValue("Version", REG_SZ, std::string("1.2.0.9", 8));
  setup.CreateService();
  RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.lines,
            (Lines{"main: feature = 0x00000302", "main: targetVer = 1.2.0.10", "main: currentVer = 1.2.0.9"}));
  EXPECT_FALSE(test::FolderExists(setup.TargetFolder("1.2.0.10")));
  ExpectText(setup.ReadValue("Version"), "1.2.0.9");
}

// What two runs started together log: one whole installation, then one run
// that found it; never two at once.
Lines OneInstallationThenNothingToDo(const Installation& setup) {
  Lines expected = FreshInstallLines(setup);
  for (const char* line : {"main: feature = 0x00000302", "main: targetVer = 1.2.0.8", "main: currentVer = 1.2.0.8"}) {
    expected.push_back(line);
  }
  return expected;
}

TEST(Installation, ASecondRunStartedMeanwhileWaitsAndThenFindsNothingToDo) {
  Installation setup;
  setup.UseMachine();
  // The first run spends seconds registering the service: long enough for
  // the second to decide on the same empty registry, were it not waiting.
  ASSERT_TRUE(::CopyFileA(FromUnixPath(SLOW_SERVICE_EXE).c_str(), (setup.Payload() + "slowsvc.exe").c_str(), FALSE));
  setup.settings["Execution"] = "slowsvc.exe";
  RunResult both = setup.Run(2);
  EXPECT_EQ(both.exitCodes, (std::vector<DWORD>{0, 0}));
  EXPECT_EQ(both.lines, OneInstallationThenNothingToDo(setup));
  const std::string target = setup.TargetFolder("1.2.0.8");
  ExpectText(setup.ReadValue("Version"), "1.2.0.8");
  ExpectText(setup.ReadValue("Path"), target);
  EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
}

TEST(Installation, TwoRunsStartedAtTheSameMomentInstallOnceTwentyTimesOver) {
  // Without a slow service: the moment the two meet falls anywhere. One
  // resident server for all rounds: what is raced here is the lock, and
  // forty single-use server starts in a row have hung Wine's COM.
  Installation setup;
  setup.UseMachine("[Server]\r\nResident=30000\r\n");
  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    setup.RemoveInstallation();
    RunResult both = setup.Run(2);
    EXPECT_EQ(both.exitCodes, (std::vector<DWORD>{0, 0}));
    // One registration among them.
    EXPECT_EQ(both.lines, OneInstallationThenNothingToDo(setup));
    const std::string target = setup.TargetFolder("1.2.0.8");
    for (const std::string& name : ListFolder(setup.Payload())) {
      if (name.back() == '\\') continue;
      EXPECT_EQ(test::ReadFileContent(target + name), test::ReadFileContent(setup.Payload() + name)) << name;
    }
    ExpectText(setup.ReadValue("Path"), target);
    EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
    if (HasFailure()) break;
  }
}

// Tells Wine to prefer DLLs of these names found along the search path to
// its own, as Windows does for DLLs that are not known DLLs; undone on
// destruction.
class PreferNativeDlls {
 public:
  explicit PreferNativeDlls(std::vector<std::string> names) : names_(std::move(names)) {
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.Receive(), nullptr);
    const char order[] = "native,builtin";
    for (const std::string& name : names_) {
      ::RegSetValueExA(key_.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    }
  }
  ~PreferNativeDlls() {
    for (const std::string& name : names_) ::RegDeleteValueA(key_.Get(), name.c_str());
  }

 private:
  static constexpr char kOverrides[] = "Software\\Wine\\DllOverrides";
  std::vector<std::string> names_;
  ScopedRegKey key_;
};

// DLLs that Windows loads on demand (for a message box, for COM's proxies)
// must come from the system folder, never from the folder setup.exe was
// started from.
TEST(Installation, DllsBesideSetupAreNeverLoaded) {
  Installation setup;
  setup.UseMachine();
  // uxtheme comes with the first message box, actxprxy with COM's proxies.
  // (Wine's user32 loads imm32 while the process starts, before any code of
  // setup.exe runs; on Windows it is a known DLL, never taken from there.)
  const char* planted[] = {"uxtheme.dll", "actxprxy.dll"};
  for (const char* name : planted) {
    ASSERT_TRUE(::CopyFileA(FromUnixPath(CANARY_DLL).c_str(), (setup.Payload() + name).c_str(), FALSE));
  }
  // Wine's own DLLs come first unless told otherwise.
  PreferNativeDlls prefer({"uxtheme", "actxprxy"});

  // The plain way takes the planted DLL: the canary works.
  const std::string plain = setup.Payload() + "plain.exe";
  ASSERT_TRUE(::CopyFileA(FromUnixPath(PLAIN_MESSAGE_BOX_EXE).c_str(), plain.c_str(), FALSE));
  setup.RunOther("\"" + plain + "\"");
  EXPECT_TRUE(test::FileExists(setup.Payload() + "uxtheme.dll.loaded"));
  ::DeleteFileA((setup.Payload() + "uxtheme.dll.loaded").c_str());
  ::DeleteFileA(plain.c_str());

  // setup.exe shows a box (version missing) and calls the server through COM.
  setup.settings["version"] = std::nullopt;
  RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.messageBoxes, Lines{SettingBox("Can not read version from setup.ini")});
  EXPECT_EQ(run.lines.front(), "main: feature = 0x00000302");
  for (const char* name : planted) {
    EXPECT_FALSE(test::FileExists(setup.Payload() + name + ".loaded")) << name;
  }
}

}  // namespace
}  // namespace e2e
