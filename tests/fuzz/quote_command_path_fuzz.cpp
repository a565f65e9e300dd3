// The command-line quoting rule over any path: quotes are added exactly when
// the path has two or more characters and neither begins nor ends with a
// double quote, and quoting what it returned changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "service/command_line.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string quoted = QuoteCommandPath(path);

  const bool due = path.size() >= 2 && path.front() != '"' && path.back() != '"';
  Require(quoted == (due ? '"' + path + '"' : path), "quotes added exactly when the rule says");
  Require(QuoteCommandPath(quoted) == quoted, "idempotent on its own output");
  return 0;
}
