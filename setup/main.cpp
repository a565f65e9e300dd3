#include <spdlog/spdlog.h>

#include "setup/run_guards.h"
#include "setup/setup_run.h"

// Started without arguments from the folder that holds setup.ini and the
// service's files; the exit code is 0 or -1.
int main() {
  RestrictDllSearch();
  int status;
  {
    SingleRunLock oneAtATime;
    status = SetupRun();
    // The early ends leave the log open; what it holds must be in the file
    // before the next run may write there.
    if (spdlog::logger* log = spdlog::default_logger_raw()) log->flush();
  }
  return status;
}
