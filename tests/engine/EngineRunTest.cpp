// Whole runs with the real clocks against the stand-in dialog: every test in the order of the
// full benchmark, and a Stop from the dialog's thread in the middle of one.
#include <cmath>
#include <string>
#include <vector>

#include "engine/AccessTime.h"
#include "engine/BlockBenchmarks.h"
#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ParallelBenchmark.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

namespace ids = engine_ids;

class EngineRun : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engineState.runTestSize = 16 * kMiB;
        engineState.loopCount = 1;
        engineState.passDurationMs = 250;
        engineState.durationIndex = 3;  // 12 passes per thread: long enough for the animation
        engineState.accessCyclesPerChoice = 1'000'000;
        dialog->selectDuration(0);
        engineState.running = 1;
    }

    // The full benchmark the way the run's worker calls it: each test only while running.
    static void fullBenchmark() {
        BenchResults& r = benchResults;
        auto running = [] { return engineState.running.load() != 0; };
        beginRun();
        if (running()) runSequential();
        if (running()) runRandomBlocks(4, r.rand4kRead, r.rand4kWrite);
        if (running()) runRandomBlocks(1, r.rand1kRead, r.rand1kWrite);
        if (running()) runParallel(r.par64Read, r.par64Write);
        if (running()) runAccessTime();
        refreshResultLabels();
        endRun();
    }

    bool statusShown(const std::wstring& text) const {
        for (const std::wstring& status : dialog->statusTexts()) {
            if (status == text) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(EngineRun, FullBenchmarkFillsEverySlotAndLabel) {
    DWORD start = GetTickCount();
    onWorker(fullBenchmark);
    DWORD elapsed = GetTickCount() - start;

    const BenchResults& r = benchResults;
    for (double speed : {r.seqRead, r.seqWrite, r.rand4kRead, r.rand4kWrite, r.rand1kRead, r.rand1kWrite, r.par64Read,
                         r.par64Write}) {
        EXPECT_GT(speed, 0);
        EXPECT_TRUE(std::isfinite(speed));
    }
    EXPECT_EQ(r.par64Read, std::trunc(r.par64Read));
    EXPECT_EQ(r.par64Write, std::trunc(r.par64Write));
    EXPECT_GT(r.accessReadNs, 0);
    EXPECT_GT(r.accessWriteNs, 0);
    EXPECT_LT(r.accessReadNs, 1'000) << "nanoseconds per single access, not per sweep";

    EXPECT_EQ(dialog->text(ids::kSequentialReadLabel), formatSpeed(r.seqRead).c_str());
    EXPECT_EQ(dialog->text(ids::kRandom1kWriteLabel), formatSpeed(r.rand1kWrite).c_str());
    // The animation timers ran and stopped before the figures were written.
    EXPECT_GT(dialog->timerTicks(ids::kParallelReadTimer), 0);
    EXPECT_GT(dialog->timerTicks(ids::kParallelWriteTimer), 0);
    dialog->pump(200);
    EXPECT_EQ(dialog->text(ids::kParallelReadLabel), formatSpeed(r.par64Read).c_str());
    EXPECT_EQ(dialog->text(ids::kParallelWriteLabel), formatSpeed(r.par64Write).c_str());
    EXPECT_EQ(dialog->text(ids::kAccessWriteLabel), formatNanoseconds(r.accessWriteNs).c_str());
    double readScore = r.seqRead + (r.rand4kRead + r.rand1kRead) * kRatingWeightRandomRead + r.par64Read * kRatingWeight;
    EXPECT_EQ(dialog->text(ids::kReadRatingLabel), formatRating(readScore * 0.5).c_str());

    EXPECT_TRUE(statusShown(L"Sequential Write 1/1"));
    EXPECT_TRUE(statusShown(L"Random Write 1KB 1/1"));
    EXPECT_TRUE(statusShown(L"Random Write 64 x 10M"));
    EXPECT_TRUE(statusShown(L"... Access Time "));
    EXPECT_EQ(dialog->text(ids::kStatusLine), L"");
    EXPECT_EQ(dialog->runEndedCount(), 1);
    EXPECT_EQ(engineState.busy.load(), 0);
    EXPECT_EQ(engineState.running.load(), 0);
    // 12 timed passes of 250 ms, then the parallel phases and about 250 ms of access sweeps.
    EXPECT_GE(elapsed, 12 * 250u);
}

TEST_F(EngineRun, StopFromTheDialogEndsThePassAtOnceAndSkipsTheRest) {
    engineState.passDurationMs = 3'000;
    // 100 ms into the second read pass of the 4 KiB test, the dialog's thread presses Stop.
    dialog->onStatus = [this](const std::wstring& status) {
        if (status == L"Random Read 4KB 1/1") {
            SetTimer(dialog->window(), 1, 100, [](HWND window, UINT, UINT_PTR id, DWORD) {
                KillTimer(window, id);
                engineState.running = 0;
            });
        }
    };
    benchResults.rand4kWrite = 8;
    DWORD start = GetTickCount();
    onWorker([] {
        BenchResults& r = benchResults;
        auto running = [] { return engineState.running.load() != 0; };
        beginRun();
        if (running()) runRandomBlocks(4, r.rand4kRead, r.rand4kWrite);
        if (running()) runRandomBlocks(1, r.rand1kRead, r.rand1kWrite);
        if (running()) runParallel(r.par64Read, r.par64Write);
        if (running()) runAccessTime();
        refreshResultLabels();
        endRun();
    });
    DWORD elapsed = GetTickCount() - start;
    // One whole pass of 3 s, then about 100 ms; without the stop: four passes of 3 s.
    EXPECT_GE(elapsed, 3'000u);
    EXPECT_LT(elapsed, 6'000u);
    EXPECT_EQ(benchResults.rand4kRead, 0);
    EXPECT_EQ(benchResults.rand4kWrite, 0);
    EXPECT_FALSE(statusShown(L"Random Write ... Initialize  4KB"));
    EXPECT_FALSE(statusShown(L"... Initialize  Random Read 1KB")) << "the tests after it do not run";
    EXPECT_EQ(dialog->text(ids::kRandom4kReadLabel), formatSpeed(0).c_str());
    EXPECT_EQ(dialog->text(ids::kStatusLine), L"");
    EXPECT_EQ(dialog->runEndedCount(), 1);
}

TEST_F(EngineRun, TestsCalledAfterAStopTakeNothingAndZeroTheirSlots) {
    BenchResults& r = benchResults;
    r = BenchResults{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    onWorker([] {
        BenchResults& b = benchResults;
        beginRun();
        engineState.running = 0;
        runSequential();
        runRandomBlocks(4, b.rand4kRead, b.rand4kWrite);
        runRandomBlocks(1, b.rand1kRead, b.rand1kWrite);
        runParallel(b.par64Read, b.par64Write);
        runAccessTime();
        endRun();
    });
    EXPECT_EQ(allocations.total, 1) << "only the pattern block";
    for (double slot : {r.seqRead, r.seqWrite, r.rand4kRead, r.rand4kWrite, r.rand1kRead, r.rand1kWrite, r.par64Read,
                        r.par64Write, r.accessReadNs, r.accessWriteNs}) {
        EXPECT_EQ(slot, 0);
    }
    std::vector<std::wstring> expected = {L"... Initialize ", L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
    EXPECT_EQ(dialog->text(ids::kAccessReadLabel), L"------ ");
}

}  // namespace
}  // namespace engine_test
