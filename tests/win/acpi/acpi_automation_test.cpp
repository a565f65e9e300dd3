// AcpiAutomation against an in-process dispatch object that records what
// reaches it: the only place where the DISPPARAMS themselves can be seen.
// Allocations of the COM task allocator are watched through a malloc spy.

#include "acpi/acpi_automation.h"

#include <objbase.h>
#include <oleauto.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr DISPID kMethodId = 0x1234;

// Counts its references; a VT_UNKNOWN result holding it shows whether the
// result was cleared.
class CountedObject : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  ULONG references = 1;
};

class RecordingDispatch : public IDispatch {
 public:
  // What it answers.
  HRESULT namesResult = S_OK;
  HRESULT invokeResult = S_OK;
  IUnknown* resultObject = nullptr;  // returned as a VT_UNKNOWN result, with a reference

  // What it saw.
  int namesCalls = 0;
  int invokeCalls = 0;
  std::wstring name;
  LCID namesLocale = 0;
  bool namesIidNull = false;
  DISPID invokedId = 0;
  bool invokeIidNull = false;
  LCID invokeLocale = 0;
  WORD flags = 0;
  std::vector<VARIANT> args;  // rgvarg as received, element 0 first
  const VARIANTARG* argBlock = nullptr;
  std::vector<DISPID> named;
  bool hadResult = false;
  VARTYPE resultTypeOnEntry = 0xffff;
  bool excepInfoNull = false;
  bool argErrNull = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    ++namesCalls;
    namesIidNull = riid == IID_NULL;
    namesLocale = locale;
    if (count != 1) return E_INVALIDARG;
    name = names[0];
    if (FAILED(namesResult)) return namesResult;
    ids[0] = kMethodId;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD invokeFlags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
    ++invokeCalls;
    invokedId = id;
    invokeIidNull = riid == IID_NULL;
    invokeLocale = locale;
    flags = invokeFlags;
    argBlock = params->rgvarg;
    args.assign(params->rgvarg, params->rgvarg + params->cArgs);
    named.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
    hadResult = result != nullptr;
    excepInfoNull = excepInfo == nullptr;
    argErrNull = argErr == nullptr;
    if (result != nullptr) {
      resultTypeOnEntry = result->vt;
      if (resultObject != nullptr) {
        result->vt = VT_UNKNOWN;
        result->punkVal = resultObject;
        resultObject->AddRef();
      }
    }
    return invokeResult;
  }
};

// Sees every allocation of the COM task allocator in this process and can
// make the next one fail.
class AllocationSpy : public IMallocSpy {
 public:
  std::set<void*> live;
  std::set<void*> everAllocated;
  bool failNext = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IMallocSpy) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override {
    if (failNext && request != 0) {
      failNext = false;
      return 0;
    }
    return request;
  }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    if (actual != nullptr) {
      live.insert(actual);
      everAllocated.insert(actual);
    }
    return actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
    live.erase(request);
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
    live.erase(request);
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return PostAlloc(actual); }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

class AutoInvokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    ASSERT_EQ(::CoRegisterMallocSpy(&spy_), S_OK);
  }
  void TearDown() override {
    ::CoRevokeMallocSpy();
    ::CoUninitialize();
  }

  static VARIANT Ui4(ULONG value) { return AcpiAutomation::Ui4(value); }

  RecordingDispatch dispatch_;
  AllocationSpy spy_;
};

TEST_F(AutoInvokeTest, ArgumentsReachInvokeLastFirstWithTheFixedCallShape) {
  VARIANT result;
  result.vt = VT_I4;  // stale content the call must not hand to the server
  const HRESULT hr =
      AcpiAutomation::AutoInvoke(DISPATCH_METHOD, &result, &dispatch_, L"iAcpiSetItem", Ui4(0xA), Ui4(0xB), Ui4(0xC));
  EXPECT_EQ(hr, S_OK);

  EXPECT_EQ(dispatch_.name, L"iAcpiSetItem");
  EXPECT_TRUE(dispatch_.namesIidNull);
  EXPECT_EQ(dispatch_.namesLocale, static_cast<LCID>(LOCALE_USER_DEFAULT));
  ASSERT_EQ(dispatch_.invokeCalls, 1);
  EXPECT_EQ(dispatch_.invokedId, kMethodId);
  EXPECT_TRUE(dispatch_.invokeIidNull);
  EXPECT_EQ(dispatch_.invokeLocale, static_cast<LCID>(LOCALE_SYSTEM_DEFAULT));
  EXPECT_EQ(dispatch_.flags, DISPATCH_METHOD);
  EXPECT_TRUE(dispatch_.named.empty());
  EXPECT_TRUE(dispatch_.excepInfoNull);
  EXPECT_TRUE(dispatch_.argErrNull);
  EXPECT_TRUE(dispatch_.hadResult);
  EXPECT_EQ(dispatch_.resultTypeOnEntry, VT_EMPTY);

  ASSERT_EQ(dispatch_.args.size(), 3u);
  const ULONG expected[] = {0xC, 0xB, 0xA};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(dispatch_.args[i].vt, VT_UI4) << i;
    EXPECT_EQ(dispatch_.args[i].ulVal, expected[i]) << i;
  }
}

