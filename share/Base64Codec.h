#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks) over two owned byte buffers.
// Portable: no <windows.h>, so the host build tests it natively and self-update can reuse it.

#include <cstddef>
#include <cstdint>
#include <vector>

class Base64Codec {
public:
    // Buffers grow in steps of this many bytes and are zero-filled.
    static constexpr size_t kGrowthStep = 4096;

    Base64Codec() = default;
    Base64Codec(const Base64Codec&) = delete;
    Base64Codec& operator=(const Base64Codec&) = delete;

    // Encodes `length` bytes and returns the text, zero-terminated, valid until the next call.
    // The input is copied first, so `data` may be this object's own output.
    const char* encode(const void* data, size_t length);

    // Decodes Base64 text into the output buffer. Accepts only the alphabet, a length that is a
    // multiple of four and "=" padding at the very end; false (and an empty output) otherwise.
    // The text may be this object's own output, like the input of encode.
    bool decode(const char* text, size_t length);

    const uint8_t* output() const { return output_.data(); }
    const char* outputText() const { return reinterpret_cast<const char*>(output_.data()); }
    // Bytes written by the last call, without the terminating zero.
    size_t outputLength() const { return outputLength_; }

    size_t inputCapacity() const { return input_.size(); }
    size_t outputCapacity() const { return output_.size(); }

private:
    // Grows `buffer` to (needed / kGrowthStep + 1) * kGrowthStep bytes when it holds fewer than
    // needed + 1, which always leaves room for a terminating zero.
    static void reserve(std::vector<uint8_t>& buffer, size_t needed);
    void takeInput(const void* data, size_t length);

    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
    size_t outputLength_ = 0;
};
