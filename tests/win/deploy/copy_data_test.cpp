#include "deploy/copy_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/unique_handle.h"
#include "support/scratch.h"

namespace {

using test::ListFolder;

// Stands in for CopyFileA: fails the copies of one file name with the given
// error codes, one per attempt, and passes every other call on.
struct CopyScript {
  CopyScript(std::string name, std::vector<DWORD> failures)
      : failingName(std::move(name)), errors(std::move(failures)) {}

  std::string failingName;
  std::vector<DWORD> errors;
  std::map<std::string, int> attempts;
  std::vector<DWORD> attributesOnAttempt;  // of the failing file's destination
  bool overwriteRefused = false;
};
CopyScript* g_script = nullptr;

BOOL WINAPI ScriptedCopy(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  const std::string destination = newFile;
  const std::string name = destination.substr(destination.find_last_of('\\') + 1);
  ++g_script->attempts[name];
  if (failIfExists) g_script->overwriteRefused = true;
  if (name == g_script->failingName) {
    g_script->attributesOnAttempt.push_back(::GetFileAttributesA(newFile));
    if (!g_script->errors.empty()) {
      const DWORD error = g_script->errors.front();
      g_script->errors.erase(g_script->errors.begin());
      ::SetLastError(error);
      return FALSE;
    }
  }
  return ::CopyFileA(existingFile, newFile, failIfExists);
}

class CopyDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& file : files_) test::WriteFileContent(source_ / file.first, file.second);
    ASSERT_TRUE(::CreateDirectoryA((source_ / "data").c_str(), nullptr));
    test::WriteFileContent(source_ / "data\\c.bin", "nested");
  }
  void TearDown() override { g_script = nullptr; }

  // Every top-level file of the source arrived with its content.
  void ExpectAllCopied(const std::vector<std::string>& except = {}) {
    for (const auto& file : files_) {
      if (std::find(except.begin(), except.end(), file.first) != except.end()) continue;
      EXPECT_EQ(test::ReadFileContent(target_ / file.first), file.second) << file.first;
    }
  }

  const std::map<std::string, std::string> files_ = {
      {"a.dll", "library"}, {"b.exe", "program"}, {"setup.exe", "installer"}, {"setup.ini", "[Common]\r\n"}};
  const std::vector<std::string> fileNames_ = {"a.dll", "b.exe", "setup.exe", "setup.ini"};
  test::ScratchFolder source_;
  test::ScratchFolder target_;
};

TEST_F(CopyDataTest, CopiesTheTopLevelFilesAndLeavesSubFoldersOut) {
  EXPECT_TRUE(CopyData(source_.Path(), target_.Path()));
  EXPECT_EQ(ListFolder(target_.Path()), fileNames_);
  ExpectAllCopied();
}

TEST_F(CopyDataTest, ListsTheSourceTheSameWithAnyNumberOfTrailingBackslashes) {
  std::string bare = source_.Path();
  bare.pop_back();
  for (const std::string& source : {bare, bare + "\\", bare + "\\\\"}) {
    test::ScratchFolder target;
    EXPECT_TRUE(CopyData(source, target.Path())) << source;
    EXPECT_EQ(ListFolder(target.Path()), fileNames_) << source;
  }
}

