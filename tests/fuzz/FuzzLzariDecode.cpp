// The decoder on any payload: the first four bytes give the decoded size (little-endian, as in
// the archive), the rest is the stream. The output buffer has exactly the size decoded, so the
// sanitizers see any write past it or any read past the stream.
#include "lang/Lzari.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Payloads that announce more than 4 KiB are not taken. Without the cap a few bytes announce long
// outputs made of the zero bits read past the stream's end, and the fuzzer spends its time there.
// 4 KiB reaches every branch of the decoder but the model's halving, which needs over 32,000
// symbols and is left to the unit tests.
constexpr size_t kLargestOutput = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const size_t outSize = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                           static_cast<size_t>(data[2]) << 16 | static_cast<size_t>(data[3]) << 24;
    if (outSize > kLargestOutput) {
        return 0;
    }
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
