#pragma once
// The sequential and the random-block benchmarks: timed passes that copy blocks between the test
// memory and `patternBlock`. Run on the worker thread between beginRun() and endRun().

#include <cstdint>

// Both phases of the sequential benchmark into `seqRead` and `seqWrite`.
void runSequential();

// Both phases of the random-block benchmark with blocks of `kb` KiB (4 or 1) into the two slots.
void runRandomBlocks(int kb, double& readSlot, double& writeSlot);

// Byte offset of a random block: (r mod slots) blocks in, so always block-aligned and below
// slots * blockBytes.
constexpr uint64_t randomBlockOffset(uint32_t r, uint64_t slots, uint32_t blockBytes) {
    return (r % slots) * blockBytes;
}
