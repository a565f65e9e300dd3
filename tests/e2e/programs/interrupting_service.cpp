// Stands in for the service executable in the interrupted installations.
// Lets the real one beside it (fansvc.exe) register the service, except on
// its first start, which does what VENTARO_E2E_INTERRUPT says:
//   hold         waits until it is killed, without registering anything
//   kill-parent  registers, then kills the program that started it (the
//                installer), so that the record is never written
// Its first start is the one that creates the file VENTARO_E2E_MARKER, into
// which it writes its process id: the test waits for that file and kills
// from there. Later starts, the next run's, just register.
#include <cstdlib>
#include <string>

#include "base/unique_handle.h"
#include "run_fansvc_beside.h"

#include <tlhelp32.h>

namespace {

// True for the first start only: it made the marker and wrote its id there.
bool FirstStart() {
  const char* marker = std::getenv("VENTARO_E2E_MARKER");
  if (marker == nullptr) return false;
  ScopedHandle file(
      ::CreateFileA(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::string id = std::to_string(::GetCurrentProcessId());
  DWORD written = 0;
  return ::WriteFile(file.Get(), id.data(), static_cast<DWORD>(id.size()), &written, nullptr) != 0;
}

DWORD ParentId() {
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) return entry.th32ParentProcessID;
  }
  return 0;
}

}  // namespace

int main() {
  const char* interrupt = std::getenv("VENTARO_E2E_INTERRUPT");
  const std::string what = interrupt != nullptr ? interrupt : "";
  // Found before the marker appears: the test may kill the parent from then on.
  const DWORD parent = ParentId();
  if (what.empty() || !FirstStart()) return static_cast<int>(RunFansvcBeside());
  if (what == "hold") {
    ::Sleep(INFINITE);
  } else if (what == "kill-parent") {
    const DWORD code = RunFansvcBeside();
    ScopedHandle installer(::OpenProcess(PROCESS_TERMINATE, FALSE, parent));
    if (!installer || !::TerminateProcess(installer.Get(), 1)) return 3;
    return static_cast<int>(code);
  }
  return 2;
}
