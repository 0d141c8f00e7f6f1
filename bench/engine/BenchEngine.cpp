// benchEngine: runs each measuring loop of the engine on this machine next to a minimal loop that
// does the same work with the same sizes and the same timing calls, and prints both figures and
// their ratio. The engine's block copy is chosen at start (rep movsb where CPUID reports ERMS, the
// SSE2 loop otherwise) and the reference loops use the same routine. Then the reference loops run
// again with each copy routine the machine offers (the C runtime's memcpy, the SSE2 loop, rep
// movsb), and a "-vs-best-copy" line sets each test's figure against the best of them for the same
// work; last, a table of the raw routines on touched memory.
//
//   benchEngine [--passes N] [--pass-ms MS] [--rounds R] [--copy-rounds C] [--fresh-memory] [--no-copy]
//               [--only TEST]
//
// N counted passes per phase (the engine runs N + 1), MS per pass (Quick: 2400), R rounds (15); each
// line gives the medians of both sides and the median of the rounds' ratios with their range. The
// memory bandwidth of this virtual machine drifts by 10-15 % over seconds, so single rounds
// disagree that much; only the median says something, and with 7 rounds it still wandered by
// about 5 % from run to run. A round of all five tests takes about 90 s. C rounds (3) per routine
// for the best copy.
// Both sides take their test memory from a cache of touched blocks (see benchAllocate), so that
// the ratios compare the loops; --fresh-memory gives them the system's new memory every pass, as
// the program has it, page faults and all.
// Ratios are engine / reference for speeds and reference / engine for times, so 1.0 means the
// engine loses nothing and more is better. The references run on a worker thread like the engine,
// with the stand-in dialog's thread serving their pass timers.

#include <windows.h>
#include <emmintrin.h>
#include <intrin.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <vector>

#include "engine/AccessTime.h"
#include "engine/BlockBenchmarks.h"
#include "engine/BlockCopy.h"
#include "engine/EngineState.h"
#include "engine/ParallelBenchmark.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/StandInDialog.h"

namespace {

constexpr size_t kTestSize = kTestSizeBytes;
constexpr size_t kBlock = kPatternBlockBytes;

// Keeps a copy's result alive for the compiler, as the engine's copies do.
void keep() { std::atomic_signal_fence(std::memory_order_seq_cst); }

// Test memory for both sides. Each pass of the engine and of the references takes 500 MiB and
// gives it back; freshly mapped memory is paid for page by page on first touch, and what that
// costs under this virtual machine changes from one pass to the next (the same loop gave 322 and
// 3540 KiB/ms in two rounds), which decided the ratios more than the loops did. So, unless
// --fresh-memory asks for the system's own memory every time, both sides take their blocks from
// one cache that keeps freed blocks touched and hands them out again for the same size.
bool freshMemory = false;
struct CachedBlock {
    size_t bytes;
    void* block;
    bool free;
};
SRWLOCK cacheLock = SRWLOCK_INIT;
std::vector<CachedBlock> cachedBlocks;  // in the order they were first made

// The first free block of the size in the order the blocks were made: a test, its reference and
// the best-copy runs of the same work all get the same pages (blocks of the same size can differ
// in speed by how the host backs them).
void* benchAllocate(size_t bytes) {
    if (!freshMemory) {
        AcquireSRWLockExclusive(&cacheLock);
        for (CachedBlock& cached : cachedBlocks) {
            if (cached.free && cached.bytes == bytes) {
                cached.free = false;
                ReleaseSRWLockExclusive(&cacheLock);
                return cached.block;
            }
        }
        ReleaseSRWLockExclusive(&cacheLock);
    }
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else if (!freshMemory) {
        AcquireSRWLockExclusive(&cacheLock);
        cachedBlocks.push_back({bytes, block, false});
        ReleaseSRWLockExclusive(&cacheLock);
    }
    return block;
}

void benchRelease(void* block) {
    if (!block) {
        return;
    }
    if (freshMemory) {
        HeapFree(GetProcessHeap(), 0, block);
        return;
    }
    AcquireSRWLockExclusive(&cacheLock);
    for (CachedBlock& cached : cachedBlocks) {
        if (cached.block == block) {
            cached.free = true;
        }
    }
    ReleaseSRWLockExclusive(&cacheLock);
}

uint8_t* heapBlock(size_t bytes) { return static_cast<uint8_t*>(benchAllocate(bytes)); }
void heapFree(void* block) { benchRelease(block); }

// Touches the blocks of each size the tests ask for, as many as are in use at once, and leaves
// them in the cache.
void warmCache() {
    const size_t sizes[] = {kTestSize, kTestSize, static_cast<size_t>(kParallelThreads) * kBlock,
                            static_cast<size_t>(kAccessBufferBytes), kBlock, kBlock};
    std::vector<void*> blocks;
    for (size_t bytes : sizes) {
        void* block = benchAllocate(bytes);
        if (block) {
            std::memset(block, 0x5a, bytes);
            blocks.push_back(block);
        }
    }
    for (void* block : blocks) {
        benchRelease(block);
    }
}

struct Lcg {
    uint32_t state;
    uint32_t next() { return state = state * 8'253'729u + 2'396'403u; }
};

// ---- Reference loops --------------------------------------------------------------------------

using CopyFn = void (*)(void*, const void*, size_t);

// The copy the reference loops use: the routine the engine chose, unless the comparison with the
// best copy runs them with each routine in turn.
CopyFn referenceRoutine = nullptr;

void referenceCopy(void* to, const void* from, size_t bytes) {
    referenceRoutine(to, from, bytes);
    keep();
}

// The reference passes end the way the engine's do: a one-shot timer on the dialog's thread
// clears a flag.
HWND timerWindow = nullptr;
std::atomic<int32_t> referencePassAlive{0};
constexpr UINT_PTR kReferencePassTimer = 4242;

void CALLBACK referencePassTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);  // before the flag drops, as the engine's: the next pass may set it anew
    referencePassAlive.store(0, std::memory_order_relaxed);
}

