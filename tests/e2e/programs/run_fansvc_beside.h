#pragma once

// For the stand-in service executables: lets the real one beside them
// (fansvc.exe) register the service, and hands on its exit code.

#include <string>

#include "base/unique_handle.h"

inline DWORD RunFansvcBeside() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string command = path;
  command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + "fansvc.exe\" /Service";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 1;
  }
  ScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  return code;
}
