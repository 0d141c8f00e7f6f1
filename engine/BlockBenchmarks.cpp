#include "engine/BlockBenchmarks.h"

#include <type_traits>

#include "engine/BlockCopy.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"

namespace {

enum class PassEnd { timeUp, cancelled, noMemory };

struct Samples {
    double sum = 0;
    double count = 0;
    // A pass too short for a single sample measured nothing.
    double mean() const { return count > 0 ? sum / count : 0; }
};

bool stillRunning() { return engineState.running.load(std::memory_order_relaxed) != 0; }
bool passTimeLeft() { return engineState.passTimerAlive.load(std::memory_order_relaxed) != 0; }

// Counts the copies of one pass and turns them into speed samples, in KiB per millisecond since
// the start of the pass.
class PassMeter {
public:
    PassMeter(double& slot, Samples& samples, uint32_t blockBytes)
        : slot_(slot), samples_(samples), kibPerBlock_(blockBytes * (1.0 / 1024)),
          clock_(engineState.system.milliseconds), passStart_(clock_()), lastSample_(passStart_), now_(passStart_) {}

    // After every copy: whether a sample is due, i.e. more than 200 ms since the last one.
    bool countCopy() {
        ++count_;
        now_ = clock_();
        return now_ - lastSample_ > kSampleIntervalMs;
    }

    void takeSample() {
        lastSample_ = now_;
        double speed = kibPerBlock_ * count_ / static_cast<double>(now_ - passStart_);
        slot_ = speed;
        samples_.sum += speed;
        samples_.count += 1;
        refreshResultLabels();
    }

private:
    double& slot_;
    Samples& samples_;
    double kibPerBlock_;
    DWORD(WINAPI* clock_)();
    DWORD passStart_;
    DWORD lastSample_;
    DWORD now_;
    int32_t count_ = 0;
};

// One timed pass: status, fresh untouched test memory, the pass timer, then `walk` copies blocks
// until the timer has fired or the run is cancelled. A cancelled pass leaves its slot at 0.
template <class Walk>
PassEnd timedPass(const WideString& status, double& slot, Samples& samples, uint32_t blockBytes, Walk walk) {
    EngineState& e = engineState;
    postStatus(status);
    auto* memory = static_cast<uint8_t*>(e.system.allocate(static_cast<size_t>(e.testSize)));
    if (!memory) {
        showSystemError(engineTexts.textAllocError);
        e.running.store(0, std::memory_order_relaxed);
        return PassEnd::noMemory;
    }
    startPassTimer();
    PassMeter meter(slot, samples, blockBytes);
    PassEnd end = walk(memory, meter);
    e.system.release(memory);
    if (end == PassEnd::cancelled) {
        slot = 0;
    }
    return end;
}

}  // namespace

void runSequential() {
    EngineState& e = engineState;
    BenchResults& r = benchResults;
    const EngineTexts& t = engineTexts;
    if (!stillRunning() || !e.patternBlock) {
        r.seqRead = r.seqWrite = 0;
        return;
    }
    uint8_t* pattern = e.patternBlock;
    const size_t blockBytes = static_cast<size_t>(e.blockSize);
    const int32_t blocks = e.blockCount;

    // Reading: the walk copies test memory into the pattern block; the timer is checked after
    // every block. The result is the mean of every sample of every pass.
    auto readWalk = [&](uint8_t* memory, PassMeter& meter) {
        for (;;) {
            for (int32_t j = 0; j < blocks; ++j) {
                if (!stillRunning()) {
                    return PassEnd::cancelled;
                }
                copyBlock(pattern, memory + j * blockBytes, blockBytes);
                if (meter.countCopy()) {
                    meter.takeSample();
                }
                if (!passTimeLeft()) {
                    return PassEnd::timeUp;
                }
            }
        }
    };
    Samples readSamples;
    for (int32_t i = 0; i <= e.loops; ++i) {
        WideString status = i == 0 ? t.textInitialize + t.textSeqRead
                                   : WideString::format(L"%ls /// %d/%d", t.textSeqRead.c_str(), i, e.loops);
        if (timedPass(status, r.seqRead, readSamples, static_cast<uint32_t>(blockBytes), readWalk) ==
            PassEnd::noMemory) {
            r.seqRead = r.seqWrite = 0;
            return;
        }
    }
    r.seqRead = readSamples.mean();
    if (!stillRunning()) {
        r.seqRead = r.seqWrite = 0;
        return;
    }

    // Writing: the pattern block goes into the test memory; the timer is checked only when a
    // sample is due (an expired timer ends the pass without that sample) and after each full
    // walk. The result is the mean of the last pass's samples.
    auto writeWalk = [&](uint8_t* memory, PassMeter& meter) {
        for (;;) {
            for (int32_t j = 0; j < blocks; ++j) {
                if (!stillRunning()) {
                    return PassEnd::cancelled;
                }
                copyBlock(memory + j * blockBytes, pattern, blockBytes);
                if (meter.countCopy()) {
                    if (!passTimeLeft()) {
                        return PassEnd::timeUp;
                    }
                    meter.takeSample();
                }
            }
            if (!passTimeLeft()) {
                return PassEnd::timeUp;
            }
        }
    };
    Samples passSamples;
    for (int32_t i = 0; i <= e.loops; ++i) {
        passSamples = Samples{};
        WideString status = i == 0 ? t.textInitialize + t.textSeqWrite
                                   : WideString::format(L"%ls %d/%d", t.textSeqWrite.c_str(), i, e.loops);
        if (timedPass(status, r.seqWrite, passSamples, static_cast<uint32_t>(blockBytes), writeWalk) ==
            PassEnd::noMemory) {
            return;  // the read figure stands; the write slot keeps what it had
        }
    }
    r.seqWrite = passSamples.mean();
    if (!stillRunning()) {
        r.seqRead = r.seqWrite = 0;
    }
    refreshResultLabels();
}

