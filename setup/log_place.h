#pragma once

#include <cstdint>

// What a look at one entry on the way to the log file found. Links are not
// followed: a link is seen as itself.
struct FoundEntry {
  enum class State {
    kMissing,  // neither the entry nor, possibly, its parent exists
    kPresent,
    kUnreadable,  // something is there, but it could not be looked at
  };
  State state = State::kMissing;
  bool folder = false;
  bool reparsePoint = false;  // a junction, a symbolic link or another reparse point
  std::uint32_t links = 0;    // the names the entry has (hard links)
};

// Whether the log may be written, and which of its folders to create for it.
struct LogPlace {
  bool usable = false;
  bool createKorven = false;
  bool createVentaro = false;
};

// The folders Korven and Ventaro and the file setup.exe.log, as found. The
// installer runs elevated, so it writes no log where an entry could send
// its writes somewhere else (a reparse point on the way, a file with a
// second name) or is not what it should be. Missing folders are to be
// created.
LogPlace DecideLogPlace(const FoundEntry& korven, const FoundEntry& ventaro, const FoundEntry& file);
