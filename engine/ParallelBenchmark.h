#pragma once
// The parallel benchmark: 64 threads copy 4 MiB blocks at random positions of the test buffer at
// the same time, first reading, then writing; each phase yields whole MiB per second.

#include <windows.h>

inline constexpr int kParallelThreads = 64;

// The whole benchmark into the two slots; on the worker thread after beginRun().
void runParallel(double& readSlot, double& writeSlot);

// Thread procedures; the parameter is the thread's index 0..63, which also picks a reader's own
// block of `readerBlocks`. Each returns 0.
DWORD WINAPI parallelReader(LPVOID index);
DWORD WINAPI parallelWriter(LPVOID index);
