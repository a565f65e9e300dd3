// The command-line quoting rule over any path: the path is passed on as it
// is or enclosed in one pair of quotes, a path already quoted at either end
// or too short to be quoted stays as it is, every other one comes out
// enclosed, and quoting what it returned changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "service/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool QuotedAtAnEnd(const std::string& text) { return !text.empty() && (text.front() == '"' || text.back() == '"'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string quoted = QuoteCommandPath(path);
  const bool changed = quoted != path;

  Require(!changed || quoted.size() == path.size() + 2, "nothing but two characters added");
  Require(!changed || (quoted.front() == '"' && quoted.back() == '"'), "what is added is a pair of quotes");
  Require(!changed || quoted.substr(1, path.size()) == path, "removing the quotes gives back the path");
  Require(!QuotedAtAnEnd(path) || !changed, "a path quoted at either end is passed on as it is");
  Require(path.size() >= 2 || !changed, "a path of fewer than two characters is passed on as it is");
  Require(path.size() < 2 || QuotedAtAnEnd(quoted), "a longer path never comes out unquoted at both ends");
  Require(QuoteCommandPath(quoted) == quoted, "idempotent on its own output");
  return 0;
}
