#pragma once
// The block copies the benchmarks time. Their results are never read, so each copy is followed by
// a compiler fence: the compiler must assume the destination is used and keep every copy.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

// One thread's copy, through the C runtime's memcpy.
inline void copyBlock(void* destination, const void* source, size_t bytes) {
    std::memcpy(destination, source, bytes);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

// A copy into memory that other threads write at the same time (the parallel benchmark): whole
// 64-bit words with relaxed atomic stores, which keeps the overlapping writes well defined and
// still compiles to plain moves. The source is not written by anyone during the copy. Both
// addresses are 8-byte aligned and `bytes` a multiple of 32.
inline void copyBlockShared(void* destination, const void* source, size_t bytes) {
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
