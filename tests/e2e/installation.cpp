#include "installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/unique_handle.h"
#include "support/process.h"
#include "support/text.h"

#include <shlobj.h>
#include <tlhelp32.h>

namespace e2e {
namespace {

constexpr char kCaption[] = "Ventaro Setup";
constexpr char kRelaySettings[] = "Software\\Wine\\Debug";

void CopyOrFail(const std::string& from, const std::string& to) {
  ASSERT_TRUE(::CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to << ": " << ::GetLastError();
}

// Starts a program without a console window, with these variables set on
// top of this process's own; fails the test when it could not be started.
test::Process Start(const std::string& commandLine, const std::map<std::string, std::string>& environment = {}) {
  test::ProcessOptions options;
  options.noWindow = true;
  options.environment = environment;
  test::Process process(commandLine, options);
  if (!process.Started()) ADD_FAILURE() << "cannot start " << commandLine << ": " << process.StartError();
  return process;
}

// Its exit code once it has ended; ~0u when it did not start.
// Longer than any whole run takes here. Wine's COM has been seen to deadlock
// a server on the release of its last object, and with it the installer
// waiting for that release, which holds the single-run lock: killed, it lets
// the lock go, so that one failed test does not hold up every later run.
constexpr DWORD kLongestRunMs = 150000;

DWORD WaitForExit(const test::Process& process) {
  if (!process.Wait(kLongestRunMs)) {
    ADD_FAILURE() << "a process did not end within " << kLongestRunMs / 1000 << " s: killed";
    process.Kill();
    process.Wait();
  }
  return process.ExitCode();
}

DWORD RunAndWait(const std::string& commandLine, const std::map<std::string, std::string>& environment = {}) {
  return WaitForExit(Start(commandLine, environment));
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The lines of text after the first `from` bytes of a file, CR LF or LF.
std::vector<std::string> LinesFrom(const std::string& path, std::uint64_t from) {
  const std::string content = test::ReadFileContent(path);
  return test::SplitLines(content.substr(from <= content.size() ? static_cast<std::size_t>(from) : content.size()));
}

// "[2024-05-06 07:08:09.123] [setup.exe] [debug] text" gives "text".
std::string LogMessage(const std::string& line) {
  const std::string prefix = "] [setup.exe] [debug] ";
  const std::size_t at = line.find(prefix);
  EXPECT_TRUE(line.size() > 25 && line[0] == '[' && at == 24) << "not a log line: " << line;
  return at == std::string::npos ? line : line.substr(at + prefix.size());
}

// `Call user32.MessageBoxA(00000000,140009010 "text",140009000 "caption",00000000) ret=…`
// gives `00000000,"text","caption",00000000`.
std::string MessageBoxArguments(const std::string& line) {
  const std::string call = "Call user32.MessageBoxA(";
  std::string arguments = line.substr(line.find(call) + call.size());
  arguments = arguments.substr(0, arguments.rfind(") ret="));
  std::string result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // Drop the pointer printed before each string.
    if (arguments[i] != '"' && (i == 0 || arguments[i - 1] == ',')) {
      const std::size_t blank = arguments.find(" \"", i);
      const std::size_t comma = arguments.find(',', i);
      if (blank != std::string::npos && blank < comma) i = blank + 1;
    }
    result += arguments[i];
  }
  return result;
}

// `Call advapi32.RegSetValueExA(00000088,0041c0a8 "Version",00000000,…) ret=…`
// gives `Version`.
std::string ValueName(const std::string& line) {
  const std::size_t open = line.find('"', line.find("RegSetValueExA("));
  const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  EXPECT_NE(close, std::string::npos) << "no value name in " << line;
  return close == std::string::npos ? line : line.substr(open + 1, close - open - 1);
}

}  // namespace

std::string ProgramFiles() {
  char folder[MAX_PATH] = {};
  ::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::string(folder) + "\\";
}

std::string SettingBox(const std::string& text) { return "00000000,\"" + text + "\",\"" + kCaption + "\",00000000"; }

Installation::Installation() {
  const std::string name = test::UniqueName("E2E");
  serviceName_ = "VentaroE2E" + name;
  installPath_ = "VentaroE2E\\" + name;
  registryKey_ = "SOFTWARE\\VentaroE2E\\" + name;
  settings = {{"ServiceName", serviceName_},
              {"InstallPath", installPath_},
              {"RegistryKey", registryKey_},
              {"Execution", "fansvc.exe"},
              {"version", "1.2.0.8"}};

  CopyOrFail(FromUnixPath(SETUP_EXE), payload_ / "setup.exe");
  CopyOrFail(FromUnixPath(SAMPLE_SERVICE_EXE), payload_ / "fansvc.exe");
  test::WriteFileContent(payload_ / "fan.dll", "library");
  test::WriteFileContent(payload_ / "readme.txt", "notes");
  ::CreateDirectoryA((payload_ / "data").c_str(), nullptr);
  test::WriteFileContent(payload_ / "data\\table.bin", "nested");
}

Installation::~Installation() {
  // Any copy unregisters the class; the registered one may have been removed.
  const bool ownCopy = sim_ && test::FileExists(*sim_ / "acpi-sim.exe");
  RunAndWait("\"" + (ownCopy ? (*sim_ / "acpi-sim.exe") : FromUnixPath(ACPI_SIM_EXE)) + "\" /UnregServer");
  RemoveInstallation();
}

void Installation::RemoveInstallation() {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), serviceName_.c_str(), DELETE));
  if (service) ::DeleteService(service.Get());
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, registryKey_.c_str());
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, registryKey_.c_str());
  test::RemoveTree(InstallRoot());
}

