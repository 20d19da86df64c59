// Does nothing. Built with the compiler, runtime and flags of Marovendel.exe,
// it is what bench/benchmark.py start times Marovendel's start-up against.
extern "C" int wmain() {
    return 0;
}
