// Translation files as text, and the completeness report of a loaded translation.
#include "lang/ArchiveGrammar.h"
#include "lang/TranslationFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Stands in for the ANSI code page: Latin-1, one byte to one unit.
bool latin1(const char* bytes, size_t count, TextString& text) {
    text.clear();
    for (size_t i = 0; i < count; ++i) {
        text += static_cast<TextUnit>(static_cast<unsigned char>(bytes[i]));
    }
    return true;
}

bool refuse(const char*, size_t, TextString&) { return false; }

std::vector<uint8_t> utf16Bytes(const std::u16string& text, bool mark) {
    std::vector<uint8_t> bytes;
    if (mark) {
        bytes = {0xFF, 0xFE};
    }
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

std::u16string decode(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
    TextString text;
    bool result = decodeTextFile(bytes.data(), bytes.size(), latin1, text);
    if (ok) {
        *ok = result;
    }
    return std::u16string(text.begin(), text.end());
}

// Catches a byte-order mark left in front of the first line (which would read as key 0 there),
// a trailing odd byte read past the end, and UTF-16 taken for UTF-16 without its mark.
TEST(TranslationFile, Utf16NeedsItsMarkAndLosesIt) {
    const std::u16string text = u"5=\u00C4rger \u65E5\r\n6=x\r\n";
    EXPECT_EQ(decode(utf16Bytes(text, true)), text);

    std::vector<uint8_t> odd = utf16Bytes(u"5=a\r\n", true);
    odd.push_back(0x41);
    EXPECT_EQ(decode(odd), u"5=a\r\n") << "the odd last byte is dropped";

    EXPECT_EQ(decode({0xFF, 0xFE}), u"");
    EXPECT_EQ(decode({0xFF}), u"\u00FF") << "one byte is no mark";
    EXPECT_EQ(decode({0xFE, 0xFF, 0x35, 0x00}), std::u16string(u"\u00FE\u00FF5\0", 4)) << "big-endian mark is 8-bit text";

    // Without the mark the bytes are 8-bit text: every other unit is NUL, so no line survives.
    std::u16string unmarked = decode(utf16Bytes(u"5=a\r\n", false));
    ASSERT_EQ(unmarked.size(), 10u);
    std::vector<TextUnit> buffer(unmarked.begin(), unmarked.end());
    buffer.push_back(0);
    const TextUnit* table[kLanguageKeyCount];
    parseEntries(buffer.data(), table);
    for (const TextUnit* entry : table) {
        EXPECT_EQ(entry, nullptr);
    }
}

TEST(TranslationFile, SameTextInEitherEncodingGivesTheSameEntries) {
    const std::u16string text = u"5=Gr\u00FC\u00DFe\r\n0006=Stra\u00DFe=Weg\r\n";
    std::vector<uint8_t> ansi;
    for (char16_t unit : text) {
        ansi.push_back(static_cast<uint8_t>(unit));
    }
    std::u16string fromAnsi = decode(ansi);
    std::u16string fromUtf16 = decode(utf16Bytes(text, true));
    ASSERT_EQ(fromAnsi, fromUtf16);

    std::vector<TextUnit> buffer(fromUtf16.begin(), fromUtf16.end());
    buffer.push_back(0);
    const TextUnit* table[kLanguageKeyCount];
    parseEntries(buffer.data(), table);
    ASSERT_NE(table[5], nullptr) << "the first line keeps its key";
    EXPECT_EQ(std::u16string(table[5]), u"Gr\u00FC\u00DFe");
    EXPECT_EQ(std::u16string(table[6]), u"Stra\u00DFe=Weg");
    EXPECT_EQ(table[0], nullptr);
}

TEST(TranslationFile, RefusedConversionAndOversizedFilesFail) {
    TextString text = u"left over";
    const uint8_t bytes[] = {'5', '=', 'a'};
    EXPECT_FALSE(decodeTextFile(bytes, sizeof(bytes), refuse, text));
    // The bound is checked before any byte is looked at.
    EXPECT_FALSE(decodeTextFile(bytes, kMaxTranslationFileBytes + 1, latin1, text));
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(decodeTextFile(bytes, 0, refuse, text)) << "an empty file is empty text";
    EXPECT_TRUE(text.empty());
}

// English with texts for keys 0..11 (twelve keys), key 12 empty (not counted).
struct Tables {
    std::vector<std::u16string> texts;
    const TextUnit* english[kLanguageKeyCount] = {};
    const TextUnit* loaded[kLanguageKeyCount] = {};
    Tables() {
        texts.reserve(kLanguageKeyCount);
        for (int key = 0; key < 12; ++key) {
            texts.push_back(u"E" + std::u16string(1, static_cast<char16_t>(u'a' + key)));
            english[key] = texts.back().c_str();
        }
        english[12] = u"";
    }
};

std::u16string report(const Tables& t) {
    TextString text = translationReport(t.english, t.loaded);
    return std::u16string(text.begin(), text.end());
}

// Catches the switch to bare numbers one key early or late, a missing "...and...", a line break
// after the bare numbers, rounding instead of truncating, and an empty text counted as present.
TEST(TranslationReport, NineKeysWithTextThenBareNumbers) {
    Tables t;
    t.loaded[5] = u"x";
    t.loaded[12] = u"not in English: no effect";
    EXPECT_EQ(report(t), u"8 %\n\nmiss:\n0=Ea\n1=Eb\n2=Ec\n3=Ed\n4=Ee\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n...and...\n10,11,");

    t.loaded[0] = u"";  // empty counts as missing
    t.loaded[1] = u"x";
    t.loaded[2] = u"x";
    EXPECT_EQ(report(t), u"25 %\n\nmiss:\n0=Ea\n3=Ed\n4=Ee\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n10=Ek\n11=El\n")
        << "exactly nine missing: no \"...and...\"";

    for (int key = 0; key < 12; ++key) {
        t.loaded[key] = u"x";
    }
    t.loaded[11] = nullptr;
    EXPECT_EQ(report(t), u"91 %\n\nmiss:\n11=El\n") << "11 of 12 is 91.67: truncated";
    t.loaded[11] = u"x";
    EXPECT_EQ(report(t), u"100 %");
}

TEST(TranslationReport, TenthMissingKeyStartsTheBareList) {
    Tables t;
    t.loaded[0] = u"x";
    t.loaded[1] = u"x";
    EXPECT_EQ(report(t), u"16 %\n\nmiss:\n2=Ec\n3=Ed\n4=Ee\n5=Ef\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n10=Ek\n...and...\n11,");
}

}  // namespace
