// Whatever the encoder is given, the decoder gives back.
#include "lang/Lzari.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stream = lzari::encode(data, size);
    std::vector<uint8_t> out(size);
    lzari::decode(stream.data(), stream.size(), out.data(), out.size());
    if (size > 0 && std::memcmp(out.data(), data, size) != 0) {
        std::abort();
    }
    return 0;
}
