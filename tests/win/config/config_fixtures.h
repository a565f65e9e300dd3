#pragma once

// Helpers of the config tests: setup.ini beside the test executable, where
// the settings accessors look for it, and a recorder for message boxes.

#include <string>
#include <vector>

#include "base/win.h"
#include "config/message_box.h"
#include "support/paths.h"

namespace test {

// Writes setup.ini beside the test executable; removes it on destruction.
class SetupIniBesideExe {
 public:
  explicit SetupIniBesideExe(const std::string& content);
  ~SetupIniBesideExe();
  SetupIniBesideExe(const SetupIniBesideExe&) = delete;
  SetupIniBesideExe& operator=(const SetupIniBesideExe&) = delete;

  static std::string Path() { return ExeFolder() + "setup.ini"; }
};

struct ShownBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

// Records every message box instead of showing it, while it lives.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<ShownBox>& Boxes() const;
  std::vector<std::string> Texts() const;
  void Clear();

 private:
  MessageBoxFunction previous_;
};

}  // namespace test
