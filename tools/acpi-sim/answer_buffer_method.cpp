#include "tools/acpi-sim/answer_buffer_method.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "tools/acpi-sim/build_mbif_reply.h"
#include "tools/acpi-sim/sim_ids.h"

namespace {

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

}  // namespace

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
