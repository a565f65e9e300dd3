#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "service/service_registration.h"
#include "support/scratch.h"
#include "test_programs.h"

namespace {

struct ServiceConfig {
  bool exists = false;
  DWORD type = 0;
  DWORD startType = 0;
  std::string binaryPath;
};

ServiceConfig QueryConfig(const std::string& name) {
  ServiceConfig config;
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return config;
  config.exists = true;
  DWORD needed = 0;
  ::QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
  std::vector<char> buffer(needed);
  auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
  if (needed == 0 || !::QueryServiceConfigA(service.Get(), query, needed, &needed)) {
    ADD_FAILURE() << "QueryServiceConfigA " << name << ", error " << ::GetLastError();
    return config;
  }
  config.type = query->dwServiceType;
  config.startType = query->dwStartType;
  config.binaryPath = query->lpBinaryPathName ? query->lpBinaryPathName : "";
  return config;
}

// Polls the service until it reaches state, or gives up after a generous
// while; returns the last state seen.
DWORD WaitForState(SC_HANDLE service, DWORD state, SERVICE_STATUS* status) {
  for (int i = 0; i < 600; ++i) {
    if (!::QueryServiceStatus(service, status)) return 0;
    if (status->dwCurrentState == state) break;
    ::Sleep(50);
  }
  return status->dwCurrentState;
}

// sample-service in a folder of its own, with a setup.ini that names a
// service of this test's own; the service is removed afterwards.
class SampleServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = test::UniqueName("VentaroSampleSvc");
    program_ = Place(folder_);
  }
  void TearDown() override {
    test::RemoveSetupIni();
    ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScopedServiceHandle service(::OpenServiceA(manager.Get(), name_.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status = {};
    if (::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
      WaitForState(service.Get(), SERVICE_STOPPED, &status);
    }
    ::DeleteService(service.Get());
  }

  std::string Place(const test::ScratchFolder& folder) {
    test::WriteFileContent(folder / "setup.ini", "[Common]\r\nServiceName=" + name_ + "\r\n");
    return test::PlaceProgram("sample-service.exe", folder.Path(), "sample-service.exe");
  }
  long Run(const std::string& program, const std::string& arguments) {
    return test::RunProgram("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
  }

  test::ScratchFolder folder_;
  std::string name_;
  std::string program_;
};

TEST_F(SampleServiceTest, RegistersItselfWithServiceAndGoesWithUnregister) {
  ASSERT_EQ(Run(program_, "/Service"), 0);
  const ServiceConfig config = QueryConfig(name_);
  ASSERT_TRUE(config.exists);
  EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(config.binaryPath, "\"" + program_ + "\"");

  EXPECT_EQ(Run(program_, "/Unregister"), 0);
  EXPECT_FALSE(QueryConfig(name_).exists);
  EXPECT_EQ(Run(program_, "/Unregister"), 0) << "nothing left to remove is no failure";
}

TEST_F(SampleServiceTest, RegisteringAgainPointsTheServiceAtTheNewProgram) {
  ASSERT_EQ(Run(program_, "/Service"), 0);
  test::ScratchFolder newer;
  const std::string newProgram = Place(newer);
  EXPECT_EQ(Run(newProgram, "/Service"), 0);
  EXPECT_EQ(QueryConfig(name_).binaryPath, "\"" + newProgram + "\"");
  EXPECT_EQ(Run(newProgram, "/Service"), 0);
  EXPECT_EQ(QueryConfig(name_).binaryPath, "\"" + newProgram + "\"");
}

TEST_F(SampleServiceTest, RefusesWrongArgumentsAndAMissingServiceName) {
  const struct {
    const char* arguments;
    long exitCode;
  } usage[] = {{"", 2}, {"/Install", 2}, {"/Service extra", 2}, {"/?", 0}};
  for (const auto& c : usage) EXPECT_EQ(Run(program_, c.arguments), c.exitCode) << c.arguments;

  test::WriteFileContent(folder_ / "setup.ini", "[Common]\r\nExecution=sample-service.exe\r\n");
  EXPECT_EQ(Run(program_, "/Service"), 3);
  EXPECT_EQ(Run(program_, "/Unregister"), 3);
  EXPECT_FALSE(QueryConfig(name_).exists);
}

TEST_F(SampleServiceTest, RunsUnderTheServiceManagerAndStopsOnRequest) {
  ASSERT_EQ(Run(program_, "/Service"), 0);
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ScopedServiceHandle service(
      ::OpenServiceA(manager.Get(), name_.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
  ASSERT_TRUE(service) << ::GetLastError();

  ASSERT_TRUE(::StartServiceA(service.Get(), 0, nullptr)) << ::GetLastError();
  SERVICE_STATUS status = {};
  ASSERT_EQ(WaitForState(service.Get(), SERVICE_RUNNING, &status), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(status.dwControlsAccepted & SERVICE_ACCEPT_STOP);

  ASSERT_TRUE(::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
  EXPECT_EQ(WaitForState(service.Get(), SERVICE_STOPPED, &status), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
}

// The installer's own calls against the real service executable.
TEST_F(SampleServiceTest, RegisterServiceMakesIsServiceRegisteredTrue) {
  test::WriteSetupIni("ServiceName=" + name_ + "\r\nExecution=sample-service.exe\r\n");
  EXPECT_FALSE(IsServiceRegistered());
  EXPECT_TRUE(RegisterService(folder_.Path()));
  EXPECT_TRUE(IsServiceRegistered());
  EXPECT_EQ(QueryConfig(name_).binaryPath, "\"" + program_ + "\"");
}

}  // namespace
