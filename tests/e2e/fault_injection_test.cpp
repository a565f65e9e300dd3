// The faults an installer meets on customers' machines, each injected into
// a whole run of the real setup.exe (or a call of its exports through
// acpi-probe): a misbehaving server, files in the way, broken settings, a
// service executable that fails. Each run is checked for its exit code, log
// lines, message boxes, registry, files, for anything written outside what
// the installer owns, and for anything it leaves running or open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_handle.h"
#include "fault_table.h"
#include "footprint.h"
#include "installation.h"
#include "support/process.h"
#include "support/text.h"

#include <shlobj.h>
#include <tlhelp32.h>

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr char kVersion[] = "1.2.0.8";

// -- Machine profiles ---------------------------------------------------------

// The bytes of a value, little-endian, as profile hex ("2a 00 00 00 ").
std::string Hex32(std::uint32_t value) { return test::HexBytes(value, 4) + " "; }

// An "iAcpiMbif" reply: signature, record count, then three records of
// length 4 with values 1, 2 and the fan-control feature word. The second
// record may announce another length.
std::string MbifReply(std::uint32_t count, std::uint16_t secondLength = 4) {
  std::string reply = "4d 42 49 46 " + Hex32(count);
  const std::uint32_t values[] = {1, 2, 0x302};
  for (int i = 0; i < 3; ++i) {
    const std::uint16_t length = i == 1 ? secondLength : 4;
    // 2 unused bytes, the 16-bit length, the value, 4 more bytes.
    reply += "00 00 " + Hex32(length).substr(0, 6) + Hex32(values[i]) + "00 00 00 00 ";
  }
  return "[Mbif]\r\nReply=" + reply + "\r\n";
}

std::string Failing(const std::string& method) { return "[" + method + "]\r\nFail=0x80004005\r\n"; }

// -- What a run must have done ----------------------------------------------------

enum class Outcome {
  kInstalled,
  kRegisteredNotRecorded,
  kRecordedWithoutService,
  kCopiedOnly,
  kCopyFailed,
  kRefused,
};

const char* Describe(Outcome outcome) {
  switch (outcome) {
    case Outcome::kInstalled: return "installed";
    case Outcome::kRegisteredNotRecorded: return "installed and registered, version not recorded";
    case Outcome::kRecordedWithoutService:
      return "files copied and version recorded, no service: the next run installs again";
    case Outcome::kCopiedOnly: return "files copied, nothing registered or recorded";
    case Outcome::kCopyFailed: return "nothing registered or recorded";
    case Outcome::kRefused: return "machine refused, nothing done";
  }
  return "";
}

DWORD ExitCodeOf(Outcome outcome) {
  return outcome == Outcome::kCopyFailed || outcome == Outcome::kRefused ? 0xFFFFFFFFu : 0u;
}

// What a case sets up besides the installation: objects held until its
// checks are done, and folders it lets the run write to.
struct Arrangement {
  std::vector<std::shared_ptr<void>> held;
  std::vector<std::string> ownedFolders;
};

