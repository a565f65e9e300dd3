#include "deploy/folder_iterator.h"

#include <new>

#include "base/path_text.h"

void FolderIterator::Open(const std::string& folder) {
  Close();
  folder_ = StripTrailingBackslashes(folder);
  const std::string pattern = folder_ + "\\*";
  data_.reset(new (std::nothrow) WIN32_FIND_DATAA{});
  if (!data_) return;
  search_.Reset(::FindFirstFileA(pattern.c_str(), data_.get()));
  valid_ = search_.IsValid();
  if (!valid_) data_.reset();
}

std::string FolderIterator::Name() const { return valid_ ? std::string(data_->cFileName) : std::string(); }

unsigned long FolderIterator::Attributes() const { return valid_ ? data_->dwFileAttributes : 0; }

void FolderIterator::Next() {
  if (!valid_) return;
  valid_ = ::FindNextFileA(search_.Get(), data_.get()) != FALSE;
  if (!valid_) Close();
}

void FolderIterator::SkipFolders() {
  while (!AtEnd() && (Attributes() & FILE_ATTRIBUTE_DIRECTORY)) Next();
}

void FolderIterator::Close() {
  valid_ = false;
  search_.Reset();
  data_.reset();
}
