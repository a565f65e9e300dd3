// Started by the log tests as a process of its own: opens the log, logs one
// line and returns from main without closing the log, as the installer's
// early ends do.
#include <spdlog/spdlog.h>

#include "setup/setup_log.h"

int main() {
  SetupLog::Open();
  spdlog::debug("main: feature = 0x{:08x}", 0x1FFu);
  return 0;
}
