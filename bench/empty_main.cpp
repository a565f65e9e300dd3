// The cost of starting a program and nothing else: the baseline of the
// start-up figure, and the process start counted once in the installation's.
int main() { return 0; }
