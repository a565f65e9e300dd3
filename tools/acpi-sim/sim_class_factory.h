#pragma once

#include <atomic>
#include <string>

#include <unknwn.h>
#include "base/win.h"

class ServerLifetime;

// The class object COM hands to clients; it makes AcpiSimObjects.
class SimClassFactory final : public IClassFactory {
 public:
  SimClassFactory(ServerLifetime* lifetime, std::string folder) : lifetime_(lifetime), folder_(std::move(folder)) {}
  SimClassFactory(const SimClassFactory&) = delete;
  SimClassFactory& operator=(const SimClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~SimClassFactory() = default;

  std::atomic<ULONG> refs_{1};
  ServerLifetime* lifetime_;
  std::string folder_;
};
