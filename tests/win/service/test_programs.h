#pragma once

// The helper programs that the build puts beside this test program, and
// ways to run them.

#include <string>

namespace test {

// The full path of a program beside this test program.
std::string ProgramBesideTest(const std::string& fileName);

// Copies a program beside this test program into folder (ending with a
// backslash) under the name fileName; returns the copy's path.
std::string PlaceProgram(const std::string& program, const std::string& folder, const std::string& fileName);

// The command line that command-probe at probePath received, or the empty
// string when it did not run.
std::string ProbeCommandLine(const std::string& probePath);

// Runs the command line and returns the program's exit code, or -1 when it
// could not be started.
long RunProgram(const std::string& commandLine);

// setup.ini beside this test program, where the settings are read from:
// written with these lines of section "Common", or removed.
void WriteSetupIni(const std::string& commonLines);
void RemoveSetupIni();

}  // namespace test
