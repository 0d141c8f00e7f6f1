#pragma once
// The block copy every benchmark times. It is the engine's own, not the C runtime's memcpy (which
// differs between Wine and each Windows release), and it is chosen once at start from what the
// processor offers: `rep movsb` where CPUID reports enhanced fast strings (ERMS), which the
// processor's microcode streams as fast as memory allows; a plain SSE2 loop otherwise.
//
// The results of the copies are never read, so each copy is followed by a compiler fence: the
// compiler must assume the destination is used and keep every copy.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

enum class BlockCopyRoutine { repMovsb, sse2Loop };

// The routine this process uses, decided at start.
BlockCopyRoutine blockCopyRoutine();
// "rep movsb" or "SSE2 loop", for the benchmark's report.
const char* blockCopyRoutineName(BlockCopyRoutine routine);
// Whether CPUID leaf 7 reports enhanced rep movsb/stosb.
bool processorHasEnhancedRepMovsb();

// The two routines themselves, for the benchmark and the tests.
void copyWithRepMovsb(void* destination, const void* source, size_t bytes);
void copyWithSse2Loop(void* destination, const void* source, size_t bytes);

namespace block_copy_detail {
extern const bool useRepMovsb;  // set once during static initialisation
}

// One thread's copy with the chosen routine.
inline void copyBlock(void* destination, const void* source, size_t bytes) {
    if (block_copy_detail::useRepMovsb) {
        copyWithRepMovsb(destination, source, bytes);
    } else {
        copyWithSse2Loop(destination, source, bytes);
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

// A copy into memory that other threads write at the same time (the parallel benchmark's
// writers). `rep movsb` is a single instruction whose byte stores the processor defines for any
// interleaving, so it serves here too. Without it, whole 64-bit words go out with relaxed atomic
// stores, which keeps the overlapping writes well defined in C++ and still compiles to plain
// moves. The source is not written by anyone during the copy. Both addresses are 8-byte aligned
// and `bytes` a multiple of 32.
inline void copyBlockShared(void* destination, const void* source, size_t bytes) {
    if (block_copy_detail::useRepMovsb) {
        copyWithRepMovsb(destination, source, bytes);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return;
    }
    auto* to = static_cast<uint64_t*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    auto word = [from](size_t index) {
        uint64_t value;
        std::memcpy(&value, from + index * 8, 8);
        return value;
    };
    size_t words = bytes / 8;
    for (size_t i = 0; i < words; i += 4) {
        uint64_t w0 = word(i);
        uint64_t w1 = word(i + 1);
        uint64_t w2 = word(i + 2);
        uint64_t w3 = word(i + 3);
        std::atomic_ref<uint64_t>(to[i]).store(w0, std::memory_order_relaxed);
        std::atomic_ref<uint64_t>(to[i + 1]).store(w1, std::memory_order_relaxed);
        std::atomic_ref<uint64_t>(to[i + 2]).store(w2, std::memory_order_relaxed);
        std::atomic_ref<uint64_t>(to[i + 3]).store(w3, std::memory_order_relaxed);
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
}
