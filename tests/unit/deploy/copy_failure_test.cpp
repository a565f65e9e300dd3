#include "deploy/copy_failure.h"

#include <gtest/gtest.h>

namespace {

TEST(ClassifyCopyFailure, RetriesAccessDeniedPassesOverDestinationsInUseWaitsForHeldSourcesAndFailsOtherwise) {
  const struct {
    std::uint32_t error;
    bool sourceReadable;
    CopyFailure action;
  } cases[] = {
      {5, true, CopyFailure::kResetAndRetry},    // ERROR_ACCESS_DENIED
      {5, false, CopyFailure::kResetAndRetry},   // the second copy decides
      {32, true, CopyFailure::kPassOver},        // ERROR_SHARING_VIOLATION at the destination
      {33, true, CopyFailure::kPassOver},        // ERROR_LOCK_VIOLATION at the destination
      {32, false, CopyFailure::kWaitForSource},  // the source held without sharing
      {33, false, CopyFailure::kWaitForSource},
      {2, true, CopyFailure::kFail},    // ERROR_FILE_NOT_FOUND
      {2, false, CopyFailure::kFail},   // the source gone meanwhile
      {3, true, CopyFailure::kFail},    // ERROR_PATH_NOT_FOUND: no target folder
      {112, true, CopyFailure::kFail},  // ERROR_DISK_FULL
      {39, true, CopyFailure::kFail},   // ERROR_HANDLE_DISK_FULL
      {0, true, CopyFailure::kFail},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyCopyFailure(c.error, c.sourceReadable), c.action)
        << c.error << (c.sourceReadable ? ", source readable" : ", source held");
  }
}

}  // namespace
