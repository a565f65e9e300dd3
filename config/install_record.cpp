#include "config/install_record.h"

#include "config/platform_text.h"
#include "config/setup_settings.h"

namespace {

constexpr char kVersionValue[] = "Version";

void WriteText(HKEY key, const char* name, const std::string& text) {
  ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

}  // namespace

bool RegReader::Open(const std::string& subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, AccessRights(), &key) != ERROR_SUCCESS) return false;
  key_.Reset(key);
  return true;
}

REGSAM RegReader::AccessRights() const { return KEY_READ; }

bool RegWriter::Create(const std::string& subkey) {
  // The platform would hand back HKEY_LOCAL_MACHINE itself for an empty path.
  if (subkey.empty()) return false;
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return false;
  }
  key_.Reset(key);
  return true;
}

bool ReadVersion(HKEY key, std::string& version) {
  return ReadStoredText(
      [key](char* data, std::uint32_t* size) {
        DWORD type = 0;
        DWORD bytes = *size;
        if (::RegQueryValueExA(key, kVersionValue, nullptr, data == nullptr ? &type : nullptr,
                               reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS) {
          return false;
        }
        *size = bytes;
        return data != nullptr || type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
      },
      version);
}

std::string GetCurrentVersion() {
  RegReader reader;
  // A missing setting has shown its message box and gives the empty path.
  if (!reader.Open(GetRegistryKey())) return {};
  std::string version;
  if (!ReadVersion(reader.Key(), version)) return {};
  return version;
}

void WriteInstallRecord(HKEY key, const std::string& version, const std::string& path) {
  // The version last: it is what later runs trust, so a run that ends
  // between the two leaves no version, and the next run installs again.
  WriteText(key, "Path", path);
  WriteText(key, kVersionValue, version);
}
