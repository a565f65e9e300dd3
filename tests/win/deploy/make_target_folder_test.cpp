#include "deploy/make_target_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "base/win.h"

#include <shlobj.h>

#include "config/setting_rules.h"
#include "config/setup_settings.h"
#include "support/import_patch.h"
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
  // Every name and the sub-path (255 characters) fit, the absolute path does
  // not. The earlier inputs here, "1.4|2" and a 300-character version, are
  // refused before the shell is asked now (see the next test).
  const std::string version = "1.0";
  const std::string installPath = root_ + "\\" + std::string(253 - root_.size() - version.size(), 'p') + "\\";
  ASSERT_TRUE(IsSafeTargetSubPath(installPath, version));
  WriteIni("InstallPath=" + installPath + "\r\n");
  EXPECT_EQ(MakeTargetFolder(version), "");
}

TEST_F(MakeTargetFolderTest, SettingsThatCouldLeaveProgramFilesMakeNothing) {
  const std::string drive = programFiles_.substr(0, 3);  // "C:\\"
  const std::string escape = test::UniqueName("VentaroEscape");
  const std::string own = programFiles_ + "\\" + root_;
  const struct {
    std::optional<std::string> installPath;
    std::string version;
    std::string unsafeFolder;  // where the shell would go with these
  } cases[] = {
      {root_ + "\\..\\..\\" + escape, "1.0", drive + escape + "\\1.0"},
      {"..\\" + escape, "1.0", drive + escape + "\\1.0"},
      {root_, "..\\..\\" + escape, drive + escape},
      {root_ + "\\Tools", "..", own},
      {drive + escape, "1.0", drive + escape + "\\1.0"},
      {"\\" + root_, "1.0", own},
      {root_ + "\\con", "1.0", own},
      {root_ + ".\\Tools", "1.0", own},
      {root_, "1.4|2", own},
      {root_, std::string(300, 'v'), own},
      // Both empty would be Program Files itself, and the installer's files
      // would be copied into it.
      {std::string(), "", programFiles_},
      {std::nullopt, "", programFiles_},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installPath.value_or("(missing)") + " + " + c.version);
    WriteIni(c.installPath ? "InstallPath=" + *c.installPath + "\r\n" : "version=1.0\r\n");
    const std::string folder = MakeTargetFolder(c.version);
    EXPECT_EQ(folder, "");
    if (c.unsafeFolder != programFiles_) {
      EXPECT_FALSE(test::FolderExists(c.unsafeFolder));
    }
    test::RemoveTree(drive + escape);
    test::RemoveTree(own);
  }
}

// The shell answers S_FALSE where it would answer S_OK, having done and
// written just what it otherwise would.
using FolderPathAndSubDir = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPCSTR, LPSTR);
FolderPathAndSubDir realFolderPathAndSubDir = nullptr;
int folderPathAndSubDirCalls = 0;

HRESULT WINAPI FolderPathAndSubDirAnsweringFalse(HWND owner, int folder, HANDLE token, DWORD flags, LPCSTR subDir,
                                                 LPSTR path) {
  ++folderPathAndSubDirCalls;
  const HRESULT hr = realFolderPathAndSubDir(owner, folder, token, flags, subDir, path);
  return hr == S_OK ? S_FALSE : hr;
}

class MakeTargetFolderShellAnswersFalseTest : public MakeTargetFolderTest {
 protected:
  void SetUp() override {
    MakeTargetFolderTest::SetUp();
    folderPathAndSubDirCalls = 0;
    const auto* answeringFalse = reinterpret_cast<const void*>(&FolderPathAndSubDirAnsweringFalse);
    patch_ = std::make_unique<test::ScopedImportPatch>("shell32.dll", "SHGetFolderPathAndSubDirA", answeringFalse);
    ASSERT_TRUE(patch_->Patched()) << "the deploy code does not import SHGetFolderPathAndSubDirA";
    realFolderPathAndSubDir = reinterpret_cast<FolderPathAndSubDir>(patch_->Original());
  }
  void TearDown() override {
    patch_.reset();
    MakeTargetFolderTest::TearDown();
  }

  std::unique_ptr<test::ScopedImportPatch> patch_;
};

TEST_F(MakeTargetFolderShellAnswersFalseTest, GivesTheEmptyString) {
  WriteIni("InstallPath=" + root_ + "\\FanService\r\n");
  EXPECT_EQ(MakeTargetFolder("1.4.2"), "");
  EXPECT_EQ(folderPathAndSubDirCalls, 1);
}

}  // namespace
