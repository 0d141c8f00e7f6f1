// Parallel benchmark: 64 real threads per phase, created through a recording stand-in for
// CreateThread; a scripted performance counter makes each phase last exactly 10 s where the
// figure itself is checked.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ParallelBenchmark.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

struct ThreadLog {
    int calls = 0;
    int failAt = 0;    // this creation fails
    int cancelAt = 0;  // `running` is cleared at this creation (the thread is still made)
    std::vector<DWORD> flags;
    std::vector<intptr_t> indices;
    std::vector<HANDLE> watchers;  // our own handles on the threads, to see them end
};
ThreadLog threadLog;

HANDLE recordingCreateThread(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags) {
    ThreadLog& t = threadLog;
    ++t.calls;
    t.flags.push_back(flags);
    t.indices.push_back(reinterpret_cast<intptr_t>(parameter));
    if (t.calls == t.cancelAt) {
        engineState.running = 0;
    }
    if (t.calls == t.failAt) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE thread = defaultEngineSystem().createThread(procedure, parameter, flags);
    HANDLE watcher = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &watcher, SYNCHRONIZE, FALSE, 0);
    t.watchers.push_back(watcher);
    return thread;
}

// Each phase reads the counter twice, start and end: ten seconds apart at 10 MHz.
BOOL WINAPI tenSecondCounter(LARGE_INTEGER* count) {
    static int64_t now = 0;
    now += 100'000'000;
    count->QuadPart = now;
    return TRUE;
}

BOOL WINAPI tenMegahertz(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 10'000'000;
    return TRUE;
}

class ParallelBenchmark : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        threadLog = ThreadLog{};
        engineState.system.createThread = recordingCreateThread;
        engineState.running = 1;
    }

    void TearDown() override {
        for (HANDLE watcher : threadLog.watchers) {
            CloseHandle(watcher);
        }
        EngineTest::TearDown();
    }

    void run() {
        onWorker([] {
            beginRun();
            runParallel(benchResults.par64Read, benchResults.par64Write);
            endRun();
        });
    }

    static int threadsStillRunning() {
        int running = 0;
        for (HANDLE watcher : threadLog.watchers) {
            running += WaitForSingleObject(watcher, 0) == WAIT_OBJECT_0 ? 0 : 1;
        }
        return running;
    }

    // No animation timer is left behind: the tick counts stay still.
    void expectTimersStopped() {
        int readTicks = dialog->timerTicks(engine_ids::kParallelReadTimer);
        int writeTicks = dialog->timerTicks(engine_ids::kParallelWriteTimer);
        dialog->pump(250);
        EXPECT_EQ(dialog->timerTicks(engine_ids::kParallelReadTimer), readTicks);
        EXPECT_EQ(dialog->timerTicks(engine_ids::kParallelWriteTimer), writeTicks);
    }
};

