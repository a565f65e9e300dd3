#pragma once

// A private copy of acpi-sim.exe for one test: copied from beside the test
// binary into a scratch folder, run and registered from there, and
// unregistered and removed again at the end.

#include <string>
#include <vector>

#include "base/win.h"
#include "support/scratch.h"

namespace test {

class SimServer {
 public:
  SimServer();
  // Unregisters the copy, fails the test if a server process of the copy
  // is still running after a generous wait (and ends it), removes the copy.
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Runs the copy with these arguments and waits for it; its exit code, or
  // -1 when it could not be started or did not end.
  int Run(const std::string& arguments) const;

  const std::string& Folder() const { return folder_.Path(); }
  std::string ExePath() const { return folder_ / "acpi-sim.exe"; }
  void WriteProfile(const std::string& text) const;
  std::string Journal() const;

  // Ids of the server processes running from this copy.
  std::vector<DWORD> Processes() const;

 private:
  ScratchFolder folder_;
};

// Waits, generously, for the process to end; false if it did not.
bool WaitForProcessEnd(DWORD processId);

}  // namespace test
