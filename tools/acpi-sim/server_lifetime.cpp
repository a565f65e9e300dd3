#include "tools/acpi-sim/server_lifetime.h"

void ServerLifetime::Lock() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++holds_;
  ++changes_;
  used_ = true;
  changed_.notify_all();
}

void ServerLifetime::Unlock() {
  std::lock_guard<std::mutex> lock(mutex_);
  --holds_;
  ++changes_;
  changed_.notify_all();
}

void ServerLifetime::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  ++changes_;
  changed_.notify_all();
}

void ServerLifetime::WaitUntilIdle(std::chrono::milliseconds unused, std::chrono::milliseconds linger) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (stopped_) return;
    if (holds_ > 0) {
      changed_.wait(lock, [this] { return holds_ == 0 || stopped_; });
      continue;
    }
    // Nothing holds the server now: it ends unless it is taken again in
    // time. Any Lock or Unlock meanwhile starts the wait afresh.
    if (used_ && linger.count() == 0) return;
    unsigned long before = changes_;
    if (!changed_.wait_for(lock, used_ ? linger : unused, [this, before] { return changes_ != before; })) return;
  }
}

void ServerLifetime::WaitUntilReleased() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return holds_ == 0; });
}
