// Sequential and random-block benchmarks. Most tests script the millisecond clock: each pass gets
// a list of times (after the pass start) at which its copies finish, and the pass timer "fires"
// with the last of them, so samples, averages and pass ends are exact.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/BlockBenchmarks.h"
#include "engine/BlockCopy.h"
#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/GuardedMemory.h"

namespace engine_test {
namespace {

struct PassScript {
    std::vector<std::vector<DWORD>> copyTimes;  // per pass, cycling through the list
    DWORD base = 0xFFFFFF80;                    // pass start just below the wrap of the 32-bit clock
    int cancelPass = -1;                        // clear `running` when this pass ...
    size_t cancelCopy = 0;                      // ... reaches this copy (1-based)
    int pass = -1;
    size_t calls = 0;
    std::vector<size_t> copiesPerPass;
};
PassScript script;

DWORD WINAPI scriptedClock() {
    PassScript& s = script;
    if (s.calls++ == 0) {
        return s.base;  // the pass start
    }
    const std::vector<DWORD>& times = s.copyTimes[static_cast<size_t>(s.pass) % s.copyTimes.size()];
    size_t copy = s.calls - 1;
    s.copiesPerPass[static_cast<size_t>(s.pass)] = copy;
    if (copy >= times.size()) {
        engineState.passTimerAlive = 0;
    }
    if (s.pass == s.cancelPass && copy == s.cancelCopy) {
        engineState.running = 0;
    }
    return s.base + times[std::min(copy, times.size()) - 1];
}

class BlockBenchmarks : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        script = PassScript{};
        // Every allocation of pass size starts a pass of the script.
        allocations.onAllocate = [](size_t bytes) {
            if (bytes == engineState.testSize) {
                ++script.pass;
                script.calls = 0;
                script.copiesPerPass.push_back(0);
            }
        };
        engineState.system.milliseconds = scriptedClock;
        engineState.passDurationMs = 60'000;  // the real pass timer never ends a scripted pass
        engineState.loopCount = 1;
        engineState.running = 1;
    }

    // The first 4 KiB of the pattern block.
    static bool patternStartIs(uint8_t byte) {
        const uint8_t* p = engineState.patternBlock;
        return std::all_of(p, p + 4096, [byte](uint8_t b) { return b == byte; });
    }
};

constexpr double kSeqKiB = 4096;  // KiB in one 4 MiB block

TEST_F(BlockBenchmarks, SequentialReadAveragesEverySampleWritesOnlyTheLastPass) {
    // Copies finishing 200 ms after the last sample take none, 201 ms do; the clock wraps.
    script.copyTimes = {{200, 201, 402, 500}, {300, 450, 700}};
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    double readMean = (kSeqKiB * 2 / 201 + kSeqKiB * 3 / 402 + kSeqKiB * 1 / 300 + kSeqKiB * 3 / 700) / 4;
    EXPECT_DOUBLE_EQ(benchResults.seqRead, readMean);
    // Writing checks the timer only when a sample is due: the copy at 700 ms ends the last pass
    // without its sample.
    EXPECT_DOUBLE_EQ(benchResults.seqWrite, kSeqKiB / 300);
    EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{4, 3, 4, 3}));

    std::vector<std::wstring> expected = {L"... Initialize ",         L"... Initialize Sequential Read",
                                          L"Sequential Read /// 1/1", L"... Initialize Sequential Write",
                                          L"Sequential Write 1/1",    L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
    EXPECT_EQ(dialog->text(engine_ids::kSequentialWriteLabel), formatSpeed(kSeqKiB / 300).c_str());
}

TEST_F(BlockBenchmarks, SequentialWriteRunsOnToTheEndOfTheWalkBeforeCheckingTheTimer) {
    // Two blocks per walk; the timer fires with the first copy of the pass, but no sample is due
    // there, so the walk finishes its second block first. Reading stops at once.
    script.copyTimes = {{100}};
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{1, 1, 2, 2}));
    EXPECT_EQ(benchResults.seqRead, 0) << "no pass lasted long enough for a sample";
    EXPECT_EQ(benchResults.seqWrite, 0);
}

