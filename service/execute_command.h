#pragma once

#include <string>

// Starts the program of the command line without a console window and waits
// for it to end. True when it could be started; its exit code is not read.
bool ExecuteCommand(const std::string& commandLine);