// Holds a file open without sharing, as another program would; let go
// after `forMs` when given, else when the case is done.
std::shared_ptr<void> HoldWithoutSharing(const std::string& path, DWORD forMs = INFINITE) {
  struct Holder {
    ScopedHandle file;
    std::thread letGo;
    ~Holder() {
      if (letGo.joinable()) letGo.join();
    }
  };
  auto holder = std::make_shared<Holder>();
  holder->file.Reset(
      ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(holder->file.IsValid()) << path;
  if (forMs != INFINITE) {
    holder->letGo = std::thread([file = holder->file.Release(), forMs] {
      ::Sleep(forMs);
      ::CloseHandle(file);
    });
  }
  return holder;
}

struct SetupFault {
  const char* name = "";
  const char* fault = "";  // the README's words: what is wrong on the machine
  Outcome outcome = Outcome::kInstalled;
  const char* answer = "";  // the README's words: what the installer does about it
  Lines boxes = {};         // message texts, in order
  std::function<void(Installation&, Arrangement&)> arrange = nullptr;
  // The log lines; nullptr when the case checks them itself.
  std::function<Lines(const Installation&)> lines = nullptr;
  std::function<std::string(const Installation&)> target = nullptr;  // nullptr: the default target folder
  std::function<void(const Installation&, const RunResult&, Arrangement&)> check = nullptr;
};

std::string DefaultTarget(const Installation& setup) { return setup.TargetFolder(kVersion); }

Lines RefusedLines(const Installation&) { return {"main: feature = 0x00000000"}; }

Lines InstalledLines(const Installation& setup) { return FreshInstallLines(DefaultTarget(setup)); }

Lines CopyFailedLines(const std::string& target, const std::string& targetVer = kVersion) {
  Lines lines = FreshInstallLines(target, targetVer);
  lines.resize(4);
  lines.push_back("main: CopyData fail path = " + target);
  return lines;
}

Lines NotStartedLines(const Installation& setup, const std::string& program, DWORD error) {
  Lines lines = InstalledLines(setup);
  lines.back() = "ExecuteCommand: app = \"" + DefaultTarget(setup) + program + "\" /Service, CreateProcessA fail(" +
                 std::to_string(error) + "). ";
  lines.push_back("main: RegisterService: bSuccess = false");
  return lines;
}

void ExpectPayloadCopied(const std::string& target) {
  const Lines files = ListFolder(target);
  for (const char* name : {"fan.dll", "fansvc.exe", "readme.txt", "setup.exe", "setup.ini"}) {
    EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name << " in " << target;
  }
  EXPECT_EQ(std::find(files.begin(), files.end(), "data\\"), files.end()) << "sub-folders stay behind";
}

void ExpectOutcome(Outcome outcome, const Installation& setup, const std::string& target, const RunResult& run) {
  const bool copied = outcome != Outcome::kCopyFailed && outcome != Outcome::kRefused;
  const bool registered = outcome == Outcome::kInstalled || outcome == Outcome::kRegisteredNotRecorded;
  const bool recorded = outcome == Outcome::kInstalled || outcome == Outcome::kRecordedWithoutService;
  if (copied) ExpectPayloadCopied(target);
  if (outcome == Outcome::kRefused) {
    EXPECT_FALSE(test::FolderExists(setup.InstallRoot()));
  }
  EXPECT_EQ(setup.ServiceExists(), registered);
  if (registered) {
    EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
  }
  if (recorded) {
    // Installing without a version goes into the install path itself.
    ExpectText(setup.ReadValue("Version"), target == setup.InstallRoot() ? "" : kVersion);
    ExpectText(setup.ReadValue("Path"), target);
  } else {
    EXPECT_FALSE(setup.ReadValue("Path").has_value());
  }
  EXPECT_EQ(run.exitCode, ExitCodeOf(outcome));
}

// A change to the machine is the run's own when it lies in a folder or key
// the installer owns, or is a folder or key on the way there.
bool Owned(const std::string& change, const std::vector<std::string>& owned) {
  std::string path = Lower(change.substr(2));
  for (const char* cut : {" size ", " = "}) {
    const std::size_t at = path.find(cut);
    if (at != std::string::npos) path.resize(at);
  }
  return std::any_of(owned.begin(), owned.end(), [&](const std::string& o) {
    const std::string own = Lower(o);
    return path.rfind(own, 0) == 0 || (path.back() == '\\' && own.rfind(path, 0) == 0);
  });
}

// -- The cases ------------------------------------------------------------------------

// A file at the target before the run; an empty name makes just the folder.
void PlaceAtTarget(const Installation& setup, const std::string& name, const std::string& content) {
  ASSERT_EQ(::SHCreateDirectoryExA(nullptr, DefaultTarget(setup).c_str(), nullptr), ERROR_SUCCESS);
  test::WriteFileContent(DefaultTarget(setup) + name, content);
}

// Removes a folder before the run and after the checks.
std::shared_ptr<void> CleanFolder(const std::string& folder) {
  test::RemoveTree(folder);
  return std::shared_ptr<void>(nullptr, [folder](void*) { test::RemoveTree(folder); });
}

const std::vector<SetupFault>& SetupFaults() {
  static const std::vector<SetupFault> faults = {
      // The server.
      {.name = "ServerExecutableMissing",
       .fault = "`tavriCom.axdata` registered, its server executable missing",
       .outcome = Outcome::kRefused,
       .answer = "the feature query fails; the feature word stays 0",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             ASSERT_TRUE(::DeleteFileA((s.SimFolder() + "acpi-sim.exe").c_str()));
           },
       .lines = RefusedLines},
      {.name = "InitFails",
       .fault = "`iAcpiInit` fails (E_FAIL)",
       .outcome = Outcome::kInstalled,
       .answer = "its answer is not looked at",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(Failing("iAcpiInit")); },
       .lines = InstalledLines},
      {.name = "MbifFails",
       .fault = "`iAcpiMbif` fails (E_FAIL)",
       .outcome = Outcome::kRefused,
       .answer = "the feature word stays 0",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(Failing("iAcpiMbif")); },
       .lines = RefusedLines},
      {.name = "MbifLengthBeyondRequest",
       .fault = "`iAcpiMbif` reports a length of 5,000, beyond the 4,096 bytes sent",
       .outcome = Outcome::kRefused,
       .answer = "the reply is cut to what was sent and the query counts as failed",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine("[Mbif]\r\nLength=5000\r\n"); },
       .lines = RefusedLines},
      {.name = "MbifArrayReplacedByAShorterOne",
       .fault = "`iAcpiMbif` replaces the request array by a 44-byte one",
       .outcome = Outcome::kInstalled,
       .answer = "the records are read from the new array",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine("[iAcpiMbif]\r\nArray=replace\r\n"); },
       .lines = InstalledLines},
      {.name = "MbifHolderHoldsNoArray",
       .fault = "`iAcpiMbif` hands back a holder without an array",
       .outcome = Outcome::kRefused,
       .answer = "nothing to read: the feature word stays 0",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine("[iAcpiMbif]\r\nArray=none\r\n"); },
       .lines = RefusedLines},
      {.name = "MbifCountZero",
       .fault = "`iAcpiMbif` reply with record count 0",
       .outcome = Outcome::kRefused,
       .answer = "no third record: the feature word stays 0",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(0)); },
       .lines = RefusedLines},
      {.name = "MbifCountOne",
       .fault = "`iAcpiMbif` reply with record count 1",
       .outcome = Outcome::kRefused,
       .answer = "no third record: the feature word stays 0",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(1)); },
       .lines = RefusedLines},
      {.name = "MbifCountTwo",
       .fault = "`iAcpiMbif` reply with record count 2",
       .outcome = Outcome::kRefused,
       .answer = "no third record: the feature word stays 0",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(2)); },
       .lines = RefusedLines},
      {.name = "MbifCountThree",
       .fault = "`iAcpiMbif` reply with record count 3",
       .outcome = Outcome::kInstalled,
       .answer = "the third record's value is the feature word",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(3)); },
       .lines = InstalledLines},
      {.name = "MbifCountAllOnes",
       .fault = "`iAcpiMbif` reply with record count 0xFFFFFFFF",
       .outcome = Outcome::kInstalled,
       .answer = "the walk stops at the third record",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(0xFFFFFFFFu)); },
       .lines = InstalledLines},
      {.name = "MbifRecordRunsPastTheReply",
       .fault = "`iAcpiMbif` reply whose second record announces 256 bytes",
       .outcome = Outcome::kRefused,
       .answer = "the walk ends at the reply's end, before a third record",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine(MbifReply(3, 256)); },
       .lines = RefusedLines},
      {.name = "MbifLengthEndsInsideTheFeatureValue",
       .fault = "`iAcpiMbif` reports 38 bytes: the feature value is cut",
       .outcome = Outcome::kRefused,
       .answer = "nothing is read beyond the reported length",
       .arrange = [](Installation& s, Arrangement&) { s.UseMachine("[Mbif]\r\nLength=38\r\n"); },
       .lines = RefusedLines},
      // The files.
      {.name = "ReadOnlyDestination",
       .fault = "a read-only file of the same name at the target",
       .outcome = Outcome::kInstalled,
       .answer = "replaced: the attribute is reset and the copy tried again",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             PlaceAtTarget(s, "fan.dll", "old");
             ::SetFileAttributesA((DefaultTarget(s) + "fan.dll").c_str(), FILE_ATTRIBUTE_READONLY);
           },
       .lines = InstalledLines,
       .check = [](const Installation& s, const RunResult&,
                   Arrangement&) { EXPECT_EQ(test::ReadFileContent(DefaultTarget(s) + "fan.dll"), "library"); }},
      {.name = "DestinationInUse",
       .fault = "a file at the target held open without sharing",
       .outcome = Outcome::kInstalled,
       .answer = "that file is passed over and stays as it was",
       .arrange =
           [](Installation& s, Arrangement& a) {
             s.UseMachine();
             PlaceAtTarget(s, "readme.txt", "old");
             auto held = std::make_shared<ScopedHandle>(::CreateFileA((DefaultTarget(s) + "readme.txt").c_str(),
                                                                      GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
             ASSERT_TRUE(held->IsValid());
             a.held.push_back(held);
           },
       .lines = InstalledLines,
       .check =
           [](const Installation& s, const RunResult&, Arrangement& a) {
             a.held.clear();
             EXPECT_EQ(test::ReadFileContent(DefaultTarget(s) + "readme.txt"), "old");
             EXPECT_EQ(test::ReadFileContent(DefaultTarget(s) + "fan.dll"), "library");
           }},
      {.name = "PayloadFileHeldAtItsSource",
       .fault = "a payload file held open without sharing beside `setup.exe`, longer than the installer waits",
       .outcome = Outcome::kCopyFailed,
       .answer = "waited for a few seconds, then the copy fails and the run ends before the registration",
       .arrange =
           [](Installation& s, Arrangement& a) {
             s.UseMachine();
             a.held.push_back(HoldWithoutSharing(s.Payload() + "readme.txt"));
           },
       .lines = [](const Installation& s) { return CopyFailedLines(DefaultTarget(s)); }},
      {.name = "ServiceExecutableHeldAtItsSource",
       .fault = "the service executable held open without sharing beside `setup.exe`, longer than the installer waits",
       .outcome = Outcome::kCopyFailed,
       .answer = "waited for a few seconds, then the copy fails and nothing is registered",
       .arrange =
           [](Installation& s, Arrangement& a) {
             s.UseMachine();
             a.held.push_back(HoldWithoutSharing(s.Payload() + "fansvc.exe"));
           },
       .lines = [](const Installation& s) { return CopyFailedLines(DefaultTarget(s)); }},
      {.name = "SourceHeldBriefly",
       .fault = "the service executable held open without sharing beside `setup.exe` for a second, as a virus "
                "scanner reads a fresh download",
       .outcome = Outcome::kInstalled,
       .answer = "waited for, then copied",
       .arrange =
           [](Installation& s, Arrangement& a) {
             s.UseMachine();
             a.held.push_back(HoldWithoutSharing(s.Payload() + "fansvc.exe", 1000));
           },
       .lines = InstalledLines},
      {.name = "DestinationNameTakenByAFolder",
       .fault = "a folder at the target under a payload file's name",
       .outcome = Outcome::kCopyFailed,
       .answer = "the copy fails and the run ends before the registration",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             ASSERT_EQ(::SHCreateDirectoryExA(nullptr, (DefaultTarget(s) + "fan.dll").c_str(), nullptr), ERROR_SUCCESS);
           },
       .lines = [](const Installation& s) { return CopyFailedLines(DefaultTarget(s)); }},
      {.name = "TargetLongerThanMaxPath",
       .fault = "an `InstallPath` that makes the target longer than 260 characters",
       .outcome = Outcome::kCopyFailed,
       .answer = "no target folder (empty path): nothing is copied anywhere",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["InstallPath"] = s.InstallPath() + "\\" + std::string(220, 'L');
           },
       .lines = [](const Installation&) { return CopyFailedLines(""); }},
      {.name = "HiddenAndSystemSourceFiles",
       .fault = "hidden and system files beside `setup.exe`",
       .outcome = Outcome::kInstalled,
       .answer = "copied like any other file, attributes kept",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             test::WriteFileContent(s.Payload() + "hidden.txt", "h");
             test::WriteFileContent(s.Payload() + "system.bin", "s");
             ::SetFileAttributesA((s.Payload() + "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
             ::SetFileAttributesA((s.Payload() + "system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM);
           },
       .lines = InstalledLines,
       .check =
           [](const Installation& s, const RunResult&, Arrangement&) {
             EXPECT_EQ(test::ReadFileContent(DefaultTarget(s) + "hidden.txt"), "h");
             EXPECT_EQ(test::ReadFileContent(DefaultTarget(s) + "system.bin"), "s");
             EXPECT_TRUE(::GetFileAttributesA((DefaultTarget(s) + "hidden.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
             EXPECT_TRUE(::GetFileAttributesA((DefaultTarget(s) + "system.bin").c_str()) & FILE_ATTRIBUTE_SYSTEM);
           }},
      // The settings.
      {.name = "NoSetupIni",
       .fault = "no `setup.ini` at all",
       .outcome = Outcome::kCopyFailed,
       .answer = "every setting reads as empty after its box; an empty sub-path makes no target",
       .boxes = {"Can not read version from setup.ini", "Can not read registry key from setup.ini",
                 "Can not read service name from setup.ini", "Can not read install path from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.writeIni = false;
           },
       .lines = [](const Installation&) { return CopyFailedLines("", ""); }},
      {.name = "ServiceNameMissing",
       .fault = "`ServiceName` missing",
       .outcome = Outcome::kRecordedWithoutService,
       .answer =
           "the sample service cannot name itself (exit code 3); the box comes from the check after the registration",
       .boxes = {"Can not read service name from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["ServiceName"] = std::nullopt;
           },
       .lines = InstalledLines},
      {.name = "InstallPathMissing",
       .fault = "`InstallPath` missing",
       .outcome = Outcome::kInstalled,
       .answer = "installs into `<Program Files>\\<version>\\`",
       .boxes = {"Can not read install path from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement& a) {
             s.UseMachine();
             s.settings["InstallPath"] = std::nullopt;
             a.held.push_back(CleanFolder(ProgramFiles() + kVersion));
             a.ownedFolders.push_back(ProgramFiles() + kVersion + "\\");
           },
       .lines = [](const Installation&) { return FreshInstallLines(ProgramFiles() + kVersion + "\\"); },
       .target = [](const Installation&) { return ProgramFiles() + kVersion + "\\"; }},
      {.name = "RegistryKeyMissing",
       .fault = "`RegistryKey` missing",
       .outcome = Outcome::kRegisteredNotRecorded,
       .answer = "no installed version is read; nothing is written at the root of HKLM",
       .boxes = {"Can not read registry key from setup.ini", "Can not read registry key from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["RegistryKey"] = std::nullopt;
           },
       .lines = InstalledLines},
      {.name = "RegistryKeyEmpty",
       .fault = "`RegistryKey=` empty",
       .outcome = Outcome::kRegisteredNotRecorded,
       .answer = "nothing is written at the root of HKLM",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["RegistryKey"] = "";
           },
       .lines = InstalledLines},
      {.name = "ExecutionMissing",
       .fault = "`Execution` missing",
       .outcome = Outcome::kCopiedOnly,
       .answer = "the command line names the target folder itself, which cannot be started (error 5)",
       .boxes = {"Can not read executable file name from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["Execution"] = std::nullopt;
           },
       .lines = [](const Installation& s) { return NotStartedLines(s, "", ERROR_ACCESS_DENIED); }},
      {.name = "VersionMissing",
       .fault = "`version` missing",
       .outcome = Outcome::kInstalled,
       .answer = "installs into the `InstallPath` folder itself and records an empty version",
       .boxes = {"Can not read version from setup.ini"},
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["version"] = std::nullopt;
           },
       .lines = [](const Installation& s) { return FreshInstallLines(s.InstallRoot(), ""); },
       .target = [](const Installation& s) { return s.InstallRoot(); }},
      {.name = "ValueOf100000Characters",
       .fault = "a `version` of 100,000 characters",
       .outcome = Outcome::kCopyFailed,
       .answer = "read whole; not a folder name, so there is no target",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["version"] = std::string(100000, '7');
           },
       .lines = [](const Installation&) { return CopyFailedLines("", std::string(100000, '7')); }},
      {.name = "InstalledVersionIsADword",
       .fault = "the registry's `Version` stored as REG_DWORD",
       .outcome = Outcome::kInstalled,
       .answer = "read as no version; replaced by the text",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.WriteValue("Version", REG_DWORD, std::string("\x08\x00\x02\x01", 4));
           },
       .lines = InstalledLines},
      // The service executable.
      {.name = "ServiceExecutableMissing",
       .fault = "the service executable missing",
       .outcome = Outcome::kCopiedOnly,
       .answer = "it cannot be started (error 2)",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             s.settings["Execution"] = "missing.exe";
           },
       .lines = [](const Installation& s) { return NotStartedLines(s, "missing.exe", ERROR_FILE_NOT_FOUND); }},
      {.name = "ServiceExecutableIsNotAProgram",
       .fault = "the service executable is not a program",
       .outcome = Outcome::kCopiedOnly,
       .answer = "it cannot be started (error 193)",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             test::WriteFileContent(s.Payload() + "fansvc.exe", "this is not a program");
           },
       .lines = [](const Installation& s) { return NotStartedLines(s, "fansvc.exe", ERROR_BAD_EXE_FORMAT); }},
      {.name = "ServiceExecutableFails",
       .fault = "the service executable ends with exit code 1, registering nothing",
       .outcome = Outcome::kRecordedWithoutService,
       .answer = "its exit code is not read",
       .arrange =
           [](Installation& s, Arrangement&) {
             s.UseMachine();
             ASSERT_TRUE(
                 ::CopyFileA(FromUnixPath(FAILING_SERVICE_EXE).c_str(), (s.Payload() + "fansvc.exe").c_str(), FALSE));
           },
       .lines = InstalledLines},
  };
  return faults;
}

