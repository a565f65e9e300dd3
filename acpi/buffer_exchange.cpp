// On the export path: no logging, no globals with dynamic initialisation,
// nothing that throws, nothing from the C runtime that needs its start-up
// (see image_readiness.cpp). Checked on the objects by the static tests.
#include "acpi/buffer_exchange.h"

#include <cstring>

#include <oleauto.h>
#include <wrl/client.h>

#include "acpi/acpi_automation.h"
#include "acpi/copy_back_bound.h"
#include "base/scoped_safearray.h"
#include "base/scoped_variant.h"

namespace {

HRESULT InvokeBufferMethod(const BufferMethod& method, IDispatch* server, VARIANT* holder, ULONG* length) {
  using namespace AcpiAutomation;
  switch (method.shape) {
    case BufferMethod::Shape::kItemArgument:
      return InvokeWithBuffer(server, method.name, method.first, method.second, holder, length);
    case BufferMethod::Shape::kSelector:
      return InvokeSelectorWithBuffer(server, method.name, method.first, holder, length);
    case BufferMethod::Shape::kMbif: break;
  }
  ScopedVariant result;
  return AutoInvoke(DISPATCH_METHOD, result.Get(), server, method.name, VariantRef(holder), Ui4Ref(length));
}

// The array in the holder, unless the server made it something else than a
// plain array (or removed it).
SAFEARRAY* ArrayIn(const VARIANT& holder) { return (holder.vt & ~VT_TYPEMASK) == VT_ARRAY ? holder.parray : nullptr; }

// Copies the reply into the caller's buffer. False when not all of the
// announced reply could be copied; the length then says what was.
bool CopyReplyBack(const VARIANT& holder, ULONG entryLength, BYTE* buffer, ULONG* length) {
  const SafeArrayByteLock reply(ArrayIn(holder));
  CopyBack bound = {0, false};
  if (reply) {
    bound = CopyBackBound(*length, entryLength, true, reply.Size());
    if (bound.bytes != 0) std::memcpy(buffer, reply.Data(), bound.bytes);
  }
  if (!bound.complete) *length = bound.bytes;
  return bound.complete;
}

// A VT_I1 array holding the caller's first `size` bytes, the first made
// 0xE1 when the method asks so; null when it cannot be made.
SAFEARRAY* MakeRequest(BufferMethod::RequestStart start, BYTE* buffer, ULONG size) {
  SAFEARRAYBOUND bound = {size, 0};
  ScopedSafeArray request(::SafeArrayCreate(VT_I1, 1, &bound));
  if (!request) return nullptr;
  if (start == BufferMethod::RequestStart::kE1) buffer[0] = 0xE1;
  {
    const SafeArrayByteLock bytes(request.Get());
    if (!bytes) return nullptr;
    if (size != 0) std::memcpy(bytes.Data(), buffer, size);
  }
  return request.Release();
}

}  // namespace

int ExchangeBuffer(const BufferMethod& method, BYTE* buffer, ULONG* length) {
  Microsoft::WRL::ComPtr<IDispatch> server;
  if (!CreateAcpiServer(server)) return 0;

  const ULONG entryLength = *length;
  SAFEARRAY* request = MakeRequest(method.start, buffer, entryLength);
  if (request == nullptr) return 0;

  // The holder owns whatever array it holds after the call, the request or
  // the server's replacement.
  ScopedVariant holder;
  VARIANT* sent = holder.Receive();
  sent->vt = VT_ARRAY | VT_I1;
  sent->parray = request;

  const HRESULT called = InvokeBufferMethod(method, server.Get(), holder.Get(), length);
  const bool complete = CopyReplyBack(holder.Value(), entryLength, buffer, length);
  server.Reset();
  const HRESULT cleared = holder.Clear();
  return SUCCEEDED(called) && complete && SUCCEEDED(cleared) ? 1 : 0;
}
