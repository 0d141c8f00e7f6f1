#include "tests/share/PngFile.h"

#include <windows.h>

#include <cstring>

namespace {

uint32_t crc32(const uint8_t* data, size_t length) {
    static uint32_t table[256] = {};
    if (table[1] == 0) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[n] = c;
        }
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

uint32_t bigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

PngFacts readPngFacts(const std::vector<uint8_t>& bytes) {
    PngFacts facts;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), signature, 8) != 0) {
        facts.problem = "no PNG signature";
        return facts;
    }
    size_t at = 8;
    bool first = true;
    bool ended = false;
    while (at < bytes.size() && !ended) {
        if (bytes.size() - at < 12) {
            facts.problem = "chunk cut short";
            return facts;
        }
        uint32_t length = bigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12) {
            facts.problem = "chunk longer than the file";
            return facts;
        }
        std::string type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        const uint8_t* data = &bytes[at + 8];
        if (crc32(&bytes[at + 4], length + 4) != bigEndian(data + length)) {
            facts.problem = "bad CRC in " + type;
            return facts;
        }
        if (first != (type == "IHDR")) {
            facts.problem = "IHDR is not the first chunk";
            return facts;
        }
        if (type == "IHDR") {
            if (length != 13) {
                facts.problem = "IHDR of the wrong size";
                return facts;
            }
            facts.width = bigEndian(data);
            facts.height = bigEndian(data + 4);
            facts.bitDepth = data[8];
            facts.colourType = data[9];
        } else if (type == "IDAT") {
            facts.imageDataBytes += length;
        } else if (type == "IEND") {
            ended = true;
        }
        first = false;
        at += 12 + length;
    }
    if (!ended || at != bytes.size()) {
        facts.problem = ended ? "bytes after IEND" : "no IEND";
    } else if (facts.imageDataBytes == 0) {
        facts.problem = "no image data";
    }
    return facts;
}

std::vector<uint8_t> readFileBytes(const wchar_t* path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    uint8_t chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    CloseHandle(file);
    return bytes;
}
