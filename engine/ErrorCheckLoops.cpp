#include "engine/ErrorCheckLoops.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

void ChangedWordReport::add(const ChangedWord& word) {
    if (listedCount < listed.size()) {
        listed[listedCount++] = word;
    }
    ++total;
    for (uint32_t bits = word.mask(), bit = 0; bits != 0; bits >>= 1, ++bit) {
        bitCounts[bit] += bits & 1;
    }
}

namespace {

constexpr size_t kLanes = 16;  // words per step of the compare loop: four 16-byte vectors

uint32_t low32(const void* address) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)); }

// One comparison and one conditional increment per word, nothing else. Sixteen lane counters let
// the compiler keep four independent vector sums, so loads are not serialised behind one add and
// memory bandwidth is the limit. The lanes count the words that still hold the pattern, which a
// vector compare yields directly (counting the others would cost a second compare to invert
// it); the changed words are the rest. A stretch is far too short for a lane to overflow.
uint32_t countStretch(const uint32_t* words, size_t count, uint32_t expected) {
    uint32_t lanes[kLanes] = {};
    const size_t whole = count - count % kLanes;
    for (size_t i = 0; i < whole; i += kLanes) {
        for (size_t j = 0; j < kLanes; ++j) {
            lanes[j] += words[i + j] == expected;
        }
    }
    uint32_t intact = 0;
    for (size_t i = whole; i < count; ++i) {
        intact += words[i] == expected;
    }
    for (uint32_t lane : lanes) {
        intact += lane;
    }
    return static_cast<uint32_t>(count) - intact;
}

// The address pass: each word is compared with the low 32 bits of its own address. Written with
// SSE2 directly, since the compilers make poor code of the per-lane expected values; counts the
// words that hold their address and returns the others.
uint32_t countAddressStretch(const uint32_t* words, size_t count) {
    const size_t whole = count - count % kLanes;
    __m128i expected0 = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(low32(words))), _mm_setr_epi32(0, 4, 8, 12));
    __m128i expected1 = _mm_add_epi32(expected0, _mm_set1_epi32(16));
    __m128i expected2 = _mm_add_epi32(expected0, _mm_set1_epi32(32));
    __m128i expected3 = _mm_add_epi32(expected0, _mm_set1_epi32(48));
    const __m128i step = _mm_set1_epi32(64);
    // Each lane adds the compare's all-ones (-1) per matching word: an add, unlike a subtract,
    // lets the compiler keep every sum in its own register without copies.
    __m128i a = _mm_setzero_si128(), b = a, c = a, d = a;
    for (size_t i = 0; i < whole; i += kLanes) {
        const auto* p = reinterpret_cast<const __m128i*>(words + i);
        a = _mm_add_epi32(a, _mm_cmpeq_epi32(_mm_loadu_si128(p), expected0));
        b = _mm_add_epi32(b, _mm_cmpeq_epi32(_mm_loadu_si128(p + 1), expected1));
        c = _mm_add_epi32(c, _mm_cmpeq_epi32(_mm_loadu_si128(p + 2), expected2));
        d = _mm_add_epi32(d, _mm_cmpeq_epi32(_mm_loadu_si128(p + 3), expected3));
        expected0 = _mm_add_epi32(expected0, step);
        expected1 = _mm_add_epi32(expected1, step);
        expected2 = _mm_add_epi32(expected2, step);
        expected3 = _mm_add_epi32(expected3, step);
    }
    __m128i sum = _mm_add_epi32(_mm_add_epi32(a, b), _mm_add_epi32(c, d));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 4));
    uint32_t equal = 0u - static_cast<uint32_t>(_mm_cvtsi128_si32(sum));
    for (size_t i = whole; i < count; ++i) {
        equal += words[i] == low32(words + i);
    }
    return static_cast<uint32_t>(count) - equal;
}

// The slow path, taken only for a stretch with changed words: find them and report each.
template <class ExpectedAt>
void reportStretch(const uint32_t* block, size_t first, size_t count, ExpectedAt expectedAt,
                   ChangedWordReport& report, uint32_t blockNumber) {
    for (size_t i = first; i < first + count; ++i) {
        uint32_t expected = expectedAt(block + i);
        if (block[i] != expected) {
            ChangedWord word;
            word.block = blockNumber;
            word.offset = static_cast<uint64_t>(i) * sizeof(uint32_t);
            word.address = reinterpret_cast<uintptr_t>(block + i);
            word.expected = expected;
            word.actual = block[i];
            report.add(word);
        }
    }
}

}  // namespace

void fillBlock(void* block, size_t bytes, uint8_t value) { std::memset(block, value, bytes); }

void fillAddresses(uint32_t* words, size_t count) {
    const size_t whole = count - count % kLanes;
    __m128i value0 = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(low32(words))), _mm_setr_epi32(0, 4, 8, 12));
    __m128i value1 = _mm_add_epi32(value0, _mm_set1_epi32(16));
    __m128i value2 = _mm_add_epi32(value0, _mm_set1_epi32(32));
    __m128i value3 = _mm_add_epi32(value0, _mm_set1_epi32(48));
    const __m128i step = _mm_set1_epi32(64);
    for (size_t i = 0; i < whole; i += kLanes) {
        auto* p = reinterpret_cast<__m128i*>(words + i);
        _mm_storeu_si128(p, value0);
        _mm_storeu_si128(p + 1, value1);
        _mm_storeu_si128(p + 2, value2);
        _mm_storeu_si128(p + 3, value3);
        value0 = _mm_add_epi32(value0, step);
        value1 = _mm_add_epi32(value1, step);
        value2 = _mm_add_epi32(value2, step);
        value3 = _mm_add_epi32(value3, step);
    }
    for (size_t i = whole; i < count; ++i) {
        words[i] = low32(words + i);
    }
}

uint64_t countBadWords(const uint32_t* words, size_t count, uint32_t expected) {
    return checkWords(words, count, expected, nullptr, 0);
}

uint64_t checkWords(const uint32_t* words, size_t count, uint32_t expected, ChangedWordReport* report,
                    uint32_t blockNumber) {
    uint64_t bad = 0;
    for (size_t first = 0; first < count; first += kCompareStretchWords) {
        const size_t stretch = std::min(count - first, kCompareStretchWords);
        const uint32_t stretchBad = countStretch(words + first, stretch, expected);
        if (stretchBad != 0) {
            bad += stretchBad;
            if (report) {
                reportStretch(words, first, stretch, [expected](const uint32_t*) { return expected; }, *report,
                              blockNumber);
            }
        }
    }
    return bad;
}

uint64_t checkAddresses(const uint32_t* words, size_t count, ChangedWordReport* report, uint32_t blockNumber) {
    uint64_t bad = 0;
    for (size_t first = 0; first < count; first += kCompareStretchWords) {
        const size_t stretch = std::min(count - first, kCompareStretchWords);
        const uint32_t stretchBad = countAddressStretch(words + first, stretch);
        if (stretchBad != 0) {
            bad += stretchBad;
            if (report) {
                reportStretch(words, first, stretch, low32, *report, blockNumber);
            }
        }
    }
    return bad;
}
