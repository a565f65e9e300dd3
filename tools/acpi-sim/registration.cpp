#include "tools/acpi-sim/registration.h"

#include <vector>

#include <objbase.h>

#include "base/unique_handle.h"
#include "base/win.h"
#include "tools/acpi-sim/sim_ids.h"

namespace {

constexpr wchar_t kDescription[] = L"ACPI automation server simulator";

std::wstring ProgIdKey() { return std::wstring(L"Software\\Classes\\") + kSimProgId; }
std::wstring ClassKey() { return std::wstring(L"Software\\Classes\\CLSID\\") + kSimClsidText; }

// The running executable's full path; empty when the platform cannot name
// it.
std::wstring ExecutablePath() {
  // The path may be longer than MAX_PATH: grow until it fits.
  for (DWORD size = 128; size <= 32768; size *= 2) {
    std::vector<wchar_t> buffer(size);
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return std::wstring(buffer.data(), length);
  }
  return {};
}

// Creates parent\subKey (or opens it) and sets its default value.
bool WriteDefaultValue(HKEY parent, const std::wstring& subKey, const std::wstring& value) {
  ScopedRegKey key;
  if (::RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

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

bool RegisterServer() {
  std::wstring path = ExecutablePath();
  if (path.empty()) return false;
  const std::wstring progId = ProgIdKey();
  const std::wstring clsid = ClassKey();
  return WriteDefaultValue(HKEY_LOCAL_MACHINE, progId, kDescription) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, progId + L"\\CLSID", kSimClsidText) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid, kDescription) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid + L"\\ProgID", kSimProgId) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid + L"\\LocalServer32", L"\"" + path + L"\"");
}

bool UnregisterServer() {
  const std::wstring progId = ProgIdKey();
  bool progIdRemoved = !ProgIdNamesSimulator(progId) || RemoveKey(progId);
  bool clsidRemoved = RemoveKey(ClassKey());
  return progIdRemoved && clsidRemoved;
}

std::string ExecutableFolder() {
  for (DWORD size = 128; size <= 32768; size *= 2) {
    std::vector<char> buffer(size);
    DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      std::string path(buffer.data(), length);
      std::size_t slash = path.find_last_of('\\');
      return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
  }
  return {};
}
