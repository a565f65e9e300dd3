#include "service/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandBufferSize, HoldsTheLineAndItsTerminatorAndNeverFallsBelow520) {
  const struct {
    std::size_t length;
    std::size_t size;
  } cases[] = {
      {0, 520}, {100, 520}, {518, 520}, {519, 520}, {520, 521}, {521, 522}, {4000, 4001},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandBufferSize(c.length), c.size) << c.length;
    EXPECT_GT(CommandBufferSize(c.length), c.length) << "no room for the terminator at " << c.length;
  }
}

}  // namespace
