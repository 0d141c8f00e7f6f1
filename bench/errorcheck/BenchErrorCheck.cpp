// The error check's fill and compare loops over one real block of 1,024,000,000 bytes, against
// reference loops over the same block: a plain memset, an SSE2 compare-and-count, and for the
// thorough check's address pass an SSE2 loop that stores, or compares with, each word's address.
// Engine and reference take turns within each round; the best of the rounds counts for each.
#include <windows.h>

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/ErrorCheck.h"
#include "engine/ErrorCheckLoops.h"

namespace {

constexpr int kRounds = 7;
constexpr uint8_t kFillByte = 41;
constexpr uint32_t kFilledWord = kFillByte * 0x01010101u;

double now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / frequency;
}

// Keeps the stores of a fill: they must reach the block before anything after it runs.
void keep() { std::atomic_signal_fence(std::memory_order_seq_cst); }

void referenceFill(void* block, size_t bytes, uint8_t value) {
    std::memset(block, value, bytes);
    keep();
}

// Counts equal words in four 32-bit lane counters per accumulator, 64 bytes a step; the counters
// are drained every 2^28 steps, long before a lane could overflow.
uint64_t referenceCount(const uint32_t* words, size_t count, uint32_t expected) {
    const __m128i pattern = _mm_set1_epi32(static_cast<int>(expected));
    uint64_t equal = 0;
    size_t i = 0;
    while (count - i >= 16) {
        size_t end = i + std::min((count - i) & ~size_t{15}, size_t{1} << 32);
        __m128i a = _mm_setzero_si128(), b = a, c = a, d = a;
        for (; i < end; i += 16) {
            const auto* p = reinterpret_cast<const __m128i*>(words + i);
            a = _mm_sub_epi32(a, _mm_cmpeq_epi32(_mm_loadu_si128(p), pattern));
            b = _mm_sub_epi32(b, _mm_cmpeq_epi32(_mm_loadu_si128(p + 1), pattern));
            c = _mm_sub_epi32(c, _mm_cmpeq_epi32(_mm_loadu_si128(p + 2), pattern));
            d = _mm_sub_epi32(d, _mm_cmpeq_epi32(_mm_loadu_si128(p + 3), pattern));
        }
        alignas(16) uint32_t lanes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), a);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), b);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 8), c);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 12), d);
        for (uint32_t lane : lanes) {
            equal += lane;
        }
    }
    for (; i < count; ++i) {
        equal += words[i] == expected;
    }
    return count - equal;
}

uint32_t low32(const void* address) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)); }

// Every word its own address: one vector of four addresses, stepped by 16 bytes.
void referenceAddressFill(uint32_t* words, size_t count) {
    __m128i value = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(low32(words))), _mm_setr_epi32(0, 4, 8, 12));
    const __m128i step = _mm_set1_epi32(16);
    const size_t whole = count - count % 4;
    for (size_t i = 0; i < whole; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), value);
        value = _mm_add_epi32(value, step);
    }
    for (size_t i = whole; i < count; ++i) {
        words[i] = low32(words + i);
    }
    keep();
}

// Counts the words that differ from their address, 64 bytes a step in four counters.
uint64_t referenceAddressCount(const uint32_t* words, size_t count) {
    const __m128i step = _mm_set1_epi32(64);
    __m128i e0 = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(low32(words))), _mm_setr_epi32(0, 4, 8, 12));
    __m128i e1 = _mm_add_epi32(e0, _mm_set1_epi32(16));
    __m128i e2 = _mm_add_epi32(e0, _mm_set1_epi32(32));
    __m128i e3 = _mm_add_epi32(e0, _mm_set1_epi32(48));
    uint64_t equal = 0;
    size_t i = 0;
    while (count - i >= 16) {
        size_t end = i + std::min((count - i) & ~size_t{15}, size_t{1} << 32);
        __m128i a = _mm_setzero_si128(), b = a, c = a, d = a;
        for (; i < end; i += 16) {
            const auto* p = reinterpret_cast<const __m128i*>(words + i);
            a = _mm_sub_epi32(a, _mm_cmpeq_epi32(_mm_loadu_si128(p), e0));
            b = _mm_sub_epi32(b, _mm_cmpeq_epi32(_mm_loadu_si128(p + 1), e1));
            c = _mm_sub_epi32(c, _mm_cmpeq_epi32(_mm_loadu_si128(p + 2), e2));
            d = _mm_sub_epi32(d, _mm_cmpeq_epi32(_mm_loadu_si128(p + 3), e3));
            e0 = _mm_add_epi32(e0, step);
            e1 = _mm_add_epi32(e1, step);
            e2 = _mm_add_epi32(e2, step);
            e3 = _mm_add_epi32(e3, step);
        }
        alignas(16) uint32_t lanes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), a);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), b);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 8), c);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 12), d);
        for (uint32_t lane : lanes) {
            equal += lane;
        }
    }
    for (; i < count; ++i) {
        equal += words[i] == low32(words + i);
    }
    return count - equal;
}

