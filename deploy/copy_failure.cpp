#include "deploy/copy_failure.h"

namespace {
// Win32 error codes, spelled out so that this stays free of <windows.h>.
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
}  // namespace

CopyFailure ClassifyCopyFailure(std::uint32_t error, bool sourceReadable) {
  switch (error) {
    case kErrorAccessDenied: return CopyFailure::kResetAndRetry;
    case kErrorSharingViolation:
    case kErrorLockViolation: return sourceReadable ? CopyFailure::kPassOver : CopyFailure::kWaitForSource;
    default: return CopyFailure::kFail;
  }
}
