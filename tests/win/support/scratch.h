#pragma once

// Scratch state for Windows tests: a folder, a registry key under HKLM and
// files of given content, each removed again when the test is done.

#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "base/win.h"

namespace test {

// A new, empty folder under %TEMP%, removed with all it holds on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's path, ending with a backslash.
  const std::string& Path() const { return path_; }
  // Path() followed by name.
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// A new registry key below HKLM\SOFTWARE\VentaroSetupTests, deleted with its
// whole tree on destruction.
class ScratchRegKey {
 public:
  ScratchRegKey();
  ~ScratchRegKey();
  ScratchRegKey(const ScratchRegKey&) = delete;
  ScratchRegKey& operator=(const ScratchRegKey&) = delete;

  // The key's path below HKEY_LOCAL_MACHINE, without a trailing backslash.
  const std::string& Path() const { return path_; }
  // An open handle to the key (full access), owned by this object.
  HKEY Key() const { return key_.Get(); }

 private:
  std::string path_;
  ScopedRegKey key_;
};

// A name that no other test of this process (or an earlier run) has used.
std::string UniqueName(const std::string& stem);

// Creates or replaces the file with exactly these bytes.
void WriteFileContent(const std::string& path, const std::string& content);
// The file's bytes, or the empty string when it cannot be read.
std::string ReadFileContent(const std::string& path);
bool FileExists(const std::string& path);
// Every entry at the top level of a folder (ending with a backslash),
// sorted, "." and ".." left out; sub-folders end in '\\'.
std::vector<std::string> ListFolder(const std::string& folder);
bool FolderExists(const std::string& path);
// Removes the folder and everything below it; read-only files included.
void RemoveTree(const std::string& path);

}  // namespace test
