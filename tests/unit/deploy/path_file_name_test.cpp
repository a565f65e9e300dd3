#include "deploy/path_file_name.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
  const char* path;
  const char* name;
};

TEST(PathFileName, TakesWhatFollowsTheLastBackslashOrColon) {
  const PathCase cases[] = {
      {"C:\\Setup\\fansvc.exe", "fansvc.exe"},
      {"C:\\Setup\\sub\\a.dll", "a.dll"},
      {"C:setup.ini", "setup.ini"},
      {"C:\\Setup\\name:stream", "stream"},  // a colon after the last backslash wins
      {"dir:sub\\file.txt", "file.txt"},     // a backslash after the last colon wins
      {"\\a", "a"},
      {"C:\\Setup\\.hidden", ".hidden"},
      {"C:\\Setup\\name with blanks.txt", "name with blanks.txt"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
}

TEST(PathFileName, IsEmptyWithoutSeparatorOrWhenOneEndsThePath) {
  for (const char* path : {"", "file.txt", "C:\\Setup\\", "C:", "\\", "C:\\Setup\\\\"}) {
    EXPECT_EQ(PathFileName(path), "") << path;
  }
}

}  // namespace