TEST_F(BlockBenchmarks, StatusTextsOfEveryPass) {
    engineState.loopCount = 4;
    script.copyTimes = {{250}};
    onWorker([] {
        beginRun();
        runSequential();
        runRandomBlocks(4, benchResults.rand4kRead, benchResults.rand4kWrite);
        runRandomBlocks(1, benchResults.rand1kRead, benchResults.rand1kWrite);
        endRun();
    });
    std::vector<std::wstring> expected = {L"... Initialize ", L"... Initialize Sequential Read"};
    for (int i = 1; i <= 4; ++i) {
        expected.push_back(L"Sequential Read /// " + std::to_wstring(i) + L"/4");
    }
    expected.push_back(L"... Initialize Sequential Write");
    for (int i = 1; i <= 4; ++i) {
        expected.push_back(L"Sequential Write " + std::to_wstring(i) + L"/4");
    }
    for (int kb : {4, 1}) {
        std::wstring size = std::to_wstring(kb) + L"KB";
        expected.push_back(L"... Initialize  Random Read " + size);
        for (int i = 1; i <= 4; ++i) {
            expected.push_back(L"Random Read " + size + L" " + std::to_wstring(i) + L"/4");
        }
        expected.push_back(L"Random Write ... Initialize  " + size);
        for (int i = 1; i <= 4; ++i) {
            expected.push_back(L"Random Write " + size + L" " + std::to_wstring(i) + L"/4");
        }
    }
    expected.push_back(L"");
    EXPECT_EQ(dialog->statusTexts(), expected);
    EXPECT_EQ(script.pass, 29) << "five passes in each of the six phases";
}

TEST_F(BlockBenchmarks, RandomBlocksAverageTheLastPassOfEachPhase) {
    script.copyTimes = {{200, 201, 402, 500}, {300, 450, 700}};
    onWorker([] {
        beginRun();
        runRandomBlocks(4, benchResults.rand4kRead, benchResults.rand4kWrite);
        runRandomBlocks(1, benchResults.rand1kRead, benchResults.rand1kWrite);
        endRun();
    });
    // Both phases check the timer after every block, so the copy at 700 ms is sampled.
    EXPECT_DOUBLE_EQ(benchResults.rand4kRead, (4.0 / 300 + 4.0 * 3 / 700) / 2);
    EXPECT_DOUBLE_EQ(benchResults.rand4kWrite, (4.0 / 300 + 4.0 * 3 / 700) / 2);
    EXPECT_DOUBLE_EQ(benchResults.rand1kRead, (1.0 / 300 + 1.0 * 3 / 700) / 2);
    EXPECT_DOUBLE_EQ(benchResults.rand1kWrite, (1.0 / 300 + 1.0 * 3 / 700) / 2);
    EXPECT_EQ(dialog->text(engine_ids::kRandom1kWriteLabel), formatSpeed(benchResults.rand1kWrite).c_str());
}