TEST_F(ParallelBenchmark, GivesWholeMiBPerSecondOverTheWholePhase) {
    engineState.system.performanceCounter = tenSecondCounter;
    engineState.system.performanceFrequency = tenMegahertz;
    engineState.durationIndex = 2;
    run();
    EXPECT_EQ(engineState.parallelPasses, 9);
    // 64 threads x 9 passes x 8 MiB in 10 s: 460.8 MiB/s, cut to 460.
    EXPECT_EQ(benchResults.par64Read, 460);
    EXPECT_EQ(benchResults.par64Write, 460);
    EXPECT_EQ(dialog->text(engine_ids::kParallelReadLabel), formatSpeed(460).c_str());
    EXPECT_EQ(dialog->text(engine_ids::kParallelWriteLabel), formatSpeed(460).c_str());

    ASSERT_EQ(threadLog.calls, 2 * kParallelThreads);
    for (int i = 0; i < 2 * kParallelThreads; ++i) {
        EXPECT_EQ(threadLog.flags[static_cast<size_t>(i)], static_cast<DWORD>(CREATE_SUSPENDED));
        EXPECT_EQ(threadLog.indices[static_cast<size_t>(i)], i % kParallelThreads);
    }
    EXPECT_EQ(threadsStillRunning(), 0);
    std::vector<std::wstring> expected = {L"... Initialize ",
                                          L"Random Read ... Initialize  64 x 10M",
                                          L"Random Read 64 x 10M",
                                          L"Random Write ... Initialize  64 x 10M",
                                          L"Random Write 64 x 10M",
                                          L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
    expectTimersStopped();
}

TEST_F(ParallelBenchmark, CopiesReachTheirDestinations) {
    // Block 0 of the test buffer holds 0x11 bytes, block 1 0x22 bytes; the readers' blocks 0x33.
    const size_t readerBytes = kParallelThreads * 4 * kMiB;
    allocations.onAllocated = [readerBytes](void* block, size_t bytes) {
        if (bytes == engineState.testSize) {
            memset(block, 0x11, 4 * kMiB);
            memset(static_cast<uint8_t*>(block) + 4 * kMiB, 0x22, 4 * kMiB);
        } else if (bytes == readerBytes) {
            memset(block, 0x33, bytes);
        }
    };
    int blocksLikeThePattern = -1;
    int readersWithAWholeBlock = -1;
    allocations.onRelease = [&](void* block, size_t bytes) {
        const uint8_t* memory = static_cast<const uint8_t*>(block);
        if (bytes == engineState.testSize) {
            blocksLikeThePattern = (memcmp(memory, engineState.patternBlock, 4 * kMiB) == 0 ? 1 : 0) +
                                   (memcmp(memory + 4 * kMiB, engineState.patternBlock, 4 * kMiB) == 0 ? 1 : 0);
        } else if (bytes == readerBytes) {
            std::vector<uint8_t> ones(4 * kMiB, 0x11);
            std::vector<uint8_t> twos(4 * kMiB, 0x22);
            readersWithAWholeBlock = 0;
            for (int i = 0; i < kParallelThreads; ++i) {
                const uint8_t* own = memory + static_cast<size_t>(i) * 4 * kMiB;
                readersWithAWholeBlock +=
                    memcmp(own, ones.data(), 4 * kMiB) == 0 || memcmp(own, twos.data(), 4 * kMiB) == 0;
            }
        }
    };
    bool patternKept = false;
    onWorker([&patternKept] {
        beginRun();
        std::vector<uint8_t> before(engineState.patternBlock, engineState.patternBlock + 4 * kMiB);
        runParallel(benchResults.par64Read, benchResults.par64Write);
        patternKept = memcmp(before.data(), engineState.patternBlock, 4 * kMiB) == 0;
        endRun();
    });
    EXPECT_EQ(readersWithAWholeBlock, kParallelThreads) << "each reader's last block, whole, in its own place";
    EXPECT_TRUE(patternKept) << "the readers leave the pattern block alone";
    EXPECT_EQ(blocksLikeThePattern, 2) << "the writers copied the pattern block into both blocks";
}

TEST_F(ParallelBenchmark, CancelInTheWritePhaseZerosBothFigures) {
    threadLog.cancelAt = kParallelThreads + 1;
    run();
    EXPECT_EQ(benchResults.par64Read, 0) << "the read figure measured before goes too";
    EXPECT_EQ(benchResults.par64Write, 0);
    EXPECT_EQ(dialog->text(engine_ids::kParallelReadLabel), formatSpeed(0).c_str());
    EXPECT_EQ(dialog->text(engine_ids::kParallelWriteLabel), formatSpeed(0).c_str());
    EXPECT_EQ(threadLog.calls, 2 * kParallelThreads);
    EXPECT_EQ(threadsStillRunning(), 0);
    expectTimersStopped();
}

TEST_F(ParallelBenchmark, CancelInTheReadPhaseSkipsTheWritePhase) {
    threadLog.cancelAt = 1;
    run();
    EXPECT_EQ(benchResults.par64Read, 0);
    EXPECT_EQ(benchResults.par64Write, 0);
    EXPECT_EQ(threadLog.calls, kParallelThreads);
    EXPECT_EQ(threadsStillRunning(), 0);
    expectTimersStopped();
}

TEST_F(ParallelBenchmark, AThreadThatCannotBeMadeStopsTheRunAndTheOthersEnd) {
    threadLog.failAt = 10;
    benchResults.par64Read = 1234;
    run();
    ASSERT_EQ(dialog->messageBoxTexts().size(), 1u);
    const std::wstring head = L"Create-File Error\r\n0x00000008:";
    EXPECT_EQ(dialog->messageBoxTexts()[0].substr(0, head.size()), head);
    EXPECT_EQ(engineState.running.load(), 0);
    EXPECT_EQ(benchResults.par64Read, 0);
    EXPECT_EQ(benchResults.par64Write, 0);
    EXPECT_EQ(threadLog.calls, 10);
    EXPECT_EQ(threadLog.watchers.size(), 9u);
    EXPECT_EQ(threadsStillRunning(), 0) << "the nine threads made were let go and awaited";
    std::vector<std::wstring> expected = {L"... Initialize ", L"Random Read ... Initialize  64 x 10M", L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
    expectTimersStopped();
}

TEST_F(ParallelBenchmark, RunsLeaveNoHandlesBehind) {
    engineState.durationIndex = 0;
    auto completeAndFailedRun = [this] {
        engineState.running = 1;
        run();
        threadLog.failAt = threadLog.calls + 20;
        engineState.running = 1;
        run();
        for (HANDLE watcher : threadLog.watchers) {
            CloseHandle(watcher);
        }
        threadLog.watchers.clear();
    };
    // The first round lets Wine and the runtime set up whatever they keep (the error box too);
    // the second must end with as many handles as it started with.
    completeAndFailedRun();
    DWORD before = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    completeAndFailedRun();
    DWORD after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(dialog->messageBoxTexts().size(), 2u);
}

TEST_F(ParallelBenchmark, MemoryThatCannotBeHadStopsTheRunWithASystemError) {
    // Allocations: the pattern block, the test buffer, the readers' blocks.
    const std::wstring head = L"Create-File Error\r\n0x00000008:";
    for (int failing : {2, 3}) {
        SCOPED_TRACE(failing == 2 ? "no test buffer" : "no reader blocks");
        allocations.total = 0;
        allocations.failAt = failing;
        engineState.running = 1;
        benchResults.par64Read = 1234;
        benchResults.par64Write = 1234;
        run();
        ASSERT_EQ(dialog->messageBoxTexts().size(), failing == 2 ? 1u : 2u);
        EXPECT_EQ(dialog->messageBoxTexts().back().substr(0, head.size()), head);
        EXPECT_EQ(engineState.running.load(), 0);
        EXPECT_EQ(benchResults.par64Read, 0);
        EXPECT_EQ(benchResults.par64Write, 0);
        EXPECT_EQ(dialog->text(engine_ids::kParallelReadLabel), formatSpeed(0).c_str());
        EXPECT_EQ(dialog->text(engine_ids::kParallelWriteLabel), formatSpeed(0).c_str());
        EXPECT_EQ(allocations.total, failing);
        EXPECT_EQ(allocations.live, 0);
        EXPECT_EQ(engineState.testBuffer, nullptr);
        EXPECT_EQ(engineState.readerBlocks, nullptr);
        EXPECT_EQ(threadLog.calls, 0);
        EXPECT_EQ(dialog->timerTicks(engine_ids::kParallelReadTimer), 0);
    }
}

}  // namespace
}  // namespace engine_test
