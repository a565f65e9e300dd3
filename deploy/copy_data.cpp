#include "deploy/copy_data.h"

#include "config/path_text.h"
#include "deploy/copy_failure.h"
#include "deploy/folder_iterator.h"

static_assert(ERROR_ACCESS_DENIED == 5 && ERROR_SHARING_VIOLATION == 32 && ERROR_LOCK_VIOLATION == 33,
              "ClassifyCopyFailure spells these codes out");

bool CopyData(const std::string& sourceFolder, const std::string& targetFolder) {
  return CopyData(sourceFolder, targetFolder, &::CopyFileA);
}

bool CopyData(const std::string& sourceFolder, const std::string& targetFolder, CopyFileFunction copyFile) {
  // Without a target folder every destination would be a bare name in the
  // current folder; without a source folder the listing would be that of the
  // current drive's root.
  if (targetFolder.empty() || StripTrailingBackslashes(sourceFolder).empty()) return false;

  bool result = true;
  FolderIterator files;
  files.Open(sourceFolder);
  files.SkipFolders();
  while (!files.AtEnd()) {
    const std::string source = files.FolderPath() + "\\" + files.Name();
    const std::string destination = targetFolder + PathFileName(source);
    if (!copyFile(source.c_str(), destination.c_str(), FALSE)) {
      switch (ClassifyCopyFailure(::GetLastError())) {
        case CopyFailure::kResetAndRetry:
          // A read-only destination refuses to be replaced until reset.
          ::SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
          if (!copyFile(source.c_str(), destination.c_str(), FALSE)) result = false;
          break;
        case CopyFailure::kPassOver: break;
        case CopyFailure::kFail: result = false; break;
      }
    }
    files.Next();
    files.SkipFolders();
  }
  return result;
}
