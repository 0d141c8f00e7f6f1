// Generator, run frame, pass timer, status messages, busy dots, error boxes and engine texts.
#include <atomic>
#include <set>
#include <string>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

TEST(Generator, StepsByTheFixedRule) {
    setRandomState(1);
    EXPECT_EQ(nextRandom(), 10'650'132u);
    setRandomState(0);
    EXPECT_EQ(nextRandom(), 2'396'403u);
    // The state wraps modulo 2^32 (a known answer, worked out apart from the code).
    EXPECT_EQ(nextRandom(), 938935110u);
}

TEST(BusyDots, IsTwoGroupsOfDotPairsEachEndingInThreeSpaces) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 2000; ++i) {
        std::wstring text = busyDotsText().c_str();
        ASSERT_GE(text.size(), 6u);
        ASSERT_EQ(text.substr(text.size() - 3), L"   ");
        size_t gap = text.find(L"   ");
        std::wstring first = text.substr(0, gap);
        std::wstring second = text.substr(gap + 3, text.size() - gap - 6);
        for (const std::wstring& dots : {first, second}) {
            ASSERT_EQ(dots.find_first_not_of(L'.'), std::wstring::npos) << "only dots before the spaces";
            ASSERT_EQ(dots.size() % 2, 0u);
            ASSERT_LE(dots.size(), 6u);
        }
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 16u) << "every pair of counts 0..3 shows up";
}

TEST(EngineTexts, TakeTheLanguageTextsAndKeepEnglishWhereAKeyHasNone) {
    applyEngineTexts([](int key) -> const wchar_t* {
        switch (key) {
        case 5: return L"... Initialisiere ";
        case 6: return L"Sequentielles Lesen";
        case 17: return L"Zugriffszeit";
        default: return nullptr;
        }
    });
    EXPECT_STREQ(engineTexts.textInitialize.c_str(), L"... Initialisiere ");
    EXPECT_STREQ(engineTexts.textSeqRead.c_str(), L"Sequentielles Lesen");
    EXPECT_STREQ(engineTexts.textAccessTime.c_str(), L"Zugriffszeit");
    EXPECT_STREQ(engineTexts.textSeqWrite.c_str(), L"Sequential Write");
    EXPECT_STREQ(engineTexts.textMemoryError.c_str(), L"Memory Error");

    applyEngineTexts(nullptr);
    EXPECT_STREQ(engineTexts.textInitialize.c_str(), L"... Initialize ");
    EXPECT_STREQ(engineTexts.textSeqRead.c_str(), L"Sequential Read");
    EXPECT_STREQ(engineTexts.textRandRead.c_str(), L"Random Read");
    EXPECT_STREQ(engineTexts.textRandWrite.c_str(), L"Random Write");
    EXPECT_STREQ(engineTexts.textAllocError.c_str(), L"Create-File Error");
    EXPECT_STREQ(engineTexts.textAccessTime.c_str(), L"Access Time");
}

using RunFrame = EngineTest;

TEST_F(RunFrame, BeginFillsThePatternFromTheGeneratorAndEndReleasesIt) {
    engineState.runTestSize = kTestSizeBytes;  // only the 4 MiB pattern block is allocated here
    engineState.loopCount = 4;
    engineState.running = 1;
    setRandomState(1);
    onWorker([] { beginRun(); });

    EngineState& e = engineState;
    EXPECT_EQ(e.busy.load(), 1);
    EXPECT_EQ(e.running.load(), 1);
    EXPECT_EQ(e.loops, 4);
    EXPECT_EQ(e.testSize, 524'288'000u);
    EXPECT_EQ(e.blockSize, 4'194'304);
    EXPECT_EQ(e.blockCount, 125);
    ASSERT_NE(e.patternBlock, nullptr);
    EXPECT_EQ(allocations.sizes[e.patternBlock], 4'194'304u);
    const auto* words = reinterpret_cast<const uint32_t*>(e.patternBlock);
    setRandomState(1);
    for (int i = 0; i < e.blockSize / 4; ++i) {
        ASSERT_EQ(words[i], nextRandom()) << "word " << i;
    }
    EXPECT_EQ(dialog->statusTexts(), std::vector<std::wstring>{L"... Initialize "});
    EXPECT_EQ(dialog->text(engine_ids::kStatusLine), L"... Initialize ");

    onWorker([] { endRun(); });
    EXPECT_EQ(e.patternBlock, nullptr);
    EXPECT_EQ(e.busy.load(), 0);
    EXPECT_EQ(e.running.load(), 0);
    EXPECT_EQ(dialog->text(engine_ids::kStatusLine), L"");
    EXPECT_EQ(dialog->statusTexts().back(), L"");
    EXPECT_EQ(dialog->runEndedCount(), 1);
}

