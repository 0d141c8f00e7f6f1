#include "engine/BlockCopy.h"

#include <emmintrin.h>
#include <intrin.h>

bool processorHasEnhancedRepMovsb() {
    int registers[4] = {};
    __cpuid(registers, 0);
    if (registers[0] < 7) {
        return false;  // no structured extended feature leaf
    }
    __cpuidex(registers, 7, 0);
    return (registers[1] & (1 << 9)) != 0;  // EBX bit 9: ERMS
}

namespace block_copy_detail {
const bool useRepMovsb = processorHasEnhancedRepMovsb();
}

BlockCopyRoutine blockCopyRoutine() {
    return block_copy_detail::useRepMovsb ? BlockCopyRoutine::repMovsb : BlockCopyRoutine::sse2Loop;
}

const char* blockCopyRoutineName(BlockCopyRoutine routine) {
    return routine == BlockCopyRoutine::repMovsb ? "rep movsb" : "SSE2 loop";
}

void copyWithRepMovsb(void* destination, const void* source, size_t bytes) {
    __movsb(static_cast<unsigned char*>(destination), static_cast<const unsigned char*>(source), bytes);
}

// 64 bytes a step through four registers, loads before stores; the rest byte by byte.
void copyWithSse2Loop(void* destination, const void* source, size_t bytes) {
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    const size_t whole = bytes - bytes % 64;
    for (size_t i = 0; i < whole; i += 64) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 32));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 48), d);
    }
    for (size_t i = whole; i < bytes; ++i) {
        to[i] = from[i];
    }
}
