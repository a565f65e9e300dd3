// Installations killed part-way, as Task Manager, a reboot or a deployment
// tool's time-out kills them (TerminateProcess), then run again unchanged.
// What users can check: the next run ends with a complete, correct
// installation whatever the killed one left behind, and a third finds
// nothing to do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "fault_table.h"
#include "installation.h"

#include <tlhelp32.h>

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr char kLockName[] = "Global\\Korven.Ventaro.Setup";
constexpr char kLargeFile[] = "zz-large.bin";  // copied last: the listing is in name order
constexpr std::size_t kLargeSize = 128u << 20;

// What a case arranges and watches; each test owns one.
struct Scene {
  Installation setup;
  test::ScratchFolder scratch;
  // The stand-in service's first start writes its id here; outside the
  // payload, so that it is never part of the installation.
  std::string marker = scratch / "service.id";
};

bool KillAndWait(HANDLE process) {
  return ::TerminateProcess(process, 1) && ::WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
}

bool Kill(DWORD processId) {
  ScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  return process && KillAndWait(process.Get());
}

// Ends every process started from the folder; false when one would not end.
bool KillProcessesFrom(const std::string& folder) {
  bool all = true;
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    ScopedHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    char image[MAX_PATH * 2] = {};
    DWORD size = sizeof image;
    if (!process || !::QueryFullProcessImageNameA(process.Get(), 0, image, &size)) continue;
    if (_strnicmp(image, folder.c_str(), folder.size()) != 0) continue;
    all = KillAndWait(process.Get()) && all;
  }
  return all;
}

// The id the stand-in service wrote; 0 while it has not started.
DWORD MarkedProcess(const Scene& scene) {
  return static_cast<DWORD>(std::strtoul(test::ReadFileContent(scene.marker).c_str(), nullptr, 10));
}

// The installer that started a process; 0 when it is not found.
DWORD ParentOf(DWORD processId) {
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == processId) return entry.th32ParentProcessID;
  }
  return 0;
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

struct Interruption {
  const char* name = "";
  const char* point = "";  // the README's words: where the run was killed
  const char* left = "";   // what the killed run left
  const char* next = "";   // what the next run did
  // Prepares the scene before the killed run: profile, payload, stand-ins.
  std::function<void(Scene&)> arrange = nullptr;
  // Watches the run and kills at the moment; true once it has.
  std::function<bool(Scene&, const std::vector<HANDLE>&)> meddle = nullptr;
  // Whatever the kill leaves to tidy that a reboot would have ended too.
  std::function<void(Scene&)> afterKill = nullptr;
  // The next run's log lines.
  std::function<Lines(const Installation&)> nextLines = nullptr;
  // The next run is the second installer, which waited for the lock
  // during the killed run: its lines are the killed run's last ones.
  bool nextRanMeanwhile = false;
};

// The stand-in service under its own name, the real one as fansvc.exe.
void UseStandIn(Scene& scene, const char* interrupt) {
  test::WriteFileContent(scene.setup.Payload() + "interrupt.exe",
                         test::ReadFileContent(FromUnixPath(INTERRUPTING_SERVICE_EXE)));
  scene.setup.settings["Execution"] = "interrupt.exe";
  scene.setup.environment["VENTARO_E2E_INTERRUPT"] = interrupt;
  scene.setup.environment["VENTARO_E2E_MARKER"] = scene.marker;
}

// The default machine, and a service executable that holds on its first start.
void UseHoldingService(Scene& scene) {
  scene.setup.UseMachine();
  UseStandIn(scene, "hold");
}

Lines AlreadyRecordedLines(const Installation& setup) {
  Lines lines = FreshInstallLines(setup);
  lines[2] = "main: currentVer = 1.2.0.8";
  return lines;
}

Lines NothingToDoLines(const Installation&) {
  return {"main: feature = 0x00000302", "main: targetVer = 1.2.0.8", "main: currentVer = 1.2.0.8"};
}

