#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/install_record.h"
#include "config_fixtures.h"
#include "support/scratch.h"

namespace test {
namespace {

void SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes) {
  ASSERT_EQ(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

struct StoredValue {
  DWORD type = 0;
  std::string bytes;
};

StoredValue QueryRaw(HKEY key, const char* name) {
  StoredValue value;
  DWORD size = 0;
  if (::RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return {};
  value.bytes.resize(size);
  ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value.bytes[0]), &size);
  value.bytes.resize(size);
  return value;
}

struct VersionCase {
  const char* name;
  DWORD type;
  std::string stored;
  bool read;
  std::string expected;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class ReadVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(ReadVersionTest, AcceptsTheThreeStringTypesOnly) {
  ScratchRegKey key;
  SetRaw(key.Key(), "Version", GetParam().type, GetParam().stored);
  std::string version = "untouched";
  EXPECT_EQ(ReadVersion(key.Key(), version), GetParam().read);
  EXPECT_EQ(version, GetParam().read ? GetParam().expected : "untouched");
}

INSTANTIATE_TEST_SUITE_P(Types, ReadVersionTest,
                         testing::Values(VersionCase{"Sz", REG_SZ, std::string("1.2.0.8\0", 8), true, "1.2.0.8"},
                                         VersionCase{"SzWithoutNul", REG_SZ, "1.2.0.8", true, "1.2.0.8"},
                                         VersionCase{"EmptySz", REG_SZ, std::string("\0", 1), true, ""},
                                         VersionCase{"ExpandSzUnexpanded", REG_EXPAND_SZ,
                                                     std::string("%ProgramFiles%\\1.2\0", 19), true,
                                                     "%ProgramFiles%\\1.2"},
                                         VersionCase{"MultiSzFirstString", REG_MULTI_SZ,
                                                     std::string("1.0\0"
                                                                 "2.0\0\0",
                                                                 9),
                                                     true, "1.0"},
                                         VersionCase{"Dword", REG_DWORD, std::string("\x08\x00\x02\x01", 4), false, ""},
                                         VersionCase{"Binary", REG_BINARY, "1.2.0.8", false, ""}),
                         [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST(ReadVersion, MissingValueLeavesTheTextUntouched) {
  ScratchRegKey key;
  SetRaw(key.Key(), "version2", REG_SZ, std::string("1.0\0", 4));
  std::string version = "untouched";
  EXPECT_FALSE(ReadVersion(key.Key(), version));
  EXPECT_EQ(version, "untouched");
}

TEST(RegReader, OpensAnExistingKeyForReadingOnly) {
  ScratchRegKey key;
  SetRaw(key.Key(), "Version", REG_SZ, std::string("3.1\0", 4));

  RegReader reader;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.AccessRights(), static_cast<REGSAM>(KEY_READ));
  ASSERT_TRUE(reader.Open(key.Path()));
  ASSERT_TRUE(reader.IsOpen());
  std::string version;
  EXPECT_TRUE(ReadVersion(reader.Key(), version));
  EXPECT_EQ(version, "3.1");
  // KEY_READ: the platform refuses a write through the reader's key.
  EXPECT_EQ(::RegSetValueExA(reader.Key(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_ACCESS_DENIED);
}

TEST(RegReader, MissingKeyLeavesItClosed) {
  ScratchRegKey parent;
  RegReader reader;
  EXPECT_FALSE(reader.Open(parent.Path() + "\\missing"));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.Key(), nullptr);
}

// Open asks AccessRights for its mask, so a reader that asks for other
// rights gets a key with those rights.
class SetValueReader : public RegReader {
 public:
  REGSAM AccessRights() const override { return KEY_SET_VALUE; }
};

TEST(RegReader, OpenAsksAccessRightsForTheMask) {
  ScratchRegKey key;
  SetRaw(key.Key(), "Version", REG_SZ, std::string("3.1\0", 4));
  SetValueReader reader;
  ASSERT_TRUE(reader.Open(key.Path()));
  std::string version = "untouched";
  EXPECT_FALSE(ReadVersion(reader.Key(), version));
  EXPECT_EQ(::RegSetValueExA(reader.Key(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
}

TEST(RegWriter, CreatesAMissingKeyAndTheRecordLandsInIt) {
  ScratchRegKey parent;
  const std::string path = parent.Path() + "\\Korven\\Ventaro";
  const std::string folder = "C:\\Program Files\\Korven\\1.2.0.8\\";
  {
    RegWriter writer;
    EXPECT_FALSE(writer.IsOpen());
    ASSERT_TRUE(writer.Create(path));
    ASSERT_TRUE(writer.IsOpen());
    WriteInstallRecord(writer.Key(), "1.2.0.8", folder);
    // The key outlives a restart: the platform refuses a lasting sub-key
    // below a volatile one, and deployment tools look for the record after
    // a reboot.
    ScopedRegKey child;
    EXPECT_EQ(::RegCreateKeyExA(writer.Key(), "Child", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                child.Receive(), nullptr),
              ERROR_SUCCESS);
  }
  RegReader reader;
  ASSERT_TRUE(reader.Open(path));
  // REG_SZ, each text with its NUL.
  const StoredValue storedVersion = QueryRaw(reader.Key(), "Version");
  EXPECT_EQ(storedVersion.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(storedVersion.bytes, std::string("1.2.0.8\0", 8));
  const StoredValue storedPath = QueryRaw(reader.Key(), "Path");
  EXPECT_EQ(storedPath.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(storedPath.bytes, folder + '\0');
  // What the product reads back from it.
  std::string version;
  ASSERT_TRUE(ReadVersion(reader.Key(), version));
  EXPECT_EQ(version, "1.2.0.8");
}

TEST(RegWriter, OpensAnExistingKeyKeepingItsValues) {
  ScratchRegKey key;
  SetRaw(key.Key(), "Version", REG_SZ, std::string("1.0\0", 4));
  SetRaw(key.Key(), "Path", REG_SZ, std::string("C:\\old\\\0", 8));
  RegWriter writer;
  ASSERT_TRUE(writer.Create(key.Path()));
  std::string version;
  EXPECT_TRUE(ReadVersion(writer.Key(), version));
  EXPECT_EQ(version, "1.0");
  EXPECT_EQ(QueryRaw(writer.Key(), "Path").bytes, std::string("C:\\old\\\0", 8));
}

TEST(RegWriter, RefusesAnEmptyPathSoNothingLandsAtTheRoot) {
  RegWriter writer;
  EXPECT_FALSE(writer.Create(""));
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(writer.Key(), nullptr);
}

TEST(RegWriter, ReportsAPathThatCannotBeCreated) {
  ScratchRegKey key;
  RegWriter writer;
  // A key name longer than the platform allows.
  EXPECT_FALSE(writer.Create(key.Path() + "\\" + std::string(300, 'k')));
  EXPECT_FALSE(writer.IsOpen());
}

class GetCurrentVersionTest : public testing::Test {
 protected:
  MessageBoxRecorder boxes_;
  ScratchRegKey key_;
};

TEST_F(GetCurrentVersionTest, ReadsVersionFromTheKeyThatSetupIniNames) {
  SetRaw(key_.Key(), "Version", REG_SZ, std::string("1.2.0.8\0", 8));
  SetupIniBesideExe ini("[Common]\r\nRegistryKey=" + key_.Path() + "\r\n");
  EXPECT_EQ(GetCurrentVersion(), "1.2.0.8");
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(GetCurrentVersionTest, NothingToReadGivesTheEmptyStringSilently) {
  const struct {
    const char* what;
    DWORD type;  // 0: no value
    std::string stored;
    const char* subkey;
  } cases[] = {
      {"no key (first installation)", 0, "", "\\never-created"},
      {"no Version value", 0, "", ""},
      {"REG_DWORD", REG_DWORD, std::string("\x01\x00\x00\x00", 4), ""},
      {"REG_BINARY", REG_BINARY, "1.2", ""},
      {"empty REG_SZ", REG_SZ, std::string("\0", 1), ""},
  };
  for (const auto& c : cases) {
    ::RegDeleteValueA(key_.Key(), "Version");
    if (c.type) SetRaw(key_.Key(), "Version", c.type, c.stored);
    SetupIniBesideExe ini("[Common]\r\nRegistryKey=" + key_.Path() + c.subkey + "\r\n");
    EXPECT_EQ(GetCurrentVersion(), "") << c.what;
  }
  EXPECT_TRUE(boxes_.Boxes().empty()) << "registry reads show nothing";
}

TEST_F(GetCurrentVersionTest, MissingSettingShowsOnlyItsBox) {
  SetupIniBesideExe ini("[Common]\r\nversion=1.0\r\n");
  EXPECT_EQ(GetCurrentVersion(), "");
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Can not read registry key from setup.ini"});
}

}  // namespace
}  // namespace test
