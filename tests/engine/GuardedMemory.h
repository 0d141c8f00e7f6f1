#pragma once
// Test memory that ends exactly at a no-access page: a store or load one byte past the end of a
// buffer stops the test with an access violation instead of passing unnoticed.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace guarded_memory {

inline constexpr size_t kPage = 4096;

inline size_t pagesFor(size_t bytes) { return (bytes + kPage - 1) / kPage; }

// `bytes` of read-write memory followed by a no-access page; null (with the last error set) when
// there is not enough memory. For sizes that are not a multiple of 16 the start is not aligned.
inline void* allocate(size_t bytes) {
    const size_t usable = pagesFor(bytes) * kPage;
    auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, usable + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD old = 0;
    VirtualProtect(base + usable, kPage, PAGE_NOACCESS, &old);
    return base + (usable - bytes);
}

inline void release(void* buffer) {
    if (!buffer) {
        return;
    }
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(buffer, &info, sizeof(info));
    VirtualFree(info.AllocationBase, 0, MEM_RELEASE);
}

}  // namespace guarded_memory