TEST_F(RunFrame, WithoutAPatternBlockShowsOneMemoryErrorAndRunsNothing) {
    allocations.failAt = 1;
    engineState.running = 1;
    onWorker([] { beginRun(); });

    EXPECT_EQ(dialog->messageBoxTexts(), std::vector<std::wstring>{L"Memory Error"});
    EXPECT_EQ(engineState.running.load(), 0);
    EXPECT_EQ(engineState.busy.load(), 1) << "busy stays set until the run ends";
    EXPECT_TRUE(dialog->statusTexts().empty()) << "no initialisation text after a failed start";

    onWorker([] { endRun(); });
    EXPECT_EQ(engineState.busy.load(), 0);
    EXPECT_EQ(dialog->text(engine_ids::kStatusLine), L"");
    EXPECT_EQ(dialog->runEndedCount(), 1);
    EXPECT_EQ(dialog->messageBoxTexts().size(), 1u);
}

TEST_F(RunFrame, SystemErrorBoxAddsCodeAndSystemMessage) {
    onWorker([] {
        SetLastError(ERROR_FILE_NOT_FOUND);
        showSystemError(L"Create-File Error");
    });
    ASSERT_EQ(dialog->messageBoxTexts().size(), 1u);
    const std::wstring& text = dialog->messageBoxTexts()[0];
    const std::wstring head = L"Create-File Error\r\n0x00000002:";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_GT(text.size(), head.size()) << "the system's message for the code follows";
}

TEST_F(RunFrame, PassTimerFiresOncePerPass) {
    engineState.passDurationMs = 100;
    DWORD start = GetTickCount();
    startPassTimer();
    EXPECT_EQ(engineState.passTimerAlive.load(), 1);
    while (engineState.passTimerAlive.load() && GetTickCount() - start < 5000) {
        dialog->pump(5);
    }
    EXPECT_EQ(engineState.passTimerAlive.load(), 0);
    EXPECT_GE(GetTickCount() - start, 90u);

    // The timer killed itself: nothing clears the flag again.
    engineState.passTimerAlive = 1;
    dialog->pump(400);
    EXPECT_EQ(engineState.passTimerAlive.load(), 1);

    // The next pass gets a new timer under the same id.
    startPassTimer();
    start = GetTickCount();
    while (engineState.passTimerAlive.load() && GetTickCount() - start < 5000) {
        dialog->pump(5);
    }
    EXPECT_EQ(engineState.passTimerAlive.load(), 0);
}

// The worker starts its next pass the moment the flag drops. Were the flag cleared before the
// old timer is killed, the kill could take the new pass's timer and that pass would never end.
TEST_F(RunFrame, APassStartedTheMomentThePreviousEndedKeepsItsTimer) {
    engineState.passDurationMs = 10;
    struct Restarter {
        std::atomic<int> restarts{0};
        std::atomic<int> quit{0};
    } shared;
    startPassTimer();
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto& s = *static_cast<Restarter*>(parameter);
            while (!s.quit.load()) {
                if (!engineState.passTimerAlive.load(std::memory_order_relaxed)) {
                    startPassTimer();
                    s.restarts.fetch_add(1);
                }
            }
            return 0;
        },
        &shared, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    // Each restarted pass must end in turn: a lost timer leaves the flag up for good.
    int seen = 0;
    DWORD lastProgress = GetTickCount();
    while (seen < 300 && GetTickCount() - lastProgress < 2000) {
        dialog->pump(5);
        int now = shared.restarts.load();
        if (now != seen) {
            seen = now;
            lastProgress = GetTickCount();
        }
    }
    shared.quit = 1;
    WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
    KillTimer(engineState.engineWindow, engine_ids::kPassTimer);
    EXPECT_GE(seen, 300) << "a pass started as its predecessor's timer ended never ended (after " << seen
                         << " passes)";
}

TEST_F(RunFrame, StatusTextsStayReadableAfterTheEngineMovedOn) {
    // The worker rewrites and drops its texts long before the window reads them.
    onWorker([] {
        for (int i = 0; i < 50; ++i) {
            WideString status = WideString::format(L"step %d", i % 5);
            postStatus(status);
        }
    });
    ASSERT_EQ(dialog->statusTexts().size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(dialog->statusTexts()[static_cast<size_t>(i)], L"step " + std::to_wstring(i % 5));
    }
}

}  // namespace
}  // namespace engine_test
