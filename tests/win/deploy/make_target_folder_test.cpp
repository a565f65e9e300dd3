#include "deploy/make_target_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "base/win.h"

#include <shlobj.h>

#include "config/module_directory.h"
#include "support/scratch.h"

namespace {

std::string ProgramFiles() {
  char path[MAX_PATH] = {};
  if (::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}

// Writes the setup.ini that the settings are read from (beside this test
// program), and makes its folders under Program Files under a name of its
// own, removing both afterwards.
class MakeTargetFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programFiles_ = ProgramFiles();
    ASSERT_FALSE(programFiles_.empty());
    root_ = test::UniqueName("VentaroSetupTest");
  }
  void TearDown() override {
    ::DeleteFileA(IniPath().c_str());
    test::RemoveTree(programFiles_ + "\\" + root_);
  }

  static std::string IniPath() { return GetModuleDirectory() + "setup.ini"; }
  void WriteIni(const std::string& lines) { test::WriteFileContent(IniPath(), "[Common]\r\n" + lines); }

  std::string programFiles_;
  std::string root_;
};

TEST_F(MakeTargetFolderTest, MakesTheVersionFolderBelowTheInstallPath) {
  const struct {
    const char* installPath;  // below root_
    const char* version;
    const char* folder;  // below root_
  } cases[] = {
      {"\\Tools\\FanService", "1.4.2", "\\Tools\\FanService\\1.4.2\\"},
      {"\\Tools\\FanService\\", "1.4.2", "\\Tools\\FanService\\1.4.2\\"},
      {"\\Tools\\FanService", "", "\\Tools\\FanService\\"},
      {"\\Tools\\Fan Service", "2.0 beta", "\\Tools\\Fan Service\\2.0 beta\\"},
  };
  for (const auto& c : cases) {
    WriteIni("InstallPath=" + root_ + c.installPath + "\r\n");
    const std::string expected = programFiles_ + "\\" + root_ + c.folder;
    EXPECT_EQ(MakeTargetFolder(c.version), expected) << c.installPath << " + " << c.version;
    EXPECT_TRUE(test::FolderExists(expected)) << expected;
    test::RemoveTree(programFiles_ + "\\" + root_);
  }
}

TEST_F(MakeTargetFolderTest, ReusesAnExistingFolderAndLeavesItsContent) {
  WriteIni("InstallPath=" + root_ + "\\FanService\r\n");
  const std::string first = MakeTargetFolder("1.4.2");
  ASSERT_FALSE(first.empty());
  test::WriteFileContent(first + "fansvc.exe", "installed before");

  EXPECT_EQ(MakeTargetFolder("1.4.2"), first);
  EXPECT_EQ(test::ReadFileContent(first + "fansvc.exe"), "installed before");
}

TEST_F(MakeTargetFolderTest, WithoutInstallPathTheVersionFolderIsMadeInProgramFiles) {
  WriteIni("version=1.0\r\n");
  // The version alone names the folder; root_ keeps it apart from others.
  EXPECT_EQ(MakeTargetFolder(root_), programFiles_ + "\\" + root_ + "\\");
  EXPECT_TRUE(test::FolderExists(programFiles_ + "\\" + root_));
}

TEST_F(MakeTargetFolderTest, SubPathTheShellRefusesGivesTheEmptyString) {
  WriteIni("InstallPath=" + root_ + "\\FanService\r\n");
  for (const std::string& version : {std::string("1.4|2"), std::string(300, 'v')}) {
    EXPECT_EQ(MakeTargetFolder(version), "") << version;
  }
}

}  // namespace
