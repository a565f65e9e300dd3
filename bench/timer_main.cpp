// bench-timer [--warmup N] [--runs N] [--sync] CASE...
//
// Times programs, each started with CreateProcessA and awaited, and prints
// for each case its median in seconds ("NAME median S runs S S ..."). The
// cases take turns, round after round, so that a change of the machine's
// load falls on all of them alike. Timing here, inside Wine, leaves out the
// start-up of Wine itself that a run from the Linux side would add.
//   --warmup N        untimed rounds first (default 1)
//   --runs N          timed rounds (default 5)
//   --sync            after each run's preparation, just before the run, have
//                     Linux write the machine's dirty pages back (Wine only),
//                     so that no run pays for an earlier one's writes
// A case:
//   --case NAME       starts a case; the options up to the next --case are its
//   --run CMDLINE     the command line to time (one argument)
//   --expect CODE     the exit code every run must end with (default 0)
//   --before CMDLINE  run (untimed, any exit code) before every run; repeatable
//   --remove DIR      remove DIR before every run; repeatable
//   --fresh DIR       make DIR an empty folder before every run; repeatable
//   --ready CMDLINE   run after the preparation above, before the sync: must
//                     end with 0, or the case did not start from the state it
//                     needs; repeatable
//   --check CMDLINE   run (untimed) after every run: must end with 0, or the
//                     run did not do its whole work; repeatable
// The standard error of --ready and --check commands is this program's.
// Exit code 0 when every run ended with its expected code, and every
// preparation and check succeeded.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "bench/bench_clock.h"
#include "bench/remove_tree.h"

namespace {

constexpr DWORD kRunLimitMs = 120000;

struct Case {
  std::string name, command;
  DWORD expect = 0;
  std::vector<std::string> before, remove, fresh, ready, check;
  std::vector<double> times;
};

struct Options {
  int warmup = 1;
  int runs = 5;
  bool sync = false;
  std::vector<Case> cases;
};

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sync") == 0) {
      options->sync = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string option = argv[i];
    const char* value = argv[++i];
    if (option == "--warmup") {
      options->warmup = std::atoi(value);
    } else if (option == "--runs") {
      options->runs = std::atoi(value);
    } else if (option == "--case") {
      options->cases.emplace_back();
      options->cases.back().name = value;
    } else if (options->cases.empty()) {
      return false;
    } else if (option == "--run") {
      options->cases.back().command = value;
    } else if (option == "--expect") {
      options->cases.back().expect = static_cast<DWORD>(std::strtol(value, nullptr, 0));
    } else if (option == "--before") {
      options->cases.back().before.push_back(value);
    } else if (option == "--remove") {
      options->cases.back().remove.push_back(value);
    } else if (option == "--fresh") {
      options->cases.back().fresh.push_back(value);
    } else if (option == "--ready") {
      options->cases.back().ready.push_back(value);
    } else if (option == "--check") {
      options->cases.back().check.push_back(value);
    } else {
      return false;
    }
  }
  if (options->runs < 1 || options->cases.empty()) return false;
  for (const Case& c : options->cases) {
    if (c.command.empty()) return false;
  }
  return true;
}

// Runs a command line with its output thrown away, or with its standard
// error going to ours when showErrors; its exit code, or ~0 when it could
// not be started.
DWORD Run(const std::string& commandLine, bool showErrors = false) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  ScopedHandle nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr));
  // The child inherits only handles marked inheritable; ours may not be.
  ScopedHandle errors;
  if (showErrors) {
    ::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_ERROR_HANDLE), ::GetCurrentProcess(), errors.Receive(),
                      0, TRUE, DUPLICATE_SAME_ACCESS);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
  if (errors) startup.hStdError = errors.Get();
  PROCESS_INFORMATION process = {};
  std::string buffer = commandLine;
  if (!::CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    std::fprintf(stderr, "bench-timer: cannot start %s: %lu\n", commandLine.c_str(), ::GetLastError());
    return ~0u;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  // A run that hangs (Wine's COM has been seen to) fails the measurement
  // instead of stopping the benchmark for good.
  if (::WaitForSingleObject(processHandle.Get(), kRunLimitMs) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "bench-timer: %s did not end within %lu s\n", commandLine.c_str(), kRunLimitMs / 1000);
    ::TerminateProcess(processHandle.Get(), ~0u);
    return ~0u;
  }
  DWORD code = ~0u;
  ::GetExitCodeProcess(processHandle.Get(), &code);
  return code;
}

