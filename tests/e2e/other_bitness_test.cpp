// On 64-bit Windows, setup.exe meets programs of the other bitness: an ACPI
// server, a service executable, a second installer writing the same log, a
// program that loads it for its exports. And the 32-bit product lives under
// WoW64, whose registry view and Program Files are not the 64-bit ones. The
// other build's programs come from its build tree (OTHER_* paths).
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "installation.h"
#include "support/process.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

// Fails the test when the other build has not been built.
void ExpectBuilt(const char* unixPath) {
  ASSERT_TRUE(test::FileExists(FromUnixPath(unixPath)))
      << unixPath << " is missing: build the other Windows preset too (./test.sh builds both)";
}

TEST(OtherBitness, AServerOfTheOtherBitnessServesTheRunAndTheExports) {
  ExpectBuilt(OTHER_ACPI_SIM_EXE);
  Installation setup;
  setup.UseMachine(std::nullopt, OTHER_ACPI_SIM_EXE);

  RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.front(), "main: feature = 0x00000302");
  ExpectInstalled(setup, "1.2.0.8");

  const test::ProgramRun probe = test::RunCollectingOutput("\"" + FromUnixPath(ACPI_PROBE_EXE) + "\" \"" +
                                                           setup.TargetFolder("1.2.0.8") + "setup.exe\" mbif");
  EXPECT_EQ(probe.exitCode, 0u) << probe.output;
  EXPECT_NE(probe.output.find("feature word: 0x00000302"), std::string::npos) << probe.output;
}

TEST(OtherBitness, AServiceExecutableOfTheOtherBitnessRegisters) {
  ExpectBuilt(OTHER_SAMPLE_SERVICE_EXE);
  Installation setup;
  setup.UseMachine();
  setup.UseServiceExecutable(OTHER_SAMPLE_SERVICE_EXE);

  RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.back(), "main: RegisterService: bSuccess = true");
  ExpectInstalled(setup, "1.2.0.8");
}

TEST(OtherBitness, BothBuildsWriteOneLogUnderProgramData) {
  ExpectBuilt(OTHER_SETUP_EXE);
  Installation ours, other;
  ours.UseMachine();
  other.UseSetup(OTHER_SETUP_EXE);
  other.settings["version"] = "2.0";

  // Run reads the lines each run appended to the one log it knows.
  RunResult first = ours.Run();
  RunResult second = other.Run();
  EXPECT_EQ(first.exitCode, 0u);
  EXPECT_EQ(second.exitCode, 0u);
  ASSERT_GE(second.lines.size(), 2u);
  EXPECT_EQ(second.lines[1], "main: targetVer = 2.0");
  ExpectInstalled(ours, "1.2.0.8");

  // Neither bitness's view of the common application data is redirected.
  char folder[MAX_PATH] = {};
  ASSERT_EQ(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  const std::string log = std::string(folder) + "\\Korven\\Ventaro\\setup.exe.log";
  const std::string text = test::ReadFileContent(log);
  EXPECT_NE(text.find("main: targetVer = 1.2.0.8"), std::string::npos);
  EXPECT_NE(text.find("main: targetVer = 2.0"), std::string::npos);
}

TEST(OtherBitness, AProbeOfTheOtherBitnessSaysWhichBuildToUse) {
  ExpectBuilt(OTHER_ACPI_PROBE_EXE);
  const test::ProgramRun probe = test::RunCollectingOutput("\"" + FromUnixPath(OTHER_ACPI_PROBE_EXE) + "\" \"" +
                                                           FromUnixPath(SETUP_EXE) + "\" mbif");
  EXPECT_TRUE(probe.started);
  EXPECT_NE(probe.exitCode, 0u);
#if defined(_WIN64)
  const std::string expected =
      "it is a 64-bit program; this acpi-probe is 32-bit: use the acpi-probe of the win64 build";
#else
  const std::string expected =
      "it is a 32-bit program; this acpi-probe is 64-bit: use the acpi-probe of the win32 build";
#endif
  EXPECT_NE(probe.output.find(expected), std::string::npos) << probe.output;
  EXPECT_EQ(probe.output.find("error 193"), std::string::npos) << probe.output;
  EXPECT_EQ(probe.output.find('\n'), probe.output.size() - 1) << "one line: " << probe.output;
}

#if !defined(_WIN64)
// A value as a 64-bit program reads it, from the key path given.
bool ValueIn64BitView(const std::string& key, const char* name) {
  ScopedRegKey opened;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, opened.Receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  return ::RegQueryValueExA(opened.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR wide = nullptr;
  std::string path;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &wide))) {
    char narrow[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    path = narrow;
  }
  ::CoTaskMemFree(wide);
  return path;
}

TEST(Wow64, TheRecordLandsInThe32BitViewAndTheFilesInProgramFilesX86) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  ASSERT_TRUE(wow64) << "this machine is to be 64-bit Windows";

  Installation setup;
  setup.UseMachine();
  RunResult first = setup.Run();
  EXPECT_EQ(first.exitCode, 0u);
  ExpectInstalled(setup, "1.2.0.8");

  // A 64-bit program finds the record under WOW6432Node, not where the
  // 32-bit installer named it.
  const std::string key = setup.RegistryKey();
  const std::string redirected = "SOFTWARE\\WOW6432Node" + key.substr(std::string("SOFTWARE").size());
  EXPECT_TRUE(ValueIn64BitView(redirected, "Version"));
  EXPECT_TRUE(ValueIn64BitView(redirected, "Path"));
  EXPECT_FALSE(ValueIn64BitView(key, "Version"));

  // Program Files (x86), which is not the 64-bit programs' folder.
  // (The shell gives a 32-bit program no 64-bit Program Files; the
  // environment does.)
  const std::string x86 = KnownFolder(FOLDERID_ProgramFilesX86);
  char native[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableA("ProgramW6432", native, sizeof native), 0u);
  ASSERT_FALSE(x86.empty());
  EXPECT_NE(x86, std::string(native));
  EXPECT_EQ(setup.TargetFolder("1.2.0.8").rfind(x86 + "\\", 0), 0u) << setup.TargetFolder("1.2.0.8");

  // The next 32-bit run reads the record back and finds nothing to do.
  RunResult second = setup.Run();
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(second.lines,
            (Lines{"main: feature = 0x00000302", "main: targetVer = 1.2.0.8", "main: currentVer = 1.2.0.8"}));
}
#endif

}  // namespace
}  // namespace e2e
