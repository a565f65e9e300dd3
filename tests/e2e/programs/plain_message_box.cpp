// A program that shows a message box the plain way, without restricting
// where on-demand DLLs come from: what setup.exe would do unprotected.
#include "base/win.h"

int main() { return ::MessageBoxA(nullptr, "plain", "plain", MB_OK) == 0 ? 1 : 0; }
