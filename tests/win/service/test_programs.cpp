#include "test_programs.h"

#include <gtest/gtest.h>

#include "config/setup_settings.h"
#include "support/process.h"
#include "support/scratch.h"

namespace test {

std::string ProgramBesideTest(const std::string& fileName) { return GetModuleDirectory() + fileName; }

std::string PlaceProgram(const std::string& program, const std::string& folder, const std::string& fileName) {
  const std::string path = folder + fileName;
  EXPECT_TRUE(::CopyFileA(ProgramBesideTest(program).c_str(), path.c_str(), FALSE))
      << program << " -> " << path << ", error " << ::GetLastError();
  return path;
}

std::string ProbeCommandLine(const std::string& probePath) { return ReadFileContent(probePath + ".cmdline"); }

long RunProgram(const std::string& commandLine) {
  ProcessOptions options;
  options.noWindow = true;
  const ProgramRun run = RunToEnd(commandLine, options);
  return run.started ? static_cast<long>(run.exitCode) : -1;
}

void WriteSetupIni(const std::string& commonLines) {
  WriteFileContent(GetModuleDirectory() + "setup.ini", "[Common]\r\n" + commonLines);
}

void RemoveSetupIni() { ::DeleteFileA((GetModuleDirectory() + "setup.ini").c_str()); }

}  // namespace test
