#include "tools/acpi-probe/soak.h"

#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/unique_handle.h"
#include "tools/acpi-probe/export_call.h"
#include "tools/acpi-probe/probe_options.h"

namespace {

constexpr std::uint32_t kSizes[] = {0, 1, 16, 4096};
constexpr std::uint32_t kMemorySampleAfter = 500;
// Rounds of every call from every thread before the soak proper.
constexpr std::uint32_t kWarmUpRounds = 10;

// One call of the round: an export with its arguments and buffer.
struct SoakCall {
  std::unique_ptr<LoadedExports> exports;
  ProbeOptions options;
  CallOutcome alone;  // what it answers when nothing else runs
  std::string description;
};

std::vector<std::uint32_t> ValuesFor(const std::string& command) {
  if (command == "get-item") return {5};
  if (command == "get-item-ex") return {5, 9};
  if (command == "set-item") return {5, 1, 2};
  if (command == "get-item-buffer" || command == "set-item-buffer") return {1, 2};
  if (command == "ggrp") return {3};
  if (command == "call-method") return {7};
  return {};
}

bool BuildCalls(const std::string& module, std::vector<SoakCall>* calls) {
  for (const char* name : {"init", "get-item", "get-item-ex", "set-item", "get-item-buffer", "set-item-buffer", "mbif",
                           "ggrp", "call-method"}) {
    const ProbeCommand* command = FindProbeCommand(name);
    for (std::uint32_t size : kSizes) {
      SoakCall call;
      call.options.module = module;
      call.options.command = command;
      call.options.values = ValuesFor(name);
      call.description = name;
      if (command->buffer) {
        if (command->exportName != std::string("AcpiMbif")) {
          for (std::uint32_t i = 0; i < size; ++i) call.options.request.push_back(static_cast<std::uint8_t>(i * 7));
        }
        call.options.length = size;
        call.options.size = size;
        call.description += " with " + std::to_string(size) + " bytes";
      }
      call.exports = std::make_unique<LoadedExports>();
      std::string error;
      if (!call.exports->Load(module, *command, &error)) {
        std::fprintf(stderr, "acpi-probe: %s\n", error.c_str());
        return false;
      }
      calls->push_back(std::move(call));
      if (!command->buffer) break;  // one call is enough without a buffer
    }
  }
  return true;
}

// The threads of a round share its calls: each takes the next until the
// round's count is reached.
struct SoakState {
  const std::vector<SoakCall>* calls;
  std::uint32_t count = 0;  // calls in the round, from all threads
  HANDLE start = nullptr;
  std::atomic<std::uint32_t> taken{0};
  std::atomic<std::uint32_t> wrong{0};
  std::atomic<int> firstWrong{-1};
};

// The committed private memory of this process, summed over its address
// space (what GetProcessMemoryInfo calls PrivateUsage, which Wine leaves 0).
std::size_t PrivateBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;  // wrapped round
  }
  return total;
}

// The bytes of every heap block in use, over all heaps of the process: what
// a leak adds to. The committed memory above grows in steps of megabytes as
// the heap extends itself, until it settles at a point that differs from run
// to run (measured under Wine: 54.4 then 58.6 MB, flat from then on), so it
// is reported but tells a leak from a step only over many more calls.
std::size_t HeapBytesInUse() {
  std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  std::size_t total = 0;
  for (HANDLE heap : heaps) {
    if (!::HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    }
    ::HeapUnlock(heap);
  }
  return total;
}

std::uintptr_t FreshHandleValue() {
  ScopedHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return reinterpret_cast<std::uintptr_t>(event.Get());
}

