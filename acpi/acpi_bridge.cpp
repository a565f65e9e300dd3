// On the export path: no logging, no globals with dynamic initialisation,
// nothing that throws, nothing from the C runtime that needs its start-up
// (see image_readiness.cpp). Checked on the objects by the static tests.
#include "acpi/acpi_bridge.h"

#include <wrl/client.h>

#include "acpi/acpi_automation.h"
#include "acpi/buffer_exchange.h"
#include "base/scoped_variant.h"

namespace AcpiBridge {

namespace {

// A value method: one server object, one call; whatever the server stored
// through a by-reference argument is already in the caller's variable.
template <typename... Arguments>
int CallValueMethod(const wchar_t* methodName, Arguments... arguments) {
  Microsoft::WRL::ComPtr<IDispatch> server;
  if (!CreateAcpiServer(server)) return 0;
  ScopedVariant result;
  const HRESULT hr = AcpiAutomation::AutoInvoke(DISPATCH_METHOD, result.Get(), server.Get(), methodName, arguments...);
  server.Reset();
  return SUCCEEDED(hr) ? 1 : 0;
}

}  // namespace

using AcpiAutomation::Ui4;
using AcpiAutomation::Ui4Ref;

int Init() { return CallValueMethod(L"iAcpiInit"); }

int GetItem(ULONG item, ULONG* value) { return CallValueMethod(L"iAcpiGetItem", Ui4(item), Ui4Ref(value)); }

int GetItemEx(ULONG item, ULONG argument, ULONG* value) {
  return CallValueMethod(L"iAcpiGetItemEx", Ui4(item), Ui4(argument), Ui4Ref(value));
}

int SetItem(ULONG item, ULONG second, ULONG third) {
  return CallValueMethod(L"iAcpiSetItem", Ui4(item), Ui4(second), Ui4(third));
}

int GetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(ItemArgumentMethod(L"iAcpiGetItemBuffer", item, argument), buffer, length);
}

int SetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(ItemArgumentMethod(L"iAcpiSetItemBuffer", item, argument), buffer, length);
}

int Mbif(BYTE* buffer, ULONG* length) { return ExchangeBuffer(MbifMethod(L"iAcpiMbif"), buffer, length); }

// The request of "iAcpiGGrp" always starts with 0xE1.
int GGrp(ULONG selector, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(SelectorMethod(L"iAcpiGGrp", selector, BufferMethod::RequestStart::kE1), buffer, length);
}

// The server takes the method's 32-bit value, not the caller's pointer.
int CallMethod(const ULONG* method, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(SelectorMethod(L"iAcpiCallMethod", *method, BufferMethod::RequestStart::kAsGiven), buffer,
                        length);
}

}  // namespace AcpiBridge