TEST_F(AutoInvokeTest, CallWithoutArgumentsPassesNone) {
  EXPECT_EQ(AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, &dispatch_, L"iAcpiInit"), S_OK);
  ASSERT_EQ(dispatch_.invokeCalls, 1);
  EXPECT_EQ(dispatch_.name, L"iAcpiInit");
  EXPECT_TRUE(dispatch_.args.empty());
  EXPECT_TRUE(dispatch_.named.empty());
  EXPECT_FALSE(dispatch_.hadResult);
}

TEST_F(AutoInvokeTest, PropertyPutCarriesExactlyOneNamedArgument) {
  const struct {
    WORD flags;
    std::vector<DISPID> named;
  } cases[] = {
      {DISPATCH_METHOD, {}},
      {DISPATCH_PROPERTYGET, {}},
      {DISPATCH_PROPERTYPUT, {DISPID_PROPERTYPUT}},
      {DISPATCH_PROPERTYPUT | DISPATCH_METHOD, {DISPID_PROPERTYPUT}},
  };
  for (const auto& c : cases) {
    ::testing::ScopedTrace trace(__FILE__, __LINE__, "flags " + std::to_string(c.flags));
    EXPECT_EQ(AcpiAutomation::AutoInvoke(c.flags, nullptr, &dispatch_, L"iAcpiSetItem", Ui4(1)), S_OK);
    EXPECT_EQ(dispatch_.flags, c.flags);
    EXPECT_EQ(dispatch_.named, c.named);
    EXPECT_EQ(dispatch_.args.size(), 1u);
  }
}

TEST_F(AutoInvokeTest, NullDispatchFailsWithoutAnything) {
  EXPECT_EQ(AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, nullptr, L"iAcpiInit", Ui4(1)), E_FAIL);
  EXPECT_TRUE(spy_.everAllocated.empty());
}

TEST_F(AutoInvokeTest, FailedNameLookupIsReturnedAndNothingIsInvoked) {
  for (HRESULT failure : {DISP_E_UNKNOWNNAME, E_ACCESSDENIED, RPC_E_DISCONNECTED}) {
    dispatch_.namesResult = failure;
    dispatch_.invokeCalls = 0;
    EXPECT_EQ(AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, &dispatch_, L"iAcpiNoSuch", Ui4(1), Ui4(2)),
              failure);
    EXPECT_EQ(dispatch_.invokeCalls, 0);
    EXPECT_TRUE(spy_.everAllocated.empty()) << "nothing is allocated before the name is known";
  }
}

TEST_F(AutoInvokeTest, ArgumentBlockIsFreedWhateverInvokeAnswers) {
  for (HRESULT answer : {S_OK, S_FALSE, DISP_E_EXCEPTION, E_FAIL, DISP_E_TYPEMISMATCH}) {
    dispatch_.invokeResult = answer;
    EXPECT_EQ(
        AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, &dispatch_, L"iAcpiGetItemEx", Ui4(1), Ui4(2), Ui4(3)),
        answer);
    // The block Invoke received came from the task allocator and went back to it.
    EXPECT_EQ(spy_.everAllocated.count(const_cast<VARIANTARG*>(dispatch_.argBlock)), 1u) << std::hex << answer;
    EXPECT_TRUE(spy_.live.empty()) << std::hex << answer;
  }
}

TEST_F(AutoInvokeTest, UnallocatableArgumentBlockInvokesNothing) {
  spy_.failNext = true;
  EXPECT_EQ(AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, &dispatch_, L"iAcpiGetItem", Ui4(1), Ui4(2)),
            E_OUTOFMEMORY);
  EXPECT_EQ(dispatch_.namesCalls, 1);
  EXPECT_EQ(dispatch_.invokeCalls, 0);
}

