#pragma once

// The server process as COM runs it: started with -Embedding, it offers its
// class object, lives while anybody holds one of its objects, and ends.

#include <chrono>
#include <condition_variable>
#include <mutex>

// Serves the simulator's class to COM, as a local server started with
// -Embedding does: registers the class object, answers, and returns once
// its objects are released (at once as a single-use server; after the
// profile's [Server] Resident milliseconds as a resident one), or when
// nobody came for 20 seconds, or when another copy asks it to stop.
// Returns the process exit code.
int RunServer();

// Asks every other acpi-sim server on the machine to revoke its class object
// and end, and waits for it. A server still running from an earlier
// registration (a resident one, or one waiting for a client that never
// came) would otherwise answer the next activation with its own profile.
void StopOtherServers();

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
