#include "unix_shell.h"

#include <cstdlib>

#include "support/paths.h"
#include "support/process.h"
#include "support/scratch.h"

namespace e2e {
namespace {

// /tmp/<name> seen from Windows.
std::string WindowsTmp(const std::string& name) { return test::FromUnixPath("/tmp/" + name); }

}  // namespace

UnixRun RunUnixShell(const std::string& script, DWORD timeoutMs) {
  // Wine starts a Unix program as it is, but hands back no process to wait
  // for: the script leaves its status behind when it is done.
  const std::string stem = test::UniqueName("ventaro-e2e-shell");
  const std::string unixStem = "/tmp/" + stem;
  test::WriteFileContent(WindowsTmp(stem + ".sh"), "(\n" + script + "\n) >" + unixStem + ".out 2>&1\necho $? >" +
                                                       unixStem + ".part\nmv " + unixStem + ".part " + unixStem +
                                                       ".status\n");
  UnixRun run;
  test::ProcessOptions options;
  options.noWindow = true;
  const test::Process shell(test::FromUnixPath("/bin/sh") + " " + unixStem + ".sh", options);
  if (shell.Started()) {
    const DWORD deadline = ::GetTickCount() + timeoutMs;
    while (!test::FileExists(WindowsTmp(stem + ".status")) && static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
      ::Sleep(10);
    }
    run.finished = test::FileExists(WindowsTmp(stem + ".status"));
    if (run.finished) run.status = std::atoi(test::ReadFileContent(WindowsTmp(stem + ".status")).c_str());
    run.output = test::ReadFileContent(WindowsTmp(stem + ".out"));
  } else {
    run.output = "cannot start /bin/sh: error " + std::to_string(shell.StartError());
  }
  for (const char* suffix : {".sh", ".out", ".part", ".status"}) ::DeleteFileA(WindowsTmp(stem + suffix).c_str());
  return run;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace e2e