TEST_F(AutoInvokeTest, ArgumentsAreBitwiseCopiesNeitherCopiedNorCleared) {
  BSTR text = ::SysAllocString(L"request");
  VARIANT byValue;
  ::VariantInit(&byValue);
  byValue.vt = VT_BSTR;
  byValue.bstrVal = text;

  EXPECT_EQ(AcpiAutomation::AutoInvoke(DISPATCH_METHOD, nullptr, &dispatch_, L"iAcpiSetItem", byValue), S_OK);
  ASSERT_EQ(dispatch_.args.size(), 1u);
  EXPECT_EQ(dispatch_.args[0].vt, VT_BSTR);
  EXPECT_EQ(dispatch_.args[0].bstrVal, text) << "the string itself, not a copy";
  EXPECT_EQ(byValue.vt, VT_BSTR);
  EXPECT_EQ(::SysStringLen(text), 7u) << "the caller's string is still alive";
  ::SysFreeString(text);
}

class BufferCallTest : public AutoInvokeTest {
 protected:
  CountedObject returned_;
};

TEST_F(BufferCallTest, InvokeWithBufferPassesValuesThenHolderAndLengthByReference) {
  VARIANT holder;
  ::VariantInit(&holder);
  ULONG length = 16;
  EXPECT_EQ(AcpiAutomation::InvokeWithBuffer(&dispatch_, L"iAcpiGetItemBuffer", 7, 9, &holder, &length), S_OK);
  EXPECT_EQ(dispatch_.name, L"iAcpiGetItemBuffer");
  EXPECT_EQ(dispatch_.flags, DISPATCH_METHOD);
  ASSERT_EQ(dispatch_.args.size(), 4u);
  EXPECT_EQ(dispatch_.args[3].vt, VT_UI4);
  EXPECT_EQ(dispatch_.args[3].ulVal, 7u);
  EXPECT_EQ(dispatch_.args[2].vt, VT_UI4);
  EXPECT_EQ(dispatch_.args[2].ulVal, 9u);
  EXPECT_EQ(dispatch_.args[1].vt, VT_BYREF | VT_VARIANT);
  EXPECT_EQ(dispatch_.args[1].pvarVal, &holder);
  EXPECT_EQ(dispatch_.args[0].vt, VT_BYREF | VT_UI4);
  EXPECT_EQ(dispatch_.args[0].pulVal, &length);
}

TEST_F(BufferCallTest, InvokeSelectorWithBufferPassesSelectorThenHolderAndLength) {
  VARIANT holder;
  ::VariantInit(&holder);
  ULONG length = 4;
  EXPECT_EQ(AcpiAutomation::InvokeSelectorWithBuffer(&dispatch_, L"iAcpiGGrp", 5, &holder, &length), S_OK);
  EXPECT_EQ(dispatch_.name, L"iAcpiGGrp");
  ASSERT_EQ(dispatch_.args.size(), 3u);
  EXPECT_EQ(dispatch_.args[2].vt, VT_UI4);
  EXPECT_EQ(dispatch_.args[2].ulVal, 5u);
  EXPECT_EQ(dispatch_.args[1].pvarVal, &holder);
  EXPECT_EQ(dispatch_.args[0].pulVal, &length);
}

TEST_F(BufferCallTest, ReturnedValueIsClearedOnSuccessAndFailure) {
  dispatch_.resultObject = &returned_;
  for (HRESULT answer : {S_OK, DISP_E_EXCEPTION}) {
    dispatch_.invokeResult = answer;
    VARIANT holder;
    ::VariantInit(&holder);
    ULONG length = 0;
    EXPECT_EQ(AcpiAutomation::InvokeWithBuffer(&dispatch_, L"iAcpiSetItemBuffer", 1, 2, &holder, &length), answer);
    EXPECT_EQ(returned_.references, 1u) << "InvokeWithBuffer, " << std::hex << answer;
    EXPECT_EQ(AcpiAutomation::InvokeSelectorWithBuffer(&dispatch_, L"iAcpiGGrp", 1, &holder, &length), answer);
    EXPECT_EQ(returned_.references, 1u) << "InvokeSelectorWithBuffer, " << std::hex << answer;
  }
}

}  // namespace
