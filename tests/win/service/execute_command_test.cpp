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
  // The writable copy of the line is never smaller than 520 bytes; beyond
  // that it must grow with the line and still hold the terminator.
  const struct {
    std::size_t length;
    const char* what;
  } cases[] = {
      {518, "well within the smallest copy"},
      {519, "the smallest copy filled by the line and its terminator"},
      {520, "one character more than the smallest copy holds with the terminator"},
      {521, "two characters more"},
      {3000, "a long line"},
      {4000, "a longer line"},
  };
  const std::string prefix = "\"" + probe_ + "\" --exit=0 ";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + " characters: " + c.what);
    ASSERT_LT(prefix.size(), c.length);
    ::DeleteFileA((probe_ + ".cmdline").c_str());
    const std::string command = prefix + std::string(c.length - prefix.size(), 'x');
    EXPECT_TRUE(ExecuteCommand(command));
    EXPECT_EQ(test::ProbeCommandLine(probe_), command);
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
