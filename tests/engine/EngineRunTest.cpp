// Whole runs with the real clocks against the stand-in dialog, started and stopped the way the
// dialog does it: requestRun on the dialog's thread, the real worker, a second press as the Stop.
#include <cmath>
#include <string>
#include <vector>

#include "engine/AccessTime.h"
#include "engine/BlockBenchmarks.h"
#include "engine/EngineIds.h"
#include "engine/EngineRun.h"
#include "engine/EngineState.h"
#include "engine/ParallelBenchmark.h"
#include "engine/ResultDisplay.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

namespace ids = engine_ids;
namespace cmd = run_commands;

constexpr int kVeryLongEntry = 3;

// Threads the start request creates; the parallel test's own threads pass straight through.
struct ThreadCreation {
    int workerRequests = 0;
    bool fail = false;       // the worker cannot be created
    bool suspended = false;  // the worker is made but does not run until the test resumes it
    HANDLE lastWorker = nullptr;
};
ThreadCreation threadCreation;

HANDLE recordingCreateThread(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags) {
    if (procedure != workerMain) {
        return defaultEngineSystem().createThread(procedure, parameter, flags);
    }
    ++threadCreation.workerRequests;
    if (threadCreation.fail) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE thread = defaultEngineSystem().createThread(procedure, parameter,
                                                       flags | (threadCreation.suspended ? CREATE_SUSPENDED : 0));
    threadCreation.lastWorker = thread;
    return thread;
}

class EngineRun : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        threadCreation = ThreadCreation{};
        engineState.system.createThread = recordingCreateThread;
        engineState.runTestSize = 16 * kMiB;
        // Every entry of the list runs one counted pass of 250 ms here.
        for (DurationRow& row : engineState.durationTable) {
            row = DurationRow{1, 250};
        }
        engineState.accessCyclesPerChoice = 1'000'000;
        // Very long: 12 passes per thread in the parallel test, long enough for the animation.
        dialog->selectDuration(kVeryLongEntry);
    }

    // A press of `command` on the dialog's thread; serves the stand-in until that run's worker
    // has ended and its end has been handled.
    ::testing::AssertionResult pressAndServe(int command) {
        requestRun(dialog->window(), command);
        HANDLE own = nullptr;
        if (!engineState.workerThread ||
            !DuplicateHandle(GetCurrentProcess(), engineState.workerThread, GetCurrentProcess(), &own, SYNCHRONIZE,
                             FALSE, 0)) {
            return ::testing::AssertionFailure() << "no worker was started";
        }
        bool ended = dialog->serveUntilEnded(own);
        CloseHandle(own);
        return ended ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "the run did not end";
    }

    bool statusShown(const std::wstring& text) const {
        for (const std::wstring& status : dialog->statusTexts()) {
            if (status == text) {
                return true;
            }
        }
        return false;
    }
    bool statusContaining(const std::wstring& part) const {
        for (const std::wstring& status : dialog->statusTexts()) {
            if (status.find(part) != std::wstring::npos) {
                return true;
            }
        }
        return false;
    }
    // The controls went off on the dialog's thread and came back once, on the worker.
    void expectControlsOffThenOn() const {
        std::vector<bool> expected = {false, true};
        EXPECT_EQ(dialog->controlsEnabledCalls(), expected);
        if (dialog->controlsEnabledThreads().size() == 2) {
            EXPECT_EQ(dialog->controlsEnabledThreads()[0], GetCurrentThreadId());
            EXPECT_NE(dialog->controlsEnabledThreads()[1], GetCurrentThreadId());
        }
        EXPECT_EQ(dialog->runFinishedCount(), 1);
    }
};

TEST_F(EngineRun, StartRunsTheFullBenchmarkAndFillsEverySlotAndLabel) {
    engineState.durationTable[kVeryLongEntry] = DurationRow{1, 250};
    DWORD start = GetTickCount();
    ASSERT_TRUE(pressAndServe(cmd::kFullBenchmark));
    DWORD elapsed = GetTickCount() - start;

    EXPECT_EQ(engineState.testId, 6);
    EXPECT_EQ(engineState.durationIndex, kVeryLongEntry) << "the worker reads the list itself";
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
    expectControlsOffThenOn();
    EXPECT_EQ(dialog->workerEndedCount(), 1);
    EXPECT_EQ(engineState.workerThread, nullptr) << "the finished worker's handle is closed";
    // 12 timed passes of 250 ms, then the parallel phases and about 250 ms of access sweeps.
    EXPECT_GE(elapsed, 12 * 250u);
}

