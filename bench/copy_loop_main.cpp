// bench-copy-loop SOURCE TARGET: the bare copy of a folder's files
// (FindFirstFileA / CopyFileA, sub-folders skipped) into an existing
// folder. Exit code 0 when every file was copied.

#include <string>

#include "base/unique_handle.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string source = argv[1];
  const std::string target = argv[2];
  WIN32_FIND_DATAA found;
  ScopedFindHandle search(::FindFirstFileA((source + "\\*").c_str(), &found));
  if (!search) return 1;
  bool copied = true;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    copied &= ::CopyFileA((source + "\\" + found.cFileName).c_str(), (target + "\\" + found.cFileName).c_str(),
                          FALSE) != FALSE;
  } while (::FindNextFileA(search.Get(), &found));
  return copied ? 0 : 1;
}