TEST_F(CopyDataTest, CopiesHiddenAndSystemFiles) {
  ASSERT_TRUE(::SetFileAttributesA((source_ / "a.dll").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(::SetFileAttributesA((source_ / "b.exe").c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(::SetFileAttributesA((source_ / "setup.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(CopyData(source_.Path(), target_.Path()));
  ExpectAllCopied();
}

TEST_F(CopyDataTest, ReplacesExistingFilesWhateverTheirAttributes) {
  const DWORD attributes[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                              FILE_ATTRIBUTE_SYSTEM};
  for (DWORD attribute : attributes) {
    test::ScratchFolder target;
    test::WriteFileContent(target / "b.exe", "old program, longer than the new one");
    ASSERT_TRUE(::SetFileAttributesA((target / "b.exe").c_str(), attribute));
    EXPECT_TRUE(CopyData(source_.Path(), target.Path())) << attribute;
    EXPECT_EQ(test::ReadFileContent(target / "b.exe"), "program") << attribute;
    EXPECT_EQ(ListFolder(target.Path()), fileNames_) << attribute;
  }
}

// The platform refuses a read-only destination with access denied; Wine,
// running as root, does not, so the refusal is scripted.
TEST_F(CopyDataTest, ResetsAnAccessDeniedDestinationAndCopiesOnceMore) {
  test::WriteFileContent(target_ / "b.exe", "old");
  ASSERT_TRUE(::SetFileAttributesA((target_ / "b.exe").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  CopyScript script{"b.exe", {ERROR_ACCESS_DENIED}};
  g_script = &script;

  EXPECT_TRUE(CopyData(source_.Path(), target_.Path(), &ScriptedCopy));
  EXPECT_EQ(script.attempts["b.exe"], 2);
  ASSERT_EQ(script.attributesOnAttempt.size(), 2u);
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  EXPECT_EQ(script.attributesOnAttempt[0] & kept, kept);
  EXPECT_EQ(script.attributesOnAttempt[1] & kept, 0u) << "reset before the second attempt";
  EXPECT_FALSE(script.overwriteRefused);
  ExpectAllCopied();
}

TEST_F(CopyDataTest, AccessDeniedTwiceFailsButTheOtherFilesAreCopied) {
  CopyScript script{"b.exe", {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}};
  g_script = &script;

  EXPECT_FALSE(CopyData(source_.Path(), target_.Path(), &ScriptedCopy));
  EXPECT_EQ(script.attempts["b.exe"], 2);
  EXPECT_FALSE(test::FileExists(target_ / "b.exe"));
  ExpectAllCopied({"b.exe"});
}

TEST_F(CopyDataTest, FilesInUseArePassedOverAndAnyOtherFailureFailsTheCopy) {
  const struct {
    DWORD error;
    bool result;
  } cases[] = {
      {ERROR_SHARING_VIOLATION, true}, {ERROR_LOCK_VIOLATION, true},  {ERROR_PATH_NOT_FOUND, false},
      {ERROR_DISK_FULL, false},        {ERROR_FILE_NOT_FOUND, false}, {ERROR_INVALID_NAME, false},
  };
  for (const auto& c : cases) {
    test::ScratchFolder target;
    CopyScript script{"a.dll", {c.error}};
    g_script = &script;
    EXPECT_EQ(CopyData(source_.Path(), target.Path(), &ScriptedCopy), c.result) << c.error;
    EXPECT_EQ(script.attempts["a.dll"], 1) << "no second attempt after error " << c.error;
    for (const char* other : {"b.exe", "setup.exe", "setup.ini"}) {
      EXPECT_EQ(script.attempts[other], 1) << other << " after error " << c.error;
      EXPECT_TRUE(test::FileExists(target / std::string(other))) << other << " after error " << c.error;
    }
  }
}

TEST_F(CopyDataTest, DestinationHeldOpenByAnotherProgramKeepsItsContent) {
  test::WriteFileContent(target_ / "setup.exe", "running installer");
  ScopedHandle held(::CreateFileA((target_ / "setup.exe").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());

  EXPECT_TRUE(CopyData(source_.Path(), target_.Path()));
  held.Reset();
  EXPECT_EQ(test::ReadFileContent(target_ / "setup.exe"), "running installer");
  ExpectAllCopied({"setup.exe"});
}

TEST_F(CopyDataTest, SourceHeldByAnotherProgramFailsTheCopyAfterAWait) {
  ScopedHandle held(::CreateFileA((source_ / "b.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());

  EXPECT_FALSE(CopyData(source_.Path(), target_.Path()));
  EXPECT_FALSE(test::FileExists(target_ / "b.exe"));
  ExpectAllCopied({"b.exe"});
}

TEST_F(CopyDataTest, SourceLetGoWithinTheWaitIsCopied) {
  ScopedHandle held(::CreateFileA((source_ / "b.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());
  // As a virus scanner that reads a fresh download, then lets it go.
  std::thread scanner([&held] {
    ::Sleep(400);
    held.Reset();
  });

  EXPECT_TRUE(CopyData(source_.Path(), target_.Path()));
  scanner.join();
  ExpectAllCopied();
}

TEST_F(CopyDataTest, SourceHeldWithSharingForReadIsCopied) {
  ScopedHandle held(::CreateFileA((source_ / "b.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());
  EXPECT_TRUE(CopyData(source_.Path(), target_.Path()));
  ExpectAllCopied();
}

TEST_F(CopyDataTest, DestinationNameTakenByAFolderFailsTheCopy) {
  ASSERT_TRUE(::CreateDirectoryA((target_ / "a.dll").c_str(), nullptr));
  EXPECT_FALSE(CopyData(source_.Path(), target_.Path()));
  EXPECT_TRUE(test::FolderExists(target_ / "a.dll"));
  ExpectAllCopied({"a.dll"});
}

TEST_F(CopyDataTest, SourceWithoutFilesCopiesNothingAndSucceeds) {
  test::ScratchFolder onlyFolders;
  ASSERT_TRUE(::CreateDirectoryA((onlyFolders / "sub").c_str(), nullptr));
  test::ScratchFolder empty;
  for (const std::string& source : {empty.Path(), onlyFolders.Path(), source_ / "missing\\"}) {
    EXPECT_TRUE(CopyData(source, target_.Path())) << source;
    EXPECT_TRUE(ListFolder(target_.Path()).empty()) << source;
  }
}

TEST_F(CopyDataTest, MissingTargetFolderFailsTheCopy) {
  const std::string missing = target_ / "not\\there\\";
  EXPECT_FALSE(CopyData(source_.Path(), missing));
  EXPECT_FALSE(test::FolderExists(missing));
  EXPECT_TRUE(ListFolder(target_.Path()).empty());
}

TEST_F(CopyDataTest, EmptyTargetFolderWritesNothingAnywhere) {
  // Bare destination names would land in the current folder.
  test::ScratchFolder current;
  char previous[MAX_PATH] = {};
  ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, previous), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(current.Path().c_str()));
  const bool copied = CopyData(source_.Path(), "");
  ::SetCurrentDirectoryA(previous);
  EXPECT_FALSE(copied);
  EXPECT_TRUE(ListFolder(current.Path()).empty());

  CopyScript script{"", {}};
  g_script = &script;
  EXPECT_FALSE(CopyData(source_.Path(), "", &ScriptedCopy));
  EXPECT_TRUE(script.attempts.empty()) << "no copy is even attempted";
}

TEST_F(CopyDataTest, EmptySourceFolderCopiesNothing) {
  // Only a failed look-up of the installer's own folder gives one; listing it
  // would list the root of the current drive.
  for (const std::string source : {"", "\\", "\\\\"}) {
    CopyScript script{"", {}};
    g_script = &script;
    EXPECT_FALSE(CopyData(source, target_.Path(), &ScriptedCopy)) << source;
    EXPECT_TRUE(script.attempts.empty()) << source;
  }
  EXPECT_TRUE(ListFolder(target_.Path()).empty());
}

}  // namespace
