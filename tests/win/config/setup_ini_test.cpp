#include "config/setup_ini.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unique_handle.h"
#include "support/scratch.h"

namespace test {
namespace {

constexpr char kDefault[] = "error737";

std::string ValueOfLength(std::size_t length) {
  std::string value;
  for (std::size_t i = 0; i < length; ++i) value += static_cast<char>('a' + i % 26);
  return value;
}

TEST(SetupIni, OpenTakesA128CharacterBufferAndCloseGivesItBack) {
  SetupIni ini;
  EXPECT_EQ(ini.BufferSize(), 0u);
  ASSERT_TRUE(ini.Open("C:\\no-such-folder\\setup.ini"));
  EXPECT_EQ(ini.BufferSize(), 128u);
  ini.Close();
  EXPECT_EQ(ini.BufferSize(), 0u);
  // Nothing left to read from: the default, and no platform call on an empty name.
  EXPECT_EQ(ini.Read("ServiceName", kDefault), kDefault);
}

struct LengthCase {
  std::size_t length;
  std::uint32_t bufferAfterRead;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.length << " characters"; }

class SetupIniLengthTest : public testing::TestWithParam<LengthCase> {};

// The platform returns size - 1 for a value that it had to cut, so a value
// of 127 characters in the 128-character buffer is read again with 256.
TEST_P(SetupIniLengthTest, ReadsTheWholeValueGrowingTheBufferByDoubling) {
  ScratchFolder folder;
  const std::string value = ValueOfLength(GetParam().length);
  WriteFileContent(folder / "setup.ini", "[Common]\r\nServiceName=" + value + "\r\n");

  SetupIni ini;
  ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
  EXPECT_EQ(ini.Read("ServiceName", kDefault), value);
  EXPECT_EQ(ini.BufferSize(), GetParam().bufferAfterRead);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SetupIniLengthTest,
                         testing::Values(LengthCase{0, 128}, LengthCase{126, 128}, LengthCase{127, 256},
                                         LengthCase{128, 256}, LengthCase{254, 256}, LengthCase{255, 512},
                                         LengthCase{300, 512}, LengthCase{5000, 8192}));

TEST(SetupIni, GrownBufferStaysForLaterReads) {
  ScratchFolder folder;
  WriteFileContent(folder / "setup.ini",
                   "[Common]\r\nServiceName=" + ValueOfLength(300) + "\r\nExecution=svc.exe\r\nversion=1.2\r\n");
  SetupIni ini;
  ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
  EXPECT_EQ(ini.Read("Execution", kDefault), "svc.exe");
  EXPECT_EQ(ini.BufferSize(), 128u);
  EXPECT_EQ(ini.Read("ServiceName", kDefault), ValueOfLength(300));
  EXPECT_EQ(ini.Read("version", kDefault), "1.2");
  EXPECT_EQ(ini.BufferSize(), 512u);
}

TEST(SetupIni, MissingFileSectionOrKeyYieldsTheDefault) {
  ScratchFolder folder;
  WriteFileContent(folder / "other-section.ini", "[Other]\r\nServiceName=svc\r\n");
  WriteFileContent(folder / "other-key.ini", "[Common]\r\nServiceNam=svc\r\nServiceName2=svc\r\n");
  WriteFileContent(folder / "empty.ini", "");
  for (const char* name : {"missing.ini", "other-section.ini", "other-key.ini", "empty.ini"}) {
    SetupIni ini;
    ASSERT_TRUE(ini.Open((folder / name).c_str()));
    EXPECT_EQ(ini.Read("ServiceName", kDefault), kDefault) << name;
  }
  EXPECT_FALSE(FileExists(folder / "missing.ini")) << "reading must not create the file";
}

TEST(SetupIni, ReadsThroughThePlatformRules) {
  ScratchFolder folder;
  WriteFileContent(folder / "setup.ini",
                   "; comment\r\n[common]\r\nservicename = svc name  \r\nExecution=\r\nversion=\"1.2\"\r\n");
  SetupIni ini;
  ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
  // Section and key match without regard to case; blanks around the value go.
  EXPECT_EQ(ini.Read("ServiceName", kDefault), "svc name");
  // A key with an empty value is found: the empty string, not the default.
  EXPECT_EQ(ini.Read("Execution", kDefault), "");
  // Enclosing quotation marks are taken off by the platform.
  EXPECT_EQ(ini.Read("version", kDefault), "1.2");
}

TEST(SetupIni, NeverWritesToTheFile) {
  ScratchFolder folder;
  const std::string content = "[Common]\r\nServiceName=svc\r\n";
  WriteFileContent(folder / "setup.ini", content);
  {
    SetupIni ini;
    ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
    EXPECT_EQ(ini.Read("ServiceName", kDefault), "svc");
    EXPECT_EQ(ini.Read("Missing", kDefault), kDefault);
  }
  EXPECT_EQ(ReadFileContent(folder / "setup.ini"), content);
}

// The platform keeps a cached copy of the file and trusts it while the
// file's write time is unchanged. Rewriting the file with the same write time
// therefore shows whether the cached copy was dropped, which is what the
// flush request of an opened reader's destruction does.
class ProfileCacheTest : public testing::Test {
 protected:
  void Write(const std::string& version) {
    WriteFileContent(path_, "[Common]\r\nversion=" + version + "\r\n");
    ScopedHandle file(::CreateFileA(path_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    const FILETIME stamp = {0x12345678, 0x01c00000};  // long ago, and the same every time
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &stamp));
  }
  std::string ReadRaw() {
    char buffer[64] = {};
    ::GetPrivateProfileStringA("Common", "version", "none", buffer, sizeof buffer, path_.c_str());
    return buffer;
  }

  ScratchFolder folder_;
  const std::string path_ = folder_ / "setup.ini";
};

TEST_F(ProfileCacheTest, DestructionFlushesOnlyAnOpenedReader) {
  Write("1.0");
  EXPECT_EQ(ReadRaw(), "1.0");
  Write("2.0");
  ASSERT_EQ(ReadRaw(), "1.0") << "the platform does not cache the file; this test cannot see a flush";

  { SetupIni neverOpened; }
  EXPECT_EQ(ReadRaw(), "1.0") << "a reader that was never opened made a flush request";

  {
    SetupIni ini;
    ASSERT_TRUE(ini.Open(path_.c_str()));
  }
  EXPECT_EQ(ReadRaw(), "2.0") << "destroying an opened reader made no flush request for its file";
}

TEST_F(ProfileCacheTest, EachReaderSeesTheFileAsItIsWhenOpened) {
  for (const char* version : {"1.0", "2.0", "3.0"}) {
    Write(version);
    SetupIni ini;
    ASSERT_TRUE(ini.Open(path_.c_str()));
    EXPECT_EQ(ini.Read("version", kDefault), version);
  }
}

}  // namespace
}  // namespace test
