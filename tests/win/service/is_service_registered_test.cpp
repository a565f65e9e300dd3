#include "service/service_registration.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unique_handle.h"
#include "support/scratch.h"
#include "test_programs.h"

namespace {

// A service of a name of its own, present for the test's length.
class IsServiceRegisteredTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("VentaroSetupTestSvc");
    ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager) << ::GetLastError();
    ScopedServiceHandle service(::CreateServiceA(manager.Get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                                 "C:\\windows\\system32\\svchost.exe", nullptr, nullptr, nullptr,
                                                 nullptr, nullptr));
    ASSERT_TRUE(service) << ::GetLastError();
  }
  void TearDown() override {
    test::RemoveSetupIni();
    ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScopedServiceHandle service(::OpenServiceA(manager.Get(), name_.c_str(), DELETE));
    if (service) ::DeleteService(service.Get());
  }

  std::string name_;
};

TEST_F(IsServiceRegisteredTest, TellsWhetherTheConfiguredServiceExists) {
  const struct {
    std::string ini;  // empty: no setup.ini at all
    bool registered;
  } cases[] = {
      {"ServiceName=" + name_ + "\r\n", true},
      {"ServiceName=" + name_ + "-none\r\n", false},
      {"Execution=fansvc.exe\r\n", false},  // ServiceName missing
      {"", false},
  };
  for (const auto& c : cases) {
    if (c.ini.empty()) {
      test::RemoveSetupIni();
    } else {
      test::WriteSetupIni(c.ini);
    }
    EXPECT_EQ(IsServiceRegistered(), c.registered) << c.ini;
  }
}

// Service handles live in the service manager, not in this process's handle
// table, so a leak shows there: a deleted service stays visible for as long
// as anyone still holds a handle to it.
TEST_F(IsServiceRegisteredTest, LeavesNoServiceHandleOpen) {
  test::WriteSetupIni("ServiceName=" + name_ + "\r\n");
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(IsServiceRegistered());

  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name_.c_str(), DELETE));
  ASSERT_TRUE(service);
  ASSERT_TRUE(::DeleteService(service.Get()));
  service.Reset();
  EXPECT_FALSE(IsServiceRegistered()) << "a handle from an earlier call keeps the service alive";
}

}  // namespace
