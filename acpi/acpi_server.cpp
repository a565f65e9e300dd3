#include "acpi/acpi_server.h"

#include <objbase.h>

bool CreateAcpiServer(Microsoft::WRL::ComPtr<IDispatch>& server) {
  server.Reset();
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid))) return false;
  return SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(server.GetAddressOf())));
}
