#include "deploy/copy_data.h"

#include "base/path_text.h"
#include "base/unique_handle.h"
#include "deploy/copy_failure.h"
#include "deploy/folder_iterator.h"

static_assert(ERROR_ACCESS_DENIED == 5 && ERROR_SHARING_VIOLATION == 32 && ERROR_LOCK_VIOLATION == 33,
              "ClassifyCopyFailure spells these codes out");

namespace {

// A source held by another program, such as a virus scanner reading a fresh
// download, is waited for this often, this long each time, for all files
// together: a few seconds at most.
constexpr int kSourceWaits = 20;
constexpr DWORD kSourceWaitMs = 150;

// Whether the source opens for reading with the sharing a copy asks for.
bool CanReadForCopy(const std::string& source) {
  ScopedHandle file(::CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

// Copies one file; false when that failed in a way that fails the copy.
bool CopyOneFile(const std::string& source, const std::string& destination, CopyFileFunction copyFile, int& waitsLeft) {
  for (;;) {
    if (copyFile(source.c_str(), destination.c_str(), FALSE)) return true;
    const DWORD error = ::GetLastError();
    switch (ClassifyCopyFailure(error, CanReadForCopy(source))) {
      case CopyFailure::kResetAndRetry:
        // A read-only destination refuses to be replaced until reset.
        ::SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        return copyFile(source.c_str(), destination.c_str(), FALSE) != FALSE;
      case CopyFailure::kPassOver: return true;
      case CopyFailure::kWaitForSource:
        if (waitsLeft == 0) return false;
        --waitsLeft;
        ::Sleep(kSourceWaitMs);
        break;
      case CopyFailure::kFail: return false;
    }
  }
}

}  // namespace

bool CopyData(const std::string& sourceFolder, const std::string& targetFolder) {
  return CopyData(sourceFolder, targetFolder, &::CopyFileA);
}

bool CopyData(const std::string& sourceFolder, const std::string& targetFolder, CopyFileFunction copyFile) {
  // Without a target folder every destination would be a bare name in the
  // current folder; without a source folder the listing would be that of the
  // current drive's root.
  if (targetFolder.empty() || StripTrailingBackslashes(sourceFolder).empty()) return false;

  bool result = true;
  int waitsLeft = kSourceWaits;
  FolderIterator files;
  files.Open(sourceFolder);
  files.SkipFolders();
  while (!files.AtEnd()) {
    const std::string source = files.FolderPath() + "\\" + files.Name();
    const std::string destination = targetFolder + PathFileName(source);
    if (!CopyOneFile(source, destination, copyFile, waitsLeft)) result = false;
    files.Next();
    files.SkipFolders();
  }
  return result;
}
