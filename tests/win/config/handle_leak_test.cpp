#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "config/install_record.h"
#include "config/setup_ini.h"
#include "config/setup_settings.h"
#include "config_fixtures.h"
#include "support/handle_mark.h"
#include "support/scratch.h"

namespace test {
namespace {

constexpr int kRepetitions = 50;

// Wine hands out the lowest free handle slot: a handle left open by any
// repetition shows as a higher fresh value afterwards.
void ExpectNoHandleLeft(const char* what, const std::function<void()>& operation) {
  operation();  // let one-time allocations happen first
  const std::uintptr_t before = FreshHandleValue();
  for (int i = 0; i < kRepetitions; ++i) operation();
  EXPECT_EQ(FreshHandleValue(), before) << what;
}

TEST(HandleLeak, ConfigOperationsReleaseWhatTheyOpen) {
  MessageBoxRecorder boxes;
  ScratchRegKey key;
  ASSERT_EQ(::RegSetValueExA(key.Key(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("1.0"), 4), ERROR_SUCCESS);
  ScratchFolder folder;
  WriteFileContent(folder / "setup.ini", "[Common]\r\nServiceName=" + std::string(300, 's') + "\r\n");

  ExpectNoHandleLeft("SetupIni open, read, destroy", [&] {
    SetupIni ini;
    ASSERT_TRUE(ini.Open((folder / "setup.ini").c_str()));
    ASSERT_EQ(ini.Read("ServiceName", "error737").size(), 300u);
    ASSERT_EQ(ini.Read("Missing", "error737"), "error737");
  });
  ExpectNoHandleLeft("SetupIni on a missing file", [&] {
    SetupIni ini;
    ASSERT_TRUE(ini.Open((folder / "missing.ini").c_str()));
    ASSERT_EQ(ini.Read("ServiceName", "error737"), "error737");
  });
  {
    SetupIniBesideExe ini("[Common]\r\nRegistryKey=" + key.Path() + "\r\n");
    ExpectNoHandleLeft("GetCurrentVersion, key present", [] { ASSERT_EQ(GetCurrentVersion(), "1.0"); });
  }
  {
    SetupIniBesideExe ini("[Common]\r\nRegistryKey=" + key.Path() + "\\missing\r\n");
    ExpectNoHandleLeft("GetCurrentVersion, key missing", [] { ASSERT_EQ(GetCurrentVersion(), ""); });
  }
  {
    SetupIniBesideExe ini("[Common]\r\n");
    ExpectNoHandleLeft("GetCurrentVersion, setting missing", [] { ASSERT_EQ(GetCurrentVersion(), ""); });
  }
  ExpectNoHandleLeft("RegWriter::Create", [&] {
    RegWriter writer;
    ASSERT_TRUE(writer.Create(key.Path() + "\\written"));
  });
  EXPECT_FALSE(boxes.Boxes().empty());  // the missing-setting case went through its box
}

}  // namespace
}  // namespace test
