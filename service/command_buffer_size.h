#pragma once

#include <cstddef>

// Size in bytes of the writable copy of a command line handed to process
// creation: 520, or the line and its terminator when they need more.
std::size_t CommandBufferSize(std::size_t commandLineLength);
