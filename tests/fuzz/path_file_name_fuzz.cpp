// PathFileName over any path: a suffix holding neither backslash nor colon,
// and the whole part after the last of them (empty when there is none).
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/path_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == ':'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string name = PathFileName(path);

  Require(name.size() <= path.size() && path.compare(path.size() - name.size(), name.size(), name) == 0,
          "the name is a suffix of the path");
  for (char c : name) Require(!IsSeparator(c), "the name holds no backslash or colon");

  bool hasSeparator = false;
  for (char c : path) hasSeparator = hasSeparator || IsSeparator(c);
  if (!hasSeparator) {
    Require(name.empty(), "a path without separator has no name");
  } else {
    Require(name.size() < path.size() && IsSeparator(path[path.size() - name.size() - 1]),
            "the name starts right after a separator");
  }
  return 0;
}
