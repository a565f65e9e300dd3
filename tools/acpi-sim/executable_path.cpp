#include "tools/acpi-sim/executable_path.h"

#include <vector>

#include "base/win.h"

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