void Installation::UseMachine(const std::optional<std::string>& profile, const std::string& simulator) {
  sim_.emplace();
  CopyOrFail(FromUnixPath(simulator), *sim_ / "acpi-sim.exe");
  if (profile) test::WriteFileContent(*sim_ / "acpi-sim.ini", *profile);
  ASSERT_EQ(RunAndWait("\"" + (*sim_ / "acpi-sim.exe") + "\" /RegServer"), 0u);
}

void Installation::UseSetup(const std::string& setupExe) { CopyOrFail(FromUnixPath(setupExe), payload_ / "setup.exe"); }

void Installation::UseServiceExecutable(const std::string& serviceExe) {
  CopyOrFail(FromUnixPath(serviceExe), payload_ / "fansvc.exe");
}

void Installation::UseNoServer() { ASSERT_EQ(RunAndWait("\"" + FromUnixPath(ACPI_SIM_EXE) + "\" /UnregServer"), 0u); }

RunResult Installation::Run(int processes) { return Run(processes, nullptr); }

RunResult Installation::Run(int processes, const Meddler& meddle) {
  if (writeIni) {
    std::string ini = "[Common]\r\n";
    for (const auto& setting : settings) {
      if (setting.second) ini += setting.first + "=" + *setting.second + "\r\n";
    }
    test::WriteFileContent(payload_ / "setup.ini", ini);
  } else {
    ::DeleteFileA((payload_ / "setup.ini").c_str());
  }

  // Wine traces the calls named in RelayInclude of a program started with
  // WINEDEBUG=+relay into the standard error it inherited from us.
  const char* stderrPath = std::getenv("SETUP_WINE_STDERR");
  EXPECT_NE(stderrPath, nullptr) << "run through cmake/wine-run.sh to observe message boxes";
  const std::string trace = stderrPath ? FromUnixPath(stderrPath) : "";
  ScopedRegKey relay;
  ::RegCreateKeyExA(HKEY_CURRENT_USER, kRelaySettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, relay.Receive(),
                    nullptr);
  const char include[] = "user32.MessageBoxA;advapi32.RegSetValueExA";
  ::RegSetValueExA(relay.Get(), "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(include), sizeof include);

  const std::uint64_t logStart = FileSize(kLogFile);
  const std::uint64_t traceStart = trace.empty() ? 0 : FileSize(trace);
  RunResult result;
  {
    // The test's own variables win, WINEDEBUG included.
    std::map<std::string, std::string> variables = environment;
    variables.emplace("WINEDEBUG", "+relay");
    std::vector<test::Process> started;
    for (int i = 0; i < processes; ++i) started.push_back(Start("\"" + (payload_ / "setup.exe") + "\"", variables));
    if (meddle) {
      std::vector<HANDLE> handles;
      for (const test::Process& process : started) handles.push_back(process.Handle());
      // One last look after they have all ended.
      const DWORD deadline = ::GetTickCount() + 120000;
      bool done = false, ended = false;
      while (!(done = meddle(handles)) && !ended && static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
        ended = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, 10) != WAIT_TIMEOUT;
      }
      EXPECT_TRUE(done) << (ended ? "every setup.exe ended before the moment came"
                                  : "the moment did not come within 120 s");
    }
    for (const test::Process& process : started) result.exitCodes.push_back(WaitForExit(process));
    result.exitCode = result.exitCodes.front();
  }
  ::RegDeleteValueA(relay.Get(), "RelayInclude");

  for (const std::string& line : LinesFrom(kLogFile, logStart)) result.lines.push_back(LogMessage(line));
  if (!trace.empty()) {
    for (const std::string& line : LinesFrom(trace, traceStart)) {
      if (line.find("Call user32.MessageBoxA(") != std::string::npos) {
        result.messageBoxes.push_back(MessageBoxArguments(line));
      }
      if (line.find("Call advapi32.RegSetValueExA(") != std::string::npos) {
        result.valuesWritten.push_back(ValueName(line));
      }
    }
  }
  return result;
}

