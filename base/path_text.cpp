#include "base/path_text.h"

std::string WithTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string StripTrailingBackslashes(std::string folder) {
  const std::string::size_type last = folder.find_last_not_of('\\');
  folder.erase(last == std::string::npos ? 0 : last + 1);
  return folder;
}

std::string ModuleDirectoryOf(const std::string& fullPath) {
  const std::string::size_type backslash = fullPath.rfind('\\');
  if (backslash != std::string::npos) return fullPath.substr(0, backslash + 1);
  // No folder at all: keep a drive prefix such as C: so that a file name
  // appended to it stays on that drive.
  const std::string::size_type colon = fullPath.find(':');
  if (colon != std::string::npos) return fullPath.substr(0, colon + 1);
  return {};
}

std::string PathFileName(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\:");
  if (separator == std::string::npos) return {};
  return path.substr(separator + 1);
}
