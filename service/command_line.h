#pragma once

#include <cstddef>
#include <string>

// The command line that starts the service executable, as text.

// Encloses a program path in double quotes so that blanks in it do not
// split the command line. A path of fewer than 2 characters, or one that
// already begins or ends with a double quote, is returned unchanged.
std::string QuoteCommandPath(const std::string& path);

// Size in bytes of the writable copy of a command line handed to process
// creation: 520, or the line and its terminator when they need more.
std::size_t CommandBufferSize(std::size_t commandLineLength);