const std::vector<Interruption>& Interruptions() {
  static const std::vector<Interruption> cases = {
      {.name = "ServerHoldsItsFirstAnswer",
       .point = "while the ACPI server holds its answer to `iAcpiInit`",
       .left = "nothing but the log folder (the server waits for its dead client)",
       .next = "installed",
       .arrange = [](Scene& scene) { scene.setup.UseMachine("[iAcpiInit]\r\nDelay=4000\r\n"); },
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>& installers) {
             const std::string journal = test::ReadFileContent(scene.setup.SimFolder() + "acpi-sim.journal");
             return journal.find("iAcpiInit") != std::string::npos && KillAndWait(installers[0]);
           },
       // The server still holds the object of its dead client: Windows' COM
       // runs such objects down after some minutes, Wine's never does. The
       // next run's activations start servers of their own; this one goes
       // as a reboot would end it.
       .afterKill =
           [](Scene& scene) {
             ::DeleteFileA((scene.setup.SimFolder() + "acpi-sim.ini").c_str());
             EXPECT_TRUE(KillProcessesFrom(scene.setup.SimFolder()));
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); }},
      {.name = "MidCopy",
       .point = "in the middle of the copy, a large file half written",
       .left = "the target folder with some files and a torn one; no service, no record",
       .next = "installed, the torn file replaced",
       .arrange =
           [](Scene& scene) {
             scene.setup.UseMachine();
             test::WriteFileContent(scene.setup.Payload() + kLargeFile, std::string(kLargeSize, 'v'));
           },
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>& installers) {
             const std::uint64_t size = FileSize(scene.setup.TargetFolder("1.2.0.8") + kLargeFile);
             if (size == 0 || size >= kLargeSize) return false;
             EXPECT_TRUE(KillAndWait(installers[0]));
             // Torn indeed: the copy stopped part-way.
             EXPECT_LT(FileSize(scene.setup.TargetFolder("1.2.0.8") + kLargeFile), kLargeSize);
             return true;
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); }},
      {.name = "WhileTheServiceExecutableRuns",
       .point = "while the service executable runs with /Service (both killed)",
       .left = "the files copied; no service, no record",
       .next = "installed",
       .arrange = UseHoldingService,
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>& installers) {
             const DWORD service = MarkedProcess(scene);
             if (service == 0) return false;
             EXPECT_TRUE(KillAndWait(installers[0]));
             EXPECT_TRUE(Kill(service));
             return true;
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); }},
      {.name = "AfterTheRegistration",
       .point = "after the registration, before the record",
       .left = "the files copied and the service registered; no record",
       .next = "installed again, and recorded",
       .arrange =
           [](Scene& scene) {
             scene.setup.UseMachine();
             UseStandIn(scene, "kill-parent");
           },
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>& installers) {
             // The stand-in kills the installer itself once the service exists.
             return MarkedProcess(scene) != 0 && ::WaitForSingleObject(installers[0], 0) == WAIT_OBJECT_0;
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); }},
      {.name = "BetweenPathAndVersion",
       .point =
           "between the `Path` and the `Version` writes (the state it leaves, made by the test: no holding reaches it)",
       .left = "everything but `Version`",
       .next = "installed again, as no version is recorded",
       .arrange = [](Scene& scene) { scene.setup.UseMachine(); },
       // Installed whole, then the record cut back to what such a kill leaves.
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>& installers) {
             if (::WaitForSingleObject(installers[0], 0) != WAIT_OBJECT_0) return false;
             scene.setup.DeleteValue("Version");
             return true;
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); }},
      {.name = "ServiceExecutableKilled",
       .point = "the service executable itself, during /Service (the installer goes on)",
       .left = "the files copied and the version recorded; no service",
       .next = "installed again, and the service registered",
       .arrange = UseHoldingService,
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>&) {
             const DWORD service = MarkedProcess(scene);
             return service != 0 && Kill(service);
           },
       .nextLines = AlreadyRecordedLines},
      {.name = "WhileASecondRunWaits",
       .point = "while a second run waits for the single-run lock (both started at once)",
       .left = "the files copied, no service, no record; the lock abandoned",
       .next = "the waiting run takes the lock and installs",
       .arrange = UseHoldingService,
       .meddle =
           [](Scene& scene, const std::vector<HANDLE>&) {
             const DWORD service = MarkedProcess(scene);
             if (service == 0) return false;
             const DWORD holder = ParentOf(service);
             EXPECT_TRUE(Kill(holder));
             EXPECT_TRUE(Kill(service));
             return true;
           },
       .nextLines = [](const Installation& setup) { return FreshInstallLines(setup); },
       .nextRanMeanwhile = true},
  };
  return cases;
}

