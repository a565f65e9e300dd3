#include "service/execute_command.h"

#include <spdlog/spdlog.h>

#include <cstring>
#include <vector>

#include "base/unique_handle.h"
#include "service/command_line.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA of the 32-bit platform");
#endif

bool ExecuteCommand(const std::string& commandLine) {
  spdlog::debug("ExecuteCommand: CreateProcessA...");

  // CreateProcessA may write into its command line, so it gets a copy.
  const char* text = commandLine.c_str();
  const std::size_t length = std::strlen(text);
  std::vector<char> buffer(CommandBufferSize(length), '\0');
  std::memcpy(buffer.data(), text, length);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    const DWORD error = ::GetLastError();
    spdlog::debug("ExecuteCommand: app = {}, CreateProcessA fail({}). ", text, error);
    return false;
  }

  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  processHandle.Reset();
  threadHandle.Reset();
  return true;
}
