#pragma once

// Programs that the tests start: one way to start a command line, an owner
// of the started process, and a run to its end.

#include <map>
#include <string>

#include "base/unique_handle.h"
#include "base/win.h"

namespace test {

struct ProcessOptions {
  // CREATE_NO_WINDOW: a console program gets a console of its own, hidden,
  // instead of this one's.
  bool noWindow = false;
  // Its standard output and error go into a pipe that ReadOutput reads.
  bool collectOutput = false;
  // Variables set for it on top of this process's own.
  std::map<std::string, std::string> environment;
};

// A process started from a command line taken as it stands (nothing is
// quoted). The handle is closed on destruction; the process goes on.
class Process {
 public:
  Process() = default;
  explicit Process(const std::string& commandLine, const ProcessOptions& options = {});
  // A command line with names outside this program's code page.
  explicit Process(const std::wstring& commandLine, const ProcessOptions& options = {});
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;

  bool Started() const { return started_; }
  // Why it did not start.
  DWORD StartError() const { return startError_; }
  // Null also for a Unix program that Wine started: there is no process to
  // wait for then.
  HANDLE Handle() const { return process_.Get(); }

  // True once it has ended, waiting at most timeoutMs for that.
  bool Wait(DWORD timeoutMs = INFINITE) const;
  // STILL_ACTIVE while it runs; ~0u when it did not start (or has no handle).
  DWORD ExitCode() const;
  // Ends it with that exit code (TerminateProcess).
  bool Kill(DWORD exitCode = 1) const;
  // With collectOutput: reads until every writer has closed the pipe (the
  // process and whatever inherited it ended), and returns all it read.
  std::string ReadOutput();

 private:
  ScopedHandle process_;
  ScopedHandle output_;
  bool started_ = false;
  DWORD startError_ = 0;
};

struct ProgramRun {
  bool started = false;
  DWORD startError = 0;
  DWORD exitCode = 0;
  std::string output;  // stdout and stderr, with collectOutput
};

// Starts the command line and waits for its end.
ProgramRun RunToEnd(const std::string& commandLine, const ProcessOptions& options = {});
// The same, collecting its output.
ProgramRun RunCollectingOutput(const std::string& commandLine);

}  // namespace test