// One phase timed the way the engine times it: a new block of test memory per pass, the cumulative
// speed in KiB per millisecond sampled whenever more than 200 ms have passed, averaged over every
// pass or over the last one.
template <class CopyOne>
double referencePhase(int passes, DWORD passMs, uint32_t blockBytes, bool meanOfAllPasses, CopyOne copyOne) {
    double sum = 0;
    double samples = 0;
    const double kibPerBlock = blockBytes * (1.0 / 1024);
    for (int pass = 0; pass < passes; ++pass) {
        uint8_t* memory = heapBlock(kTestSize);
        if (!meanOfAllPasses) {
            sum = samples = 0;
        }
        referencePassAlive.store(1, std::memory_order_relaxed);
        SetTimer(timerWindow, kReferencePassTimer, passMs, referencePassTimerProc);
        DWORD start = timeGetTime();
        DWORD last = start;
        int32_t count = 0;
        do {
            copyOne(memory, count);
            ++count;
            DWORD now = timeGetTime();
            if (now - last > 200) {
                last = now;
                sum += kibPerBlock * count / static_cast<double>(now - start);
                samples += 1;
            }
        } while (referencePassAlive.load(std::memory_order_relaxed));
        heapFree(memory);
    }
    return samples > 0 ? sum / samples : 0;
}

// The pattern block the references copy from and to, filled like the engine's.
uint8_t* referencePattern() {
    uint8_t* pattern = heapBlock(kBlock);
    Lcg fill{timeGetTime()};
    for (size_t i = 0; i < kBlock / 4; ++i) {
        reinterpret_cast<uint32_t*>(pattern)[i] = fill.next();
    }
    return pattern;
}

void referenceSequential(int passes, DWORD passMs, double& read, double& write) {
    uint8_t* pattern = referencePattern();
    const int32_t blocks = static_cast<int32_t>(kTestSize / kBlock);
    read = referencePhase(passes, passMs, kBlock, true, [&](uint8_t* memory, int32_t count) {
        referenceCopy(pattern, memory + static_cast<size_t>(count % blocks) * kBlock, kBlock);
    });
    write = referencePhase(passes, passMs, kBlock, false, [&](uint8_t* memory, int32_t count) {
        referenceCopy(memory + static_cast<size_t>(count % blocks) * kBlock, pattern, kBlock);
    });
    heapFree(pattern);
}

