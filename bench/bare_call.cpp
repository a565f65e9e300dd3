#include "bench/bare_call.h"

#include <cstring>

#include <objbase.h>
#include <oleauto.h>

#include "acpi/acpi_automation.h"

namespace {

using AcpiAutomation::Ui4;
using AcpiAutomation::Ui4Ref;
using AcpiAutomation::VariantRef;

// Activation, lookup, one call with the arguments in Invoke's order (last
// first), release.
HRESULT Call(const wchar_t* method, VARIANTARG* reversed, UINT count) {
  CLSID clsid;
  HRESULT hr = ::CLSIDFromProgID(L"tavriCom.axdata", &clsid);
  if (FAILED(hr)) return hr;
  IDispatch* server = nullptr;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&server));
  if (FAILED(hr)) return hr;
  DISPID dispid = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(method);
  hr = server->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispid);
  if (SUCCEEDED(hr)) {
    DISPPARAMS params = {reversed, nullptr, count, 0};
    VARIANT result;
    ::VariantInit(&result);
    hr = server->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    ::VariantClear(&result);
  }
  server->Release();
  return hr;
}

}  // namespace

HRESULT BareCall(const wchar_t* method) { return Call(method, nullptr, 0); }

HRESULT BareItemCall(const wchar_t* method, ULONG item, ULONG* value) {
  VARIANTARG reversed[2] = {Ui4Ref(value), Ui4(item)};
  return Call(method, reversed, 2);
}

HRESULT BareBufferCall(const wchar_t* method, const ULONG* leading, int leadingCount, BYTE* buffer, ULONG* length) {
  // The buffer travels in a byte array that the call must create and read.
  SAFEARRAYBOUND bound = {*length, 0};
  VARIANT holder;
  ::VariantInit(&holder);
  holder.vt = VT_ARRAY | VT_I1;
  holder.parray = ::SafeArrayCreate(VT_I1, 1, &bound);
  if (holder.parray == nullptr) return E_OUTOFMEMORY;
  std::memcpy(holder.parray->pvData, buffer, *length);

  VARIANTARG reversed[4];
  UINT count = 0;
  reversed[count++] = Ui4Ref(length);
  reversed[count++] = VariantRef(&holder);
  for (int i = leadingCount - 1; i >= 0; --i) reversed[count++] = Ui4(leading[i]);
  const ULONG room = *length;
  HRESULT hr = Call(method, reversed, count);
  if (SUCCEEDED(hr) && (holder.vt & VT_ARRAY) != 0 && holder.parray != nullptr) {
    const ULONG got = holder.parray->rgsabound[0].cElements;
    std::memcpy(buffer, holder.parray->pvData, got < room ? got : room);
  }
  ::VariantClear(&holder);
  return hr;
}