void PrintTo(const SetupFault& fault, std::ostream* out) { *out << fault.fault; }

class SetupFaultTest : public testing::TestWithParam<SetupFault> {};

TEST_P(SetupFaultTest, EndsAsDesignedAndWritesOnlyWhatItOwns) {
  const SetupFault& fault = GetParam();
  Installation setup;
  Arrangement arrangement;
  fault.arrange(setup, arrangement);
  if (HasFatalFailure()) return;
  const std::string target = fault.target ? fault.target(setup) : DefaultTarget(setup);

  std::vector<std::string> owned = arrangement.ownedFolders;
  owned.insert(owned.end(), {setup.InstallRoot(), kLogFolder, setup.SimFolder(), setup.Payload() + "setup.ini",
                             "HKLM\\" + setup.RegistryKey() + "\\",
                             "HKLM\\System\\CurrentControlSet\\Services\\" + setup.ServiceName() + "\\"});
  FootprintScope scope;
  scope.extraFolders.push_back(setup.Payload());
  for (const std::string& o : owned)
    (o.rfind("HKLM\\", 0) == 0 ? scope.skippedKeys : scope.skippedFolders).push_back(o);
  for (std::string& key : scope.skippedKeys) key.pop_back();
  const Footprint before = TakeFootprint(scope);

  const RunResult run = setup.Run();

  Lines boxes;
  for (const std::string& text : fault.boxes) boxes.push_back(SettingBox(text));
  EXPECT_EQ(run.messageBoxes, boxes);
  if (fault.lines) {
    EXPECT_EQ(run.lines, fault.lines(setup));
  }
  ExpectOutcome(fault.outcome, setup, target, run);
  if (fault.check) fault.check(setup, run, arrangement);

  for (const std::string& folder : {setup.Payload(), setup.InstallRoot(), setup.SimFolder()}) {
    EXPECT_EQ(ProcessesLeftRunningFrom(folder), Lines{});
  }
  EXPECT_TRUE(LogFileIsFree());
  Lines foreign;
  for (const std::string& change : FootprintChanges(before, TakeFootprint(scope))) {
    if (!Owned(change, owned)) foreign.push_back(change);
  }
  EXPECT_EQ(foreign, Lines{}) << "written outside the target folder, the registry key and the log folder";
}

