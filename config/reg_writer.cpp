#include "config/reg_writer.h"

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
