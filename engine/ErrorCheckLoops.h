#pragma once
// The error check's passes over a block. Kept apart so the benchmark measures the very code the
// check runs, and so the compiler's output for them is easy to read.
//
// The compare loops count changed words per stretch of `kCompareStretchWords` words and look
// closer only at a stretch whose count is not zero: a sound block costs nothing but the count,
// a failing one yields where it fails.

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kCompareStretchWords = 4096;  // 16 KiB: rescanning one is cheap
inline constexpr size_t kListedChangedWords = 64;

// One changed word as the check found it.
struct ChangedWord {
    uint32_t block = 0;     // blocks are numbered from 1 in the order they were filled
    uint64_t offset = 0;    // bytes from the start of the block
    uint64_t address = 0;   // virtual address of the word
    uint32_t expected = 0;
    uint32_t actual = 0;
    uint32_t mask() const { return expected ^ actual; }  // the bits that differ
};

// Where a check found changed words: the first 64 in the order checked, and over all of them a
// count per bit position.
struct ChangedWordReport {
    std::array<ChangedWord, kListedChangedWords> listed{};
    size_t listedCount = 0;
    uint64_t total = 0;
    std::array<uint64_t, 32> bitCounts{};

    void clear() { *this = ChangedWordReport{}; }
    void add(const ChangedWord& word);
};

// Which pattern a pass writes; `expected` of the fill passes is the byte four times.
enum class CheckPattern { fillByte, invertedByte, address };

// Sets every byte of the block to `value` (one memset).
void fillBlock(void* block, size_t bytes, uint8_t value);

// Stores into every word the low 32 bits of its own address.
void fillAddresses(uint32_t* words, size_t count);

// How many of the `count` words differ from `expected`. With a report, each changed word is
// added to it as found in block `blockNumber`.
uint64_t countBadWords(const uint32_t* words, size_t count, uint32_t expected);
uint64_t checkWords(const uint32_t* words, size_t count, uint32_t expected, ChangedWordReport* report,
                    uint32_t blockNumber);

// How many of the `count` words no longer hold the low 32 bits of their own address.
uint64_t checkAddresses(const uint32_t* words, size_t count, ChangedWordReport* report, uint32_t blockNumber);
