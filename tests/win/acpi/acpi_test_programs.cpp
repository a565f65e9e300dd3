#include "acpi_test_programs.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include "base/unique_handle.h"

namespace acpi_test {

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

ProgramRun RunProgram(const std::string& commandLine) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  ScopedHandle readEnd;
  ScopedHandle writeEnd;
  if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) return run;
  ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();
  PROCESS_INFORMATION process = {};
  std::string mutableLine = commandLine;
  if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return run;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  writeEnd.Reset();  // only the child holds the write end now: EOF when it ends
  run.started = true;

  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd.Get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    run.output.append(chunk, got);
  }
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  ::GetExitCodeProcess(processHandle.Get(), &run.exitCode);
  return run;
}

std::string ProbeRun::operator[](const std::string& key) const {
  const auto found = facts.find(key);
  return found == facts.end() ? "<missing " + key + ">" : found->second;
}

ProbeRun RunProbe(const std::string& arguments) {
  const ProgramRun program = RunProgram("\"" + WindowsPath(ACPI_PROBE_EXE) + "\" \"" +
                                        WindowsPath(ACPI_EXPORTS_HOST_EXE) + "\" " + arguments);
  EXPECT_TRUE(program.started) << "acpi-probe did not start";
  ProbeRun run;
  run.exitCode = program.exitCode;
  run.output = program.output;
  std::size_t at = 0;
  while (at < program.output.size()) {
    std::size_t end = program.output.find('\n', at);
    if (end == std::string::npos) end = program.output.size();
    std::string line = program.output.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) run.facts[line.substr(0, colon)] = line.substr(colon + 2);
    at = end + 1;
  }
  return run;
}

RegisteredSim::RegisteredSim(const std::string& profile) {
  server_ = folder_ / "acpi-sim.exe";
  if (!::CopyFileA(WindowsPath(ACPI_SIM_EXE).c_str(), server_.c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy acpi-sim, error " << ::GetLastError();
    return;
  }
  SetProfile(profile);
  const ProgramRun run = RunProgram("\"" + server_ + "\" /RegServer");
  registered_ = run.started && run.exitCode == 0;
  if (!registered_) ADD_FAILURE() << "acpi-sim /RegServer failed: " << run.output;
}

RegisteredSim::~RegisteredSim() {
  if (registered_) RunProgram("\"" + server_ + "\" /UnregServer");
}

void RegisteredSim::SetProfile(const std::string& profile) {
  test::WriteFileContent(folder_ / "acpi-sim.ini", profile);
}

std::vector<std::string> RegisteredSim::Journal() const {
  const std::string text = test::ReadFileContent(folder_ / "acpi-sim.journal");
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

void RegisteredSim::ClearJournal() { ::DeleteFileA((folder_ / "acpi-sim.journal").c_str()); }

bool ServerProgIdRegistered() {
  CLSID clsid;
  return SUCCEEDED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid));
}

}  // namespace acpi_test
