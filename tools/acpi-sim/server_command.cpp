#include "tools/acpi-sim/server_command.h"

#include "tools/acpi-sim/same_ascii_name.h"

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
