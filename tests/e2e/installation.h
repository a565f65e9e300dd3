#pragma once

// One whole installation as a person would run it: a payload folder with
// setup.exe, setup.ini, the sample service and a few more files; the ACPI
// simulator registered with a chosen machine profile; setup.exe run as a
// process; and what it left behind read back from the log, the registry,
// the program-files folder and the service manager. Every name is unique to
// the object, and everything it made is removed on destruction.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/win.h"
#include "support/paths.h"
#include "support/scratch.h"
#include "support/text.h"
#include "test_programs.h"

namespace e2e {

struct RunResult {
  DWORD exitCode = 0;            // the first process's
  std::vector<DWORD> exitCodes;  // every process's, in the order started
  // This run's log lines, message text only, in order.
  std::vector<std::string> lines;
  // This run's message boxes as Wine's relay trace shows MessageBoxA's
  // arguments: owner, "text", "caption", style.
  std::vector<std::string> messageBoxes;
  // The names of the registry values this run's processes wrote with
  // RegSetValueExA, in the order written, from the relay trace (Wine lists
  // a key's values sorted by name, not in the order they were written).
  std::vector<std::string> valuesWritten;
};

using test::FromUnixPath;
using test::ListFolder;
using test::Lower;

// Where every run logs, and the folder above it.
constexpr char kKorvenFolder[] = "C:\\ProgramData\\Korven\\";
constexpr char kLogFolder[] = "C:\\ProgramData\\Korven\\Ventaro\\";
constexpr char kLogFile[] = "C:\\ProgramData\\Korven\\Ventaro\\setup.exe.log";

// The program-files folder, ending with a backslash.
std::string ProgramFiles();

// The arguments a setting's message box is shown with.
std::string SettingBox(const std::string& text);

struct RegValue {
  DWORD type = 0;
  std::string data;  // the raw bytes
};

class Installation {
 public:
  Installation();
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // setup.ini's [Common] keys; nullopt leaves the key out. Written by Run,
  // unless writeIni is false: then there is no setup.ini at all.
  std::map<std::string, std::optional<std::string>> settings;
  bool writeIni = true;

  // Registers a copy of the simulator whose profile is the given text (no
  // profile file for nullopt: the default fan-control machine). The
  // simulator is this build's unless another one is named (a Unix path).
  void UseMachine(const std::optional<std::string>& profile = std::nullopt,
                  const std::string& simulator = ACPI_SIM_EXE);
  // Leaves "tavriCom.axdata" unregistered.
  void UseNoServer();

  // Puts another build's setup.exe or service executable (Unix paths) into
  // the payload in place of this build's.
  void UseSetup(const std::string& setupExe);
  void UseServiceExecutable(const std::string& serviceExe);

  // Variables set for setup.exe's processes, on top of this process's own.
  std::map<std::string, std::string> environment;

  // Runs setup.exe from the payload folder: `processes` of them started at
  // once, all awaited. The log lines and boxes are those of all of them.
  RunResult Run(int processes = 1);
  // The same, and meanwhile `meddle` is called with the started processes
  // every 10 ms until it answers true: it may kill one of them, or what
  // they started, at the moment it looks for. Fails the test when that
  // moment does not come before they end (or within 120 s).
  using Meddler = std::function<bool(const std::vector<HANDLE>& installers)>;
  RunResult Run(int processes, const Meddler& meddle);
  // Runs another program with the same environment; its exit code.
  DWORD RunOther(const std::string& commandLine) const;

  const std::string& Payload() const { return payload_.Path(); }
  // The folder of the registered simulator copy, with its profile and
  // journal; empty without UseMachine.
  std::string SimFolder() const { return sim_ ? sim_->Path() : std::string(); }
  const std::string& ServiceName() const { return serviceName_; }
  const std::string& InstallPath() const { return installPath_; }  // no trailing backslash
  const std::string& RegistryKey() const { return registryKey_; }
  // The program-files folder, then InstallPath and a backslash.
  std::string InstallRoot() const;
  // InstallRoot(), then the version and a backslash (none for an empty one).
  std::string TargetFolder(const std::string& version) const;

  std::optional<RegValue> ReadValue(const std::string& name) const;
  void WriteValue(const std::string& name, DWORD type, const std::string& data);
  void DeleteValue(const std::string& name);
  // Removes the service, the registry key and the install root: the
  // machine as before the first run, the payload and simulator kept.
  void RemoveInstallation();
  bool ServiceExists() const;
  std::string ServiceBinaryPath() const;
  // Registers the service as an earlier installation would have.
  void CreateService() const;

 private:
  std::string serviceName_, installPath_, registryKey_;
  test::ScratchFolder payload_;
  std::optional<test::ScratchFolder> sim_;
};

// What a first installation logs, in order: of `version` into `target`,
// on a machine of the given feature word.
std::vector<std::string> FreshInstallLines(const std::string& target, const std::string& version = "1.2.0.8",
                                           const std::string& feature = "0x00000302");
// The same for 1.2.0.8 into the installation's own target folder.
std::vector<std::string> FreshInstallLines(const Installation& setup, const std::string& feature = "0x00000302");

// REG_SZ holding the text and its terminating NUL, nothing more.
void ExpectText(const std::optional<RegValue>& value, const std::string& text);

// The payload's top-level files in the version's target folder, the version
// and the folder recorded, the service pointing at the installed executable.
void ExpectInstalled(const Installation& setup, const std::string& version);

// Processes started from a folder (the payload, the target, the simulator's)
// that are still running a few seconds after the run: a server process
// needs a moment to end after its last client let go, one that was never
// let go stays until its idle limit (20 s).
std::vector<std::string> ProcessesLeftRunningFrom(const std::string& folder);

// Nobody holds the log file open.
bool LogFileIsFree();

}  // namespace e2e
