#include "config/with_trailing_backslash.h"

#include <gtest/gtest.h>

namespace {

TEST(WithTrailingBackslash, AppendsOneBackslashOnlyWhereMissing) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"A\\B", "A\\B\\"},
      {"A\\B\\", "A\\B\\"},
      {"", ""},
      {"Korven", "Korven\\"},
      {"\\", "\\"},
      {"A\\B\\\\", "A\\B\\\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithTrailingBackslash(c.path), c.expected) << "for " << c.path;
}

}  // namespace
