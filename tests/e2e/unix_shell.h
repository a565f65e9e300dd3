#pragma once

// Linux commands run from inside Wine, for what only the host can do, such
// as mounting a small volume where the installer writes. The tests run as
// the same user as Wine (root on the build machines).

#include <string>

#include "base/win.h"

namespace e2e {

struct UnixRun {
  bool finished = false;  // it ended within the time allowed
  int status = -1;        // its exit status
  std::string output;     // what it wrote, both streams
};

// Runs the text as a /bin/sh script to its end (at most timeoutMs).
UnixRun RunUnixShell(const std::string& script, DWORD timeoutMs = 60000);

// The Unix path of a Windows path, as Wine maps it; empty when it has none.
std::string UnixPath(const std::string& windowsPath);

// A path as a single-quoted shell word.
std::string ShellQuoted(const std::string& text);

}  // namespace e2e
