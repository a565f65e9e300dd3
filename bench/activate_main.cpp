// bench-activate: the two server activations of an installation run, bare:
// "iAcpiInit", then "iAcpiMbif" with a 4096-byte request, each on a fresh
// server object. Exit code 0 when both calls succeeded.

#include <objbase.h>

#include "bench/bare_call.h"

int main() {
  if (FAILED(::CoInitialize(nullptr))) return 1;
  BYTE reply[0x1000] = {};
  ULONG length = sizeof reply;
  const bool done =
      SUCCEEDED(BareCall(L"iAcpiInit")) && SUCCEEDED(BareBufferCall(L"iAcpiMbif", nullptr, 0, reply, &length));
  ::CoUninitialize();
  return done ? 0 : 1;
}
