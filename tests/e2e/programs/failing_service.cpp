// Stands in for a service executable that fails: registers nothing and ends
// with exit code 1, whatever it is asked.
int main() { return 1; }
