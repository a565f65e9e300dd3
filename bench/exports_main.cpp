// bench-exports METHOD WARMUP CALLS SETUP_EXE
//
// Calls one ACPI method in turns through two clients, CALLS times each
// after WARMUP untimed calls, and prints the median time of one call of
// each in seconds ("bridge median S", "bare median S"):
//   bridge  the export of SETUP_EXE, loaded as another program loads it
//           (LoadLibraryA, GetProcAddress);
//   bare    only what every call needs (BareItemCall, BareBufferCall).
// Taking turns, both see the same load of the machine. METHOD is get-item
// (item 5) or get-item-buffer (item 1, argument 2, a 1 KiB buffer). Exit
// code 0 when every call succeeded.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <objbase.h>

#include "bench/bare_call.h"
#include "bench/bench_clock.h"

namespace {

using GetItemFunction = int(WINAPI*)(ULONG, ULONG*);
using GetItemBufferFunction = int(WINAPI*)(ULONG, ULONG, BYTE*, ULONG*);

#if defined(_WIN64)
constexpr char kGetItem[] = "AcpiGetItem";
constexpr char kGetItemBuffer[] = "AcpiGetItemBuffer";
#else
constexpr char kGetItem[] = "_AcpiGetItem@8";
constexpr char kGetItemBuffer[] = "_AcpiGetItemBuffer@16";
#endif

constexpr ULONG kBufferSize = 1024;

// When the running call started (GetTickCount64), 0 between calls.
std::atomic<ULONGLONG> g_callStarted{0};

// Wine's COM has been seen to hang in a call now and then: a call that
// takes a minute ends the client with exit code 3 instead of hanging the
// benchmark.
void WatchCalls() {
  for (;;) {
    ::Sleep(1000);
    const ULONGLONG started = g_callStarted.load();
    if (started != 0 && ::GetTickCount64() - started > 60000) {
      std::fputs("bench-exports: a call did not return within a minute\n", stderr);
      std::fflush(stderr);
      ::ExitProcess(3);
    }
  }
}

struct Methods {
  GetItemFunction getItem = nullptr;
  GetItemBufferFunction getItemBuffer = nullptr;
};

// One call; S_OK or what failed (E_FAIL for an export that answered 0).
HRESULT Call(const Methods* bridge, bool buffer) {
  if (!buffer) {
    ULONG value = 0;
    if (bridge != nullptr) return bridge->getItem(5, &value) == 1 ? S_OK : E_FAIL;
    return BareItemCall(L"iAcpiGetItem", 5, &value);
  }
  BYTE data[kBufferSize];
  std::memset(data, 0xa5, sizeof data);
  ULONG length = kBufferSize;
  if (bridge != nullptr) return bridge->getItemBuffer(1, 2, data, &length) == 1 ? S_OK : E_FAIL;
  const ULONG leading[2] = {1, 2};
  return BareBufferCall(L"iAcpiGetItemBuffer", leading, 2, data, &length);
}

// Times one call into times; false when it failed.
bool Timed(const Methods* bridge, bool buffer, std::vector<double>* times) {
  g_callStarted = ::GetTickCount64();
  const double start = SecondsNow();
  const HRESULT hr = Call(bridge, buffer);
  const double elapsed = SecondsNow() - start;
  g_callStarted = 0;
  if (FAILED(hr)) {
    std::fprintf(stderr, "bench-exports: a %s call failed: 0x%08lx\n", bridge ? "bridge" : "bare",
                 static_cast<unsigned long>(hr));
    return false;
  }
  if (times != nullptr) times->push_back(elapsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool buffer = std::strcmp(argv[1], "get-item-buffer") == 0;
  const int warmup = std::atoi(argv[2]);
  const int calls = std::atoi(argv[3]);
  if ((!buffer && std::strcmp(argv[1], "get-item") != 0) || calls < 1) return 2;

  if (FAILED(::CoInitialize(nullptr))) return 1;
  HMODULE setup = ::LoadLibraryA(argv[4]);
  if (setup == nullptr) {
    std::fprintf(stderr, "bench-exports: cannot load %s: %lu\n", argv[4], ::GetLastError());
    return 1;
  }
  Methods bridge;
  // Through void*: FARPROC's own type says nothing of the arguments.
  bridge.getItem = reinterpret_cast<GetItemFunction>(reinterpret_cast<void*>(::GetProcAddress(setup, kGetItem)));
  bridge.getItemBuffer =
      reinterpret_cast<GetItemBufferFunction>(reinterpret_cast<void*>(::GetProcAddress(setup, kGetItemBuffer)));
  if (bridge.getItem == nullptr || bridge.getItemBuffer == nullptr) return 1;

  std::thread(WatchCalls).detach();
  std::vector<double> bridgeTimes, bareTimes;
  for (int i = 0; i < warmup + calls; ++i) {
    const bool timed = i >= warmup;
    if (!Timed(&bridge, buffer, timed ? &bridgeTimes : nullptr) ||
        !Timed(nullptr, buffer, timed ? &bareTimes : nullptr)) {
      return 1;
    }
  }
  std::printf("bridge median %.6f\nbare median %.6f\n", Median(bridgeTimes), Median(bareTimes));
  // The module stays loaded to the end, as a client's usually does.
  ::CoUninitialize();
  return 0;
}
