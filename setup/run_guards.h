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
//
// The lock is a mutex in a private namespace whose boundary holds the
// Administrators group: an ordinary user can neither create that namespace
// nor open it, so cannot take the lock first and make every later run wait
// forever. Where the platform has no private namespaces (Wine has not all
// of their functions), the mutex has a global name, which anyone could take
// first. The namespace functions are looked up, not imported, so that
// setup.exe still starts there.
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
  HANDLE namespace_ = nullptr;  // closed after the mutex in it
  BOOLEAN(WINAPI* closeNamespace_)(HANDLE, ULONG) = nullptr;
  ScopedHandle mutex_;
  bool held_ = false;
};
