#include "sim_server.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include "base/unique_handle.h"
#include "support/paths.h"
#include "support/process.h"

namespace test {
namespace {

// Long enough for a loaded machine; a server that is slower has hung.
constexpr DWORD kPatience = 60000;
// A released server ends at once; one still there after this lingers
// (the server's own limit for a server nobody uses is 20 seconds).
constexpr DWORD kEndPatience = 15000;

bool SamePath(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

SimServer::SimServer() {
  std::string source = ExeFolder() + "acpi-sim.exe";
  if (!::CopyFileA(source.c_str(), ExePath().c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy " << source << ", error " << ::GetLastError();
  }
}

SimServer::~SimServer() {
  EXPECT_EQ(Run("/UnregServer"), 0);
  for (DWORD id : Processes()) {
    if (WaitForProcessEnd(id)) continue;
    ADD_FAILURE() << "server process " << id << " of " << ExePath() << " is still running";
    ScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process.IsValid()) {
      ::TerminateProcess(process.Get(), 1);
      ::WaitForSingleObject(process.Get(), kPatience);
    }
  }
}

int SimServer::Run(const std::string& arguments) const {
  const Process process("\"" + ExePath() + "\" " + arguments);
  if (!process.Started()) return -1;
  if (!process.Wait(kPatience)) {
    process.Kill();
    return -1;
  }
  return static_cast<int>(process.ExitCode());
}

void SimServer::WriteProfile(const std::string& text) const { WriteFileContent(folder_ / "acpi-sim.ini", text); }

std::string SimServer::Journal() const { return ReadFileContent(folder_ / "acpi-sim.journal"); }

std::vector<DWORD> SimServer::Processes() const {
  std::vector<DWORD> ids;
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) {
    ADD_FAILURE() << "cannot list processes, error " << ::GetLastError();
    return ids;
  }
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (!SamePath(entry.szExeFile, "acpi-sim.exe")) continue;
    ScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    char image[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (process.IsValid() && ::QueryFullProcessImageNameA(process.Get(), 0, image, &size) &&
        SamePath(image, ExePath())) {
      ids.push_back(entry.th32ProcessID);
    }
  }
  return ids;
}

bool WaitForProcessEnd(DWORD processId) {
  ScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
  // A process that cannot be opened any more has ended.
  return !process.IsValid() || ::WaitForSingleObject(process.Get(), kEndPatience) == WAIT_OBJECT_0;
}

}  // namespace test
