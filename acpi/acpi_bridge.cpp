#include "acpi/acpi_bridge.h"

#include <wrl/client.h>

#include "acpi/acpi_automation.h"
#include "acpi/acpi_server.h"
#include "acpi/buffer_exchange.h"
#include "acpi/scoped_variant.h"

namespace AcpiBridge {

namespace {

// A value method: one server object, one call; whatever the server stored
// through a by-reference argument is already in the caller's variable.
template <typename... Arguments>
int CallValueMethod(const wchar_t* methodName, Arguments... arguments) {
  Microsoft::WRL::ComPtr<IDispatch> server;
  if (!CreateAcpiServer(server)) return 0;
  ScopedVariant result;
  const HRESULT hr = AcpiAutomation::AutoInvoke(DISPATCH_METHOD, result.Get(), server.Get(),
                                                methodName, arguments...);
  server.Reset();
  return SUCCEEDED(hr) ? 1 : 0;
}

}  // namespace

using AcpiAutomation::Ui4;
using AcpiAutomation::Ui4Ref;

int Init() { return CallValueMethod(L"iAcpiInit"); }

int GetItem(ULONG item, ULONG* value) {
  return CallValueMethod(L"iAcpiGetItem", Ui4(item), Ui4Ref(value));
}

int GetItemEx(ULONG item, ULONG argument, ULONG* value) {
  return CallValueMethod(L"iAcpiGetItemEx", Ui4(item), Ui4(argument), Ui4Ref(value));
}

int SetItem(ULONG item, ULONG second, ULONG third) {
  return CallValueMethod(L"iAcpiSetItem", Ui4(item), Ui4(second), Ui4(third));
}

int GetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(BufferMethod::kItemArgument, L"iAcpiGetItemBuffer", item, argument, false,
                        buffer, length);
}

int SetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(BufferMethod::kItemArgument, L"iAcpiSetItemBuffer", item, argument, false,
                        buffer, length);
}

int Mbif(BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(BufferMethod::kMbif, L"iAcpiMbif", 0, 0, false, buffer, length);
}

// The request of "iAcpiGGrp" always starts with 0xE1.
int GGrp(ULONG selector, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(BufferMethod::kSelector, L"iAcpiGGrp", selector, 0, true, buffer, length);
}

// The server takes the method's 32-bit value, not the caller's pointer.
int CallMethod(const ULONG* method, BYTE* buffer, ULONG* length) {
  return ExchangeBuffer(BufferMethod::kSelector, L"iAcpiCallMethod", *method, 0, false, buffer,
                        length);
}

}  // namespace AcpiBridge
