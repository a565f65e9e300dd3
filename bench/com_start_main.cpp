// bench-com-start: a program that only enters and leaves a single-threaded
// COM apartment, as every run of the installer must before its first
// server call. Shows what that costs on the platform at hand.

#include <objbase.h>

int main() {
  if (FAILED(::CoInitialize(nullptr))) return 1;
  ::CoUninitialize();
  return 0;
}
