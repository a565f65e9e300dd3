#include "setup/single_run_lock.h"

namespace {

// Global: runs in other sessions (a deployment tool's, a user's) count too.
constexpr char kMutexName[] = "Global\\Korven.Ventaro.Setup";

}  // namespace

SingleRunLock::SingleRunLock() : mutex_(::CreateMutexA(nullptr, FALSE, kMutexName)) {
  if (!mutex_) return;
  const DWORD waited = ::WaitForSingleObject(mutex_.Get(), INFINITE);
  // A run that died holding the lock leaves it abandoned: ours now.
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

SingleRunLock::~SingleRunLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
}
