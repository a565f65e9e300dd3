#include "support/scratch.h"

#include <gtest/gtest.h>

namespace test {
namespace {

TEST(Scratch, FolderAndKeyAreRemovedWithTheirContent) {
  std::string folder, key;
  {
    ScratchFolder scratch;
    folder = scratch.Path();
    ASSERT_EQ(folder.back(), '\\');
    ::CreateDirectoryA((scratch / "sub").c_str(), nullptr);
    WriteFileContent(scratch / "sub\\file.txt", "abc");
    WriteFileContent(scratch / "ro.txt", "x");
    ::SetFileAttributesA((scratch / "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadFileContent(scratch / "sub\\file.txt"), "abc");

    ScratchRegKey reg;
    key = reg.Path();
    ScopedRegKey sub;
    ASSERT_EQ(::RegCreateKeyExA(reg.Key(), "child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.Receive(), nullptr),
              ERROR_SUCCESS);
  }
  EXPECT_FALSE(FolderExists(folder));
  ScopedRegKey gone;
  EXPECT_NE(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, gone.Receive()), ERROR_SUCCESS);
}

}  // namespace
}  // namespace test
