#pragma once

#include <string>

// The ServiceName of section "Common" in the setup.ini beside this
// program; empty when it cannot be read.
std::string ServiceNameBesideProgram();

// This program's full path; empty when the platform cannot give it.
std::string ProgramPath();
