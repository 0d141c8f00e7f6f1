#pragma once
// A small PNG reader of our own, independent of GDI+: it walks the chunks, checks every CRC and
// reports the header. Enough to tell a real PNG of the right size from anything else.

#include <cstdint>
#include <string>
#include <vector>

struct PngFacts {
    std::string problem;  // empty when the file is a well-formed PNG
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    size_t imageDataBytes = 0;
};

PngFacts readPngFacts(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFileBytes(const wchar_t* path);
