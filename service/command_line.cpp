#include "service/command_line.h"

namespace {

constexpr std::size_t kMinimumBufferSize = 520;

}  // namespace

std::string QuoteCommandPath(const std::string& path) {
  if (path.size() < 2 || path.front() == '"' || path.back() == '"') return path;
  return '"' + path + '"';
}

std::size_t CommandBufferSize(std::size_t commandLineLength) {
  const std::size_t needed = commandLineLength + 1;
  return needed > kMinimumBufferSize ? needed : kMinimumBufferSize;
}
