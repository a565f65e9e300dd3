#include "config/module_directory.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct SplitCase {
  std::string fullPath;
  std::string directory;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << '"' << c.fullPath << '"'; }

class ModuleDirectoryOfTest : public testing::TestWithParam<SplitCase> {};

TEST_P(ModuleDirectoryOfTest, KeepsTheFolderWithItsTrailingSeparator) {
  EXPECT_EQ(ModuleDirectoryOf(GetParam().fullPath), GetParam().directory) << "for " << GetParam().fullPath;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ModuleDirectoryOfTest,
    testing::Values(SplitCase{"C:\\Program Files\\Tools\\setup.exe", "C:\\Program Files\\Tools\\"},
                    SplitCase{"C:\\setup.exe", "C:\\"},
                    SplitCase{"\\\\server\\share\\setup.exe", "\\\\server\\share\\"},
                    // The last backslash counts, a colon after it does not.
                    SplitCase{"C:\\a\\b:c\\setup.exe", "C:\\a\\b:c\\"},
                    SplitCase{"C:\\a\\stream:x", "C:\\a\\"},
                    // No backslash: up to the first colon.
                    SplitCase{"C:setup.exe", "C:"},
                    SplitCase{"C:a:b", "C:"},
                    // Neither: nothing.
                    SplitCase{"setup.exe", ""},
                    SplitCase{"", ""}));

}  // namespace
