// Base64Codec on the host: RFC 4648's vectors, both alphabet ends, round trips of many lengths,
// an output handed back as the next input, the 4096-byte growth and what decoding rejects.
#include "share/Base64Codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string encoded(Base64Codec& codec, const std::string& bytes) {
    const char* text = codec.encode(bytes.data(), bytes.size());
    return std::string(text, codec.outputLength());
}

std::string decoded(Base64Codec& codec, const std::string& text) {
    EXPECT_TRUE(codec.decode(text.data(), text.size())) << text;
    return std::string(codec.outputText(), codec.outputLength());
}

// A wrong shift or a lost padding rule breaks one of these.
TEST(Base64Codec, MatchesTheRfcVectorsBothWays) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    Base64Codec codec;
    for (const auto& [plain, text] : vectors) {
        EXPECT_EQ(encoded(codec, plain), text) << plain;
        EXPECT_EQ(codec.outputText()[codec.outputLength()], '\0');
        EXPECT_EQ(decoded(codec, text), plain) << text;
    }
}

// "+" and "/" (not the URL-safe "-" and "_"), and the top and bottom of the alphabet.
TEST(Base64Codec, UsesTheStandardAlphabetAtBothEnds) {
    Base64Codec codec;
    EXPECT_EQ(encoded(codec, std::string("\xfb\xef\xbe", 3)), "++++");
    EXPECT_EQ(encoded(codec, std::string("\xff\xff\xff", 3)), "////");
    EXPECT_EQ(encoded(codec, std::string("\0\0\0", 3)), "AAAA");
    EXPECT_EQ(encoded(codec, std::string("\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51\x55\x97"
                                         "\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a\xab\xb2\xdb\xaf"
                                         "\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf",
                                         48)),
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

// Every length from 0 to 3000 and some long ones, with bytes of every value: a slip at a group
// boundary or in the last one or two bytes shows in one of them.
TEST(Base64Codec, RoundTripsRandomBytesOfManyLengths) {
    std::mt19937 generator(20261208);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 3000; ++n) {
        lengths.push_back(n);
    }
    for (size_t n : {4095u, 4096u, 4097u, 6143u, 6144u, 100000u}) {
        lengths.push_back(n);
    }
    Base64Codec encoder;
    Base64Codec decoder;
    for (size_t n : lengths) {
        std::string bytes(n, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(generator() & 0xff);
        }
        std::string text = encoded(encoder, bytes);
        ASSERT_EQ(text.size(), (n + 2) / 3 * 4) << n;
        ASSERT_EQ(std::strlen(encoder.outputText()), text.size()) << n;
        ASSERT_EQ(decoded(decoder, text), bytes) << n;
    }
}

// The comparison page encodes the encoder's own output again; the copy of the input must come
// before the output buffer is cleared, or the second encoding reads zeros.
TEST(Base64Codec, TakesItsOwnOutputAsTheNextInput) {
    Base64Codec codec;
    std::string once = encoded(codec, "results record");
    codec.encode(codec.output(), codec.outputLength());
    std::string twice(codec.outputText(), codec.outputLength());
    Base64Codec fresh;
    EXPECT_EQ(twice, encoded(fresh, once));
    ASSERT_TRUE(codec.decode(codec.outputText(), codec.outputLength()));
    EXPECT_EQ(std::string(codec.outputText(), codec.outputLength()), once);
}

// (needed / 4096 + 1) * 4096 bytes, needed being the input length and twice that for the output;
// a short text after a long one ends at its own end, not at the long one's.
TEST(Base64Codec, GrowsInStepsOf4096AndClearsWhatALongerTextLeft) {
    Base64Codec codec;
    codec.encode("", 0);
    EXPECT_EQ(codec.inputCapacity(), 4096u);
    EXPECT_EQ(codec.outputCapacity(), 4096u);
    std::string bytes(2048, 'x');
    codec.encode(bytes.data(), bytes.size());
    EXPECT_EQ(codec.inputCapacity(), 4096u);
    EXPECT_EQ(codec.outputCapacity(), 8192u);  // 4096 needed, and the terminator
    bytes.assign(4096, 'y');
    codec.encode(bytes.data(), bytes.size());
    EXPECT_EQ(codec.inputCapacity(), 8192u);
    EXPECT_EQ(codec.outputCapacity(), 12288u);
    codec.encode("ab", 2);
    EXPECT_EQ(codec.outputCapacity(), 12288u);
    EXPECT_STREQ(codec.outputText(), "YWI=");
}

// Self-update compares digests: text that is not canonical Base64 must not decode to anything.
TEST(Base64Codec, RejectsTextThatIsNotBase64) {
    Base64Codec codec;
    for (const char* text : {"Zm9", "Zm9v!A==", "Zg==Zm8=", "Z===", "Zg=a", "Zm9v\n", "Zm-v", "Zm_v", "===="}) {
        EXPECT_FALSE(codec.decode(text, std::strlen(text))) << text;
        EXPECT_EQ(codec.outputLength(), 0u) << text;
    }
}

}  // namespace
