#include "tools/acpi-sim/run_server.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include <objbase.h>

#include <wrl/client.h>

#include "base/unique_handle.h"
#include "base/win.h"
#include "tools/acpi-sim/executable_path.h"
#include "tools/acpi-sim/server_lifetime.h"
#include "tools/acpi-sim/sim_class_factory.h"
#include "tools/acpi-sim/sim_ids.h"
#include "tools/acpi-sim/sim_profile.h"
#include "tools/acpi-sim/stop_other_servers.h"

namespace {

// COM starts the server and then connects within a second or so. A server
// nobody connects to must not linger: its client gave up or died, or (under
// Wine) clients activating at once started more servers than they use.
constexpr std::chrono::milliseconds kUnusedLimit{20000};

}  // namespace

int RunServer() {
  const std::string folder = ExecutableFolder();
  if (folder.empty()) return 1;
  std::optional<std::uint32_t> resident;
  SimProfile(folder + kSimProfileName).Number("Server", "Resident", &resident);
  const std::chrono::milliseconds linger{resident.value_or(0)};

  // Outlives COM: stubs still alive until CoUninitialize may reach it.
  ServerLifetime lifetime;
  // A free-threaded apartment needs no message loop: calls arrive on COM's
  // own threads, and this one only waits for the end.
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int exitCode = 0;
  {
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    try {
      factory.Attach(new SimClassFactory(&lifetime, folder));
    } catch (const std::bad_alloc&) {
      ::CoUninitialize();
      return 1;
    }
    // Single-use: each activation starts a fresh server process, as the
    // clients expect of the real server. Resident: one process serves all.
    DWORD cookie = 0;
    HRESULT hr = ::CoRegisterClassObject(kSimClsid, factory.Get(), CLSCTX_LOCAL_SERVER,
                                         linger.count() > 0 ? REGCLS_MULTIPLEUSE : REGCLS_SINGLEUSE, &cookie);
    if (SUCCEEDED(hr)) {
      // Registering or unregistering a copy asks running servers to go
      // (see StopOtherServers): their class object must leave COM properly.
      ScopedHandle stop(::CreateEventA(nullptr, TRUE, FALSE, StopEventName(::GetCurrentProcessId()).c_str()));
      std::thread stopWatch([&lifetime, &stop] {
        if (::WaitForSingleObject(stop.Get(), INFINITE) == WAIT_OBJECT_0) lifetime.Stop();
      });
      lifetime.WaitUntilIdle(kUnusedLimit, linger);
      ::SetEvent(stop.Get());
      stopWatch.join();
      ::CoRevokeClassObject(cookie);
      // An activation that came in just before the revocation is served
      // to its end.
      lifetime.WaitUntilReleased();
    } else {
      exitCode = 1;
    }
  }
  ::CoUninitialize();
  return exitCode;
}
