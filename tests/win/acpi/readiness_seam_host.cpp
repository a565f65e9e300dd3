// An executable that carries the step that makes its image ready, built with
// the test seam, and one export that runs only that step. The tests load it
// into their own process as another program loads setup.exe, and hold the
// threads making its first calls at the seam's stages.
#include "acpi/image_readiness.h"

extern "C" __declspec(dllexport) int AcpiMakeImageReady() { return MakeImageReady() ? 1 : 0; }

int main() { return 0; }