// Runs each command line, which must end with 0; false at the first that
// does not, said on stderr with what it was for.
bool AllSucceed(const std::vector<std::string>& commands, const Case& c, const char* what) {
  for (const std::string& command : commands) {
    const DWORD code = Run(command, true);
    if (code != 0) {
      std::fprintf(stderr, "bench-timer: case %s: %s ended with %ld %s\n", c.name.c_str(), command.c_str(),
                   static_cast<long>(code), what);
      return false;
    }
  }
  return true;
}

// Runs Linux's sync from inside Wine and waits until it is done. Wine starts
// a Unix program as it is but gives no process handle to wait on, so the
// shell leaves a file behind when sync has returned (Z: is Wine's name for
// the Unix root).
bool SyncDisks() {
  const std::string marker = "/tmp/bench-timer-" + std::to_string(::GetCurrentProcessId()) + ".synced";
  std::string windowsMarker = "Z:" + marker;
  for (char& c : windowsMarker) {
    if (c == '/') c = '\\';
  }
  ::DeleteFileA(windowsMarker.c_str());
  std::string command = "Z:\\bin\\sh -c \"sync && : > " + marker + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    return false;
  }
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  for (DWORD waited = 0; waited < kRunLimitMs; ++waited) {
    if (::DeleteFileA(windowsMarker.c_str())) return true;
    ::Sleep(1);
  }
  return false;
}

// Brings the machine to the state the case starts from; false when it is
// not there.
bool Prepare(const Case& c) {
  for (const std::string& command : c.before) Run(command);
  for (const std::string& folder : c.remove) {
    if (!RemoveTree(folder)) {
      std::fprintf(stderr, "bench-timer: case %s: cannot remove %s\n", c.name.c_str(), folder.c_str());
      return false;
    }
  }
  for (const std::string& folder : c.fresh) {
    if (!RemoveTree(folder) || !::CreateDirectoryA(folder.c_str(), nullptr)) {
      std::fprintf(stderr, "bench-timer: case %s: cannot make %s an empty folder\n", c.name.c_str(), folder.c_str());
      return false;
    }
  }
  return AllSucceed(c.ready, c, "(not ready to run)");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    std::fputs(
        "usage: bench-timer [--warmup N] [--runs N] [--sync] (--case NAME --run CMDLINE [--expect CODE]"
        " [--before CMDLINE] [--remove DIR] [--fresh DIR] [--ready CMDLINE] [--check CMDLINE])...\n",
        stderr);
    return 2;
  }
  for (int round = 0; round < options.warmup + options.runs; ++round) {
    // Each round starts with another case, so that no case always follows
    // the same one (a copy's writes weigh on the next run for a while).
    for (std::size_t k = 0; k < options.cases.size(); ++k) {
      Case& c = options.cases[(round + k) % options.cases.size()];
      if (!Prepare(c)) return 1;
      if (options.sync && !SyncDisks()) {
        std::fputs("bench-timer: sync did not finish\n", stderr);
        return 1;
      }
      const double start = SecondsNow();
      const DWORD code = Run(c.command);
      const double elapsed = SecondsNow() - start;
      if (code != c.expect) {
        std::fprintf(stderr, "bench-timer: %s ended with %ld, not %ld\n", c.command.c_str(), static_cast<long>(code),
                     static_cast<long>(c.expect));
        return 1;
      }
      if (!AllSucceed(c.check, c, "after the run: it did not do its whole work")) return 1;
      if (round >= options.warmup) c.times.push_back(elapsed);
    }
  }
  for (const Case& c : options.cases) {
    std::printf("%s median %.6f runs", c.name.c_str(), Median(c.times));
    for (double t : c.times) std::printf(" %.4f", t);
    std::printf("\n");
  }
  return 0;
}
