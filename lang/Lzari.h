#pragma once
// LZARI: LZ77 matching in a 4,096-byte ring, with the literals and match lengths coded by an
// adaptive arithmetic coder and the match positions by a static one. The language archive is
// stored in this form; the packer compresses it at build time and the program expands it at start-up.
//
// Stream layout: the code bits, most significant bit of each byte first. The decoded size is
// not part of the stream: the caller stores it beside the stream and passes it in.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzari {

constexpr int kRingBytes = 4096;
constexpr int kLongestMatch = 60;
// Matches of this many bytes or fewer are sent as literals.
constexpr int kMatchThreshold = 2;
// The first byte lands here; everything in front of it starts as spaces.
constexpr int kFirstWrite = kRingBytes - kLongestMatch;

// Expands `stream` into exactly `outSize` bytes at `out`. Never reads outside the stream: where
// more bits are needed than it holds, zero bits are fed. Stops as soon as `outSize` bytes are
// written, even inside a match.
void decode(const uint8_t* stream, size_t streamBytes, uint8_t* out, size_t outSize);

// Compresses `size` bytes; decode() of the result with the same size gives them back.
std::vector<uint8_t> encode(const uint8_t* data, size_t size);

}  // namespace lzari
