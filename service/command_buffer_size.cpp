#include "service/command_buffer_size.h"

namespace {
constexpr std::size_t kMinimumSize = 520;
}  // namespace

std::size_t CommandBufferSize(std::size_t commandLineLength) {
  const std::size_t needed = commandLineLength + 1;
  return needed > kMinimumSize ? needed : kMinimumSize;
}
