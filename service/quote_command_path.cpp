#include "service/quote_command_path.h"

std::string QuoteCommandPath(const std::string& path) {
  if (path.size() < 2 || path.front() == '"' || path.back() == '"') return path;
  return '"' + path + '"';
}
