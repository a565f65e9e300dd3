#pragma once

#include "base/unique_handle.h"

// One installer run at a time on the machine: a second setup.exe started
// meanwhile waits for the first to end, then decides for itself from what
// the first left behind. Held from construction to destruction.
class SingleRunLock {
 public:
  SingleRunLock();
  ~SingleRunLock();
  SingleRunLock(const SingleRunLock&) = delete;
  SingleRunLock& operator=(const SingleRunLock&) = delete;

  // False when the lock could not be had at all; the run then goes on
  // without it.
  bool Held() const { return held_; }

 private:
  ScopedHandle mutex_;
  bool held_ = false;
};