INSTANTIATE_TEST_SUITE_P(Faults, SetupFaultTest, testing::ValuesIn(SetupFaults()),
                         [](const testing::TestParamInfo<SetupFault>& info) { return std::string(info.param.name); });

// -- The exports, called through acpi-probe ---------------------------------------

// Runs acpi-probe on the real setup.exe; what it printed, without CRs.
test::ProgramRun RunProbe(const Installation& setup, const std::string& arguments) {
  test::ProgramRun run = test::RunCollectingOutput("\"" + FromUnixPath(ACPI_PROBE_EXE) + "\" \"" + setup.Payload() +
                                                   "setup.exe\" " + arguments);
  EXPECT_TRUE(run.started) << "cannot start acpi-probe";
  run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
  return run;
}

struct ExportFault {
  const char* name = "";
  const char* fault = "";                             // the README's words: what goes wrong
  std::optional<std::string> profile = std::nullopt;  // nullopt: the server's executable is missing
  const char* arguments = "";                         // acpi-probe's: which export, with what
  int answer = 0;
  const char* buffer = "";   // the README's word on the caller's buffer
  Lines expectedLines = {};  // lines acpi-probe must print
};

// A failing buffer method that still hands back a reply of two bytes.
std::string FailingWithReply(const std::string& method) { return Failing(method) + "Reply=aa bb\r\n"; }

