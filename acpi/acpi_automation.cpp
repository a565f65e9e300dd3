// On the export path: no logging, no globals with dynamic initialisation,
// nothing that throws, nothing from the C runtime that needs its start-up
// (see image_readiness.cpp). Checked on the objects by the static tests.
#include "acpi/acpi_automation.h"

#include <cstdint>

#include <objbase.h>
#include <oleauto.h>

#include "base/scoped_variant.h"

namespace AcpiAutomation {

HRESULT AutoInvoke(WORD flags, VARIANT* result, IDispatch* dispatch, const wchar_t* methodName, int argCount,
                   const VARIANT* args) {
  if (dispatch == nullptr) return E_FAIL;
  if (argCount < 0 || (argCount > 0 && args == nullptr) ||
      static_cast<std::size_t>(argCount) > SIZE_MAX / sizeof(VARIANTARG)) {
    return E_INVALIDARG;
  }

  DISPID dispid = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(methodName);
  HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) return hr;

  // Invoke takes the arguments last to first.
  VARIANTARG* reversed = nullptr;
  if (argCount > 0) {
    reversed = static_cast<VARIANTARG*>(::CoTaskMemAlloc(sizeof(VARIANTARG) * argCount));
    if (reversed == nullptr) return E_OUTOFMEMORY;
    for (int i = 0; i < argCount; ++i) reversed[argCount - 1 - i] = args[i];
  }

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed, nullptr, static_cast<UINT>(argCount), 0};
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  if (result != nullptr) ::VariantInit(result);

  hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, result, nullptr, nullptr);
  ::CoTaskMemFree(reversed);
  return hr;
}

HRESULT InvokeWithBuffer(IDispatch* dispatch, const wchar_t* methodName, ULONG first, ULONG second, VARIANT* holder,
                         ULONG* length) {
  ScopedVariant result;
  return AutoInvoke(DISPATCH_METHOD, result.Get(), dispatch, methodName, Ui4(first), Ui4(second), VariantRef(holder),
                    Ui4Ref(length));
}

HRESULT InvokeSelectorWithBuffer(IDispatch* dispatch, const wchar_t* methodName, ULONG selector, VARIANT* holder,
                                 ULONG* length) {
  ScopedVariant result;
  return AutoInvoke(DISPATCH_METHOD, result.Get(), dispatch, methodName, Ui4(selector), VariantRef(holder),
                    Ui4Ref(length));
}

}  // namespace AcpiAutomation

bool CreateAcpiServer(Microsoft::WRL::ComPtr<IDispatch>& server) {
  server.Reset();
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid))) return false;
  return SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(server.GetAddressOf())));
}
