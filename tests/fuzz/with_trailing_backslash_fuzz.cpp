// The InstallPath normalisation over any folder path: at most one backslash
// added, only where one is missing at the end, and applying it again changes
// nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/path_text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string normal = WithTrailingBackslash(path);

  const bool due = !path.empty() && path.back() != '\\';
  Require(normal == (due ? path + '\\' : path), "one backslash added exactly where it is missing");
  Require(normal.empty() || normal.back() == '\\', "a folder path ends with a backslash");
  Require(WithTrailingBackslash(normal) == normal, "idempotent");
  return 0;
}