const std::vector<ExportFault>& ExportFaults() {
  static const std::vector<std::string> kFailedReply = {"answer: 0", "length: 2 (sent 4)", "reply: aa bb",
                                                        "buffer: aa bb 22 33", "guard: intact (16 bytes)"};
  static const std::vector<ExportFault> faults = {
      {.name = "ServerExecutableMissing",
       .fault = "`AcpiMbif` with the server executable missing",
       .profile = std::nullopt,
       .arguments = "mbif",
       .answer = 0,
       .buffer = "untouched, length as sent",
       .expectedLines = {"answer: 0", "length: 4096 (sent 4096)", "guard: intact (16 bytes)"}},
      {.name = "InitFails",
       .fault = "`iAcpiInit` fails (E_FAIL)",
       .profile = Failing("iAcpiInit"),
       .arguments = "init",
       .answer = 0,
       .buffer = "(no buffer)",
       .expectedLines = {"answer: 0"}},
      {.name = "GetItemFails",
       .fault = "`iAcpiGetItem` fails (E_FAIL)",
       .profile = Failing("iAcpiGetItem"),
       .arguments = "get-item 5",
       .answer = 0,
       .buffer = "(no buffer)",
       .expectedLines = {"answer: 0"}},
      {.name = "GetItemExFails",
       .fault = "`iAcpiGetItemEx` fails (E_FAIL)",
       .profile = Failing("iAcpiGetItemEx"),
       .arguments = "get-item-ex 5 6",
       .answer = 0,
       .buffer = "(no buffer)",
       .expectedLines = {"answer: 0"}},
      {.name = "SetItemFails",
       .fault = "`iAcpiSetItem` fails (E_FAIL)",
       .profile = Failing("iAcpiSetItem"),
       .arguments = "set-item 1 2 3",
       .answer = 0,
       .buffer = "(no buffer)",
       .expectedLines = {"answer: 0"}},
      {.name = "GetItemBufferFails",
       .fault = "`iAcpiGetItemBuffer` fails (E_FAIL) after a 2-byte reply",
       .profile = FailingWithReply("iAcpiGetItemBuffer"),
       .arguments = "get-item-buffer 1 2 00112233",
       .answer = 0,
       .buffer = "the reply, copied back",
       .expectedLines = kFailedReply},
      {.name = "SetItemBufferFails",
       .fault = "`iAcpiSetItemBuffer` fails (E_FAIL) after a 2-byte reply",
       .profile = FailingWithReply("iAcpiSetItemBuffer"),
       .arguments = "set-item-buffer 1 2 00112233",
       .answer = 0,
       .buffer = "the reply, copied back",
       .expectedLines = kFailedReply},
      {.name = "GGrpFails",
       .fault = "`iAcpiGGrp` fails (E_FAIL) after a 2-byte reply",
       .profile = FailingWithReply("iAcpiGGrp"),
       .arguments = "ggrp 3 00112233",
       .answer = 0,
       .buffer = "the reply, copied back",
       .expectedLines = kFailedReply},
      {.name = "CallMethodFails",
       .fault = "`iAcpiCallMethod` fails (E_FAIL) after a 2-byte reply",
       .profile = FailingWithReply("iAcpiCallMethod"),
       .arguments = "call-method 7 00112233",
       .answer = 0,
       .buffer = "the reply, copied back",
       .expectedLines = kFailedReply},
      {.name = "MbifFails",
       .fault = "`iAcpiMbif` fails (E_FAIL) after its reply",
       .profile = Failing("iAcpiMbif"),
       .arguments = "mbif",
       .answer = 0,
       .buffer = "the reply, copied back",
       .expectedLines = {"answer: 0", "length: 44 (sent 4096)", "feature word: 0x00000302",
                         "guard: intact (16 bytes)"}},
      {.name = "ReplyLengthBeyondTheRequest",
       .fault = "a buffer reply whose length (64) exceeds the request (16)",
       .profile = std::string("[iAcpiGGrp]\r\nLength=64\r\n"),
       .arguments = "ggrp 3 00112233445566778899aabbccddeeff",
       .answer = 0,
       .buffer = "the 16 bytes that fit, length 16; nothing past them",
       .expectedLines = {"answer: 0", "length: 16 (sent 16)", "reply: e1 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff",
                         "guard: intact (16 bytes)"}},
      {.name = "LongerArrayBeyondTheRequest",
       .fault = "a buffer reply of 32 bytes in a new array, against a request of 4",
       .profile =
           std::string("[iAcpiCallMethod]\r\nReply=a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af b0 b1 b2 b3 b4 "
                       "b5 b6 b7 b8 b9 ba bb bc bd be bf\r\nArray=replace\r\n"),
       .arguments = "call-method 7 00112233",
       .answer = 0,
       .buffer = "the 4 bytes that fit, length 4; nothing past them",
       .expectedLines = {"answer: 0", "length: 4 (sent 4)", "reply: a0 a1 a2 a3", "guard: intact (16 bytes)"}},
      {.name = "ArrayReplacedByAShorterOne",
       .fault = "a buffer reply in a new, shorter array",
       .profile = std::string("[iAcpiGGrp]\r\nReply=e1 02 03 04\r\nArray=replace\r\n"),
       .arguments = "ggrp 3 00112233445566778899aabbccddeeff",
       .answer = 1,
       .buffer = "the 4 reply bytes, length 4; the rest as it was",
       .expectedLines = {"answer: 1", "length: 4 (sent 16)", "buffer: e1 02 03 04 44 55 66 77 88 99 aa bb cc dd ee ff",
                         "guard: intact (16 bytes)"}},
      {.name = "HolderHoldsNoArray",
       .fault = "a buffer reply whose holder holds no array",
       .profile = std::string("[iAcpiGGrp]\r\nArray=none\r\n"),
       .arguments = "ggrp 3 00112233",
       .answer = 0,
       .buffer = "as sent (led by 0xE1), length 0",
       .expectedLines = {"answer: 0", "length: 0 (sent 4)", "buffer: e1 11 22 33", "guard: intact (16 bytes)"}},
  };
  return faults;
}

