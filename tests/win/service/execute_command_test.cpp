#include "service/execute_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/handle_mark.h"
#include "support/log_capture.h"
#include "support/scratch.h"
#include "test_programs.h"

namespace {

const char kStartLine[] = "ExecuteCommand: CreateProcessA...";

class ExecuteCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { probe_ = test::PlaceProgram("command-probe.exe", folder_.Path(), "probe.exe"); }

  test::ScratchFolder folder_;
  std::string probe_;
  test::LogCapture log_;
};

TEST_F(ExecuteCommandTest, StartedProgramCountsWhateverItsExitCode) {
  for (const char* exitCode : {"0", "1", "7", "-1"}) {
    test::LogCapture log;
    const std::string command = "\"" + probe_ + "\" --exit=" + exitCode;
    EXPECT_TRUE(ExecuteCommand(command)) << exitCode;
    EXPECT_EQ(test::ProbeCommandLine(probe_), command) << exitCode;
    EXPECT_EQ(log.Lines(), std::vector<std::string>{kStartLine}) << exitCode;
  }
}

TEST_F(ExecuteCommandTest, ProgramThatCannotBeStartedIsLoggedWithItsErrorCode) {
  const std::string missing = "\"" + (folder_ / "missing.exe") + "\" /Service";
  EXPECT_FALSE(ExecuteCommand(missing));
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{kStartLine, "ExecuteCommand: app = " + missing + ", CreateProcessA fail(2). "}));
}

TEST_F(ExecuteCommandTest, ReturnsOnlyAfterTheProgramHasEnded) {
  // The probe writes its file after the pause, just before it ends.
  const std::string command = "\"" + probe_ + "\" --sleep=1500";
  ASSERT_TRUE(ExecuteCommand(command));
  EXPECT_EQ(test::ProbeCommandLine(probe_), command);
}

TEST_F(ExecuteCommandTest, LongCommandLinesArePassedWhole) {
  const std::string prefix = "\"" + probe_ + "\" --exit=0 ";
  for (std::size_t length : {std::size_t{518}, std::size_t{519}, std::size_t{520}, std::size_t{3000}}) {
    ASSERT_LT(prefix.size(), length);
    const std::string command = prefix + std::string(length - prefix.size(), 'x');
    EXPECT_TRUE(ExecuteCommand(command)) << length;
    EXPECT_EQ(test::ProbeCommandLine(probe_), command) << length;
  }
}

TEST_F(ExecuteCommandTest, LeavesNoHandleOpen) {
  const std::string started = "\"" + probe_ + "\"";
  const std::string missing = "\"" + (folder_ / "missing.exe") + "\"";
  ASSERT_TRUE(ExecuteCommand(started));  // the first run may set up lasting state
  const auto before = test::HandleHighMark();
  for (int i = 0; i < 25; ++i) {
    ASSERT_TRUE(ExecuteCommand(started));
    ASSERT_FALSE(ExecuteCommand(missing));
  }
  EXPECT_EQ(test::HandleHighMark(), before);
}

}  // namespace
