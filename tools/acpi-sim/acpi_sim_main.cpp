// acpi-sim.exe: a local COM server answering to the ACPI automation
// server's ProgID, driven by a machine profile beside it.
//
//   acpi-sim.exe /RegServer     register this copy (exit code 0 on success)
//   acpi-sim.exe /UnregServer   remove the registration
// Both end every other acpi-sim server still running first.
//   acpi-sim.exe -Embedding     how COM starts it

#include <new>

#include "base/win.h"
#include "tools/acpi-sim/register_server.h"
#include "tools/acpi-sim/run_server.h"
#include "tools/acpi-sim/server_command.h"
#include "tools/acpi-sim/stop_other_servers.h"
#include "tools/acpi-sim/unregister_server.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int) {
  try {
    switch (ParseServerCommand(commandTail != nullptr ? commandTail : "")) {
      case ServerCommand::kRegister: StopOtherServers(); return RegisterServer() ? 0 : 1;
      case ServerCommand::kUnregister: StopOtherServers(); return UnregisterServer() ? 0 : 1;
      case ServerCommand::kServe: return RunServer();
      case ServerCommand::kUsage: break;
    }
  } catch (const std::bad_alloc&) {
    return 1;
  }
  return 2;
}
