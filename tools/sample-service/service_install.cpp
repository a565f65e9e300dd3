#include "service_install.h"

#include "base/unique_handle.h"
#include "service/command_line.h"
#include "service_name.h"

unsigned long InstallService(const std::string& name) {
  const std::string program = ProgramPath();
  if (program.empty()) return ::GetLastError();
  // Unquoted, a path with blanks would let the manager start another program.
  const std::string binaryPath = QuoteCommandPath(program);

  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) return ::GetLastError();

  ScopedServiceHandle service(::CreateServiceA(manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (service) return 0;
  const DWORD error = ::GetLastError();
  if (error != ERROR_SERVICE_EXISTS) return error;

  // Registered before, maybe from another folder: run from here from now on.
  service.Reset(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG));
  if (!service) return ::GetLastError();
  if (!::ChangeServiceConfigA(service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                              binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
    return ::GetLastError();
  }
  return 0;
}

unsigned long UninstallService(const std::string& name) {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return ::GetLastError();

  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_STOP | DELETE));
  if (!service) return ::GetLastError();
  // A running service would keep its entry until it stops.
  SERVICE_STATUS status = {};
  ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
  if (!::DeleteService(service.Get())) {
    const DWORD error = ::GetLastError();
    return error == ERROR_SERVICE_MARKED_FOR_DELETE ? 0 : error;
  }
  return 0;
}
