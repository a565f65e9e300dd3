#pragma once

#include <cstdint>

// How many reply bytes a buffer export may copy back into its caller's
// buffer, and whether that is the whole reply the server announced.
struct CopyBack {
  std::uint32_t bytes = 0;
  bool complete = false;
};

// The server's reply is trusted only as far as both the caller's buffer
// (its length on entry) and the array now in the holder reach. Without a
// one-dimensional byte array in the holder nothing is copied.
CopyBack CopyBackBound(std::uint32_t returnedLength, std::uint32_t entryLength, bool holdsByteArray,
                       std::uint32_t arrayElements);
