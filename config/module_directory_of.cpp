#include "config/module_directory.h"

std::string ModuleDirectoryOf(const std::string& fullPath) {
  const std::string::size_type backslash = fullPath.rfind('\\');
  if (backslash != std::string::npos) return fullPath.substr(0, backslash + 1);
  // No folder at all: keep a drive prefix such as C: so that a file name
  // appended to it stays on that drive.
  const std::string::size_type colon = fullPath.find(':');
  if (colon != std::string::npos) return fullPath.substr(0, colon + 1);
  return {};
}
