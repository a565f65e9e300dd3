// ModuleDirectoryOf over any path: a prefix ending with its last backslash;
// without one, with its first colon; else empty. Applied to its own result
// it changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/path_text.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::string folder = ModuleDirectoryOf(path);

  Require(folder.size() <= path.size() && path.compare(0, folder.size(), folder) == 0,
          "the folder is a prefix of the path");
  const std::string rest = path.substr(folder.size());
  if (path.find('\\') != std::string::npos) {
    Require(!folder.empty() && folder.back() == '\\', "with a backslash the folder ends with one");
    Require(rest.find('\\') == std::string::npos, "and it is the last one");
  } else if (path.find(':') != std::string::npos) {
    Require(!folder.empty() && folder.back() == ':', "without a backslash the folder ends with a colon");
    Require(folder.find(':') == folder.size() - 1, "and it is the first one");
  } else {
    Require(folder.empty(), "without backslash or colon there is no folder");
  }
  Require(ModuleDirectoryOf(folder) == folder, "idempotent");
  return 0;
}