void PrintTo(const Interruption& c, std::ostream* out) { *out << c.point; }

// The single-run lock can be taken: nobody holds it.
bool LockIsFree() {
  ScopedHandle lock(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kLockName));
  if (!lock) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  const DWORD waited = ::WaitForSingleObject(lock.Get(), 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
  ::ReleaseMutex(lock.Get());
  return true;
}

class InterruptedInstallation : public testing::TestWithParam<Interruption> {};

TEST_P(InterruptedInstallation, TheNextRunCompletesItAndAThirdFindsNothingToDo) {
  const Interruption& c = GetParam();
  Scene scene;
  c.arrange(scene);
  if (HasFatalFailure()) return;

  const RunResult killed = scene.setup.Run(
      c.nextRanMeanwhile ? 2 : 1, [&](const std::vector<HANDLE>& installers) { return c.meddle(scene, installers); });
  if (c.afterKill) c.afterKill(scene);

  RunResult next;
  Lines killedLines = killed.lines;
  if (c.nextRanMeanwhile) {
    // The waiting run's lines are the last ones of the pair.
    const Lines expected = c.nextLines(scene.setup);
    ASSERT_GE(killedLines.size(), expected.size());
    next.lines.assign(killedLines.end() - static_cast<std::ptrdiff_t>(expected.size()), killedLines.end());
    killedLines.resize(killedLines.size() - expected.size());
    next.exitCode = killed.exitCodes[0] == 1 ? killed.exitCodes[1] : killed.exitCodes[0];
  } else {
    next = scene.setup.Run();
  }

  EXPECT_EQ(next.exitCode, 0u);
  EXPECT_EQ(next.lines, c.nextLines(scene.setup));
  // The killed run's lines, as far as they reached the file, are whole and
  // in order: a beginning of what a whole installation logs.
  const Lines fresh = FreshInstallLines(scene.setup);
  ASSERT_LE(killedLines.size(), fresh.size()) << testing::PrintToString(killedLines);
  EXPECT_EQ(killedLines, Lines(fresh.begin(), fresh.begin() + static_cast<std::ptrdiff_t>(killedLines.size())));

  const std::string target = scene.setup.TargetFolder("1.2.0.8");
  for (const std::string& name : ListFolder(scene.setup.Payload())) {
    if (name.back() == '\\') continue;
    EXPECT_TRUE(test::ReadFileContent(target + name) == test::ReadFileContent(scene.setup.Payload() + name))
        << name << " differs at the target";
  }
  ExpectText(scene.setup.ReadValue("Version"), "1.2.0.8");
  ExpectText(scene.setup.ReadValue("Path"), target);
  EXPECT_EQ(scene.setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
  EXPECT_TRUE(LockIsFree());
  EXPECT_TRUE(LogFileIsFree());
  for (const std::string& folder : {scene.setup.Payload(), scene.setup.InstallRoot(), scene.setup.SimFolder()}) {
    EXPECT_EQ(ProcessesLeftRunningFrom(folder), Lines{});
  }

  const RunResult third = scene.setup.Run();
  EXPECT_EQ(third.exitCode, 0u);
  EXPECT_EQ(third.lines, NothingToDoLines(scene.setup));
}

INSTANTIATE_TEST_SUITE_P(Kills, InterruptedInstallation, testing::ValuesIn(Interruptions()),
                         [](const testing::TestParamInfo<Interruption>& info) { return std::string(info.param.name); });

TEST(InterruptionTable, ReadmeShowsTheCases) {
  FaultTable table;
  table.header = {"Killed", "What the killed run left", "What the next run did"};
  for (const Interruption& c : Interruptions()) table.rows.push_back({c.point, {c.left, c.next}});
  ExpectReadmeSection("interruption table", "tests/e2e/interruption_test.cpp", FaultTableMarkdown(table));
}

}  // namespace
}  // namespace e2e
