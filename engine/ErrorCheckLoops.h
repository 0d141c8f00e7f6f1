#pragma once
// The error check's two passes over a block. Kept apart so the benchmark measures the very code
// the check runs, and so the compiler's vectorisation report for them is easy to read.

#include <cstddef>
#include <cstdint>

// Sets every byte of the block to `value` (one memset).
void fillBlock(void* block, size_t bytes, uint8_t value);

// How many of the `count` words differ from `expected`.
uint64_t countBadWords(const uint32_t* words, size_t count, uint32_t expected);
