#include "setup/run_guards.h"

#include "base/win.h"

namespace {

// Global: runs in other sessions (a deployment tool's, a user's) count too.
constexpr char kMutexName[] = "Global\\Korven.Ventaro.Setup";

}  // namespace

SingleRunLock::SingleRunLock() : mutex_(::CreateMutexA(nullptr, FALSE, kMutexName)) {
  if (!mutex_) return;
  const DWORD waited = ::WaitForSingleObject(mutex_.Get(), INFINITE);
  // A run that died holding the lock leaves it abandoned: ours now.
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SingleRunLock::~SingleRunLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
}

void RestrictDllSearch() {
  // Windows 7 has SetDefaultDllDirectories only with KB2533623: look it up
  // rather than import it, so setup.exe still starts without that update.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, at least the current folder leaves the search.
  ::SetDllDirectoryA("");
}
