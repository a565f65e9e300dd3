// Stands in for the service executable where a run must take a while: waits
// a few seconds, then lets the real one beside it (fansvc.exe) register the
// service, and ends with its exit code.
#include "run_fansvc_beside.h"

int main() {
  ::Sleep(3000);
  return static_cast<int>(RunFansvcBeside());
}
