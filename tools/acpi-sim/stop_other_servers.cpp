#include "tools/acpi-sim/stop_other_servers.h"

#include "base/unique_handle.h"

#include <tlhelp32.h>

std::string StopEventName(unsigned long processId) { return "Local\\acpi-sim-stop-" + std::to_string(processId); }

void StopOtherServers() {
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId() || ::lstrcmpiA(entry.szExeFile, "acpi-sim.exe") != 0) {
      continue;
    }
    ScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
    ScopedHandle stop(::OpenEventA(EVENT_MODIFY_STATE, FALSE, StopEventName(entry.th32ProcessID).c_str()));
    if (process && stop && ::SetEvent(stop.Get())) ::WaitForSingleObject(process.Get(), 10000);
  }
}
