#include "sim_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <objbase.h>

namespace test {

ByteHolder::ByteHolder(const std::vector<std::uint8_t>& bytes) {
  ::VariantInit(&variant_);
  SAFEARRAYBOUND bound = {static_cast<ULONG>(bytes.size()), 0};
  SAFEARRAY* array = ::SafeArrayCreate(VT_I1, 1, &bound);
  if (array == nullptr) {
    ADD_FAILURE() << "cannot create an array of " << bytes.size() << " bytes";
    return;
  }
  void* data = nullptr;
  if (SUCCEEDED(::SafeArrayAccessData(array, &data))) {
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    ::SafeArrayUnaccessData(array);
  }
  variant_.vt = VT_ARRAY | VT_I1;
  variant_.parray = array;
}

std::vector<std::uint8_t> ByteHolder::Bytes() const {
  if (variant_.vt != (VT_ARRAY | VT_I1) || variant_.parray == nullptr) return {};
  std::vector<std::uint8_t> bytes(variant_.parray->rgsabound[0].cElements);
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(variant_.parray, &data))) return {};
  if (!bytes.empty()) std::memcpy(bytes.data(), data, bytes.size());
  ::SafeArrayUnaccessData(variant_.parray);
  return bytes;
}

HRESULT CreateSimObject(Microsoft::WRL::ComPtr<IDispatch>* object) {
  CLSID clsid = {};
  HRESULT hr = ::CLSIDFromProgID(L"tavriCom.axdata", &clsid);
  if (FAILED(hr)) return hr;
  return ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(object->ReleaseAndGetAddressOf()));
}

HRESULT CallOn(IDispatch* object, const wchar_t* method, std::vector<VARIANT> args, WORD flags) {
  std::wstring name = method;
  LPOLESTR names[] = {&name[0]};
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  VARIANT result;
  ::VariantInit(&result);
  hr = object->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, &result, nullptr, nullptr);
  ::VariantClear(&result);
  return hr;
}

HRESULT CallSim(const wchar_t* method, std::vector<VARIANT> args) {
  Microsoft::WRL::ComPtr<IDispatch> object;
  HRESULT hr = CreateSimObject(&object);
  if (FAILED(hr)) return hr;
  return CallOn(object.Get(), method, std::move(args));
}

HRESULT CallBufferMethod(const wchar_t* method, ByteHolder* holder, ULONG* length) {
  std::vector<VARIANT> args;
  std::wstring name = method;
  if (name == L"iAcpiGetItemBuffer" || name == L"iAcpiSetItemBuffer") {
    args = {Ui4(0x11), Ui4(0x22)};
  } else if (name == L"iAcpiGGrp" || name == L"iAcpiCallMethod") {
    args = {Ui4(0x33)};
  }
  args.push_back(VariantRef(holder->Get()));
  args.push_back(Ui4Ref(length));
  return CallSim(method, std::move(args));
}

std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + 4 > bytes.size()) {
    ADD_FAILURE() << "no 32-bit value at " << offset << " in " << bytes.size() << " bytes";
    return 0;
  }
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::uint16_t ReadU16(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + 2 > bytes.size()) {
    ADD_FAILURE() << "no 16-bit value at " << offset << " in " << bytes.size() << " bytes";
    return 0;
  }
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

}  // namespace test
