#include "deploy/path_file_name.h"

std::string PathFileName(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\:");
  if (separator == std::string::npos) return {};
  return path.substr(separator + 1);
}
