#include "deploy/copy_failure.h"

#include <gtest/gtest.h>

namespace {

TEST(ClassifyCopyFailure, RetriesAccessDeniedPassesOverFilesInUseAndFailsOnAnythingElse) {
  const struct {
    std::uint32_t error;
    CopyFailure action;
  } cases[] = {
      {5, CopyFailure::kResetAndRetry},  // ERROR_ACCESS_DENIED
      {32, CopyFailure::kPassOver},      // ERROR_SHARING_VIOLATION
      {33, CopyFailure::kPassOver},      // ERROR_LOCK_VIOLATION
      {2, CopyFailure::kFail},           // ERROR_FILE_NOT_FOUND
      {3, CopyFailure::kFail},           // ERROR_PATH_NOT_FOUND: no target folder
      {112, CopyFailure::kFail},         // ERROR_DISK_FULL
      {39, CopyFailure::kFail},          // ERROR_HANDLE_DISK_FULL
      {0, CopyFailure::kFail},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyCopyFailure(c.error), c.action) << c.error;
}

}  // namespace
