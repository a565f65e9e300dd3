#pragma once

#include <string>

// The service's registration with the service control manager: made by the
// service executable itself, checked here.

// Runs the service executable (the Execution setting) in targetFolder with
// /Service, which registers the service, and waits for it. True when it
// could be started. An empty targetFolder, or an Execution that is not one
// plain file name, starts nothing and gives false.
bool RegisterService(const std::string& targetFolder);

// True when the service control manager can be opened with full access and
// knows a service named by the ServiceName setting.
bool IsServiceRegistered();
