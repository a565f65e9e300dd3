// sample-service: a minimal service for tests and demonstrations of the
// installer. See Usage() for what it does.

#include <cstdio>
#include <string>

#include "base/win.h"
#include "service_install.h"
#include "service_name.h"
#include "service_runner.h"

namespace {

enum ExitCode : int {
  kSuccess = 0,
  kFailed = 1,  // the service could not be registered, removed or run
  kUsage = 2,   // unknown arguments, or started by hand without any
  kNoName = 3,  // setup.ini beside the program names no ServiceName
};

void Usage(std::FILE* out) {
  std::fputs(
      "Usage: sample-service.exe [/Service | /Unregister]\n"
      "\n"
      "  /Service     register this program as a service (own process, demand\n"
      "               start) under the ServiceName of section [Common] in the\n"
      "               setup.ini beside it; an existing service of that name is\n"
      "               pointed at this program\n"
      "  /Unregister  stop and remove that service\n"
      "  (none)       run as the service; only the service control manager\n"
      "               starts it this way\n"
      "\n"
      "Exit codes: 0 done, 1 the service control manager refused, 2 wrong\n"
      "arguments, 3 no ServiceName in setup.ini.\n",
      out);
}

bool Is(const char* argument, const char* option) { return ::lstrcmpiA(argument, option) == 0; }

int Manage(bool install) {
  const std::string name = ServiceNameBesideProgram();
  if (name.empty()) {
    std::fprintf(stderr, "sample-service: no ServiceName in section [Common] of the setup.ini beside %s\n",
                 ProgramPath().c_str());
    return kNoName;
  }
  const unsigned long error = install ? InstallService(name) : UninstallService(name);
  if (!install && error == ERROR_SERVICE_DOES_NOT_EXIST) {
    std::printf("sample-service: service \"%s\" is not registered\n", name.c_str());
    return kSuccess;
  }
  if (error != 0) {
    std::fprintf(stderr, "sample-service: cannot %s service \"%s\", error %lu\n", install ? "register" : "remove",
                 name.c_str(), error);
    return kFailed;
  }
  std::printf("sample-service: service \"%s\" %s\n", name.c_str(), install ? "registered" : "removed");
  return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && Is(argv[1], "/Service")) return Manage(true);
  if (argc == 2 && Is(argv[1], "/Unregister")) return Manage(false);
  if (argc == 2 && (Is(argv[1], "/?") || Is(argv[1], "/help"))) {
    Usage(stdout);
    return kSuccess;
  }
  if (argc != 1) {
    Usage(stderr);
    return kUsage;
  }

  const unsigned long error = RunService();
  if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    Usage(stderr);
    return kUsage;
  }
  if (error != 0) {
    std::fprintf(stderr, "sample-service: cannot run as a service, error %lu\n", error);
    return kFailed;
  }
  return kSuccess;
}
