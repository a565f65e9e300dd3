#pragma once

// Paths between the build, Wine and the test programs.

#include <string>

namespace test {

// A path the build gives (a Unix path) as Windows programs see it under
// Wine, which maps the Unix root to drive Z:.
std::string FromUnixPath(std::string path);

// The Unix path of a Windows path, as Wine maps it; empty when it has none
// (or when this is not Wine).
std::string UnixPath(const std::string& windowsPath);

// The folder of this test program, ending with a backslash, found without
// the code under test.
std::string ExeFolder();

}  // namespace test
