#include "test_programs.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/unique_handle.h"
#include "config/setup_settings.h"
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
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    return -1;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(processHandle.Get(), &exitCode);
  return static_cast<long>(exitCode);
}

void WriteSetupIni(const std::string& commonLines) {
  WriteFileContent(GetModuleDirectory() + "setup.ini", "[Common]\r\n" + commonLines);
}

void RemoveSetupIni() { ::DeleteFileA((GetModuleDirectory() + "setup.ini").c_str()); }

}  // namespace test
