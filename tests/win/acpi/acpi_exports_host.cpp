// An executable that carries the ACPI exports exactly as setup.exe does and
// does nothing itself: the tests load it from another process.
int main() { return 0; }
