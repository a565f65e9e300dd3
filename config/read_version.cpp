#include "config/read_version.h"

#include <memory>
#include <new>

namespace {

constexpr char kValueName[] = "Version";

}  // namespace

bool ReadVersion(HKEY key, std::string& version) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExA(key, kValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return false;
  if (size == MAXDWORD) return false;
  // One byte more than stored, zeroed, ends the text even when the stored
  // data carries no terminating NUL.
  std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]());
  if (!data) return false;
  DWORD read = size;
  if (::RegQueryValueExA(key, kValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data.get()), &read) !=
      ERROR_SUCCESS) {
    return false;
  }
  version = data.get();
  return true;
}
