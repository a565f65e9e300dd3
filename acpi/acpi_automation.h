#pragma once

#include <type_traits>

#include "base/win.h"

#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

// Calls methods of the ACPI automation server through its dispatch
// interface, by name. Every call looks the name up anew; nothing is cached.
namespace AcpiAutomation {

// Calls `methodName` with `argCount` arguments given in the method's
// declared order. The VARIANTs are passed as bitwise copies: nothing they
// point to is copied, cleared or freed. `result` (may be null) is set empty
// before the call and receives the method's return value; its owner clears it.
// E_FAIL for a null dispatch, GetIDsOfNames' failure unchanged (no Invoke
// then), E_OUTOFMEMORY when the argument block cannot be allocated, else
// Invoke's HRESULT.
HRESULT AutoInvoke(WORD flags, VARIANT* result, IDispatch* dispatch, const wchar_t* methodName, int argCount,
                   const VARIANT* args);

// The same with the arguments listed, first parameter first; their number
// cannot disagree with the list.
template <typename... Arguments, typename = std::enable_if_t<(std::is_same_v<Arguments, VARIANT> && ...)>>
HRESULT AutoInvoke(WORD flags, VARIANT* result, IDispatch* dispatch, const wchar_t* methodName,
                   Arguments... arguments) {
  if constexpr (sizeof...(Arguments) == 0) {
    return AutoInvoke(flags, result, dispatch, methodName, 0, nullptr);
  } else {
    const VARIANT list[] = {arguments...};
    return AutoInvoke(flags, result, dispatch, methodName, static_cast<int>(sizeof...(Arguments)), list);
  }
}

// A buffer method with two leading values: first, second (VT_UI4 each), the
// holder by reference (VT_BYREF | VT_VARIANT) and the length by reference
// (VT_BYREF | VT_UI4).
HRESULT InvokeWithBuffer(IDispatch* dispatch, const wchar_t* methodName, ULONG first, ULONG second, VARIANT* holder,
                         ULONG* length);

// A buffer method with one leading value, the selector.
HRESULT InvokeSelectorWithBuffer(IDispatch* dispatch, const wchar_t* methodName, ULONG selector, VARIANT* holder,
                                 ULONG* length);

// Argument VARIANTs of the kinds the ACPI server takes. They own nothing:
// what they point to stays the caller's. Inline and free of the C runtime,
// so that the export path, the benchmarks and the tests share them.
inline VARIANT Ui4(ULONG value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_UI4;
  v.ulVal = value;
  return v;
}

inline VARIANT Ui4Ref(ULONG* variable) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BYREF | VT_UI4;
  v.pulVal = variable;
  return v;
}

inline VARIANT VariantRef(VARIANT* holder) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = holder;
  return v;
}

}  // namespace AcpiAutomation

// A new object of the ACPI automation server ("tavriCom.axdata", local
// server only), for one call. False, with `server` left empty, when the
// ProgID is not registered or the object cannot be created.
bool CreateAcpiServer(Microsoft::WRL::ComPtr<IDispatch>& server);
