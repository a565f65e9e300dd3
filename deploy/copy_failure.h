#pragma once

#include <cstdint>

// What CopyData does when copying one file fails with the given error code.
enum class CopyFailure {
  kResetAndRetry,  // access denied: a read-only destination; reset it, copy once more
  kPassOver,       // the destination is in use by another program: keep it, go on
  kFail,           // anything else (no target folder, disk full, ...): the copy failed
};

CopyFailure ClassifyCopyFailure(std::uint32_t error);
