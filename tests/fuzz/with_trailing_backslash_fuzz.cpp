// The InstallPath normalisation over any folder path: the path is kept as
// given, at most a backslash is added at its end, a folder path comes out
// ending with one, and applying it again changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/path_text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string normal = WithTrailingBackslash(path);

  Require(normal.compare(0, path.size(), path) == 0 && normal.size() >= path.size(), "the path is a prefix");
  Require(normal.size() - path.size() <= 1, "at most one character added");
  Require(normal.size() == path.size() || normal.back() == '\\', "what is added is a backslash");
  Require(!path.empty() || normal.empty(), "an empty path stays empty");
  Require(normal.empty() || normal.back() == '\\', "a folder path ends with a backslash");
  Require(path.empty() || path.back() != '\\' || normal == path, "a path ending with a backslash is kept as it is");
  Require(WithTrailingBackslash(normal) == normal, "idempotent");
  return 0;
}
