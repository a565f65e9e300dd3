// Requests the simulator must refuse, without ever failing to answer.

#include <string>
#include <vector>

#include "acpi_sim_fixture.h"
#include "sim_dispatch.h"

namespace test {
namespace {

// A VARIANT of the test's own, cleared on destruction.
struct OwnedVariant {
  OwnedVariant() { ::VariantInit(&value); }
  ~OwnedVariant() { ::VariantClear(&value); }
  VARIANT value;
};

HRESULT InvokeRaw(IDispatch* object, DISPID dispid, WORD flags, DISPPARAMS* params) {
  return object->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, params, nullptr, nullptr, nullptr);
}

using AcpiSimDispatch = AcpiSimTest;

TEST_F(AcpiSimDispatch, RefusesOddRequestsAndKeepsAnswering) {
  // One object for every request: a server that fell over would fail the
  // calls after it.
  Microsoft::WRL::ComPtr<IDispatch> object;
  ASSERT_EQ(CreateSimObject(&object), S_OK);

  struct NameCase {
    const wchar_t* name;
    HRESULT result;
  };
  for (const NameCase& c : {NameCase{L"iAcpiNothing", DISP_E_UNKNOWNNAME}, NameCase{L"iAcpiInitX", DISP_E_UNKNOWNNAME},
                            NameCase{L"", DISP_E_UNKNOWNNAME}, NameCase{L"IACPIINIT", S_OK}}) {
    SCOPED_TRACE(testing::Message() << "name \"" << std::wstring(c.name).c_str() << "\"");
    std::wstring name = c.name;
    LPOLESTR names[] = {&name[0]};
    DISPID dispid = 12345;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), c.result);
    if (FAILED(c.result)) {
      EXPECT_EQ(dispid, DISPID_UNKNOWN);
    }
  }

  ULONG length = 4;
  ULONG hugeLength = 0xFFFFFFFF;
  ByteHolder request({0xE1, 0x00, 0x00, 0x00});
  ByteHolder unsignedBytes({0xE1, 0x00});
  {
    // Build the unsigned holder as VT_UI1, which the bridge must not send.
    ::VariantClear(unsignedBytes.Get());
    unsignedBytes.Get()->vt = VT_ARRAY | VT_UI1;
    unsignedBytes.Get()->parray = ::SafeArrayCreateVector(VT_UI1, 0, 2);
  }
  OwnedVariant twoDimensions;
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  twoDimensions.value.vt = VT_ARRAY | VT_I1;
  twoDimensions.value.parray = ::SafeArrayCreate(VT_I1, 2, bounds);
  OwnedVariant empty;

  struct CallCase {
    const char* what;
    const wchar_t* method;
    std::vector<VARIANT> args;
    WORD flags;
    HRESULT result;
  };
  const CallCase cases[] = {
      {"too many arguments", L"iAcpiInit", {Ui4(1)}, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT},
      {"too few arguments", L"iAcpiGetItem", {Ui4(1)}, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT},
      {"signed item",
       L"iAcpiSetItem",
       {Ui4(1), Ui4(2),
        [] {
          VARIANT v;
          ::VariantInit(&v);
          v.vt = VT_I4;
          v.lVal = 3;
          return v;
        }()},
       DISPATCH_METHOD,
       DISP_E_TYPEMISMATCH},
      {"value by value", L"iAcpiGetItem", {Ui4(1), Ui4(2)}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH},
      {"array of VT_UI1",
       L"iAcpiGGrp",
       {Ui4(1), VariantRef(unsignedBytes.Get()), Ui4Ref(&length)},
       DISPATCH_METHOD,
       DISP_E_TYPEMISMATCH},
      {"array of two dimensions",
       L"iAcpiGGrp",
       {Ui4(1), VariantRef(&twoDimensions.value), Ui4Ref(&length)},
       DISPATCH_METHOD,
       DISP_E_TYPEMISMATCH},
      {"holder without array",
       L"iAcpiMbif",
       {VariantRef(&empty.value), Ui4Ref(&length)},
       DISPATCH_METHOD,
       DISP_E_TYPEMISMATCH},
      {"array not by reference", L"iAcpiMbif", {*request.Get(), Ui4Ref(&length)}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH},
      {"length by value", L"iAcpiMbif", {VariantRef(request.Get()), Ui4(4)}, DISPATCH_METHOD, DISP_E_TYPEMISMATCH},
      {"length beyond the array",
       L"iAcpiCallMethod",
       {Ui4(1), VariantRef(request.Get()), Ui4Ref(&hugeLength)},
       DISPATCH_METHOD,
       E_INVALIDARG},
      {"property get", L"iAcpiInit", {}, DISPATCH_PROPERTYGET, DISP_E_MEMBERNOTFOUND},
  };
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CallOn(object.Get(), c.method, c.args, c.flags), c.result);
  }
  EXPECT_EQ(request.Bytes(), (std::vector<std::uint8_t>{0xE1, 0x00, 0x00, 0x00}));
  EXPECT_EQ(hugeLength, 0xFFFFFFFFu);

  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(InvokeRaw(object.Get(), 42, DISPATCH_METHOD, &none), DISP_E_MEMBERNOTFOUND);
  VARIANT argument = Ui4(1);
  DISPID named = 1;
  DISPPARAMS withName = {&argument, &named, 1, 1};
  EXPECT_EQ(InvokeRaw(object.Get(), 1, DISPATCH_METHOD, &withName), DISP_E_NONAMEDARGS);

  EXPECT_EQ(CallOn(object.Get(), L"iAcpiGGrp", {Ui4(1), VariantRef(request.Get()), Ui4Ref(&length)}), S_OK);
  EXPECT_EQ(length, 4u);
}

}  // namespace
}  // namespace test
