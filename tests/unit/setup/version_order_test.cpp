#include "setup/version_order.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string installed;
  std::string target;
  int expected;  // sign of CompareVersions(installed, target)
};

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(VersionOrder, InstalledAgainstTarget) {
  const Case cases[] = {
      {"1.2.0.7", "1.2.0.8", -1},  // due at once
      {"", "1.2.0.8", -1},         // nothing installed yet
      {"1.2", "1.2.1", -1},        // shorter with equal bytes sorts first
      {"1.2.0.8", "1.2.0.8", 0},   // equal: the service check decides
      {"1.2.0.9", "1.2.0.10", 1},  // text order: '9' ranks above '1'
      {"1.2.1", "1.2", 1},         // the target is the shorter one
      {"1.2.0.8", "", 1},          // empty target: never due by version
      {"", "", 0},
      {"1.2.\x80", "1.2.0", -1},         // bytes from 0x80 rank below ASCII
      {"1.2.\xff", "1.2.\x01", -1},      // 0xFF is -1 as a signed byte
      {std::string("a\0b", 3), "a", 1},  // an embedded NUL is a byte like any
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("installed \"" + c.installed + "\", target \"" + c.target + "\"");
    EXPECT_EQ(Sign(CompareVersions(c.installed, c.target)), c.expected);
    EXPECT_EQ(Sign(CompareVersions(c.target, c.installed)), -c.expected);
    EXPECT_EQ(VersionSortsBefore(c.installed, c.target), c.expected < 0);
  }
}

}  // namespace
