#include "setup/restrict_dll_search.h"

#include "base/win.h"

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
