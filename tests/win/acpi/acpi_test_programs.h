#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/win.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/scratch.h"

namespace acpi_test {

using test::ProgramRun;
using test::RunCollectingOutput;

// acpi-probe on the exports host, as another program loading setup.exe.
struct ProbeRun {
  DWORD exitCode = 0;
  std::string output;
  std::map<std::string, std::string> facts;  // "key: value" lines

  // The fact, or "<missing key>" so that a comparison fails readably.
  std::string operator[](const std::string& key) const;
};
ProbeRun RunProbe(const std::string& arguments);

// A private copy of acpi-sim, registered as "tavriCom.axdata" for the
// lifetime of this object, answering from the profile beside it.
class RegisteredSim {
 public:
  explicit RegisteredSim(const std::string& profile = "");
  ~RegisteredSim();
  RegisteredSim(const RegisteredSim&) = delete;
  RegisteredSim& operator=(const RegisteredSim&) = delete;

  bool Registered() const { return registered_; }
  // Replaces the profile; the next call reads it.
  void SetProfile(const std::string& profile);
  // The journal's lines, in order, without line ends.
  std::vector<std::string> Journal() const;
  void ClearJournal();

 private:
  test::ScratchFolder folder_;
  std::string server_;
  bool registered_ = false;
};

// True when the ACPI server's ProgID resolves in this process.
bool ServerProgIdRegistered();

}  // namespace acpi_test
