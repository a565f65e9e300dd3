#pragma once

#include "base/win.h"

#include <oaidl.h>
#include <wrl/client.h>

// A new object of the ACPI automation server ("tavriCom.axdata", local
// server only), for one call. False, with `server` left empty, when the
// ProgID is not registered or the object cannot be created.
bool CreateAcpiServer(Microsoft::WRL::ComPtr<IDispatch>& server);