void runRandomBlocks(int kb, double& readSlot, double& writeSlot) {
    EngineState& e = engineState;
    const EngineTexts& t = engineTexts;
    if (!stillRunning() || !e.patternBlock || (kb != 4 && kb != 1)) {
        readSlot = writeSlot = 0;
        return;
    }
    uint8_t* pattern = e.patternBlock;
    const uint32_t blockBytes = static_cast<uint32_t>(kb) * 1024;
    // Every block-aligned position of the test memory: 128,000 of 4 KiB or 512,000 of 1 KiB.
    const uint32_t slots = randomBlockSlots(e.testSize, kb);

    // Both walks check the timer after every block; each phase's result is the mean of the
    // samples of its last pass. Reading copies a random block into the pattern block, writing
    // the other way round. The direction is a compile-time constant: the measured loop carries
    // no extra branch.
    auto walkCopying = [&](auto intoMemory) {
        return [&](uint8_t* memory, PassMeter& meter) {
            for (;;) {
                if (!stillRunning()) {
                    return PassEnd::cancelled;
                }
                uint8_t* block = memory + randomBlockOffset(nextRandom(), slots, blockBytes);
                if constexpr (decltype(intoMemory)::value) {
                    copyBlock(block, pattern, blockBytes);
                } else {
                    copyBlock(pattern, block, blockBytes);
                }
                if (meter.countCopy()) {
                    meter.takeSample();
                }
                if (!passTimeLeft()) {
                    return PassEnd::timeUp;
                }
            }
        };
    };
    // One phase: loops + 1 passes; false when pass memory could not be had (both slots are 0).
    auto runPhase = [&](auto writingPhase, double& slot) {
        constexpr bool writing = decltype(writingPhase)::value;
        const WideString& name = writing ? t.textRandWrite : t.textRandRead;
        Samples passSamples;
        for (int32_t i = 0; i <= e.loops; ++i) {
            passSamples = Samples{};
            // The first pass names the phase and "initialise" in a different order for each direction.
            WideString status =
                i > 0 ? WideString::format(L"%ls %dKB %d/%d", name.c_str(), kb, i, e.loops)
                : writing ? WideString::format(L"%ls %ls %dKB", t.textRandWrite.c_str(), t.textInitialize.c_str(), kb)
                          : WideString::format(L"%ls %ls %dKB", t.textInitialize.c_str(), t.textRandRead.c_str(), kb);
            if (timedPass(status, slot, passSamples, blockBytes, walkCopying(writingPhase)) == PassEnd::noMemory) {
                readSlot = writeSlot = 0;
                return false;
            }
        }
        slot = passSamples.mean();
        if (!stillRunning()) {
            readSlot = writeSlot = 0;
        }
        refreshResultLabels();
        return true;
    };

    if (!runPhase(std::false_type{}, readSlot) || !stillRunning()) {
        return;
    }
    runPhase(std::true_type{}, writeSlot);
}
