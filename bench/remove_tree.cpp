#include "bench/remove_tree.h"

#include "base/unique_handle.h"

bool RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  {
    ScopedFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) return ::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search.Get(), &found));
  }
  return ::RemoveDirectoryA(folder.c_str()) != FALSE;
}
