#include "deploy/strip_trailing_backslashes.h"

std::string StripTrailingBackslashes(std::string folder) {
  const std::string::size_type last = folder.find_last_not_of('\\');
  folder.erase(last == std::string::npos ? 0 : last + 1);
  return folder;
}
