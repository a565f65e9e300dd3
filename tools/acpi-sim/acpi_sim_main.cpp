// acpi-sim.exe: a local COM server answering to the ACPI automation
// server's ProgID, driven by a machine profile beside it.
//
//   acpi-sim.exe /RegServer     register this copy (exit code 0 on success)
//   acpi-sim.exe /UnregServer   remove the registration
// Both end every other acpi-sim server still running first.
//   acpi-sim.exe -Embedding     how COM starts it

#include <new>
#include <string>

#include "base/win.h"
#include "tools/acpi-sim/local_server.h"
#include "tools/acpi-sim/registration.h"
#include "tools/acpi-sim/sim_methods.h"

namespace {

// What the server was started to do.
enum class ServerCommand {
  kRegister,    // /RegServer
  kUnregister,  // /UnregServer
  kServe,       // -Embedding: started by COM
  kUsage,       // anything else
};

// The command of a command tail (the arguments, without the program's
// name). Options start with '/' or '-' and are matched in any case; the
// first word decides.
ServerCommand ParseServerCommand(const std::string& commandTail) {
  std::size_t begin = commandTail.find_first_not_of(" \t");
  if (begin == std::string::npos) return ServerCommand::kUsage;
  std::size_t end = commandTail.find_first_of(" \t", begin);
  std::string word = commandTail.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) return ServerCommand::kUsage;
  word.erase(0, 1);
  if (SameAsciiName(word, "RegServer")) return ServerCommand::kRegister;
  if (SameAsciiName(word, "UnregServer")) return ServerCommand::kUnregister;
  if (SameAsciiName(word, "Embedding")) return ServerCommand::kServe;
  return ServerCommand::kUsage;
}

}  // namespace

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
