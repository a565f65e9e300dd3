#include "tools/acpi-probe/concurrent_calls.h"

#include <objbase.h>

#include "base/unique_handle.h"

namespace {

struct Worker {
  const LoadedExports* exports;
  const ProbeOptions* options;
  HANDLE start;
  std::vector<CallOutcome> outcomes;
};

DWORD WINAPI RunWorker(void* parameter) {
  auto* worker = static_cast<Worker*>(parameter);
  const HRESULT com = ::CoInitialize(nullptr);
  ::WaitForSingleObject(worker->start, INFINITE);
  for (std::uint32_t i = 0; i < worker->options->repeat; ++i) {
    worker->outcomes.push_back(CallExport(*worker->exports, *worker->options));
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

}  // namespace

std::vector<CallOutcome> CallConcurrently(const LoadedExports& exports, const ProbeOptions& options) {
  ScopedHandle start(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!start) return {};
  std::vector<Worker> workers(options.threads, Worker{&exports, &options, start.Get(), {}});
  std::vector<ScopedHandle> threads;
  std::vector<HANDLE> waitable;
  for (Worker& worker : workers) {
    ScopedHandle thread(::CreateThread(nullptr, 0, RunWorker, &worker, 0, nullptr));
    if (thread) waitable.push_back(thread.Get());
    threads.push_back(std::move(thread));
  }
  ::SetEvent(start.Get());
  if (!waitable.empty()) {
    ::WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), TRUE, INFINITE);
  }
  if (waitable.size() != workers.size()) return {};

  std::vector<CallOutcome> outcomes;
  for (Worker& worker : workers) {
    outcomes.insert(outcomes.end(), worker.outcomes.begin(), worker.outcomes.end());
  }
  return outcomes;
}
