#include "setup/setup_run.h"

// Started without arguments from the folder that holds setup.ini and the
// service's files; the exit code is 0 or -1.
int main() { return SetupRun(); }