DWORD WINAPI SoakWorker(void* parameter) {
  auto* state = static_cast<SoakState*>(parameter);
  const HRESULT com = ::CoInitialize(nullptr);
  ::WaitForSingleObject(state->start, INFINITE);
  const std::size_t kinds = state->calls->size();
  for (std::uint32_t i = 0; state->taken++ < state->count; ++i) {
    const std::size_t which = i % kinds;
    const SoakCall& call = (*state->calls)[which];
    if (!(CallExport(*call.exports, call.options) == call.alone)) {
      ++state->wrong;
      int none = -1;
      state->firstWrong.compare_exchange_strong(none, static_cast<int>(which));
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

// Calls from `threads` threads at once, `repeat` calls each; false when the
// threads could not be started.
bool RunRound(SoakState* state, std::uint32_t threads) {
  ScopedHandle start(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  state->start = start.Get();
  std::vector<ScopedHandle> workers;
  bool started = true;
  for (std::uint32_t i = 0; i < threads && started; ++i) {
    workers.emplace_back(::CreateThread(nullptr, 0, SoakWorker, state, 0, nullptr));
    started = workers.back().IsValid();
  }
  ::SetEvent(start.Get());
  for (ScopedHandle& worker : workers) {
    if (worker) ::WaitForSingleObject(worker.Get(), INFINITE);
  }
  return started;
}

}  // namespace

int RunSoak(const std::string& module, std::uint32_t threads, std::uint32_t repeat) {
  std::vector<SoakCall> calls;
  if (!BuildCalls(module, &calls)) return 2;
  for (SoakCall& call : calls) call.alone = CallExport(*call.exports, call.options);
  // First rounds of every call from every thread: the platform keeps
  // per-process state for concurrent COM clients (handles among it) from
  // the first such round on, and Wine's heap grows in 4 MiB steps until it
  // has settled; neither is a leak of the exports. Then the first 500
  // calls, then the rest.
  // The memory is read between rounds, all threads gone, so that both
  // readings see the process in the same state.
  const std::uint32_t total = threads * repeat;
  const std::uint32_t first = total < kMemorySampleAfter ? total : kMemorySampleAfter;
  SoakState rounds[3];
  const std::uint32_t warmUp = threads * static_cast<std::uint32_t>(calls.size()) * kWarmUpRounds;
  const std::uint32_t counts[3] = {warmUp, first, total - first};
  std::uintptr_t handleBefore = 0;
  std::size_t privateEarly = 0, heapEarly = 0;
  std::uint32_t wrong = 0;
  int firstWrong = -1;
  for (int r = 0; r < 3; ++r) {
    rounds[r].calls = &calls;
    rounds[r].count = counts[r];
    if (!RunRound(&rounds[r], threads)) {
      std::fprintf(stderr, "acpi-probe: the threads could not be started\n");
      return 2;
    }
    wrong += rounds[r].wrong;
    if (firstWrong < 0) firstWrong = rounds[r].firstWrong;
    if (r == 0) handleBefore = FreshHandleValue();
    if (r == 1) {
      privateEarly = PrivateBytes();
      heapEarly = HeapBytesInUse();
    }
  }

  std::printf("soak calls: %u (%u threads x %u, %u kinds of call)\n", total, threads, repeat,
              static_cast<unsigned>(calls.size()));
  std::printf("soak wrong: %u\n", wrong);
  if (firstWrong >= 0) std::printf("first wrong: %s\n", calls[firstWrong].description.c_str());
  std::printf("fresh handle before: %llu\n", static_cast<unsigned long long>(handleBefore));
  std::printf("fresh handle after: %llu\n", static_cast<unsigned long long>(FreshHandleValue()));
  std::printf("private bytes after %u calls: %llu\n", first, static_cast<unsigned long long>(privateEarly));
  std::printf("private bytes at the end: %llu\n", static_cast<unsigned long long>(PrivateBytes()));
  std::printf("heap bytes in use after %u calls: %llu\n", first, static_cast<unsigned long long>(heapEarly));
  std::printf("heap bytes in use at the end: %llu\n", static_cast<unsigned long long>(HeapBytesInUse()));
  return wrong == 0 ? 0 : 1;
}
