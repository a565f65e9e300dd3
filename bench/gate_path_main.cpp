// bench-gate-path: the calls that a run ending at the feature gate cannot
// do without, and nothing else: enter a COM apartment, ask the shell for the
// common application data folder, create a file there and append one line,
// and look up the server's ProgID twice (the two server calls of the run,
// failing when no server is registered). The baseline that shows the
// installer's own start-up cost, without the platform's price for COM.

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "base/unique_handle.h"

int main() {
  if (FAILED(::CoInitialize(nullptr))) return 1;
  char folder[MAX_PATH] = {};
  if (::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return 1;
  const std::string path = std::string(folder) + "\\bench-gate-path.log";
  {
    ScopedHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    const char line[] = "[2026-01-01 00:00:00.000] [setup.exe] [debug] main: feature = 0x00000000\r\n";
    DWORD written = 0;
    if (!::WriteFile(file.Get(), line, sizeof line - 1, &written, nullptr)) return 1;
  }
  CLSID clsid;
  const bool found = SUCCEEDED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid)) ||
                     SUCCEEDED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid));
  ::CoUninitialize();
  // Measured with no server registered: both lookups fail, as the run's do.
  return found ? 1 : 0;
}
