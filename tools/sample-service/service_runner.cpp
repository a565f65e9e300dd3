#include "service_runner.h"

#include "base/unique_handle.h"

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;

void ReportState(DWORD state, DWORD exitCode) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWin32ExitCode = exitCode;
  ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      ReportState(SERVICE_STOP_PENDING, NO_ERROR);
      ::SetEvent(g_stopEvent);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    default: return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  const char* name = argc > 0 ? argv[0] : "";
  g_statusHandle = ::RegisterServiceCtrlHandlerExA(name, ControlHandler, nullptr);
  if (!g_statusHandle) return;

  ReportState(SERVICE_RUNNING, NO_ERROR);
  ::WaitForSingleObject(g_stopEvent, INFINITE);
  ReportState(SERVICE_STOPPED, NO_ERROR);
}

}  // namespace

unsigned long RunService() {
  // An own-process service: the manager ignores the name in the table.
  char name[] = "";
  const SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  // Made before the dispatcher starts and closed after it returns, so the
  // control handler never sees it closed.
  ScopedHandle stopEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent) return ::GetLastError();
  g_stopEvent = stopEvent.Get();
  const DWORD result = ::StartServiceCtrlDispatcherA(table) ? NO_ERROR : ::GetLastError();
  g_stopEvent = nullptr;
  return result;
}
