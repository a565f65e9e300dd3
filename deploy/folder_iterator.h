#pragma once

#include <memory>
#include <string>

#include "base/unique_handle.h"

// Walks the entries of one folder (not its sub-folders) through the
// platform's file search. The search and its record are released as soon as
// the listing runs out, or on destruction.
class FolderIterator {
 public:
  FolderIterator() = default;
  FolderIterator(const FolderIterator&) = delete;
  FolderIterator& operator=(const FolderIterator&) = delete;

  // Starts the listing of folder (trailing backslashes are ignored) on its
  // first entry. A folder that cannot be searched leaves the iterator at its
  // end; that is no error.
  void Open(const std::string& folder);

  bool AtEnd() const { return !valid_; }
  // The folder given to Open, without trailing backslashes.
  const std::string& FolderPath() const { return folder_; }
  // The current entry; only while not at the end.
  std::string Name() const;
  unsigned long Attributes() const;

  void Next();
  // Moves past folders, "." and ".." among them.
  void SkipFolders();

 private:
  void Close();

  std::string folder_;
  ScopedFindHandle search_;
  std::unique_ptr<WIN32_FIND_DATAA> data_;
  bool valid_ = false;
};
