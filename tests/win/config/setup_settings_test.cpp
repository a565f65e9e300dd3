#include "config/setup_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config_fixtures.h"
#include "support/scratch.h"

namespace test {
namespace {

using Accessor = std::string (*)();

struct Setting {
  const char* name;
  Accessor accessor;
  const char* key;
  const char* message;
};

const Setting kSettings[] = {
    {"ServiceName", &GetServiceName, "ServiceName", "Can not read service name from setup.ini"},
    {"InstallPath", &GetInstallPath, "InstallPath", "Can not read install path from setup.ini"},
    {"RegistryKey", &GetRegistryKey, "RegistryKey", "Can not read registry key from setup.ini"},
    {"Execution", &GetExecution, "Execution", "Can not read executable file name from setup.ini"},
    {"version", &GetTargetVersion, "version", "Can not read version from setup.ini"},
};

void PrintTo(const Setting& s, std::ostream* out) { *out << s.name; }

class SetupSettingsTest : public testing::TestWithParam<Setting> {
 protected:
  std::string Line(const std::string& value) const { return std::string(GetParam().key) + "=" + value + "\r\n"; }
  MessageBoxRecorder boxes_;
};

TEST_P(SetupSettingsTest, ReturnsThePresentValueWithoutABox) {
  // A value that needs no normalisation, for InstallPath too.
  SetupIniBesideExe ini("[Common]\r\n" + Line("Some Value 1.2\\"));
  EXPECT_EQ(GetParam().accessor(), "Some Value 1.2\\");
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_P(SetupSettingsTest, ShowsItsOwnBoxOncePerCallForASettingThatCannotBeRead) {
  const std::string missingFile;  // no setup.ini at all
  const std::string cases[] = {
      missingFile,
      "[Common]\r\nOther=1\r\n",              // key missing
      "[Other]\r\n" + Line("value"),          // in another section
      "[Common]\r\n" + Line("error737"),      // the sentinel itself
      "[Common]\r\n" + Line("  error737  "),  // the same after the platform trims it
  };
  for (const std::string& content : cases) {
    boxes_.Clear();
    ::DeleteFileA(SetupIniBesideExe::Path().c_str());
    std::unique_ptr<SetupIniBesideExe> ini;
    if (!content.empty()) ini = std::make_unique<SetupIniBesideExe>(content);
    EXPECT_EQ(GetParam().accessor(), "") << content;
    EXPECT_EQ(GetParam().accessor(), "") << content;
    ASSERT_EQ(boxes_.Boxes().size(), 2u) << "one box per call for: " << content;
    for (const ShownBox& box : boxes_.Boxes()) {
      EXPECT_EQ(box.owner, nullptr);
      EXPECT_EQ(box.text, GetParam().message);
      EXPECT_EQ(box.caption, "Ventaro Setup");
      EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
    }
  }
}

TEST_P(SetupSettingsTest, EmptyOrOtherwiseCasedValuesAreValues) {
  {
    SetupIniBesideExe ini("[Common]\r\n" + Line(""));
    EXPECT_EQ(GetParam().accessor(), "");
  }
  {
    // The sentinel is told apart by case.
    SetupIniBesideExe ini("[Common]\r\n" + Line("ERROR737"));
    std::string expected = std::string(GetParam().key) == "InstallPath" ? "ERROR737\\" : "ERROR737";
    EXPECT_EQ(GetParam().accessor(), expected);
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_P(SetupSettingsTest, LongValuesComeBackWhole) {
  for (std::size_t length : {126u, 127u, 128u, 300u}) {
    std::string value(length - 1, 'v');
    value += '\\';  // no normalisation for InstallPath
    SetupIniBesideExe ini("[Common]\r\n" + Line(value));
    EXPECT_EQ(GetParam().accessor(), value) << length << " characters";
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Accessors, SetupSettingsTest, testing::ValuesIn(kSettings),
                         [](const testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

TEST(SetupSettings, EachAccessorReadsItsOwnKey) {
  MessageBoxRecorder boxes;
  SetupIniBesideExe ini(
      "[Common]\r\nServiceName=VentaroSvc\r\nInstallPath=Korven\\Ventaro\r\nRegistryKey=SOFTWARE\\Korven\\Ventaro\r\n"
      "Execution=VentaroService.exe\r\nversion=1.2.0.8\r\n");
  EXPECT_EQ(GetServiceName(), "VentaroSvc");
  EXPECT_EQ(GetInstallPath(), "Korven\\Ventaro\\");
  EXPECT_EQ(GetRegistryKey(), "SOFTWARE\\Korven\\Ventaro");
  EXPECT_EQ(GetExecution(), "VentaroService.exe");
  EXPECT_EQ(GetTargetVersion(), "1.2.0.8");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(SetupSettings, InstallPathEndsWithOneBackslashUnlessEmpty) {
  MessageBoxRecorder boxes;
  const struct {
    const char* value;
    const char* expected;
  } cases[] = {{"A\\B", "A\\B\\"}, {"A\\B\\", "A\\B\\"}, {"", ""}, {"Ventaro", "Ventaro\\"}};
  for (const auto& c : cases) {
    SetupIniBesideExe ini(std::string("[Common]\r\nInstallPath=") + c.value + "\r\n");
    EXPECT_EQ(GetInstallPath(), c.expected) << c.value;
  }
  EXPECT_TRUE(boxes.Boxes().empty());

  // Missing: its box, and no backslash on the empty result.
  SetupIniBesideExe ini("[Common]\r\n");
  EXPECT_EQ(GetInstallPath(), "");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Can not read install path from setup.ini"});
}

TEST(SetupSettings, WithoutSetupIniEveryAccessorShowsItsOwnMessage) {
  MessageBoxRecorder boxes;
  ::DeleteFileA(SetupIniBesideExe::Path().c_str());
  for (const Setting& s : kSettings) EXPECT_EQ(s.accessor(), "") << s.name;
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                               "Can not read service name from setup.ini",
                               "Can not read install path from setup.ini",
                               "Can not read registry key from setup.ini",
                               "Can not read executable file name from setup.ini",
                               "Can not read version from setup.ini",
                           }));
}

TEST(SetupSettings, ReadsTheFileAnewAtEveryCall) {
  MessageBoxRecorder boxes;
  {
    SetupIniBesideExe ini("[Common]\r\nversion=1.0\r\n");
    EXPECT_EQ(GetTargetVersion(), "1.0");
  }
  EXPECT_EQ(GetTargetVersion(), "");
  {
    SetupIniBesideExe ini("[Common]\r\nversion=2.0\r\n");
    EXPECT_EQ(GetTargetVersion(), "2.0");
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Can not read version from setup.ini"});
}

TEST(MessageBox, DefaultIsTheRealMessageBoxA) {
  MessageBoxFunction original = SetMessageBoxFunction(nullptr);
  EXPECT_EQ(original, &::MessageBoxA);
  // Null restores the default.
  EXPECT_EQ(SetMessageBoxFunction(original), &::MessageBoxA);
}

// A process of a non-interactive session (a deployment tool running as
// SYSTEM) sits on an invisible window station: its boxes are skipped, the
// setting still reads as empty.
TEST(MessageBox, ShownOnlyOnAVisibleWindowStation) {
  MessageBoxRecorder boxes;
  ::DeleteFileA(SetupIniBesideExe::Path().c_str());
  ASSERT_TRUE(WindowStationIsVisible());
  EXPECT_EQ(GetTargetVersion(), "");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Can not read version from setup.ini"});

  HWINSTA interactive = ::GetProcessWindowStation();
  HWINSTA hidden = ::CreateWindowStationA(UniqueName("SetupTestStation").c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(hidden, nullptr);
  ASSERT_TRUE(::SetProcessWindowStation(hidden));
  const bool visible = WindowStationIsVisible();
  const std::string version = GetTargetVersion();
  ::SetProcessWindowStation(interactive);
  ::CloseWindowStation(hidden);

  EXPECT_FALSE(visible);
  EXPECT_EQ(version, "");
  EXPECT_EQ(boxes.Texts().size(), 1u) << "no box on the invisible station";
}

}  // namespace
}  // namespace test
