#include "tools/acpi-sim/sim_object.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "tools/acpi-sim/journal.h"
#include "tools/acpi-sim/local_server.h"
#include "tools/acpi-sim/sim_ids.h"
#include "tools/acpi-sim/sim_methods.h"
#include "tools/acpi-sim/sim_profile.h"

namespace {

bool ArgumentMatches(SimArg kind, const VARIANTARG& arg) {
  switch (kind) {
    case SimArg::kValue: return arg.vt == VT_UI4;
    case SimArg::kByRefValue: return arg.vt == (VT_BYREF | VT_UI4) && arg.pulVal != nullptr;
    case SimArg::kHolder: {
      if (arg.vt != (VT_BYREF | VT_VARIANT) || arg.pvarVal == nullptr) return false;
      const VARIANT& holder = *arg.pvarVal;
      return holder.vt == (VT_ARRAY | VT_I1) && holder.parray != nullptr && ::SafeArrayGetDim(holder.parray) == 1 &&
             holder.parray->cbElements == 1;
    }
  }
  return false;
}

HRESULT ReadArray(SAFEARRAY* array, std::uint8_t* bytes, std::size_t count) {
  void* data = nullptr;
  HRESULT hr = ::SafeArrayAccessData(array, &data);
  if (FAILED(hr)) return hr;
  if (count > 0) std::memcpy(bytes, data, count);
  return ::SafeArrayUnaccessData(array);
}

HRESULT WriteArray(SAFEARRAY* array, const std::uint8_t* bytes, std::size_t count) {
  void* data = nullptr;
  HRESULT hr = ::SafeArrayAccessData(array, &data);
  if (FAILED(hr)) return hr;
  if (count > 0) std::memcpy(data, bytes, count);
  return ::SafeArrayUnaccessData(array);
}

// Answers a buffer method as the profile says: the reply (the request
// itself unless the profile gives one) goes into the holder in the way its
// Array mode says, and the reply's length into *length. holder holds a
// one-dimensional VT_I1 array.
HRESULT AnswerBufferMethod(const SimMethod& method, VARIANT* holder, ULONG* length, const SimProfile& profile) {
  SAFEARRAY* array = holder->parray;
  const ULONG capacity = array->rgsabound[0].cElements;
  // The length counts request bytes in the array; more than it holds is a
  // broken request, not something to read past.
  if (*length > capacity) return E_INVALIDARG;

  std::optional<std::vector<std::uint8_t>> reply;
  std::optional<std::uint32_t> replyLength;
  ArrayMode mode = ArrayMode::kInPlace;
  if (!profile.Bytes(method.replySection, "Reply", &reply) ||
      !profile.Number(method.replySection, "Length", &replyLength) || !profile.Mode(method.name, "Array", &mode)) {
    return kBadProfileResult;
  }
  if (!reply && std::strcmp(method.name, "iAcpiMbif") == 0) {
    std::optional<std::uint32_t> featureWord;
    if (!profile.Number("Mbif", "FeatureWord", &featureWord)) return kBadProfileResult;
    reply = BuildMbifReply(featureWord.value_or(kDefaultFeatureWord));
  }

  // Without a reply the method echoes the request and keeps its length.
  ULONG answerLength = replyLength ? *replyLength : reply ? static_cast<ULONG>(reply->size()) : *length;
  if (!reply) {
    reply.emplace(capacity);
    HRESULT hr = ReadArray(array, reply->data(), capacity);
    if (FAILED(hr)) return hr;
  }

  switch (mode) {
    case ArrayMode::kInPlace: {
      HRESULT hr = WriteArray(array, reply->data(), std::min<std::size_t>(reply->size(), capacity));
      if (FAILED(hr)) return hr;
      break;
    }
    case ArrayMode::kReplace: {
      SAFEARRAY* fresh = ::SafeArrayCreateVector(VT_I1, 0, static_cast<ULONG>(reply->size()));
      if (fresh == nullptr) return E_OUTOFMEMORY;
      HRESULT hr = WriteArray(fresh, reply->data(), reply->size());
      if (SUCCEEDED(hr)) hr = ::VariantClear(holder);
      if (FAILED(hr)) {
        ::SafeArrayDestroy(fresh);
        return hr;
      }
      holder->vt = VT_ARRAY | VT_I1;
      holder->parray = fresh;
      break;
    }
    case ArrayMode::kNone: {
      HRESULT hr = ::VariantClear(holder);
      if (FAILED(hr)) return hr;
      holder->vt = VT_I4;
      holder->lVal = 0;
      break;
    }
  }
  *length = answerLength;
  return S_OK;
}

}  // namespace

AcpiSimObject::AcpiSimObject(ServerLifetime* lifetime, std::string folder)
    : lifetime_(lifetime), folder_(std::move(folder)) {
  lifetime_->Lock();
}

AcpiSimObject::~AcpiSimObject() { lifetime_->Unlock(); }

HRESULT AcpiSimObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG AcpiSimObject::AddRef() { return ++refs_; }

ULONG AcpiSimObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT AcpiSimObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT AcpiSimObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT AcpiSimObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  const SimMethod* method = FindSimMethodByName(names[0]);
  ids[0] = method != nullptr ? method->dispid : DISPID_UNKNOWN;
  // The methods have no named parameters.
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return method != nullptr && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT AcpiSimObject::Invoke(DISPID dispid, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO*, UINT* argError) {
  try {
    return Answer(dispid, riid, flags, params, result, argError);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT AcpiSimObject::Answer(DISPID dispid, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                              UINT* argError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const SimMethod* method = FindSimMethodById(dispid);
  if (method == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  const unsigned count = params != nullptr ? params->cArgs : 0;
  VARIANTARG* args = params != nullptr ? params->rgvarg : nullptr;
  if (count > 0 && args == nullptr) return E_INVALIDARG;

  // Every call is journaled as it arrived, also one about to be refused.
  AppendJournalLine(folder_ + kSimJournalName, DescribeCall(method->name, args, count));

  if (params != nullptr && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  if (count != method->argCount) return DISP_E_BADPARAMCOUNT;
  for (unsigned i = 0; i < count; ++i) {
    unsigned slot = count - 1 - i;  // Invoke receives the arguments last first
    if (!ArgumentMatches(method->args[i], args[slot])) {
      if (argError != nullptr) *argError = slot;
      return DISP_E_TYPEMISMATCH;
    }
  }
  if (result != nullptr) ::VariantInit(result);

  SimProfile profile(folder_ + kSimProfileName);
  std::optional<std::uint32_t> fail, delay;
  if (!profile.Number(method->name, "Fail", &fail) || !profile.Number(method->name, "Delay", &delay)) {
    return kBadProfileResult;
  }
  // A server that takes its time: the caller waits in the call, which is
  // journaled already, so a test can act while it waits.
  if (delay) ::Sleep(*delay);

  switch (method->work) {
    case SimWork::kNothing: break;
    case SimWork::kStoreItem: {
      std::uint32_t value = 0;
      if (!profile.ItemValue(args[count - 1].ulVal, &value)) return kBadProfileResult;
      *args[0].pulVal = value;
      break;
    }
    case SimWork::kBuffer: {
      HRESULT hr = AnswerBufferMethod(*method, args[1].pvarVal, args[0].pulVal, profile);
      if (FAILED(hr)) return hr;
      break;
    }
  }
  // A profile's Fail comes after the work, as a server that did its part
  // and still reports an error.
  return fail ? static_cast<HRESULT>(*fail) : S_OK;
}
