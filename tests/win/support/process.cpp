#include "support/process.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace test {
namespace {

// As the ANSI functions take text: in the code page of this process.
std::wstring Widened(const std::string& text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

// "NAME=value" gives "NAME"; the hidden "=C:=C:\dir" entries keep their
// leading '='.
std::wstring NameOf(const std::wstring& entry) { return entry.substr(0, entry.find(L'=', 1)); }

// This process's environment with the variables set on top, as a block of
// wide strings for CREATE_UNICODE_ENVIRONMENT.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& variables) {
  std::vector<std::wstring> entries;
  wchar_t* current = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = current; entry && *entry; entry += std::wcslen(entry) + 1) entries.emplace_back(entry);
  ::FreeEnvironmentStringsW(current);
  for (const auto& variable : variables) {
    const std::wstring name = Widened(variable.first);
    // Names are the same whatever their case.
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&name](const std::wstring& entry) {
                                   return ::CompareStringOrdinal(NameOf(entry).c_str(), -1, name.c_str(), -1, TRUE) ==
                                          CSTR_EQUAL;
                                 }),
                  entries.end());
    entries.push_back(name + L"=" + Widened(variable.second));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  return block + L'\0';
}

}  // namespace

Process::Process(const std::string& commandLine, const ProcessOptions& options)
    : Process(Widened(commandLine), options) {}

Process::Process(const std::wstring& commandLine, const ProcessOptions& options) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  ScopedHandle writeEnd;
  if (options.collectOutput) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(output_.Receive(), writeEnd.Receive(), &inherit, 0)) {
      startError_ = ::GetLastError();
      return;
    }
    ::SetHandleInformation(output_.Get(), HANDLE_FLAG_INHERIT, 0);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
  }
  DWORD flags = options.noWindow ? CREATE_NO_WINDOW : 0;
  std::wstring environment;
  if (!options.environment.empty()) {
    environment = EnvironmentBlock(options.environment);
    flags |= CREATE_UNICODE_ENVIRONMENT;
  }
  std::wstring mutableLine = commandLine;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, options.collectOutput, flags,
                        environment.empty() ? nullptr : &environment[0], nullptr, &startup, &process)) {
    startError_ = ::GetLastError();
    output_.Reset();
    return;
  }
  started_ = true;
  ScopedHandle thread(process.hThread);
  process_.Reset(process.hProcess);
  // Only the child holds the write end now: the pipe ends when it ends.
}

bool Process::Wait(DWORD timeoutMs) const {
  return process_ && ::WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = ~0u;
  if (process_) ::GetExitCodeProcess(process_.Get(), &code);
  return code;
}

bool Process::Kill(DWORD exitCode) const { return process_ && ::TerminateProcess(process_.Get(), exitCode); }

std::string Process::ReadOutput() {
  std::string output;
  char chunk[4096];
  DWORD got = 0;
  while (output_ && ::ReadFile(output_.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    output.append(chunk, got);
  }
  output_.Reset();
  return output;
}

ProgramRun RunToEnd(const std::string& commandLine, const ProcessOptions& options) {
  ProgramRun run;
  Process process(commandLine, options);
  run.started = process.Started();
  run.startError = process.StartError();
  if (!run.started) return run;
  run.output = process.ReadOutput();
  process.Wait();
  run.exitCode = process.ExitCode();
  return run;
}

ProgramRun RunCollectingOutput(const std::string& commandLine) {
  ProcessOptions options;
  options.collectOutput = true;
  return RunToEnd(commandLine, options);
}

}  // namespace test
