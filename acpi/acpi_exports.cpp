#include "acpi/acpi_exports.h"

#include "acpi/acpi_bridge.h"
#include "acpi/image_readiness.h"

// When another program has loaded this executable, nothing of it may run
// before its image is ready. So each export only makes the image ready and
// then calls its body in another file: both are plain relative calls. The
// C/C++ runtime's start-up never ran for this image then, so what the bodies
// reach logs nothing, initialises no global dynamically and throws nothing.

extern "C" {

int WINAPI AcpiInit() { return MakeImageReady() ? AcpiBridge::Init() : 0; }

int WINAPI AcpiGetItem(ULONG item, ULONG* value) { return MakeImageReady() ? AcpiBridge::GetItem(item, value) : 0; }

int WINAPI AcpiGetItemEx(ULONG item, ULONG argument, ULONG* value) {
  return MakeImageReady() ? AcpiBridge::GetItemEx(item, argument, value) : 0;
}

int WINAPI AcpiSetItem(ULONG item, ULONG second, ULONG third) {
  return MakeImageReady() ? AcpiBridge::SetItem(item, second, third) : 0;
}

int WINAPI AcpiGetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return MakeImageReady() ? AcpiBridge::GetItemBuffer(item, argument, buffer, length) : 0;
}

int WINAPI AcpiSetItemBuffer(ULONG item, ULONG argument, BYTE* buffer, ULONG* length) {
  return MakeImageReady() ? AcpiBridge::SetItemBuffer(item, argument, buffer, length) : 0;
}

int WINAPI AcpiMbif(BYTE* buffer, ULONG* length) { return MakeImageReady() ? AcpiBridge::Mbif(buffer, length) : 0; }

int WINAPI AcpiGGrp(ULONG selector, BYTE* buffer, ULONG* length) {
  return MakeImageReady() ? AcpiBridge::GGrp(selector, buffer, length) : 0;
}

int WINAPI AcpiCallMethod(const ULONG* method, BYTE* buffer, ULONG* length) {
  return MakeImageReady() ? AcpiBridge::CallMethod(method, buffer, length) : 0;
}

}  // extern "C"
