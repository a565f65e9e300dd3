#include "tools/acpi-sim/register_server.h"

#include <string>

#include "base/unique_handle.h"
#include "tools/acpi-sim/executable_path.h"
#include "tools/acpi-sim/sim_ids.h"

namespace {

constexpr wchar_t kDescription[] = L"ACPI automation server simulator";

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

}  // namespace

bool RegisterServer() {
  std::wstring path = ExecutablePath();
  if (path.empty()) return false;
  const std::wstring progId = std::wstring(L"Software\\Classes\\") + kSimProgId;
  const std::wstring clsid = std::wstring(L"Software\\Classes\\CLSID\\") + kSimClsidText;
  return WriteDefaultValue(HKEY_LOCAL_MACHINE, progId, kDescription) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, progId + L"\\CLSID", kSimClsidText) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid, kDescription) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid + L"\\ProgID", kSimProgId) &&
         WriteDefaultValue(HKEY_LOCAL_MACHINE, clsid + L"\\LocalServer32", L"\"" + path + L"\"");
}
