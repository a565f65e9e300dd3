#include "acpi/buffer_exchange.h"

#include <cstring>

#include <oleauto.h>
#include <wrl/client.h>

#include "acpi/acpi_automation.h"
#include "acpi/acpi_server.h"
#include "acpi/copy_back_bound.h"
#include "acpi/scoped_variant.h"

namespace {

HRESULT CallMethod(BufferMethod shape, IDispatch* server, const wchar_t* methodName, ULONG first,
                   ULONG second, VARIANT* holder, ULONG* length) {
  using namespace AcpiAutomation;
  if (shape == BufferMethod::kItemArgument) {
    return InvokeWithBuffer(server, methodName, first, second, holder, length);
  }
  if (shape == BufferMethod::kSelector) {
    return InvokeSelectorWithBuffer(server, methodName, first, holder, length);
  }
  ScopedVariant result;
  return AutoInvoke(DISPATCH_METHOD, result.Get(), server, methodName, VariantRef(holder),
                    Ui4Ref(length));
}

// The array in the holder, when it is one the reply can be read from: one
// dimension of 1-byte elements. The server may have replaced or removed it.
SAFEARRAY* ByteArrayIn(const VARIANT& holder) {
  if ((holder.vt & ~VT_TYPEMASK) != VT_ARRAY || holder.parray == nullptr) return nullptr;
  if (::SafeArrayGetDim(holder.parray) != 1 || ::SafeArrayGetElemsize(holder.parray) != 1) {
    return nullptr;
  }
  return holder.parray;
}

// Copies the reply into the caller's buffer. False when not all of the
// announced reply could be copied; the length then says what was.
bool CopyReplyBack(const VARIANT& holder, ULONG entryLength, BYTE* buffer, ULONG* length) {
  SAFEARRAY* array = ByteArrayIn(holder);
  CopyBack bound = CopyBackBound(*length, entryLength, array != nullptr,
                                 array != nullptr ? array->rgsabound[0].cElements : 0);
  void* data = nullptr;
  if (array != nullptr && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
    if (bound.bytes != 0) std::memcpy(buffer, data, bound.bytes);
    ::SafeArrayUnaccessData(array);
  } else {
    bound = {0, false};
  }
  if (!bound.complete) *length = bound.bytes;
  return bound.complete;
}

}  // namespace

int ExchangeBuffer(BufferMethod shape, const wchar_t* methodName, ULONG first, ULONG second,
                   bool leadWithE1, BYTE* buffer, ULONG* length) {
  Microsoft::WRL::ComPtr<IDispatch> server;
  if (!CreateAcpiServer(server)) return 0;

  const ULONG entryLength = *length;
  SAFEARRAYBOUND bound = {entryLength, 0};
  SAFEARRAY* request = ::SafeArrayCreate(VT_I1, 1, &bound);
  if (request == nullptr) return 0;
  if (leadWithE1) buffer[0] = 0xE1;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(request, &data))) {
    ::SafeArrayDestroy(request);
    return 0;
  }
  if (entryLength != 0) std::memcpy(data, buffer, entryLength);
  ::SafeArrayUnaccessData(request);

  // The holder owns whatever array it holds after the call, the request or
  // the server's replacement.
  VARIANT holder;
  ::VariantInit(&holder);
  holder.vt = VT_ARRAY | VT_I1;
  holder.parray = request;

  const HRESULT called = CallMethod(shape, server.Get(), methodName, first, second, &holder, length);
  const bool complete = CopyReplyBack(holder, entryLength, buffer, length);
  server.Reset();
  const HRESULT cleared = ::VariantClear(&holder);
  return SUCCEEDED(called) && complete && SUCCEEDED(cleared) ? 1 : 0;
}
