#pragma once

#include <atomic>
#include <string>

#include <oaidl.h>
#include <oleauto.h>
#include "base/win.h"

class ServerLifetime;

// The server object: the nine iAcpi methods, called by name through
// IDispatch. Each call is journaled and answered as the profile beside the
// executable says at that moment. Arguments of the wrong number or kind
// are refused with the usual DISP_E_ codes.
class AcpiSimObject final : public IDispatch {
 public:
  // folder: where the profile and the journal lie, ending with a backslash.
  AcpiSimObject(ServerLifetime* lifetime, std::string folder);
  ~AcpiSimObject();
  AcpiSimObject(const AcpiSimObject&) = delete;
  AcpiSimObject& operator=(const AcpiSimObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 private:
  HRESULT Answer(DISPID dispid, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argError);

  std::atomic<ULONG> refs_{1};
  ServerLifetime* lifetime_;
  std::string folder_;
};
