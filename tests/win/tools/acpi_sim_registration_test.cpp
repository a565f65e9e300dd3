// /RegServer and /UnregServer of acpi-sim.exe, checked in the registry and
// through the ProgID lookup the ACPI bridge makes.

#include <gtest/gtest.h>

#include <string>

#include <objbase.h>

#include "base/unique_handle.h"
#include "sim_server.h"
#include "tools/acpi-sim/sim_ids.h"

namespace test {
namespace {

const std::string kProgIdKey = "Software\\Classes\\tavriCom.axdata";
const std::string kClassKey = "Software\\Classes\\CLSID\\{23B73B49-7E04-4C5B-97BA-375B56DA4476}";

bool KeyExists(const std::string& path) {
  ScopedRegKey key;
  return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

// The key's default value; "<none>" when there is none.
std::string DefaultValue(const std::string& path) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return "<none>";
  }
  return value;
}

void SetDefaultValue(const std::string& path, const std::string& value) {
  ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, REG_SZ, value.c_str(),
                              static_cast<DWORD>(value.size() + 1)),
            ERROR_SUCCESS);
}

class AcpiSimRegistration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
  void TearDown() override { ::CoUninitialize(); }
};

TEST_F(AcpiSimRegistration, RegServerRegistersTheCopyAndUnregServerRemovesIt) {
  SimServer server;
  ASSERT_EQ(server.Run("/RegServer"), 0);
  EXPECT_EQ(DefaultValue(kProgIdKey + "\\CLSID"), "{23B73B49-7E04-4C5B-97BA-375B56DA4476}");
  EXPECT_EQ(DefaultValue(kClassKey + "\\ProgID"), "tavriCom.axdata");
  EXPECT_EQ(DefaultValue(kClassKey + "\\LocalServer32"), "\"" + server.ExePath() + "\"");
  CLSID clsid = {};
  EXPECT_EQ(::CLSIDFromProgID(L"tavriCom.axdata", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kSimClsid));

  ASSERT_EQ(server.Run("/UnregServer"), 0);
  EXPECT_FALSE(KeyExists(kProgIdKey));
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_TRUE(FAILED(::CLSIDFromProgID(L"tavriCom.axdata", &clsid)));
  // Nothing left to remove is no failure; options match in any case.
  EXPECT_EQ(server.Run("-unregserver"), 0);
}

TEST_F(AcpiSimRegistration, UnregServerLeavesAProgIdThatNamesAnotherClass) {
  SimServer server;
  ASSERT_EQ(server.Run("/RegServer"), 0);
  const std::string other = "{0D1B5E2A-6C33-4F70-8E5D-2B9A41C7F001}";
  SetDefaultValue(kProgIdKey + "\\CLSID", other);

  EXPECT_EQ(server.Run("/UnregServer"), 0);
  EXPECT_EQ(DefaultValue(kProgIdKey + "\\CLSID"), other);
  EXPECT_FALSE(KeyExists(kClassKey));
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProgIdKey.c_str());
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgIdKey.c_str());
}

TEST_F(AcpiSimRegistration, OtherCommandLinesFailAndRegisterNothing) {
  SimServer server;
  for (const char* arguments : {"", "/Bogus", "RegServer"}) {
    SCOPED_TRACE(std::string("arguments: ") + arguments);
    EXPECT_NE(server.Run(arguments), 0);
    EXPECT_FALSE(KeyExists(kClassKey));
  }
}

}  // namespace
}  // namespace test
