#include "setup/run_guards.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr char kMutexName[] = "Global\\Korven.Ventaro.Setup";

TEST(SingleRunLock, WaitsForTheRunBeforeIt) {
  HANDLE other = ::CreateMutexA(nullptr, TRUE, kMutexName);  // another run holds it
  ASSERT_NE(other, nullptr);
  HANDLE entered = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> acquired{false};
  std::thread second([&acquired, entered] {
    SingleRunLock lock;
    acquired = lock.Held();
    ::SetEvent(entered);
  });
  // The second run stays blocked while the first holds the lock.
  EXPECT_EQ(::WaitForSingleObject(entered, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(acquired);
  ::ReleaseMutex(other);
  second.join();
  EXPECT_TRUE(acquired);
  ::CloseHandle(other);
  ::CloseHandle(entered);
}

TEST(SingleRunLock, ALockLeftByARunThatDiedIsTaken) {
  // A thread that ends holding the mutex abandons it, as a killed run does.
  std::thread died([] { ::CreateMutexA(nullptr, TRUE, kMutexName); });
  died.join();
  {
    SingleRunLock lock;
    EXPECT_TRUE(lock.Held());
  }
  // And it is let go again: the next run gets it at once.
  HANDLE next = ::OpenMutexA(SYNCHRONIZE, FALSE, kMutexName);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(::WaitForSingleObject(next, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ::ReleaseMutex(next);
  ::CloseHandle(next);
}

}  // namespace
