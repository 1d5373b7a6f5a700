// Benchmarks (not timed tests). Placeholder until the benchmark program lands.
#include <cstdio>
int main() { std::puts("no benchmarks yet"); return 0; }
