// command-probe: a stand-in for a program that the installer starts. It
// writes the command line it received to "<its own path>.cmdline", just
// before it ends.
//   --sleep=N  wait N milliseconds first
//   --exit=N   end with exit code N
// Every other argument is ignored.

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/unique_handle.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  DWORD sleepMs = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--exit=", 7) == 0) exitCode = std::atoi(argv[i] + 7);
    if (std::strncmp(argv[i], "--sleep=", 8) == 0) sleepMs = static_cast<DWORD>(std::atoi(argv[i] + 8));
  }
  if (sleepMs > 0) ::Sleep(sleepMs);

  char self[MAX_PATH * 4] = {};
  if (!::GetModuleFileNameA(nullptr, self, sizeof self)) return 100;
  const std::string output = std::string(self) + ".cmdline";
  const char* commandLine = ::GetCommandLineA();
  ScopedHandle file(
      ::CreateFileA(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 101;
  DWORD written = 0;
  if (!::WriteFile(file.Get(), commandLine, static_cast<DWORD>(std::strlen(commandLine)), &written, nullptr)) {
    return 102;
  }
  return exitCode;
}
