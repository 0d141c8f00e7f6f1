#include "engine/ErrorCheckLoops.h"

#include <algorithm>
#include <cstring>

void fillBlock(void* block, size_t bytes, uint8_t value) { std::memset(block, value, bytes); }

// One comparison and one conditional increment per word, nothing else, so the compiler turns it
// into vector compares and memory bandwidth is the limit. The count runs in 32 bits within a
// stretch of words it cannot overflow, which keeps the vector lanes as wide as the words.
uint64_t countBadWords(const uint32_t* words, size_t count, uint32_t expected) {
    constexpr size_t kStretchWords = UINT32_MAX;
    uint64_t bad = 0;
    while (count != 0) {
        const size_t stretch = std::min(count, kStretchWords);
        uint32_t stretchBad = 0;
        for (size_t i = 0; i < stretch; ++i) {
            if (words[i] != expected) {
                ++stretchBad;
            }
        }
        bad += stretchBad;
        words += stretch;
        count -= stretch;
    }
    return bad;
}
