#include "deploy/strip_trailing_backslashes.h"

#include <gtest/gtest.h>

namespace {

TEST(StripTrailingBackslashes, RemovesEveryBackslashAtTheEndOnly) {
  const struct {
    const char* folder;
    const char* stripped;
  } cases[] = {
      {"C:\\Setup", "C:\\Setup"},
      {"C:\\Setup\\", "C:\\Setup"},
      {"C:\\Setup\\\\\\", "C:\\Setup"},
      {"\\\\server\\share\\", "\\\\server\\share"},
      {"C:\\", "C:"},
      {"\\\\\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StripTrailingBackslashes(c.folder), c.stripped) << c.folder;
}

}  // namespace
