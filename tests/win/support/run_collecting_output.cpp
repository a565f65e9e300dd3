#include "support/run_collecting_output.h"

#include "base/unique_handle.h"

namespace test {

ProgramRun RunCollectingOutput(const std::string& commandLine) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  ScopedHandle readEnd;
  ScopedHandle writeEnd;
  if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) return run;
  ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();
  PROCESS_INFORMATION process = {};
  std::string mutableLine = commandLine;
  if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return run;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  writeEnd.Reset();  // only the child holds the write end now: EOF when it ends
  run.started = true;

  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd.Get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    run.output.append(chunk, got);
  }
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  ::GetExitCodeProcess(processHandle.Get(), &run.exitCode);
  return run;
}

}  // namespace test