void referenceRandom(uint32_t kb, int passes, DWORD passMs, double& read, double& write) {
    uint8_t* pattern = referencePattern();
    Lcg lcg{timeGetTime()};
    const uint32_t blockBytes = kb * 1024;
    const uint32_t slots = static_cast<uint32_t>(kTestSize / blockBytes);
    read = referencePhase(passes, passMs, blockBytes, false, [&](uint8_t* memory, int32_t) {
        referenceCopy(pattern, memory + static_cast<size_t>(lcg.next() % slots) * blockBytes, blockBytes);
    });
    write = referencePhase(passes, passMs, blockBytes, false, [&](uint8_t* memory, int32_t) {
        referenceCopy(memory + static_cast<size_t>(lcg.next() % slots) * blockBytes, pattern, blockBytes);
    });
    heapFree(pattern);
}

struct ParallelJob {
    uint8_t* buffer;
    uint8_t* pattern;
    uint8_t* readerBlocks;  // null: readers all copy into `pattern`
    int passes;
    bool write;
};
ParallelJob parallelJob;

// The straightforward thread loop: the best copy at random block positions. Readers copy into a block of
// their own (or, for the shared figure, all into the pattern block) and writers may meet in a
// block; only the timing of these copies matters.
DWORD WINAPI referenceParallelThread(LPVOID index) {
    const ParallelJob& job = parallelJob;
    const size_t slot = static_cast<size_t>(reinterpret_cast<uintptr_t>(index));
    Lcg lcg{timeGetTime() ^ static_cast<uint32_t>(slot * 2'654'435'761u)};
    const uint32_t blocks = static_cast<uint32_t>(kTestSize / kBlock);
    uint8_t* const destination = job.readerBlocks ? job.readerBlocks + slot * kBlock : job.pattern;
    for (int pass = 0; pass < job.passes; ++pass) {
        for (uint32_t j = 0; j < blocks; ++j) {
            uint8_t* block = job.buffer + static_cast<size_t>(lcg.next() % blocks) * kBlock;
            if (job.write) {
                referenceCopy(block, job.pattern, kBlock);
            } else {
                referenceCopy(destination, block, kBlock);
            }
        }
    }
    return 0;
}

double referenceParallelPhase(uint8_t* buffer, uint8_t* pattern, uint8_t* readerBlocks, int passes, bool write) {
    parallelJob = ParallelJob{buffer, pattern, readerBlocks, passes, write};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HANDLE threads[kParallelThreads];
    for (int i = 0; i < kParallelThreads; ++i) {
        threads[i] = CreateThread(nullptr, 0, referenceParallelThread, reinterpret_cast<LPVOID>(static_cast<intptr_t>(i)),
                                  CREATE_SUSPENDED, nullptr);
    }
    for (HANDLE thread : threads) {
        ResumeThread(thread);
    }
    WaitForMultipleObjects(kParallelThreads, threads, TRUE, INFINITE);
    QueryPerformanceCounter(&end);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    return std::trunc(static_cast<double>(kTestSize) * kParallelThreads * passes / seconds / 1'048'576);
}

void referenceAccess(DWORD passMs, uint64_t maxCycles, double& readNs, double& writeNs) {
    const size_t bytes = static_cast<size_t>(kAccessBufferBytes);
    const size_t stride = bytes >> 16;
    uint8_t* buffer = heapBlock(bytes);
    std::memset(buffer, 0, bytes);
    volatile uint8_t* v = buffer;
    uint8_t lastByte = 0;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double toNs = 1e9 / static_cast<double>(frequency.QuadPart);
    double readTotal = 0;
    double writeTotal = 0;
    uint64_t cycles = 0;
    while (cycles < maxCycles) {
        LARGE_INTEGER t0;
        LARGE_INTEGER t1;
        QueryPerformanceCounter(&t0);
        for (size_t k = 0, offset = 0; k < 65'536; ++k, offset += stride) {
            v[offset] = lastByte;
        }
        QueryPerformanceCounter(&t1);
        writeTotal += static_cast<double>(t1.QuadPart - t0.QuadPart) * toNs;
        QueryPerformanceCounter(&t0);
        for (size_t k = 0, offset = 0; k < 65'536; ++k, offset += stride) {
            lastByte = v[offset];
        }
        QueryPerformanceCounter(&t1);
        readTotal += static_cast<double>(t1.QuadPart - t0.QuadPart) * toNs;
        ++cycles;
        if (readTotal / 1e6 > passMs && writeTotal / 1e6 > passMs) {
            break;
        }
    }
    heapFree(buffer);
    readNs = readTotal / static_cast<double>(cycles) / 65'536;
    writeNs = writeTotal / static_cast<double>(cycles) / 65'536;
}

// Best figure of the old reader loop, all 64 readers racing into the one pattern block; shown for
// information only, next to the reference the engine is held against.
double bestSharedRead = 0;

void referenceParallel(int parallelPasses, double& read, double& write) {
    uint8_t* pattern = referencePattern();
    uint8_t* buffer = heapBlock(kTestSize);
    uint8_t* readerBlocks = heapBlock(kParallelThreads * kBlock);
    read = referenceParallelPhase(buffer, pattern, readerBlocks, parallelPasses, false);
    write = referenceParallelPhase(buffer, pattern, nullptr, parallelPasses, true);
    heapFree(readerBlocks);
    heapFree(buffer);
    // A fresh buffer, as the readers above had.
    buffer = heapBlock(kTestSize);
    double shared = referenceParallelPhase(buffer, pattern, nullptr, parallelPasses, false);
    std::printf("info parallel-64-read-shared-destination=%.4g MiB/s\n", shared);
    bestSharedRead = std::max(bestSharedRead, shared);
    heapFree(buffer);
    heapFree(pattern);
}

// ---- Copy routines ---------------------------------------------------------------------------

void crtCopy(void* to, const void* from, size_t bytes) { std::memcpy(to, from, bytes); }

void sse2Copy(void* to, const void* from, size_t bytes) { copyWithSse2Loop(to, from, bytes); }

void movsbCopy(void* to, const void* from, size_t bytes) { copyWithRepMovsb(to, from, bytes); }

// GiB per second of copies between block positions of the test memory (random, or walking it
// from start to end) and the pattern.
double copySpeed(CopyFn copy, uint8_t* memory, uint8_t* pattern, size_t blockBytes, bool write, DWORD ms,
                 bool sequential = false) {
    const uint32_t slots = static_cast<uint32_t>(kTestSize / blockBytes);
    Lcg lcg{12345};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    uint64_t copied = 0;
    const int batch = blockBytes >= kBlock ? 4 : 4096;
    for (;;) {
        for (int i = 0; i < batch; ++i) {
            uint32_t slot = sequential ? static_cast<uint32_t>((copied / blockBytes + i) % slots) : lcg.next() % slots;
            uint8_t* block = memory + static_cast<size_t>(slot) * blockBytes;
            if (write) {
                copy(block, pattern, blockBytes);
            } else {
                copy(pattern, block, blockBytes);
            }
            keep();
        }
        copied += static_cast<uint64_t>(batch) * blockBytes;
        QueryPerformanceCounter(&now);
        double seconds = static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        if (seconds * 1000 >= ms) {
            return static_cast<double>(copied) / seconds / 1'073'741'824;
        }
    }
}

void compareCopyRoutines(DWORD ms) {
#if defined(_UCRT)
    const char* runtime = "ucrtbase.dll";
#elif defined(__MINGW32__)
    const char* runtime = "msvcrt.dll";
#else
    const char* runtime = "the static MSVC runtime";
#endif
    std::printf("copy routines: memcpy from %s against the SSE2 loop and rep movsb, blocks of the 500 MiB "
                "test memory (touched before), %lu ms each, GiB/s\n",
                runtime, static_cast<unsigned long>(ms));
    uint8_t* memory = heapBlock(kTestSize);
    uint8_t* pattern = heapBlock(kBlock);
    std::memset(memory, 1, kTestSize);
    std::memset(pattern, 2, kBlock);
    struct Size {
        const char* name;
        size_t bytes;
        bool sequential;
    };
    for (Size size : {Size{"4MiB-sequential", kBlock, true}, Size{"4MiB", kBlock, false}, Size{"4KiB", 4096, false},
                      Size{"1KiB", 1024, false}}) {
        for (bool write : {false, true}) {
            double crt = copySpeed(crtCopy, memory, pattern, size.bytes, write, ms, size.sequential);
            double sse2 = copySpeed(sse2Copy, memory, pattern, size.bytes, write, ms, size.sequential);
            double movsb = copySpeed(movsbCopy, memory, pattern, size.bytes, write, ms, size.sequential);
            std::printf("copy %s-%s memcpy=%.2f sse2=%.2f movsb=%.2f unit=GiB/s memcpy/best=%.3f\n", size.name,
                        write ? "write" : "read", crt, sse2, movsb, crt / std::max({crt, sse2, movsb}));
            std::fflush(stdout);
        }
    }
    heapFree(pattern);
    heapFree(memory);
}

double ratioOf(double engine, double reference, bool smallerIsBetter) {
    return smallerIsBetter ? reference / engine : engine / reference;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The medians of both sides, the median of the rounds' ratios and their range.
void printLine(const char* name, const std::vector<double>& engine, const std::vector<double>& reference,
               const char* unit, bool smallerIsBetter) {
    std::vector<double> ratios;
    for (size_t i = 0; i < engine.size(); ++i) {
        ratios.push_back(ratioOf(engine[i], reference[i], smallerIsBetter));
    }
    std::printf("bench %s engine=%.4g reference=%.4g unit=%s ratio=%.3f rounds=%zu round-ratios=%.3f..%.3f\n", name,
                median(engine), median(reference), unit, median(ratios), ratios.size(),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
}

// What one refresh of the result labels costs the worker: the sequential and random tests refresh
// them after every 200 ms sample, inside the timed pass, and the references do not. Each label is
// read back (a message to the dialog's thread) and set only when its text changed; here one slot
// changes per call, as after a sample. Under Wine each of those cross-thread messages takes a
// noticeable fraction of a millisecond.
void printLabelRefreshCost(StandInDialog& dialog) {
    constexpr int kCalls = 200;
    const BenchResults saved = benchResults;
    for (int rep = 0; rep < 3; ++rep) {
        LARGE_INTEGER frequency;
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceFrequency(&frequency);
        dialog.runOnWorker([&] {
            QueryPerformanceCounter(&start);
            for (int i = 0; i < kCalls; ++i) {
                benchResults.rand1kRead = 1000 + rep * 1000 + i * 1.5;
                refreshResultLabels();
            }
            QueryPerformanceCounter(&end);
        });
        double us = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) *
                    1e6 / kCalls;
        std::printf("info label-refresh=%.0f us per call, %.2f %% of a 200 ms sample (in the engine's timed passes, "
                    "not in the references')\n",
                    us, us / 2000);
    }
    benchResults = saved;
    dialog.runOnWorker([] { refreshResultLabels(); });
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int passes = 1;
    DWORD passMs = 2400;
    int rounds = 15;
    int copyRounds = 3;
    bool copies = true;
    const wchar_t* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!wcscmp(argv[i], L"--passes") && i + 1 < argc) {
            passes = std::max(0, _wtoi(argv[++i]));
        } else if (!wcscmp(argv[i], L"--pass-ms") && i + 1 < argc) {
            passMs = static_cast<DWORD>(std::max(300, _wtoi(argv[++i])));
        } else if (!wcscmp(argv[i], L"--rounds") && i + 1 < argc) {
            rounds = std::max(1, _wtoi(argv[++i]));
        } else if (!wcscmp(argv[i], L"--copy-rounds") && i + 1 < argc) {
            copyRounds = std::max(1, _wtoi(argv[++i]));
        } else if (!wcscmp(argv[i], L"--fresh-memory")) {
            freshMemory = true;
        } else if (!wcscmp(argv[i], L"--no-copy")) {
            copies = false;
        } else if (!wcscmp(argv[i], L"--only") && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: benchEngine [--passes N] [--pass-ms MS] [--rounds R] [--copy-rounds C] [--fresh-memory] [--no-copy] [--only seq|random-4k|random-1k|parallel|access]\n");
            return 2;
        }
    }
    engineState.system.allocate = benchAllocate;
    engineState.system.release = benchRelease;
    if (!freshMemory) {
        warmCache();
    }
    const CopyFn chosenRoutine = blockCopyRoutine() == BlockCopyRoutine::repMovsb ? copyWithRepMovsb : copyWithSse2Loop;
    referenceRoutine = chosenRoutine;
    StandInDialog dialog;
    timerWindow = dialog.window();
    dialog.selectDuration(0);  // Quick: 3 passes per parallel thread, up to 80,000 access cycles
    engineState.loopCount = passes;
    engineState.passDurationMs = static_cast<int32_t>(passMs);
    engineState.durationIndex = 0;
    const int parallelPasses = 3;
    const uint64_t accessCycles = kAccessCyclesPerChoice;
    const int counted = passes + 1;

    std::printf("block copy: %s (CPUID %s enhanced rep movsb); sequential and random tests and the parallel "
                "readers copy with it, the parallel writers with %s\n",
                blockCopyRoutineName(blockCopyRoutine()), processorHasEnhancedRepMovsb() ? "reports" : "does not report",
                blockCopyRoutine() == BlockCopyRoutine::repMovsb ? "rep movsb" : "relaxed atomic 64-bit stores");
    std::printf("benchEngine: 500 MiB test memory, 4 MiB blocks, %d passes of %lu ms per phase, 64 x %d parallel "
                "passes, 100 MiB access buffer; %d rounds per test, engine and reference taking turns, medians; %s\n",
                counted, static_cast<unsigned long>(passMs), parallelPasses, rounds,
                freshMemory ? "fresh memory from the system for every pass"
                            : "memory from a cache of touched blocks, the same for both sides");
    std::fflush(stdout);
    printLabelRefreshCost(dialog);

    struct Measurement {
        const char* name;
        const char* unit;
        bool smallerIsBetter;
        std::vector<double> engine;
        std::vector<double> reference;
    };
    std::vector<Measurement> lines;
    // One test, engine and reference alternating which goes first. Each round's two figures are
    // taken next to each other, so their ratio shares the machine's state of the moment; the
    // median of those ratios is the test's ratio.
    auto measure = [&](const char* readName, const char* writeName, const char* unit, bool smallerIsBetter,
                       const std::function<void(double&, double&)>& engineTest,
                       const std::function<void(double&, double&)>& referenceTest) {
        if (only) {
            wchar_t name[64];
            swprintf(name, 64, L"%hs", readName);
            if (!wcsstr(name, only)) {
                return;
            }
        }
        Measurement read{readName, unit, smallerIsBetter, {}, {}};
        Measurement write{writeName, unit, smallerIsBetter, {}, {}};
        for (int round = 0; round < rounds; ++round) {
            double now[4] = {};  // engine read, engine write, reference read, reference write
            auto runEngine = [&] {
                engineState.running = 1;
                dialog.runOnWorker([&] {
                    beginRun();
                    engineTest(now[0], now[1]);
                    endRun();
                });
            };
            auto runReference = [&] { dialog.runOnWorker([&] { referenceTest(now[2], now[3]); }); };
            if (round % 2 == 0) {
                runEngine();
                runReference();
            } else {
                runReference();
                runEngine();
            }
            std::printf("round %d %s/%s engine=%.4g/%.4g reference=%.4g/%.4g %s ratio=%.3f/%.3f\n", round + 1,
                        readName, writeName, now[0], now[1], now[2], now[3], unit,
                        ratioOf(now[0], now[2], smallerIsBetter), ratioOf(now[1], now[3], smallerIsBetter));
            std::fflush(stdout);
            read.engine.push_back(now[0]);
            read.reference.push_back(now[2]);
            write.engine.push_back(now[1]);
            write.reference.push_back(now[3]);
        }
        lines.push_back(read);
        lines.push_back(write);
    };

    measure("seq-read", "seq-write", "KiB/ms", false,
            [](double& read, double& write) {
                runSequential();
                read = benchResults.seqRead;
                write = benchResults.seqWrite;
            },
            [&](double& read, double& write) { referenceSequential(counted, passMs, read, write); });
    for (uint32_t kb : {4u, 1u}) {
        measure(kb == 4 ? "random-4k-read" : "random-1k-read", kb == 4 ? "random-4k-write" : "random-1k-write",
                "KiB/ms", false,
                [kb](double& read, double& write) { runRandomBlocks(static_cast<int>(kb), read, write); },
                [&, kb](double& read, double& write) { referenceRandom(kb, counted, passMs, read, write); });
    }
    measure("parallel-64-read", "parallel-64-write", "MiB/s", false,
            [](double& read, double& write) { runParallel(read, write); },
            [&](double& read, double& write) { referenceParallel(parallelPasses, read, write); });
    measure("access-read", "access-write", "ns", true,
            [](double& read, double& write) {
                runAccessTime();
                read = benchResults.accessReadNs;
                write = benchResults.accessWriteNs;
            },
            [&](double& read, double& write) { referenceAccess(passMs, accessCycles, read, write); });

    for (const Measurement& m : lines) {
        printLine(m.name, m.engine, m.reference, m.unit, m.smallerIsBetter);
        if (!std::strcmp(m.name, "parallel-64-read") && bestSharedRead > 0) {
            std::printf("info parallel-64-read-shared-destination best=%.4g unit=MiB/s engine-median/this=%.3f\n",
                        bestSharedRead, median(m.engine) / bestSharedRead);
        }
    }
    std::fflush(stdout);

    if (copies) {
        // The same work with each copy routine the machine offers: the reference loops, timed as
        // the engine times its passes, with each in turn, C rounds each. The median of the
        // engine's rounds against the best routine's median.
        struct Routine {
            const char* name;
            CopyFn copy;
        };
        const Routine routines[] = {{"memcpy", crtCopy}, {"sse2", sse2Copy}, {"movsb", movsbCopy}};
        constexpr size_t kRoutines = std::size(routines);
        // figures[line][routine]: one figure per round
        std::vector<std::vector<std::vector<double>>> figures(lines.size(), std::vector<std::vector<double>>(kRoutines));
        auto offer = [&](const char* name, double figure, size_t routine) {
            for (size_t i = 0; i < lines.size(); ++i) {
                if (!std::strcmp(lines[i].name, name)) {
                    figures[i][routine].push_back(figure);
                }
            }
        };
        auto wanted = [&](const char* name) {
            for (const Measurement& m : lines) {
                if (!std::strcmp(m.name, name)) {
                    return true;
                }
            }
            return false;
        };
        for (int round = 0; round < copyRounds; ++round) {
            for (size_t r = 0; r < kRoutines; ++r) {
                referenceRoutine = routines[r].copy;
                double read = 0;
                double write = 0;
                if (wanted("seq-read")) {
                    dialog.runOnWorker([&] { referenceSequential(counted, passMs, read, write); });
                    offer("seq-read", read, r);
                    offer("seq-write", write, r);
                }
                for (uint32_t kb : {4u, 1u}) {
                    if (wanted(kb == 4 ? "random-4k-read" : "random-1k-read")) {
                        dialog.runOnWorker([&] { referenceRandom(kb, counted, passMs, read, write); });
                        offer(kb == 4 ? "random-4k-read" : "random-1k-read", read, r);
                        offer(kb == 4 ? "random-4k-write" : "random-1k-write", write, r);
                    }
                }
                if (wanted("parallel-64-read")) {
                    dialog.runOnWorker([&] { referenceParallel(parallelPasses, read, write); });
                    offer("parallel-64-read", read, r);
                    offer("parallel-64-write", write, r);
                }
                std::printf("best-copy round %d with %s done\n", round + 1, routines[r].name);
                std::fflush(stdout);
            }
        }
        referenceRoutine = chosenRoutine;
        for (size_t i = 0; i < lines.size(); ++i) {
            double best = 0;
            const char* bestName = "";
            for (size_t r = 0; r < kRoutines; ++r) {
                double figure = median(figures[i][r]);
                if (figure > best) {
                    best = figure;
                    bestName = routines[r].name;
                }
            }
            if (best > 0) {
                double engine = median(lines[i].engine);
                std::printf("bench %s-vs-best-copy engine=%.4g best=%.4g best-routine=%s unit=%s ratio=%.3f\n",
                            lines[i].name, engine, best, bestName, lines[i].unit, engine / best);
            }
        }
        std::fflush(stdout);
        compareCopyRoutines(1000);
    }
    return 0;
}
