#include "config/reg_reader.h"

bool RegReader::Open(const std::string& subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, AccessRights(), &key) != ERROR_SUCCESS) return false;
  key_.Reset(key);
  return true;
}

REGSAM RegReader::AccessRights() const { return KEY_READ; }