struct Best {
    double engine = 1e30;
    double reference = 1e30;
};

void print(const char* name, size_t bytes, const Best& best) {
    double engine = static_cast<double>(bytes) / best.engine / 1e9;
    double reference = static_cast<double>(bytes) / best.reference / 1e9;
    std::printf("bench %s engine=%.2f reference=%.2f unit=GB/s ratio=%.3f\n", name, engine, reference,
                engine / reference);
}

}  // namespace

int main() {
    const size_t bytes = kErrorCheckBlockBytes;
    const size_t words = bytes / sizeof(uint32_t);
    auto* block = static_cast<uint32_t*>(GlobalAlloc(GMEM_FIXED, bytes));
    if (!block) {
        std::fprintf(stderr, "bench: cannot allocate %zu bytes\n", bytes);
        return 1;
    }

    // The first fill also pays for the pages being committed, as in the real check.
    double start = now();
    fillBlock(block, bytes, kFillByte);
    keep();
    double firstFill = now() - start;

    // Both counters must agree, on a clean block and on one with changed words.
    block[0] ^= 1;
    block[words - 1] ^= 0x80000000u;
    uint64_t engineBad = countBadWords(block, words, kFilledWord);
    uint64_t referenceBad = referenceCount(block, words, kFilledWord);
    if (engineBad != 2 || referenceBad != 2) {
        std::fprintf(stderr, "bench: counts disagree: engine %llu, reference %llu, expected 2\n",
                     static_cast<unsigned long long>(engineBad), static_cast<unsigned long long>(referenceBad));
        return 1;
    }

    // The inverted byte and the address pattern must be counted alike by both sides as well.
    fillAddresses(block, words);
    block[12345] ^= 4;
    ChangedWordReport report;
    engineBad = checkAddresses(block, words, &report, 1);
    referenceBad = referenceAddressCount(block, words);
    if (engineBad != 1 || referenceBad != 1 || report.listedCount != 1 || report.listed[0].offset != 12345 * 4) {
        std::fprintf(stderr, "bench: address counts disagree: engine %llu, reference %llu, expected 1\n",
                     static_cast<unsigned long long>(engineBad), static_cast<unsigned long long>(referenceBad));
        return 1;
    }

    // The check runs the loops with a report, as here: a sound block never reaches the rescan.
    // Within a round the two sides alternate which goes first.
    int turn = 0;
    auto measure = [&turn](Best& best, auto engine, auto reference) {
        auto time = [](auto work) {
            double start = now();
            work();
            keep();
            return now() - start;
        };
        if (turn++ % 2 == 0) {
            best.engine = std::min(best.engine, time(engine));
            best.reference = std::min(best.reference, time(reference));
        } else {
            best.reference = std::min(best.reference, time(reference));
            best.engine = std::min(best.engine, time(engine));
        }
    };
    const uint8_t inverted = static_cast<uint8_t>(~kFillByte);
    const uint32_t invertedWord = inverted * 0x01010101u;
    Best fill, check, inverseFill, inverseCheck, addressFill, addressCheck;
    uint64_t sum = 0;
    for (int round = 0; round < kRounds; ++round) {
        turn = round;
        report.clear();
        measure(fill, [&] { fillBlock(block, bytes, kFillByte); }, [&] { referenceFill(block, bytes, kFillByte); });
        measure(check, [&] { sum += checkWords(block, words, kFilledWord, &report, 1); },
                [&] { sum += referenceCount(block, words, kFilledWord); });
        measure(inverseFill, [&] { fillBlock(block, bytes, inverted); },
                [&] { referenceFill(block, bytes, inverted); });
        measure(inverseCheck, [&] { sum += checkWords(block, words, invertedWord, &report, 1); },
                [&] { sum += referenceCount(block, words, invertedWord); });
        measure(addressFill, [&] { fillAddresses(block, words); }, [&] { referenceAddressFill(block, words); });
        measure(addressCheck, [&] { sum += checkAddresses(block, words, &report, 1); },
                [&] { sum += referenceAddressCount(block, words); });
    }
    GlobalFree(block);

    print("errorcheck-fill", bytes, fill);
    print("errorcheck-check", bytes, check);
    print("errorcheck-inverse-fill", bytes, inverseFill);
    print("errorcheck-inverse-check", bytes, inverseCheck);
    print("errorcheck-address-fill", bytes, addressFill);
    print("errorcheck-address-check", bytes, addressCheck);
    std::printf("bench errorcheck: first fill of a fresh block %.2f GB/s; best of %d rounds; bad words %llu\n",
                static_cast<double>(bytes) / firstFill / 1e9, kRounds, static_cast<unsigned long long>(sum));
    return sum == 0 ? 0 : 1;
}
