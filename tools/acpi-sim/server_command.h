#pragma once

#include <string>

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
ServerCommand ParseServerCommand(const std::string& commandTail);
