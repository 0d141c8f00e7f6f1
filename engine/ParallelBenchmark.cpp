#include "engine/ParallelBenchmark.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "engine/BlockCopy.h"
#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"

namespace {

bool stillRunning() { return engineState.running.load(std::memory_order_relaxed) != 0; }

// Every thread makes the same number of 4 MiB copies at random block positions of the test
// buffer; `copy` moves one block between that position and the thread's other end.
template <class Copy>
DWORD copyRandomBlocks(Copy copy) {
    const EngineState& e = engineState;
    // 32-bit: a 64-bit remainder would put the slow 64-bit division into every copy.
    const uint32_t blocks = static_cast<uint32_t>(e.testSize / static_cast<uint64_t>(e.blockSize));
    const size_t blockBytes = static_cast<size_t>(e.blockSize);
    uint8_t* const buffer = e.testBuffer;
    for (int32_t pass = 0; pass < e.parallelPasses; ++pass) {
        for (uint32_t j = 0; j < blocks; ++j) {
            copy(buffer + static_cast<size_t>(nextRandom() % blocks) * blockBytes, blockBytes);
            if (!stillRunning()) {
                return 0;
            }
        }
    }
    return 0;
}

void releaseBuffers() {
    EngineState& e = engineState;
    if (e.readerBlocks) {
        e.system.release(e.readerBlocks);
        e.readerBlocks = nullptr;
    }
    if (e.testBuffer) {
        e.system.release(e.testBuffer);
        e.testBuffer = nullptr;
    }
}

void showBusy(int labelId) {
    if (HWND label = GetDlgItem(engineState.engineWindow, labelId)) {
        SetWindowTextW(label, busyDotsText().c_str());
    }
}

void stopTimers() {
    KillTimer(engineState.engineWindow, engine_ids::kParallelReadTimer);
    KillTimer(engineState.engineWindow, engine_ids::kParallelWriteTimer);
}

// Runs one phase: 64 threads created suspended, resumed together, awaited. Returns the seconds
// from just before the creation to the end of the last thread, or a negative value when not all
// threads could be created (the error has been shown and the run stopped).
double runPhase(LPTHREAD_START_ROUTINE procedure, const WideString& name) {
    EngineState& e = engineState;
    postStatus(WideString::format(L"%ls %ls 64 x 10M", name.c_str(), engineTexts.textInitialize.c_str()));

    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    e.system.performanceFrequency(&frequency);
    e.system.performanceCounter(&start);

    HANDLE threads[kParallelThreads];
    int created = 0;
    for (; created < kParallelThreads; ++created) {
        threads[created] = e.system.createThread(procedure, reinterpret_cast<void*>(static_cast<intptr_t>(created)),
                                                 CREATE_SUSPENDED);
        if (!threads[created]) {
            break;
        }
    }
    bool complete = created == kParallelThreads;
    if (!complete) {
        showSystemError(engineTexts.textAllocError);
        e.running.store(0, std::memory_order_relaxed);
    }
    // Threads already made are let go even then: they see the stop after their first copy.
    for (int i = 0; i < created; ++i) {
        ResumeThread(threads[i]);
    }
    if (complete) {
        postStatus(WideString::format(L"%ls 64 x 10M", name.c_str()));
    }
    if (created > 0) {
        WaitForMultipleObjects(static_cast<DWORD>(created), threads, TRUE, INFINITE);
    }
    e.system.performanceCounter(&end);
    for (int i = 0; i < created; ++i) {
        CloseHandle(threads[i]);
    }
    if (!complete) {
        return -1;
    }
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

// Each reader copies into a block of its own: no other thread touches it, so the plain copy is
// safe and the readers do not fight over the same cache lines.
DWORD WINAPI parallelReader(LPVOID index) {
    const size_t slot = static_cast<size_t>(reinterpret_cast<intptr_t>(index));
    uint8_t* const own = engineState.readerBlocks + slot * static_cast<size_t>(engineState.blockSize);
    return copyRandomBlocks([own](const uint8_t* block, size_t bytes) { copyBlock(own, block, bytes); });
}

// Writers may meet in one block of the test buffer, so they store whole words atomically.
DWORD WINAPI parallelWriter(LPVOID) {
    const uint8_t* const pattern = engineState.patternBlock;
    return copyRandomBlocks([pattern](uint8_t* block, size_t bytes) { copyBlockShared(block, pattern, bytes); });
}

void runParallel(double& readSlot, double& writeSlot) {
    EngineState& e = engineState;
    HWND window = e.engineWindow;
    if (!stillRunning() || !e.patternBlock) {
        readSlot = writeSlot = 0;
        refreshResultLabels();
        return;
    }
    e.testBuffer = static_cast<uint8_t*>(e.system.allocate(static_cast<size_t>(e.testSize)));
    if (e.testBuffer) {
        e.readerBlocks = static_cast<uint8_t*>(
            e.system.allocate(static_cast<size_t>(kParallelThreads) * static_cast<size_t>(e.blockSize)));
    }
    if (!e.testBuffer || !e.readerBlocks) {
        showSystemError(engineTexts.textAllocError);
        releaseBuffers();
        e.running.store(0, std::memory_order_relaxed);
        readSlot = writeSlot = 0;
        refreshResultLabels();
        return;
    }
    SetTimer(window, engine_ids::kParallelReadTimer, engine_ids::kParallelTimerPeriodMs, nullptr);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    e.parallelPasses = e.durationIndex * 3 + 3;
    showBusy(engine_ids::kParallelReadLabel);
    showBusy(engine_ids::kParallelWriteLabel);

    for (int phase = 0; phase < 2; ++phase) {
        double seconds = runPhase(phase == 0 ? parallelReader : parallelWriter,
                                  phase == 0 ? engineTexts.textRandRead : engineTexts.textRandWrite);
        if (!stillRunning() || seconds < 0) {
            stopTimers();
            readSlot = writeSlot = 0;
            refreshResultLabels();
            break;
        }
        double bytes = static_cast<double>(e.testSize) * kParallelThreads * e.parallelPasses;
        double speed = seconds > 0 ? std::trunc(bytes / seconds * (1.0 / 1048576)) : 0;
        if (phase == 0) {
            readSlot = speed;
            refreshResultLabels();
            stopTimers();
            SetTimer(window, engine_ids::kParallelWriteTimer, engine_ids::kParallelTimerPeriodMs, nullptr);
        } else {
            KillTimer(window, engine_ids::kParallelWriteTimer);
            writeSlot = speed;
            refreshResultLabels();
        }
    }
    releaseBuffers();
}
