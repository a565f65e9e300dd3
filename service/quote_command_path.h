#pragma once

#include <string>

// Encloses a program path in double quotes so that blanks in it do not
// split the command line. A path of fewer than 2 characters, or one that
// already begins or ends with a double quote, is returned unchanged.
std::string QuoteCommandPath(const std::string& path);