TEST_F(EngineRun, SecondPressOfStartStopsTheTestInProgressAndSkipsTheRest) {
    engineState.durationTable[kVeryLongEntry] = DurationRow{1, 3'000};
    // 100 ms into the first counted read pass, the dialog's thread gets the second press.
    dialog->onStatus = [this](const std::wstring& status) {
        if (status == L"Sequential Read /// 1/1") {
            SetTimer(dialog->window(), 1, 100, [](HWND window, UINT, UINT_PTR id, DWORD) {
                KillTimer(window, id);
                requestRun(window, cmd::kFullBenchmark);
            });
        }
    };
    benchResults.seqWrite = 8;
    benchResults.rand4kRead = 9;
    DWORD start = GetTickCount();
    ASSERT_TRUE(pressAndServe(cmd::kFullBenchmark));
    DWORD elapsed = GetTickCount() - start;

    // The warm-up pass of 3 s, then about 100 ms; without the stop: four passes of 3 s and more.
    EXPECT_GE(elapsed, 3'000u);
    EXPECT_LT(elapsed, 6'000u);
    EXPECT_EQ(threadCreation.workerRequests, 1) << "the second press started no worker";
    EXPECT_EQ(benchResults.seqRead, 0);
    EXPECT_EQ(benchResults.seqWrite, 0);
    EXPECT_EQ(benchResults.rand4kRead, 9) << "the tests after it do not run";
    EXPECT_TRUE(statusContaining(L"Sequential Read"));
    EXPECT_FALSE(statusContaining(L"Sequential Write"));
    EXPECT_FALSE(statusContaining(L"Random"));
    EXPECT_FALSE(statusContaining(L"Access"));
    EXPECT_EQ(dialog->text(ids::kSequentialReadLabel), formatSpeed(0).c_str());
    EXPECT_EQ(dialog->text(ids::kStatusLine), L"");
    EXPECT_EQ(dialog->runEndedCount(), 1);
    expectControlsOffThenOn();
}

TEST_F(EngineRun, StartRequestTakesItsDurationRowAndSavesTheEntry) {
    WideString folder = e2e::makeTempFolder(L"bc_run");
    ASSERT_FALSE(folder.isEmpty());
    WideString savedPath = settingsPath;
    settingsPath = folder + L"\\Brindlecrest.ini";
    for (int entry = 0; entry < kDurationChoices; ++entry) {
        engineState.durationTable[entry] = kDurationTable[entry];
    }
    // Each run is looked at before its worker starts, then let go as a cancelled run.
    threadCreation.suspended = true;
    engineState.passDurationMs = 1500;

    struct Case {
        int entry;
        int32_t loopCount;
        int32_t passDurationMs;
    };
    // No entry first: the pass duration stays as it was.
    const Case cases[] = {{-1, 2, 1500}, {0, 4, 2400}, {1, 4, 4800}, {2, 4, 7200}, {3, 4, 4800}, {-1, 2, 4800}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        dialog->selectDuration(c.entry);
        requestRun(dialog->window(), cmd::kSequential);
        EXPECT_EQ(engineState.loopCount, c.loopCount);
        EXPECT_EQ(engineState.passDurationMs, c.passDurationMs);
        EXPECT_EQ(readIntSetting(kSettingsSection, kSettingTestTime, 99), c.entry);
        ASSERT_NE(threadCreation.lastWorker, nullptr);
        HANDLE own = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), threadCreation.lastWorker, GetCurrentProcess(), &own,
                                    SYNCHRONIZE, FALSE, 0));
        engineState.running = 0;
        ResumeThread(threadCreation.lastWorker);
        EXPECT_TRUE(dialog->serveUntilEnded(own));
        CloseHandle(own);
    }
    EXPECT_EQ(allocations.total, 6) << "pattern blocks only: no test ran";
    settingsPath = savedPath;
    e2e::removeTree(folder);
}

