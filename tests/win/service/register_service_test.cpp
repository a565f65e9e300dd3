#include "service/service_registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/setup_settings.h"
#include "service/command_line.h"
#include "service/execute_command.h"
#include "support/log_capture.h"
#include "support/scratch.h"
#include "test_programs.h"

namespace {

const char kStartLine[] = "ExecuteCommand: CreateProcessA...";

class RegisterServiceTest : public ::testing::Test {
 protected:
  void TearDown() override { test::RemoveSetupIni(); }

  test::ScratchFolder folder_;
};

TEST_F(RegisterServiceTest, RunsTheQuotedExecutablePathWithService) {
  const struct {
    const char* subFolder;
    const char* execution;
  } cases[] = {
      {"", "fansvc.exe"},
      {"Fan Service 2.1\\", "fan svc.exe"},
  };
  for (const auto& c : cases) {
    const std::string target = folder_ / c.subFolder;
    ::CreateDirectoryA(target.c_str(), nullptr);
    const std::string program = test::PlaceProgram("command-probe.exe", target, c.execution);
    test::WriteSetupIni(std::string("Execution=") + c.execution + "\r\n");
    test::LogCapture log;

    EXPECT_TRUE(RegisterService(target)) << target;
    EXPECT_EQ(test::ProbeCommandLine(program), "\"" + target + c.execution + "\" /Service");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{kStartLine});
  }
}

TEST_F(RegisterServiceTest, WithoutExecutionTheFolderItselfFailsToStart) {
  test::WriteSetupIni("ServiceName=FanService\r\n");
  test::LogCapture log;

  EXPECT_FALSE(RegisterService(folder_.Path()));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], kStartLine);
  const std::string failure = "ExecuteCommand: app = \"" + folder_.Path() + "\" /Service, CreateProcessA fail(";
  EXPECT_EQ(lines[1].substr(0, failure.size()), failure);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 3), "). ");
}

TEST_F(RegisterServiceTest, EmptyTargetFolderStartsNothing) {
  // A program of that name in the current folder, where a bare name is
  // looked up.
  const std::string program = test::PlaceProgram("command-probe.exe", folder_.Path(), "fansvc.exe");
  test::WriteSetupIni("Execution=fansvc.exe\r\n");
  char previous[MAX_PATH] = {};
  ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, previous), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(folder_.Path().c_str()));
  bool registered = true;
  {
    test::LogCapture log;
    registered = RegisterService("");
    EXPECT_TRUE(log.Lines().empty());
  }
  EXPECT_EQ(test::ProbeCommandLine(program), "") << "started through the search path";
  // The same bare name does start it: nothing else kept it from running.
  const bool bareNameStarts = ExecuteCommand("\"fansvc.exe\" /Service");
  ::SetCurrentDirectoryA(previous);
  EXPECT_FALSE(registered);
  EXPECT_TRUE(bareNameStarts);
  EXPECT_EQ(test::ProbeCommandLine(program), "\"fansvc.exe\" /Service");
}

// setup.ini is writable by the user: an Execution that is more than one file
// name could run another program, elevated. Each case plants a probe where
// the unchecked command line would reach.
TEST_F(RegisterServiceTest, ExecutionThatIsNotOneFileNameStartsNothing) {
  const std::string target = folder_ / "Fan Service\\";
  ASSERT_TRUE(::CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA((target + "sub").c_str(), nullptr));
  const struct {
    const char* execution;
    std::string plantedAt;
  } cases[] = {
      {"..\\evil.exe", folder_ / "evil.exe"},
      {"sub\\fansvc.exe", target + "sub\\fansvc.exe"},
      // The closing quote keeps the path unquoted, and the blank in
      // "Fan Service" then names Fan.exe as the program.
      {"fansvc.exe\"", folder_ / "Fan.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.execution);
    const std::string program = test::PlaceProgram("command-probe.exe", "", c.plantedAt);
    test::WriteSetupIni(std::string("Execution=") + c.execution + "\r\n");
    ASSERT_EQ(GetExecution(), c.execution);
    bool registered = true;
    {
      test::LogCapture log;
      registered = RegisterService(target);
      EXPECT_TRUE(log.Lines().empty());
    }
    EXPECT_FALSE(registered);
    EXPECT_EQ(test::ProbeCommandLine(program), "") << "the planted program ran";

    // Unchecked, the same setting does start it.
    EXPECT_TRUE(ExecuteCommand(QuoteCommandPath(target + c.execution) + " /Service"));
    EXPECT_NE(test::ProbeCommandLine(program), "");
    ::DeleteFileA(program.c_str());
    ::DeleteFileA((program + ".cmdline").c_str());
  }
}

}  // namespace
