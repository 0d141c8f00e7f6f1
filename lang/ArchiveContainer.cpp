#include "lang/ArchiveContainer.h"

#include "lang/Lzari.h"

#include <bit>

static_assert(std::endian::native == std::endian::little, "the archive text is UTF-16LE and is used in place");

namespace {

// The program searches its own file for the markers and takes the first hit, so the file must
// hold each marker exactly once, around the archive. A marker written as one constant would be
// a second copy; so the dashes are read through a volatile, which no compiler can fold into a
// constant, and the markers only ever exist whole in memory.
volatile char gDash = '-';
constexpr char kMarkerWord[] = "SDSGDGSDHREETETBCNMJUKR";

void appendText(Bytes& out, const char* text) {
    for (; *text; ++text) {
        out.push_back(static_cast<uint8_t>(*text));
    }
}

void appendRun(Bytes& out, uint8_t c, int count) {
    for (int i = 0; i < count; ++i) {
        out.push_back(c);
    }
}

}  // namespace

Bytes startMarker() {
    const uint8_t dash = static_cast<uint8_t>(gDash);
    Bytes marker;
    appendText(marker, "\n<!");
    marker.push_back(dash);
    marker.push_back(' ');
    appendRun(marker, dash, 6);
    appendText(marker, kMarkerWord);
    appendRun(marker, dash, 10);
    marker.push_back('\n');
    return marker;
}

Bytes endMarker() {
    const uint8_t dash = static_cast<uint8_t>(gDash);
    Bytes marker;
    marker.push_back('\n');
    appendRun(marker, dash, 7);
    appendText(marker, kMarkerWord);
    appendRun(marker, dash, 8);
    marker.push_back(' ');
    appendRun(marker, dash, 2);
    marker.push_back('>');
    marker.push_back('\n');
    return marker;
}

ptrdiff_t findMarker(const uint8_t* data, size_t length, const uint8_t* pattern, size_t patternLength) {
    if (patternLength == 0 || patternLength > length) {
        return -1;
    }
    for (size_t offset = 0; offset <= length - patternLength; ++offset) {
        size_t i = 0;
        while (i < patternLength && data[offset + i] == pattern[i]) {
            ++i;
        }
        if (i == patternLength) {
            return static_cast<ptrdiff_t>(offset);
        }
    }
    return -1;
}

bool extractPayload(const uint8_t* file, size_t length, Bytes& payload) {
    const Bytes start = startMarker();
    const Bytes end = endMarker();
    ptrdiff_t startAt = findMarker(file, length, start.data(), start.size());
    ptrdiff_t endAt = findMarker(file, length, end.data(), end.size());
    if (startAt < 0 || endAt < 0) {
        return false;
    }
    size_t payloadStart = static_cast<size_t>(startAt) + start.size();
    if (static_cast<size_t>(endAt) < payloadStart) {
        return false;
    }
    payload.assign(file + payloadStart, file + endAt);
    return true;
}

bool decodePayload(const uint8_t* payload, size_t length, ArchiveText& text) {
    text.units.reset();
    text.count = 0;
    if (length < kDecodedSizeBytes) {
        return false;
    }
    uint32_t size = static_cast<uint32_t>(payload[0]) | static_cast<uint32_t>(payload[1]) << 8 |
                    static_cast<uint32_t>(payload[2]) << 16 | static_cast<uint32_t>(payload[3]) << 24;
    if (size > kMaxDecodedBytes) {
        return false;
    }
    // Room for an odd last byte, then two NUL units.
    size_t units = (size + 1) / 2 + 2;
    text.units = std::make_unique<TextUnit[]>(units);
    lzari::decode(payload + kDecodedSizeBytes, length - kDecodedSizeBytes, reinterpret_cast<uint8_t*>(text.units.get()), size);
    text.count = size / 2;
    // A stray odd byte is no unit of the text.
    text.units[text.count] = 0;
    return true;
}

Bytes packArchive(const uint8_t* text, size_t size) {
    Bytes archive = startMarker();
    uint32_t size32 = static_cast<uint32_t>(size);
    for (int shift = 0; shift < 32; shift += 8) {
        archive.push_back(static_cast<uint8_t>(size32 >> shift));
    }
    Bytes stream = lzari::encode(text, size);
    archive.insert(archive.end(), stream.begin(), stream.end());
    Bytes end = endMarker();
    archive.insert(archive.end(), end.begin(), end.end());
    return archive;
}
