#pragma once

#include <string>

// Runs the service executable (the Execution setting) in targetFolder with
// /Service, which registers the service, and waits for it. True when it
// could be started. An empty targetFolder, or an Execution that is not one
// plain file name, starts nothing and gives false.
bool RegisterService(const std::string& targetFolder);