DWORD Installation::RunOther(const std::string& commandLine) const { return RunAndWait(commandLine, environment); }

std::string Installation::InstallRoot() const { return ProgramFiles() + installPath_ + "\\"; }

std::string Installation::TargetFolder(const std::string& version) const {
  return InstallRoot() + (version.empty() ? "" : version + "\\");
}

std::optional<RegValue> Installation::ReadValue(const std::string& name) const {
  ScopedRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, registryKey_.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value;
  DWORD size = 0;
  if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value.data[0]), &size);
  value.data.resize(size);
  return value;
}

void Installation::WriteValue(const std::string& name, DWORD type, const std::string& data) {
  ScopedRegKey key;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

void Installation::DeleteValue(const std::string& name) {
  ScopedRegKey key;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, registryKey_.c_str(), 0, KEY_SET_VALUE, key.Receive()), ERROR_SUCCESS);
  ASSERT_EQ(::RegDeleteValueA(key.Get(), name.c_str()), ERROR_SUCCESS);
}

bool Installation::ServiceExists() const {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), serviceName_.c_str(), SERVICE_QUERY_CONFIG));
  return service.IsValid();
}

std::string Installation::ServiceBinaryPath() const {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), serviceName_.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return {};
  DWORD needed = 0;
  ::QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
  std::vector<char> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
  if (!::QueryServiceConfigA(service.Get(), config, needed, &needed)) return {};
  return config->lpBinaryPathName;
}

void Installation::CreateService() const {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  const std::string binary = "\"" + FromUnixPath(SAMPLE_SERVICE_EXE) + "\"";
  ScopedServiceHandle service(::CreateServiceA(
      manager.Get(), serviceName_.c_str(), serviceName_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
      SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(service.IsValid()) << ::GetLastError();
}

std::vector<std::string> ProcessesLeftRunningFrom(const std::string& folder) {
  std::vector<std::string> found;
  if (folder.empty()) return found;
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {"cannot list processes: " + std::to_string(::GetLastError())};
  const DWORD deadline = ::GetTickCount() + 5000;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    ScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    char image[MAX_PATH * 2] = {};
    DWORD size = sizeof image;
    if (!::QueryFullProcessImageNameA(process.Get(), 0, image, &size)) continue;
    if (Lower(image).rfind(Lower(folder), 0) != 0) continue;
    const DWORD now = ::GetTickCount();
    const DWORD wait = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
    if (::WaitForSingleObject(process.Get(), wait) != WAIT_OBJECT_0) found.push_back(image);
  }
  return found;
}

bool LogFileIsFree() {
  ScopedHandle file(
      ::CreateFileA(kLogFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::vector<std::string> FreshInstallLines(const std::string& target, const std::string& version,
                                           const std::string& feature) {
  return {"main: feature = " + feature,
          "main: targetVer = " + version,
          "main: currentVer = ",
          "main: MakeTargetFolder path = " + target,
          "ExecuteCommand: CreateProcessA...",
          "main: RegisterService: bSuccess = true"};
}

std::vector<std::string> FreshInstallLines(const Installation& setup, const std::string& feature) {
  return FreshInstallLines(setup.TargetFolder("1.2.0.8"), "1.2.0.8", feature);
}

void ExpectText(const std::optional<RegValue>& value, const std::string& text) {
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value->data, text + std::string(1, '\0'));
}

void ExpectInstalled(const Installation& setup, const std::string& version) {
  const std::string target = setup.TargetFolder(version);
  EXPECT_EQ(ListFolder(target),
            (std::vector<std::string>{"fan.dll", "fansvc.exe", "readme.txt", "setup.exe", "setup.ini"}));
  ExpectText(setup.ReadValue("Version"), version);
  ExpectText(setup.ReadValue("Path"), target);
  EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
}

}  // namespace e2e
