// A full disk: a small volume (tmpfs) mounted where the installation or the
// log goes. Mounting needs the host's root rights; where it is refused, the
// tests say so and are skipped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installation.h"
#include "unix_shell.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

// A tmpfs of the given size on a folder (made when missing), unmounted on
// destruction at the latest; while mounted, the folder's own content is
// out of sight.
class SmallVolume {
 public:
  SmallVolume(const std::string& folder, const char* size) : unix_(UnixPath(folder)) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    if (unix_.empty()) {
      error_ = "no Unix path for " + folder;
      return;
    }
    const UnixRun run =
        RunUnixShell("mount -t tmpfs -o size=" + std::string(size) + " ventaro-e2e " + ShellQuoted(unix_));
    mounted_ = run.finished && run.status == 0;
    if (!mounted_) error_ = "mount refused (status " + std::to_string(run.status) + "): " + run.output;
  }
  ~SmallVolume() { Unmount(); }
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }
  // Fills what is left of it.
  void Fill() const {
    RunUnixShell("dd if=/dev/zero of=" + ShellQuoted(unix_ + "/filler") + " bs=4096 2>/dev/null; sync");
  }
  // Frees the space: the volume goes, with all that was written to it.
  void Unmount() {
    if (!mounted_) return;
    // Lazily when something still holds it open.
    const UnixRun run = RunUnixShell("umount " + ShellQuoted(unix_) + " || umount -l " + ShellQuoted(unix_));
    EXPECT_EQ(run.status, 0) << run.output;
    mounted_ = false;
  }

 private:
  std::string unix_, error_;
  bool mounted_ = false;
};

TEST(FullDisk, ATargetVolumeWithoutRoomEndsTheRunAndTheNextInstallsOnceThereIsRoom) {
  Installation setup;
  setup.UseMachine();
  test::WriteFileContent(setup.Payload() + "curves.bin", std::string(2u << 20, 'c'));
  std::string root = setup.InstallRoot();
  root.pop_back();
  SmallVolume volume(root, "1m");
  if (!volume.Mounted()) GTEST_SKIP() << "no small volume: " << volume.Error();

  const RunResult full = setup.Run();
  EXPECT_EQ(full.exitCode, 0xFFFFFFFFu);
  ASSERT_FALSE(full.lines.empty());
  EXPECT_EQ(full.lines.back(), "main: CopyData fail path = " + setup.TargetFolder("1.2.0.8"));
  EXPECT_FALSE(setup.ReadValue("Version"));
  EXPECT_FALSE(setup.ReadValue("Path"));
  EXPECT_FALSE(setup.ServiceExists());

  volume.Unmount();
  const RunResult next = setup.Run();
  EXPECT_EQ(next.exitCode, 0u);
  EXPECT_EQ(next.lines, FreshInstallLines(setup));
  const std::string target = setup.TargetFolder("1.2.0.8");
  for (const std::string& name : ListFolder(setup.Payload())) {
    if (name.back() == '\\') continue;
    EXPECT_TRUE(test::ReadFileContent(target + name) == test::ReadFileContent(setup.Payload() + name)) << name;
  }
  ExpectText(setup.ReadValue("Version"), "1.2.0.8");
  ExpectText(setup.ReadValue("Path"), target);
  EXPECT_EQ(setup.ServiceBinaryPath(), "\"" + target + "fansvc.exe\"");
}

TEST(FullDisk, AFullLogVolumeCostsTheLinesAndNothingElse) {
  Installation setup;
  setup.UseMachine();
  SmallVolume volume(kLogFolder, "64k");
  if (!volume.Mounted()) GTEST_SKIP() << "no small volume: " << volume.Error();
  volume.Fill();

  const RunResult run = setup.Run();
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.lines, Lines{});
  EXPECT_EQ(run.messageBoxes, Lines{});
  ExpectInstalled(setup, "1.2.0.8");
  EXPECT_TRUE(LogFileIsFree());
  for (const std::string& folder : {setup.Payload(), setup.InstallRoot(), setup.SimFolder()}) {
    EXPECT_EQ(ProcessesLeftRunningFrom(folder), Lines{});
  }
}

}  // namespace
}  // namespace e2e
