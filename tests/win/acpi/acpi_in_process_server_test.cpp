// The buffer exports against a server object in this very process, whose
// class this process registers under the CLSID the ACPI server's ProgID
// names. A holder that crossed to another process is always the export's
// own copy; only a server in the same process can leave the export a
// holder that cannot be cleared.

#include <objbase.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi/acpi_exports.h"
#include "acpi_test_programs.h"
#include "base/unique_handle.h"

namespace {

// {B09965BE-4E37-4646-80C5-276877E75050}
constexpr CLSID kInProcessClsid = {0xb09965be, 0x4e37, 0x4646, {0x80, 0xc5, 0x27, 0x68, 0x77, 0xe7, 0x50, 0x50}};
constexpr wchar_t kInProcessClsidText[] = L"{B09965BE-4E37-4646-80C5-276877E75050}";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\tavriCom.axdata";

// Answers every method with S_OK and leaves the reply as sent; when told,
// it locks the array in the holder and keeps it locked.
class HolderLockingServer : public IDispatch {
 public:
  bool lockHolder = false;
  std::vector<std::wstring> called;
  SAFEARRAY* locked = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IDispatch) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    called.push_back(names[0]);
    ids[0] = 1;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (!lockHolder) return S_OK;
    for (UINT i = 0; i < params->cArgs; ++i) {
      const VARIANT& argument = params->rgvarg[i];
      if (argument.vt != (VT_BYREF | VT_VARIANT) || (argument.pvarVal->vt & VT_ARRAY) == 0) continue;
      locked = argument.pvarVal->parray;
      return ::SafeArrayLock(locked);
    }
    return DISP_E_TYPEMISMATCH;
  }
};

class ServerFactory : public IClassFactory {
 public:
  explicit ServerFactory(HolderLockingServer& server) : server_(server) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return server_.QueryInterface(riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  HolderLockingServer& server_;
};

// The ProgID points at this process's class while the test runs; the key
// goes again afterwards.
class InProcessServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(acpi_test::ServerProgIdRegistered()) << "a server is still registered";
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    initialized_ = true;
    ScopedRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProgIdKey) + L"\\CLSID").c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kInProcessClsidText),
                               sizeof kInProcessClsidText),
              ERROR_SUCCESS);
    ASSERT_EQ(::CoRegisterClassObject(kInProcessClsid, &factory_, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
              S_OK);
  }
  void TearDown() override {
    if (cookie_ != 0) ::CoRevokeClassObject(cookie_);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProgIdKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProgIdKey);
    if (initialized_) ::CoUninitialize();
    EXPECT_FALSE(acpi_test::ServerProgIdRegistered());
  }

  HolderLockingServer server_;
  ServerFactory factory_{server_};
  DWORD cookie_ = 0;
  bool initialized_ = false;
};

TEST_F(InProcessServerTest, BufferExportAnswersZeroWhenItsHolderCannotBeCleared) {
  const ULONG method = 7;
  const struct {
    const wchar_t* method;
    std::function<int(BYTE*, ULONG*)> call;
  } exports[] = {
      {L"iAcpiGetItemBuffer", [](BYTE* b, ULONG* n) { return AcpiGetItemBuffer(1, 2, b, n); }},
      {L"iAcpiSetItemBuffer", [](BYTE* b, ULONG* n) { return AcpiSetItemBuffer(1, 2, b, n); }},
      {L"iAcpiMbif", [](BYTE* b, ULONG* n) { return AcpiMbif(b, n); }},
      {L"iAcpiGGrp", [](BYTE* b, ULONG* n) { return AcpiGGrp(3, b, n); }},
      {L"iAcpiCallMethod", [&method](BYTE* b, ULONG* n) { return AcpiCallMethod(&method, b, n); }},
  };
  for (const auto& e : exports) {
    for (const bool lockHolder : {false, true}) {
      SCOPED_TRACE(std::string(e.method, e.method + std::wcslen(e.method)) +
                   (lockHolder ? ", holder left locked" : ", holder free"));
      server_.lockHolder = lockHolder;
      server_.called.clear();
      server_.locked = nullptr;
      BYTE buffer[4] = {0xE1, 0x11, 0x22, 0x33};
      ULONG length = sizeof buffer;

      EXPECT_EQ(e.call(buffer, &length), lockHolder ? 0 : 1);
      EXPECT_EQ(server_.called, std::vector<std::wstring>{e.method}) << "the server in this process was not called";
      EXPECT_EQ(length, sizeof buffer);
      if (lockHolder) {
        // The array the export could not clear: still there, and freed now.
        ASSERT_NE(server_.locked, nullptr);
        EXPECT_EQ(::SafeArrayUnlock(server_.locked), S_OK);
        EXPECT_EQ(::SafeArrayDestroy(server_.locked), S_OK);
      }
    }
  }
}

}  // namespace
