#include "base/path_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

TEST(WithTrailingBackslash, AppendsOneBackslashOnlyWhereMissing) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"A\\B", "A\\B\\"},     {"A\\B\\", "A\\B\\"}, {"", ""},
      {"Korven", "Korven\\"}, {"\\", "\\"},         {"A\\B\\\\", "A\\B\\\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithTrailingBackslash(c.path), c.expected) << "for " << c.path;
}

struct SplitCase {
  std::string fullPath;
  std::string directory;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << '"' << c.fullPath << '"'; }

class ModuleDirectoryOfTest : public testing::TestWithParam<SplitCase> {};

TEST_P(ModuleDirectoryOfTest, KeepsTheFolderWithItsTrailingSeparator) {
  EXPECT_EQ(ModuleDirectoryOf(GetParam().fullPath), GetParam().directory) << "for " << GetParam().fullPath;
}

INSTANTIATE_TEST_SUITE_P(Paths, ModuleDirectoryOfTest,
                         testing::Values(SplitCase{"C:\\Program Files\\Tools\\setup.exe", "C:\\Program Files\\Tools\\"},
                                         SplitCase{"C:\\setup.exe", "C:\\"},
                                         SplitCase{"\\\\server\\share\\setup.exe", "\\\\server\\share\\"},
                                         // The last backslash counts, a colon after it does not.
                                         SplitCase{"C:\\a\\b:c\\setup.exe", "C:\\a\\b:c\\"},
                                         SplitCase{"C:\\a\\stream:x", "C:\\a\\"},
                                         // No backslash: up to the first colon.
                                         SplitCase{"C:setup.exe", "C:"}, SplitCase{"C:a:b", "C:"},
                                         // Neither: nothing.
                                         SplitCase{"setup.exe", ""}, SplitCase{"", ""}));

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