void PrintTo(const ExportFault& fault, std::ostream* out) { *out << fault.fault; }

class ExportFaultTest : public testing::TestWithParam<ExportFault> {};

TEST_P(ExportFaultTest, AnswersAsDesignedWithinTheCallersBuffer) {
  const ExportFault& fault = GetParam();
  Installation setup;
  if (fault.profile) {
    setup.UseMachine(*fault.profile);
  } else {
    setup.UseMachine();
    ASSERT_TRUE(::DeleteFileA((setup.SimFolder() + "acpi-sim.exe").c_str()));
  }
  const test::ProgramRun probe = RunProbe(setup, fault.arguments);
  // 0: answered 1; 1: answered 0; 3: wrote past the caller's buffer.
  EXPECT_EQ(probe.exitCode, fault.answer == 1 ? 0u : 1u) << probe.output;
  for (const std::string& line : fault.expectedLines) {
    EXPECT_NE(probe.output.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << probe.output;
  }
  EXPECT_EQ(ProcessesLeftRunningFrom(setup.SimFolder()), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportFaultTest, testing::ValuesIn(ExportFaults()),
                         [](const testing::TestParamInfo<ExportFault>& info) { return std::string(info.param.name); });

// -- The README's table -------------------------------------------------------------

std::string GeneratedTables() {
  FaultTable runs{{"Fault", "Exit code", "Outcome", "Message boxes", "What the installer does"}, {}};
  for (const SetupFault& f : SetupFaults()) {
    runs.rows.push_back(
        {f.fault,
         {ExitCodeOf(f.outcome) == 0 ? "0" : "-1", Describe(f.outcome), std::to_string(f.boxes.size()), f.answer}});
  }
  FaultTable exports{{"Fault (an export called through `acpi-probe`)", "Export answers", "Caller's buffer"}, {}};
  for (const ExportFault& f : ExportFaults()) exports.rows.push_back({f.fault, {std::to_string(f.answer), f.buffer}});
  return FaultTableMarkdown(runs) + "\n" + FaultTableMarkdown(exports);
}

TEST(FaultTable, ReadmeShowsWhatTheSuiteChecks) {
  ExpectReadmeSection("fault table", "tests/e2e/fault_injection_test.cpp", GeneratedTables());
}

}  // namespace
}  // namespace e2e
