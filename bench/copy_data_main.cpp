// bench-copy-data SOURCE TARGET: the installer's own CopyData, alone.
// TARGET is an existing folder. Exit code 0 when CopyData succeeded.

#include <string>

#include "deploy/copy_data.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // CopyData takes the target folder with its trailing backslash.
  std::string target = argv[2];
  if (target.empty() || target.back() != '\\') target += '\\';
  return CopyData(argv[1], target) ? 0 : 1;
}
