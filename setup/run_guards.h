#pragma once

#include "base/unique_handle.h"

// What main() sets up around the run so that an elevated installer started
// from anywhere, any number of times, stays safe.

// Makes every DLL that is loaded on demand from now on (by the shell, COM,
// a message box) come from the system folder only, never from the folder
// setup.exe was started from: that is often a downloads folder that any
// user can write to, and setup.exe runs elevated.
void RestrictDllSearch();

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
