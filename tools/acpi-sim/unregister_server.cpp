#include "tools/acpi-sim/unregister_server.h"

#include <string>

#include <objbase.h>

#include "base/unique_handle.h"
#include "tools/acpi-sim/sim_ids.h"

namespace {

bool RemoveKey(const std::wstring& path) {
  LONG tree = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
  if (tree != ERROR_SUCCESS && tree != ERROR_FILE_NOT_FOUND) return false;
  LONG key = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
  return key == ERROR_SUCCESS || key == ERROR_FILE_NOT_FOUND;
}

// Whether the ProgID's CLSID key names the simulator's class.
bool ProgIdNamesSimulator(const std::wstring& progId) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (progId + L"\\CLSID").c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t value[64] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  CLSID named = {};
  return SUCCEEDED(::CLSIDFromString(value, &named)) && IsEqualCLSID(named, kSimClsid);
}

}  // namespace

bool UnregisterServer() {
  const std::wstring progId = std::wstring(L"Software\\Classes\\") + kSimProgId;
  const std::wstring clsid = std::wstring(L"Software\\Classes\\CLSID\\") + kSimClsidText;
  bool progIdRemoved = !ProgIdNamesSimulator(progId) || RemoveKey(progId);
  bool clsidRemoved = RemoveKey(clsid);
  return progIdRemoved && clsidRemoved;
}
