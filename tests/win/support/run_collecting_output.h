#pragma once

#include <string>

#include "base/win.h"

namespace test {

struct ProgramRun {
  bool started = false;
  DWORD exitCode = 0;
  std::string output;  // stdout and stderr
};

// Runs a command line to its end, collecting its output.
ProgramRun RunCollectingOutput(const std::string& commandLine);

}  // namespace test
