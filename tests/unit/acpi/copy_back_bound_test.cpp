#include "acpi/copy_back_bound.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace {

struct BoundCase {
  const char* what;
  std::uint32_t returned;
  std::uint32_t entry;
  bool holdsByteArray;
  std::uint32_t elements;
  std::uint32_t bytes;
  bool complete;
};

class CopyBackBoundTest : public ::testing::TestWithParam<BoundCase> {};

TEST_P(CopyBackBoundTest, StaysWithinBufferAndArray) {
  const BoundCase& c = GetParam();
  const CopyBack bound = CopyBackBound(c.returned, c.entry, c.holdsByteArray, c.elements);
  EXPECT_EQ(bound.bytes, c.bytes) << c.what;
  EXPECT_EQ(bound.complete, c.complete) << c.what;
  // Whatever the server claims, the copy never leaves the caller's buffer or the array.
  EXPECT_LE(bound.bytes, c.entry) << c.what;
  if (c.holdsByteArray) EXPECT_LE(bound.bytes, c.elements) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CopyBackBoundTest,
    ::testing::Values(BoundCase{"echo of the request", 16, 16, true, 16, 16, true},
                      BoundCase{"reply shortened to 4", 4, 16, true, 16, 4, true},
                      BoundCase{"empty request and reply", 0, 0, true, 0, 0, true},
                      BoundCase{"array replaced by one of the reply's size", 4, 16, true, 4, 4, true},
                      BoundCase{"length above the request", 20, 16, true, 20, 16, false},
                      BoundCase{"array replaced by a shorter one", 16, 16, true, 4, 4, false},
                      BoundCase{"length above both", 0xffffffffu, 8, true, 0xffffffffu, 8, false},
                      BoundCase{"array shorter than the buffer, length between", 3, 2, true, 1, 1, false},
                      BoundCase{"no array left, length 0", 0, 16, false, 0, 0, false},
                      BoundCase{"no array left, length kept", 16, 16, false, 99, 0, false}));

}  // namespace
