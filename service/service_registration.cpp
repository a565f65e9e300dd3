#include "service/service_registration.h"

#include "base/unique_handle.h"
#include "config/setting_rules.h"
#include "config/setup_settings.h"
#include "service/command_line.h"
#include "service/execute_command.h"

bool RegisterService(const std::string& targetFolder) {
  // A bare file name would be looked up along the search path, and this
  // runs elevated.
  if (targetFolder.empty()) return false;

  // setup.ini is writable by the user: the name must not leave the target
  // folder, and a quote in it would undo the quoting below.
  const std::string execution = GetExecution();
  if (!IsSafeExecution(execution)) return false;

  const std::string executablePath = targetFolder + execution;
  return ExecuteCommand(QuoteCommandPath(executablePath) + " /Service");
}

bool IsServiceRegistered() {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;

  const std::string name = GetServiceName();
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  manager.Reset();
  return service.IsValid();
}
