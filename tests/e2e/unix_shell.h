#pragma once

// Linux commands run from inside Wine, for what only the host can do, such
// as mounting a small volume where the installer writes. The tests run as
// the same user as Wine (root on the build machines).

#include <string>

#include "base/win.h"
#include "support/paths.h"

namespace e2e {

struct UnixRun {
  bool finished = false;  // it ended within the time allowed
  int status = -1;        // its exit status
  std::string output;     // what it wrote, both streams
};

// Runs the text as a /bin/sh script to its end (at most timeoutMs).
UnixRun RunUnixShell(const std::string& script, DWORD timeoutMs = 60000);

using test::UnixPath;

// A path as a single-quoted shell word.
std::string ShellQuoted(const std::string& text);

}  // namespace e2e
