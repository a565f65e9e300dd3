#include "service_name.h"

#include <vector>

#include "base/win.h"

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string ServiceNameBesideProgram() {
  const std::string program = ProgramPath();
  const std::string::size_type slash = program.find_last_of('\\');
  if (slash == std::string::npos) return {};
  const std::string ini = program.substr(0, slash + 1) + "setup.ini";
  char name[257] = {};  // service names are at most 256 characters
  ::GetPrivateProfileStringA("Common", "ServiceName", "", name, sizeof name, ini.c_str());
  return name;
}
