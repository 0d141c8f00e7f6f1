#include "share/Base64Codec.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;

int sextetOf(uint8_t ch) {
    if (ch >= 'A' && ch <= 'Z') {
        return ch - 'A';
    }
    if (ch >= 'a' && ch <= 'z') {
        return ch - 'a' + 26;
    }
    if (ch >= '0' && ch <= '9') {
        return ch - '0' + 52;
    }
    if (ch == '+') {
        return 62;
    }
    if (ch == '/') {
        return 63;
    }
    return kNotInAlphabet;
}

}  // namespace

void Base64Codec::reserve(std::vector<uint8_t>& buffer, size_t needed) {
    if (buffer.size() <= needed) {
        buffer.resize((needed / kGrowthStep + 1) * kGrowthStep, 0);
    }
}

void Base64Codec::takeInput(const void* data, size_t length) {
    reserve(input_, length);
    if (length > 0) {
        // memmove: `data` may point into output_, never into input_ itself.
        std::memmove(input_.data(), data, length);
    }
}

const char* Base64Codec::encode(const void* data, size_t length) {
    takeInput(data, length);
    reserve(output_, 2 * length);
    std::fill(output_.begin(), output_.end(), uint8_t{0});

    const uint8_t* in = input_.data();
    uint8_t* out = output_.data();
    size_t full = length - length % 3;
    size_t i = 0;
    for (; i < full; i += 3) {
        uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
        *out++ = kAlphabet[(group >> 18) & 63];
        *out++ = kAlphabet[(group >> 12) & 63];
        *out++ = kAlphabet[(group >> 6) & 63];
        *out++ = kAlphabet[group & 63];
    }
    size_t rest = length - full;
    if (rest > 0) {
        uint32_t group = uint32_t{in[i]} << 16;
        if (rest == 2) {
            group |= uint32_t{in[i + 1]} << 8;
        }
        *out++ = kAlphabet[(group >> 18) & 63];
        *out++ = kAlphabet[(group >> 12) & 63];
        *out++ = rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        *out++ = '=';
    }
    outputLength_ = static_cast<size_t>(out - output_.data());
    return outputText();
}

bool Base64Codec::decode(const char* text, size_t length) {
    takeInput(text, length);
    reserve(output_, length);
    std::fill(output_.begin(), output_.end(), uint8_t{0});
    outputLength_ = 0;
    if (length % 4 != 0) {
        return false;
    }

    const uint8_t* in = input_.data();
    uint8_t* out = output_.data();
    for (size_t i = 0; i < length; i += 4) {
        bool last = i + 4 == length;
        int padding = 0;
        if (last && in[i + 3] == '=') {
            padding = in[i + 2] == '=' ? 2 : 1;
        }
        uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            int sextet = k < 4 - padding ? sextetOf(in[i + k]) : 0;
            if (sextet == kNotInAlphabet) {
                std::fill(output_.begin(), output_.end(), uint8_t{0});
                outputLength_ = 0;
                return false;
            }
            group = (group << 6) | static_cast<uint32_t>(sextet);
        }
        *out++ = static_cast<uint8_t>(group >> 16);
        if (padding < 2) {
            *out++ = static_cast<uint8_t>(group >> 8);
        }
        if (padding < 1) {
            *out++ = static_cast<uint8_t>(group);
        }
    }
    outputLength_ = static_cast<size_t>(out - output_.data());
    return true;
}
