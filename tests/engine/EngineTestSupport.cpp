#include "tests/engine/EngineTestSupport.h"

#include <cstring>

#include "tests/engine/GuardedMemory.h"

namespace engine_test {

Allocations allocations;

void* countingAllocate(size_t bytes) {
    Allocations& a = allocations;
    ++a.total;
    if (a.onAllocate) {
        a.onAllocate(bytes);
    }
    if (a.total == a.failAt) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Every buffer ends at a no-access page: one byte too far is a crash, not a pass.
    void* block = guarded_memory::allocate(bytes);
    if (!block) {
        return nullptr;
    }
    if (a.fillByte >= 0) {
        memset(block, a.fillByte, bytes);
    }
    ++a.live;
    a.sizes[block] = bytes;
    if (a.onAllocated) {
        a.onAllocated(block, bytes);
    }
    return block;
}

void countingRelease(void* block) {
    Allocations& a = allocations;
    auto found = a.sizes.find(block);
    ASSERT_NE(found, a.sizes.end()) << "released a block the engine never allocated";
    if (a.onRelease) {
        a.onRelease(block, found->second);
    }
    a.sizes.erase(found);
    --a.live;
    guarded_memory::release(block);
}

bool userLocaleIs(LCID locale) { return GetUserDefaultLCID() == locale; }

void EngineTest::SetUp() {
    allocations = Allocations{};
    EngineState& e = engineState;
    e.running.store(0);
    e.busy.store(0);
    e.passTimerAlive.store(0);
    e.controlsLocked.store(0);
    e.testSize = 0;
    e.blockSize = 0;
    e.blockCount = 0;
    e.loopCount = 1;
    e.loops = 0;
    e.passDurationMs = 300;
    e.durationIndex = 0;
    e.parallelPasses = 4;
    e.patternBlock = nullptr;
    e.testBuffer = nullptr;
    e.readerBlocks = nullptr;
    e.runTestSize = 8 * kMiB;
    e.accessBufferSize = kMiB;
    e.accessCyclesPerChoice = 1000;
    for (int entry = 0; entry < kDurationChoices; ++entry) {
        e.durationTable[entry] = kDurationTable[entry];
    }
    e.testId = 1;
    if (e.workerThread) {
        CloseHandle(e.workerThread);
        e.workerThread = nullptr;
    }
    e.system = defaultEngineSystem();
    e.system.allocate = countingAllocate;
    e.system.release = countingRelease;
    benchResults = BenchResults{};
    applyEngineTexts(nullptr);
    dialog = std::make_unique<StandInDialog>();
}

void EngineTest::TearDown() {
    dialog.reset();
    EXPECT_EQ(allocations.live, 0) << "memory the engine took and did not give back";
    EXPECT_EQ(engineState.patternBlock, nullptr);
    EXPECT_EQ(engineState.testBuffer, nullptr);
    EXPECT_EQ(engineState.readerBlocks, nullptr);
    engineState.system = defaultEngineSystem();
}

}  // namespace engine_test