TEST_F(BlockBenchmarks, RandomPositionsReachTheWholeTestMemory) {
    // The slot count decides how much of the test memory the random blocks can reach: a wrong
    // shift leaves part of it unused. The write passes show where their copies went: the pass
    // memory starts as zeros, and a block holding the pattern's start was written.
    for (int kb : {4, 1}) {
        SCOPED_TRACE(testing::Message() << kb << " KiB blocks");
        script = PassScript{};
        std::vector<DWORD> times(20'000);
        for (size_t i = 0; i < times.size(); ++i) {
            times[i] = static_cast<DWORD>(i / 16 + 1);
        }
        script.copyTimes = {times};
        engineState.running = 1;
        allocations.fillByte = 0;
        const size_t blockBytes = static_cast<size_t>(kb) * 1024;
        std::vector<int> writtenPerEighth(8, 0);
        allocations.onRelease = [&](void* block, size_t bytes) {
            if (bytes != engineState.testSize || script.pass < 2) {
                return;  // the pattern block, or a read pass
            }
            const auto* memory = static_cast<const uint8_t*>(block);
            for (size_t offset = 0; offset < bytes; offset += blockBytes) {
                if (memcmp(memory + offset, engineState.patternBlock, blockBytes) == 0) {
                    ++writtenPerEighth[offset * 8 / bytes];
                }
            }
        };
        onWorker([kb] {
            beginRun();
            runRandomBlocks(kb, benchResults.rand4kRead, benchResults.rand4kWrite);
            endRun();
        });
        ASSERT_EQ(script.copiesPerPass, (std::vector<size_t>{20'000, 20'000, 20'000, 20'000}));
        // 20,000 copies into 2048 (4 KiB) or 8192 (1 KiB) positions of 8 MiB, twice: every eighth
        // of the memory gets hundreds of them.
        for (int eighth = 0; eighth < 8; ++eighth) {
            EXPECT_GT(writtenPerEighth[static_cast<size_t>(eighth)], 100) << "eighth " << eighth;
        }
    }
}

TEST(RandomBlockOffset, IsBlockAlignedForTheExtremesOfTheGenerator) {
    constexpr uint32_t slots4k = randomBlockSlots(kTestSizeBytes, 4);
    constexpr uint32_t slots1k = randomBlockSlots(kTestSizeBytes, 1);
    EXPECT_EQ(randomBlockOffset(128'000, slots4k, 4096), 0u);
    EXPECT_EQ(randomBlockOffset(128'001, slots4k, 4096), 4096u);
    // The largest draw still lands inside the 500 MiB, without 32-bit overflow.
    EXPECT_EQ(randomBlockOffset(0xFFFFFFFF, slots4k, 4096), (0xFFFFFFFFull % 128'000) * 4096);
    EXPECT_EQ(randomBlockOffset(0xFFFFFFFF, slots1k, 1024), (0xFFFFFFFFull % 512'000) * 1024);
    EXPECT_EQ(randomBlockOffset(511'999, slots1k, 1024), kTestSizeBytes - 1024);
}

// The copies must really happen: the pass memory comes filled with a byte of its own, and what
// it holds afterwards shows which blocks were copied.
TEST_F(BlockBenchmarks, SequentialCopiesReachTheirDestinations) {
    script.copyTimes = {{300, 600}};
    // Allocations: 1 pattern block, 2-3 read passes, 4-5 write passes.
    allocations.onAllocate = [](size_t bytes) {
        if (bytes == engineState.testSize) {
            ++script.pass;
            script.calls = 0;
            script.copiesPerPass.push_back(0);
        }
        allocations.fillByte = allocations.total <= 3 ? 0xA5 : 0x3C;
    };
    int writePassesChecked = 0;
    allocations.onRelease = [&writePassesChecked](void* block, size_t bytes) {
        if (bytes != engineState.testSize || script.pass < 2) {
            return;
        }
        // Each write pass walks every block once: all of it now holds the pattern.
        const uint8_t* memory = static_cast<const uint8_t*>(block);
        EXPECT_EQ(memcmp(memory, engineState.patternBlock, 4 * kMiB), 0);
        EXPECT_EQ(memcmp(memory + 4 * kMiB, engineState.patternBlock, 4 * kMiB), 0);
        ++writePassesChecked;
    };
    bool patternReplaced = false;
    onWorker([&patternReplaced] {
        beginRun();
        runSequential();
        const uint8_t* p = engineState.patternBlock;
        patternReplaced = std::all_of(p, p + 4 * kMiB, [](uint8_t b) { return b == 0xA5; });
        endRun();
    });
    EXPECT_TRUE(patternReplaced) << "the read passes copied test memory over the whole pattern block";
    EXPECT_EQ(writePassesChecked, 2);
}

TEST_F(BlockBenchmarks, RandomCopiesReachTheirDestinations) {
    script.copyTimes = {{100, 200, 300}};
    allocations.onAllocate = [](size_t bytes) {
        if (bytes == engineState.testSize) {
            ++script.pass;
            script.calls = 0;
            script.copiesPerPass.push_back(0);
        }
        allocations.fillByte = allocations.total <= 3 ? 0xA5 : 0x3C;
    };
    int blocksWritten = 0;
    allocations.onRelease = [&blocksWritten](void* block, size_t bytes) {
        if (bytes != engineState.testSize || script.pass < 2) {
            return;
        }
        // Every 4 KiB block is either untouched or a whole copy of the pattern's first 4 KiB.
        const uint8_t* memory = static_cast<const uint8_t*>(block);
        for (size_t offset = 0; offset < bytes; offset += 4096) {
            bool untouched = std::all_of(memory + offset, memory + offset + 4096, [](uint8_t b) { return b == 0x3C; });
            bool copied = memcmp(memory + offset, engineState.patternBlock, 4096) == 0;
            ASSERT_TRUE(untouched || copied) << "block at " << offset;
            blocksWritten += copied ? 1 : 0;
        }
    };
    bool readCopied = false;
    bool restUntouched = false;
    onWorker([&] {
        beginRun();
        runRandomBlocks(4, benchResults.rand4kRead, benchResults.rand4kWrite);
        readCopied = patternStartIs(0xA5);
        const uint8_t* p = engineState.patternBlock;
        restUntouched = !std::all_of(p + 4096, p + 4 * kMiB, [](uint8_t b) { return b == 0xA5; });
        endRun();
    });
    EXPECT_TRUE(readCopied) << "the read copies land at the start of the pattern block";
    EXPECT_TRUE(restUntouched) << "and nowhere else";
    EXPECT_GE(blocksWritten, 2) << "each of the two write passes copied at least one block";
}

TEST_F(BlockBenchmarks, CancelInTheSequentialReadPhaseEndsEachPassWithinOneBlock) {
    engineState.loopCount = 2;
    script.copyTimes = {{100, 250, 300, 460}};
    script.cancelPass = 1;
    script.cancelCopy = 2;
    benchResults.seqWrite = 77;
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    EXPECT_EQ(benchResults.seqRead, 0);
    EXPECT_EQ(benchResults.seqWrite, 0);
    // The cancelled pass stops after the copy in progress; the remaining pass still shows its
    // text, takes and gives back its memory, then ends without copying.
    EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{4, 2, 0}));
    std::vector<std::wstring> expected = {L"... Initialize ", L"... Initialize Sequential Read",
                                          L"Sequential Read /// 1/2", L"Sequential Read /// 2/2", L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
}

TEST_F(BlockBenchmarks, CancelInAWritePhaseZerosBothSlots) {
    script.copyTimes = {{100, 250, 300, 460}};
    script.cancelPass = 2;  // the first write pass (loops 1: read passes 0 and 1)
    script.cancelCopy = 3;
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    EXPECT_EQ(benchResults.seqRead, 0);
    EXPECT_EQ(benchResults.seqWrite, 0);
    EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{4, 4, 3, 0}));
    EXPECT_EQ(dialog->text(engine_ids::kSequentialReadLabel), formatSpeed(0).c_str());

    for (int kb : {4, 1}) {
        script = PassScript{};
        script.copyTimes = {{100, 250, 300, 460}};
        script.cancelPass = 2;
        script.cancelCopy = 1;
        engineState.running = 1;
        benchResults.rand4kRead = benchResults.rand1kRead = 5;
        onWorker([kb] {
            beginRun();
            runRandomBlocks(kb, kb == 4 ? benchResults.rand4kRead : benchResults.rand1kRead,
                            kb == 4 ? benchResults.rand4kWrite : benchResults.rand1kWrite);
            endRun();
        });
        double read = kb == 4 ? benchResults.rand4kRead : benchResults.rand1kRead;
        double write = kb == 4 ? benchResults.rand4kWrite : benchResults.rand1kWrite;
        EXPECT_EQ(read, 0) << kb << " KiB";
        EXPECT_EQ(write, 0) << kb << " KiB";
        EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{4, 4, 1, 0})) << kb << " KiB";
    }
}

TEST_F(BlockBenchmarks, CancelInTheRandomReadPhaseSkipsTheWritePhase) {
    script.copyTimes = {{100, 250, 300, 460}};
    script.cancelPass = 0;
    script.cancelCopy = 2;
    onWorker([] {
        beginRun();
        runRandomBlocks(1, benchResults.rand1kRead, benchResults.rand1kWrite);
        endRun();
    });
    EXPECT_EQ(benchResults.rand1kRead, 0);
    EXPECT_EQ(benchResults.rand1kWrite, 0);
    EXPECT_EQ(script.copiesPerPass, (std::vector<size_t>{2, 0}));
    EXPECT_EQ(dialog->statusTexts().size(), 4u) << "start, two read passes, end";
}

TEST_F(BlockBenchmarks, NoPassMemoryForSequentialReadingZerosBothSlots) {
    // Real allocation of a terabyte, which no machine commits.
    engineState.runTestSize = 1ull << 40;
    script.copyTimes = {{300}};
    benchResults.seqRead = benchResults.seqWrite = 3;
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    ASSERT_EQ(dialog->messageBoxTexts().size(), 1u);
    const std::wstring head = L"Create-File Error\r\n0x00000008:";
    EXPECT_EQ(dialog->messageBoxTexts()[0].substr(0, head.size()), head);
    EXPECT_EQ(benchResults.seqRead, 0);
    EXPECT_EQ(benchResults.seqWrite, 0);
    EXPECT_EQ(engineState.running.load(), 0);
    std::vector<std::wstring> expected = {L"... Initialize ", L"... Initialize Sequential Read", L""};
    EXPECT_EQ(dialog->statusTexts(), expected);
}

TEST_F(BlockBenchmarks, NoPassMemoryForSequentialWritingKeepsTheSlots) {
    script.copyTimes = {{300}};
    allocations.failAt = 4;  // pattern block, two read passes, then the first write pass
    benchResults.seqWrite = 6;
    onWorker([] {
        beginRun();
        runSequential();
        endRun();
    });
    EXPECT_EQ(dialog->messageBoxTexts().size(), 1u);
    EXPECT_DOUBLE_EQ(benchResults.seqRead, kSeqKiB / 300);
    EXPECT_EQ(benchResults.seqWrite, 6);
    EXPECT_EQ(engineState.running.load(), 0);
}

TEST_F(BlockBenchmarks, NoPassMemoryForRandomWritingZerosBothSlots) {
    script.copyTimes = {{300}};
    allocations.failAt = 4;
    onWorker([] {
        beginRun();
        runRandomBlocks(4, benchResults.rand4kRead, benchResults.rand4kWrite);
        endRun();
    });
    EXPECT_EQ(dialog->messageBoxTexts().size(), 1u);
    EXPECT_EQ(benchResults.rand4kRead, 0);
    EXPECT_EQ(benchResults.rand4kWrite, 0);
    EXPECT_EQ(engineState.running.load(), 0);
}

TEST(BlockCopy, BothRoutinesCopyExactlyTheBytesAskedFor) {
    // Source and destination each end at a no-access page, so reading or writing one byte past
    // the end stops the test; sizes off the 64-byte step test the tail.
    for (auto routine : {copyWithRepMovsb, copyWithSse2Loop}) {
        for (size_t bytes : {size_t{1}, size_t{63}, size_t{64}, size_t{1024}, size_t{4096}, size_t{4 * kMiB + 17}}) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes, "
                                            << (routine == copyWithRepMovsb ? "rep movsb" : "SSE2"));
            auto* from = static_cast<uint8_t*>(guarded_memory::allocate(bytes));
            auto* to = static_cast<uint8_t*>(guarded_memory::allocate(bytes + 1));
            ASSERT_TRUE(from && to);
            for (size_t i = 0; i < bytes; ++i) {
                from[i] = static_cast<uint8_t>(i * 7 + 3);
            }
            memset(to, 0xEE, bytes + 1);
            routine(to, from, bytes);
            EXPECT_EQ(memcmp(to, from, bytes), 0);
            EXPECT_EQ(to[bytes], 0xEE) << "nothing written past the end";
            guarded_memory::release(from);
            guarded_memory::release(to);
        }
    }
    EXPECT_STREQ(blockCopyRoutineName(blockCopyRoutine()),
                 processorHasEnhancedRepMovsb() ? "rep movsb" : "SSE2 loop");
}

}  // namespace
}  // namespace engine_test