// Without a worker thread nothing would ever give the controls back.
TEST_F(EngineRun, WorkerThatCannotBeCreatedIsReportedAndGivesTheControlsBack) {
    threadCreation.fail = true;
    // On a thread whose message box the stand-in closes.
    onWorker([this] { requestRun(dialog->window(), cmd::kSequential); });
    EXPECT_EQ(threadCreation.workerRequests, 1);
    EXPECT_EQ(engineState.running.load(), 0);
    EXPECT_EQ(engineState.workerThread, nullptr);
    ASSERT_EQ(dialog->messageBoxTexts().size(), 1u);
    const std::wstring& box = dialog->messageBoxTexts()[0];
    EXPECT_EQ(box.rfind(L"The test could not be started.\r\n0x00000008:", 0), 0u) << std::string(box.begin(), box.end());
    std::vector<bool> expected = {false, true};
    EXPECT_EQ(dialog->controlsEnabledCalls(), expected);

    // The next press starts a run as usual.
    threadCreation.fail = false;
    engineState.durationTable[kVeryLongEntry] = DurationRow{1, 5};
    ASSERT_TRUE(pressAndServe(cmd::kAccessTime));
    EXPECT_EQ(dialog->runEndedCount(), 1);
}

// The worker has been made but has not reached beginRun(), so `busy` is still 0.
TEST_F(EngineRun, SecondPressBeforeTheWorkerBeginsCancelsInsteadOfStartingAnother) {
    threadCreation.suspended = true;
    requestRun(dialog->window(), cmd::kAccessTime);
    ASSERT_NE(threadCreation.lastWorker, nullptr);
    ASSERT_EQ(engineState.busy.load(), 0);
    requestRun(dialog->window(), cmd::kAccessTime);
    EXPECT_EQ(threadCreation.workerRequests, 1);
    EXPECT_EQ(engineState.running.load(), 0);

    HANDLE own = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), threadCreation.lastWorker, GetCurrentProcess(), &own, SYNCHRONIZE,
                                FALSE, 0));
    ResumeThread(threadCreation.lastWorker);
    ASSERT_TRUE(dialog->serveUntilEnded(own));
    CloseHandle(own);
    EXPECT_EQ(benchResults.accessReadNs, 0);
    EXPECT_EQ(dialog->text(ids::kAccessReadLabel), L"------ ");
    EXPECT_EQ(allocations.total, 1) << "only the pattern block";
    EXPECT_EQ(dialog->runEndedCount(), 1);
    expectControlsOffThenOn();
}

// The last worker still draws the clock and the toolbar when the controls are back: a press then
// starts the next run at once instead of being taken for a Stop.
TEST_F(EngineRun, PressOnceTheControlsAreBackStartsTheNextRunAtOnce) {
    engineState.durationTable[kVeryLongEntry] = DurationRow{1, 5};
    HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int finished = 0;
    dialog->onRunFinished = [&] {
        if (++finished == 1) {
            SetEvent(reached);
            WaitForSingleObject(release, 30'000);
        }
    };
    requestRun(dialog->window(), cmd::kAccessTime);
    HANDLE first = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), engineState.workerThread, GetCurrentProcess(), &first, SYNCHRONIZE,
                                FALSE, 0));
    ASSERT_TRUE(dialog->serveUntilEnded(reached, 30'000));
    ASSERT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first worker is still there";

    requestRun(dialog->window(), cmd::kAccessTime);
    EXPECT_EQ(threadCreation.workerRequests, 2) << "the press was taken for a Stop";
    HANDLE second = nullptr;
    DuplicateHandle(GetCurrentProcess(), threadCreation.lastWorker, GetCurrentProcess(), &second, SYNCHRONIZE, FALSE, 0);
    SetEvent(release);
    EXPECT_TRUE(dialog->serveUntilEnded(first, 30'000));
    if (second) {
        EXPECT_TRUE(dialog->serveUntilEnded(second, 30'000));
        CloseHandle(second);
    }
    EXPECT_EQ(dialog->runEndedCount(), 2);
    std::vector<bool> expected = {false, true, false, true};
    EXPECT_EQ(dialog->controlsEnabledCalls(), expected);
    EXPECT_EQ(engineState.workerThread, nullptr);
    CloseHandle(first);
    CloseHandle(reached);
    CloseHandle(release);
}

TEST_F(EngineRun, RunsLeaveNoHandleBehind) {
    // Short access-time runs: the sweeps stop once 5 ms of reads and of writes are summed.
    engineState.durationTable[kVeryLongEntry] = DurationRow{1, 5};
    ASSERT_TRUE(pressAndServe(cmd::kAccessTime));
    int afterFirst = e2e::processHandleCount(GetCurrentProcessId());
    ASSERT_GT(afterFirst, 0);
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(pressAndServe(cmd::kAccessTime));
    }
    EXPECT_EQ(e2e::processHandleCount(GetCurrentProcessId()), afterFirst);
    EXPECT_EQ(engineState.workerThread, nullptr);
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
