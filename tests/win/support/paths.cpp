#include "support/paths.h"

#include <algorithm>

#include "base/win.h"

namespace test {

std::string FromUnixPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

std::string UnixPath(const std::string& windowsPath) {
  using UnixFileName = char*(__cdecl*)(const wchar_t*);
  const auto convert = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  std::wstring wide(windowsPath.size(), L'\0');
  wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
      CP_ACP, 0, windowsPath.data(), static_cast<int>(windowsPath.size()), &wide[0], static_cast<int>(wide.size()))));
  char* unix = convert(wide.c_str());
  if (unix == nullptr) return {};
  std::string path = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return path;
}

std::string ExeFolder() {
  std::string path(32768, '\0');
  DWORD n = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(n);
  return path.substr(0, path.rfind('\\') + 1);
}

}  // namespace test
