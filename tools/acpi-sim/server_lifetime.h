#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Keeps the server process alive while anybody holds one of its objects
// or a lock on its class, and says when it may end.
class ServerLifetime {
 public:
  ServerLifetime() = default;
  ServerLifetime(const ServerLifetime&) = delete;
  ServerLifetime& operator=(const ServerLifetime&) = delete;

  // An object was created or the class was locked.
  void Lock();
  // An object was destroyed or the class was unlocked.
  void Unlock();

  // Asks WaitUntilIdle to return at once.
  void Stop();

  // Returns once the server has been used and nothing holds it any more
  // for `linger` on end, when nobody used it within `unused`, or on Stop.
  void WaitUntilIdle(std::chrono::milliseconds unused, std::chrono::milliseconds linger);
  // Returns once nothing holds the server.
  void WaitUntilReleased();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long holds_ = 0;
  bool used_ = false;
  bool stopped_ = false;
  unsigned long changes_ = 0;  // every Lock and Unlock counts
};
