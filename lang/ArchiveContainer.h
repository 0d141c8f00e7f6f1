#pragma once
// The language archive as it lies in the executable file: start marker, payload, end marker.
// The payload is the decoded size (unsigned 32-bit, little-endian) followed by the LZARI stream;
// anything after the stream (padding) is never read. The decoded bytes are UTF-16LE text.

#include "lang/TextUnit.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using Bytes = std::vector<uint8_t>;

constexpr size_t kStartMarkerBytes = 45;
constexpr size_t kEndMarkerBytes = 44;
constexpr size_t kDecodedSizeBytes = 4;
// Far above any real archive (about 80 KB); a larger size means a damaged archive, and decoding
// it would only spin on zero bits.
constexpr uint32_t kMaxDecodedBytes = 16u << 20;

// The markers are put together at run time: see ArchiveContainer.cpp.
Bytes startMarker();
Bytes endMarker();

// Offset of the first occurrence of `pattern` in `data`, or -1.
ptrdiff_t findMarker(const uint8_t* data, size_t length, const uint8_t* pattern, size_t patternLength);

// The bytes between the first start marker and the first end marker (each searched from the
// beginning). False when a marker is missing or the end marker does not follow the start marker.
bool extractPayload(const uint8_t* file, size_t length, Bytes& payload);

// The decoded text: `count` units followed by two NUL units, in one buffer that the section
// and entry parsers cut up in place.
struct ArchiveText {
    std::unique_ptr<TextUnit[]> units;
    size_t count = 0;
};

// Reads the decoded size and expands the stream. False when the payload cannot hold the size
// or the size is above kMaxDecodedBytes. A size of 0 gives an empty text.
bool decodePayload(const uint8_t* payload, size_t length, ArchiveText& text);

// The packer's side: markers around the size and the compressed text.
Bytes packArchive(const uint8_t* text, size_t size);
