#include "acpi_test_programs.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include "base/unique_handle.h"
#include "support/text.h"
#include "test_programs.h"

namespace acpi_test {

std::string ProbeRun::operator[](const std::string& key) const {
  const auto found = facts.find(key);
  return found == facts.end() ? "<missing " + key + ">" : found->second;
}

ProbeRun RunProbe(const std::string& arguments) {
  const ProgramRun program = RunCollectingOutput("\"" + test::FromUnixPath(ACPI_PROBE_EXE) + "\" \"" +
                                                 test::FromUnixPath(ACPI_EXPORTS_HOST_EXE) + "\" " + arguments);
  EXPECT_TRUE(program.started) << "acpi-probe did not start";
  ProbeRun run;
  run.exitCode = program.exitCode;
  run.output = program.output;
  for (const std::string& line : test::SplitLines(program.output)) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) run.facts[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return run;
}

RegisteredSim::RegisteredSim(const std::string& profile) {
  server_ = folder_ / "acpi-sim.exe";
  if (!::CopyFileA(test::FromUnixPath(ACPI_SIM_EXE).c_str(), server_.c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy acpi-sim, error " << ::GetLastError();
    return;
  }
  SetProfile(profile);
  const ProgramRun run = RunCollectingOutput("\"" + server_ + "\" /RegServer");
  registered_ = run.started && run.exitCode == 0;
  if (!registered_) ADD_FAILURE() << "acpi-sim /RegServer failed: " << run.output;
}

RegisteredSim::~RegisteredSim() {
  if (registered_) RunCollectingOutput("\"" + server_ + "\" /UnregServer");
}

void RegisteredSim::SetProfile(const std::string& profile) {
  test::WriteFileContent(folder_ / "acpi-sim.ini", profile);
}

std::vector<std::string> RegisteredSim::Journal() const {
  return test::SplitLines(test::ReadFileContent(folder_ / "acpi-sim.journal"));
}

void RegisteredSim::ClearJournal() { ::DeleteFileA((folder_ / "acpi-sim.journal").c_str()); }

bool ServerProgIdRegistered() {
  CLSID clsid;
  return SUCCEEDED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid));
}

}  // namespace acpi_test
