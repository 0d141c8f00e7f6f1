// The decoder on any stream: the first four bytes give the decoded size, the rest is the stream.
// The output buffer has exactly that size, so the sanitizers see any write past it or any read
// past the stream.
#include "lang/Lzari.h"

#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    uint32_t declared = 0;
    std::memcpy(&declared, data, 4);
    // Mostly short outputs, so that runs are quick; a top byte of 0xFF asks for one long enough to
    // make the adaptive model halve its frequencies (after about 32,000 symbols).
    const size_t outSize = (declared >> 24) == 0xFF ? declared % (1u << 17) : declared % 1024;
    // A copy of exactly the stream's length: reading one byte past it is caught.
    const size_t streamSize = size - 4;
    auto stream = std::make_unique<uint8_t[]>(streamSize);
    if (streamSize > 0) {
        std::memcpy(stream.get(), data + 4, streamSize);
    }
    auto out = std::make_unique<uint8_t[]>(outSize);
    lzari::decode(stream.get(), streamSize, out.get(), outSize);
    return 0;
}
