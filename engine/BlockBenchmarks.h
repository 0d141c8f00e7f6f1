#pragma once
// The sequential and the random-block benchmarks: timed passes that copy blocks between the test
// memory and `patternBlock`. Run on the worker thread between beginRun() and endRun().

#include <cstdint>

// Both phases of the sequential benchmark into `seqRead` and `seqWrite`.
void runSequential();

// Both phases of the random-block benchmark with blocks of `kb` KiB (4 or 1) into the two slots.
void runRandomBlocks(int kb, double& readSlot, double& writeSlot);

// Block positions of the random-block benchmark in `testSize` bytes of test memory: 128,000 of
// 4 KiB or 512,000 of 1 KiB in 500 MiB.
constexpr uint32_t randomBlockSlots(uint64_t testSize, int kb) {
    return static_cast<uint32_t>((testSize >> 20) << (kb == 4 ? 8 : 10));
}

// Byte offset of a random block: (r mod slots) blocks in, so always block-aligned and below
// slots * blockBytes. In 32 bits: the test memory is far below 4 GiB, and a 64-bit remainder
// would put the slow 64-bit division into the timed loop.
constexpr uint32_t randomBlockOffset(uint32_t r, uint32_t slots, uint32_t blockBytes) {
    return (r % slots) * blockBytes;
}
