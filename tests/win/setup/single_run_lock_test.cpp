#include "setup/run_guards.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/unique_handle.h"

namespace {

constexpr char kMutexName[] = "Global\\Korven.Ventaro.Setup";

TEST(SingleRunLock, WaitsForTheRunBeforeIt) {
  ScopedHandle other(::CreateMutexA(nullptr, TRUE, kMutexName));  // another run holds it
  ASSERT_TRUE(other.IsValid());
  ScopedHandle entered(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> acquired{false};
  std::thread second([&acquired, event = entered.Get()] {
    SingleRunLock lock;
    acquired = lock.Held();
    ::SetEvent(event);
  });
  // The second run stays blocked while the first holds the lock.
  EXPECT_EQ(::WaitForSingleObject(entered.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(acquired);
  ::ReleaseMutex(other.Get());
  second.join();
  EXPECT_TRUE(acquired);
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
  ScopedHandle next(::OpenMutexA(SYNCHRONIZE, FALSE, kMutexName));
  ASSERT_TRUE(next.IsValid());
  EXPECT_EQ(::WaitForSingleObject(next.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ::ReleaseMutex(next.Get());
}

}  // namespace
