#pragma once

#include <cstdint>

// What CopyData does when copying one file fails with the given error code.
enum class CopyFailure {
  kResetAndRetry,  // access denied: a read-only destination; reset it, copy once more
  kPassOver,       // the destination is in use by another program: keep it, go on
  kWaitForSource,  // the source is held by another program (a virus scanner, an editor): wait, copy again
  kFail,           // anything else (no target folder, disk full, ...): the copy failed
};

// `sourceReadable`: whether the source could be opened for reading with the
// sharing a copy needs. A file in use is told apart by that, not by the
// error code, which is the same whichever end is held.
CopyFailure ClassifyCopyFailure(std::uint32_t error, bool sourceReadable);
