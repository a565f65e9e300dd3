#include "base/path_text.h"
#include "config/setup_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config_fixtures.h"
#include "support/process.h"
#include "support/scratch.h"

namespace test {
namespace {

constexpr char kProbeName[] = "p.exe";

// Runs the probe and returns what GetModuleDirectory gave it.
std::string ModuleDirectoryOfProcess(const std::string& exe, const std::string& outFile) {
  const ProgramRun run = RunToEnd("\"" + exe + "\" module-dir \"" + outFile + "\"");
  if (!run.started) {
    ADD_FAILURE() << "cannot start " << exe << ", error " << run.startError;
    return "(not started)";
  }
  EXPECT_EQ(run.exitCode, 0u);
  return ReadFileContent(outFile);
}

class GetModuleDirectoryTest : public testing::TestWithParam<std::size_t> {};

// 127 characters fit the first buffer of 128; 128 fill it and need a second
// call; 255/256 are the same edge for 256; 259 is the longest executable
// path the platform starts (MAX_PATH - 1) and needs a third call with 512.
TEST_P(GetModuleDirectoryTest, IsTheFolderOfTheRunningExecutable) {
  const std::size_t length = GetParam();
  ScratchFolder scratch;
  const std::size_t padding = length - scratch.Path().size() - 1 - std::strlen(kProbeName);
  ASSERT_LT(padding, 250u) << "scratch folder path too long for this case";
  const std::string folder = scratch / std::string(padding, 'd');
  const std::string exe = folder + "\\" + kProbeName;
  ASSERT_EQ(exe.size(), length);
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << ::GetLastError();
  ASSERT_TRUE(::CopyFileA((ExeFolder() + "probe\\config_probe.exe").c_str(), exe.c_str(), FALSE)) << ::GetLastError();

  EXPECT_EQ(ModuleDirectoryOfProcess(exe, scratch / "out.txt"), folder + "\\");
}

INSTANTIATE_TEST_SUITE_P(ExecutablePathLengths, GetModuleDirectoryTest, testing::Values(127, 128, 255, 256, 259),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return "Length" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace test
