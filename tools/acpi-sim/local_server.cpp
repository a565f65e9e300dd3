#include "tools/acpi-sim/local_server.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include <objbase.h>
#include <tlhelp32.h>

#include <wrl/client.h>

#include "base/unique_handle.h"
#include "base/win.h"
#include "tools/acpi-sim/registration.h"
#include "tools/acpi-sim/sim_ids.h"
#include "tools/acpi-sim/sim_object.h"
#include "tools/acpi-sim/sim_profile.h"

namespace {

// COM starts the server and then connects within a second or so. A server
// nobody connects to must not linger: its client gave up or died, or (under
// Wine) clients activating at once started more servers than they use.
constexpr std::chrono::milliseconds kUnusedLimit{20000};

// The event a server with this process id waits on to be asked to stop.
std::string StopEventName(unsigned long processId) { return "Local\\acpi-sim-stop-" + std::to_string(processId); }

// The class object COM hands to clients; it makes AcpiSimObjects.
class SimClassFactory final : public IClassFactory {
 public:
  SimClassFactory(ServerLifetime* lifetime, std::string folder) : lifetime_(lifetime), folder_(std::move(folder)) {}
  SimClassFactory(const SimClassFactory&) = delete;
  SimClassFactory& operator=(const SimClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }

  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    AcpiSimObject* created = nullptr;
    try {
      created = new AcpiSimObject(lifetime_, folder_);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      lifetime_->Lock();
    } else {
      lifetime_->Unlock();
    }
    return S_OK;
  }

 private:
  ~SimClassFactory() = default;

  std::atomic<ULONG> refs_{1};
  ServerLifetime* lifetime_;
  std::string folder_;
};

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

void StopOtherServers() {
  ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId() || ::lstrcmpiA(entry.szExeFile, "acpi-sim.exe") != 0) {
      continue;
    }
    ScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
    ScopedHandle stop(::OpenEventA(EVENT_MODIFY_STATE, FALSE, StopEventName(entry.th32ProcessID).c_str()));
    if (process && stop && ::SetEvent(stop.Get())) ::WaitForSingleObject(process.Get(), 10000);
  }
}

void ServerLifetime::Lock() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++holds_;
  ++changes_;
  used_ = true;
  changed_.notify_all();
}

void ServerLifetime::Unlock() {
  std::lock_guard<std::mutex> lock(mutex_);
  --holds_;
  ++changes_;
  changed_.notify_all();
}

void ServerLifetime::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  ++changes_;
  changed_.notify_all();
}

void ServerLifetime::WaitUntilIdle(std::chrono::milliseconds unused, std::chrono::milliseconds linger) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (stopped_) return;
    if (holds_ > 0) {
      changed_.wait(lock, [this] { return holds_ == 0 || stopped_; });
      continue;
    }
    // Nothing holds the server now: it ends unless it is taken again in
    // time. Any Lock or Unlock meanwhile starts the wait afresh.
    if (used_ && linger.count() == 0) return;
    unsigned long before = changes_;
    if (!changed_.wait_for(lock, used_ ? linger : unused, [this, before] { return changes_ != before; })) return;
  }
}

void ServerLifetime::WaitUntilReleased() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return holds_ == 0; });
}
