// Access-time test. A scripted performance counter makes every sweep take an exact time:
// 2^20 ticks at 2^30 per second is 976,562.5 ns, which sums without rounding.
#include "engine/AccessTime.h"
#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

constexpr int64_t kTicksPerSecond = 1ll << 30;
constexpr double kSweepNs = 976'562.5;

struct CounterScript {
    int64_t writeSweepTicks = 1ll << 20;
    int64_t readSweepTicks = 1ll << 20;
    int cancelAtCall = 0;
    int64_t now = 0;
    int calls = 0;
};
CounterScript counter;

// Calls come in fours per cycle: write sweep start and end, read sweep start and end.
BOOL WINAPI scriptedCounter(LARGE_INTEGER* count) {
    int call = counter.calls++;
    if (call % 4 == 1) {
        counter.now += counter.writeSweepTicks;
    } else if (call % 4 == 3) {
        counter.now += counter.readSweepTicks;
    } else {
        counter.now += 17;  // time between sweeps is not counted
    }
    if (counter.calls == counter.cancelAtCall) {
        engineState.running = 0;
    }
    count->QuadPart = counter.now;
    return TRUE;
}

BOOL WINAPI scriptedFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = kTicksPerSecond;
    return TRUE;
}

class AccessTime : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        counter = CounterScript{};
        engineState.system.performanceCounter = scriptedCounter;
        engineState.system.performanceFrequency = scriptedFrequency;
        engineState.accessBufferSize = 64 * 1024;  // one byte apart: 65,536 accesses a sweep
        engineState.passDurationMs = 60'000;
        engineState.running = 1;
    }

    void run() {
        onWorker([] {
            beginRun();
            runAccessTime();
            endRun();
        });
    }
};

TEST_F(AccessTime, DividesTheTotalsByTheCyclesCompleted) {
    engineState.accessCyclesPerChoice = 5;
    dialog->selectDuration(1);  // (1 + 1) x 5 cycles
    // Writes and reads take different times, so their figures and their labels cannot be mixed up.
    counter.writeSweepTicks = 1ll << 21;
    counter.readSweepTicks = 1ll << 19;
    run();
    EXPECT_EQ(counter.calls, 4 * 10);
    EXPECT_DOUBLE_EQ(benchResults.accessWriteNs, 2 * kSweepNs / 65'536);
    EXPECT_DOUBLE_EQ(benchResults.accessReadNs, kSweepNs / 2 / 65'536);
    EXPECT_EQ(dialog->text(engine_ids::kAccessReadLabel), formatNanoseconds(kSweepNs / 2 / 65'536).c_str());
    EXPECT_EQ(dialog->text(engine_ids::kAccessWriteLabel), formatNanoseconds(2 * kSweepNs / 65'536).c_str());
    // Each 1 ms of summed write sweeps animates the read column's label (every cycle here), each
    // 1 ms of read sweeps the write column's (every third cycle); then both show their figure.
    EXPECT_EQ(dialog->setTextCount(engine_ids::kAccessReadLabel), 10 + 1);
    EXPECT_EQ(dialog->setTextCount(engine_ids::kAccessWriteLabel), 3 + 1);
    std::vector<std::wstring> expected = {L"... Initialize ", L"... Access Time ", L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
}

TEST_F(AccessTime, CyclesGrowWithTheDurationChoice) {
    engineState.accessCyclesPerChoice = 3;
    dialog->selectDuration(2);
    run();
    EXPECT_EQ(counter.calls, 4 * 9);
}

TEST_F(AccessTime, StopsOnlyWhenBothTotalsAreStrictlyAboveThePassDuration) {
    engineState.accessCyclesPerChoice = 1'000'000;
    engineState.passDurationMs = 1000;
    // 1024 read sweeps make exactly 1000 ms, which is not enough; writes take twice as long and
    // are past it much earlier, which is not enough either.
    counter.writeSweepTicks = 1ll << 21;
    run();
    EXPECT_EQ(counter.calls, 4 * 1025);
    EXPECT_DOUBLE_EQ(benchResults.accessReadNs, kSweepNs / 65'536);
    EXPECT_DOUBLE_EQ(benchResults.accessWriteNs, 2 * kSweepNs / 65'536);

    EXPECT_FALSE(accessTimeLimitReached(1e9, 1e9, 1000));
    EXPECT_FALSE(accessTimeLimitReached(1e9 + 1, 1e9, 1000));
    EXPECT_FALSE(accessTimeLimitReached(1e9, 1e9 + 1, 1000));
    EXPECT_TRUE(accessTimeLimitReached(1e9 + 1, 1e9 + 1, 1000));
}

TEST_F(AccessTime, CancelEndsWithinOneSweepAndLeavesNoFigures) {
    engineState.accessCyclesPerChoice = 1'000'000;
    counter.cancelAtCall = 4 * 3 + 2;  // the end of the fourth write sweep
    run();
    EXPECT_EQ(counter.calls, 14);
    EXPECT_EQ(benchResults.accessReadNs, 0);
    EXPECT_EQ(benchResults.accessWriteNs, 0);
    EXPECT_EQ(dialog->text(engine_ids::kAccessReadLabel), L"------ ");
    EXPECT_EQ(dialog->text(engine_ids::kAccessWriteLabel), L"------ ");
}

TEST_F(AccessTime, NoDurationChosenMeansNoCyclesAndNoFigures) {
    dialog->selectDuration(-1);
    run();
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(benchResults.accessReadNs, 0) << "not a quotient of nothing by nothing";
    EXPECT_EQ(benchResults.accessWriteNs, 0);
    EXPECT_EQ(dialog->text(engine_ids::kAccessReadLabel), L"------ ");
}

TEST_F(AccessTime, NoBufferStopsTheRunWithASystemError) {
    allocations.failAt = 2;  // pattern block, then the access buffer
    run();
    ASSERT_EQ(dialog->messageBoxTexts().size(), 1u);
    const std::wstring head = L"Create-File Error\r\n0x00000008:";
    EXPECT_EQ(dialog->messageBoxTexts()[0].substr(0, head.size()), head);
    EXPECT_EQ(engineState.running.load(), 0);
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(benchResults.accessReadNs, 0);
    EXPECT_EQ(dialog->text(engine_ids::kAccessWriteLabel), L"------ ");
}

}  // namespace
}  // namespace engine_test
