#include "service/is_service_registered.h"

#include <string>

#include "base/unique_handle.h"
#include "config/setup_settings.h"

bool IsServiceRegistered() {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;

  const std::string name = GetServiceName();
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  manager.Reset();
  return service.IsValid();
}
