// Translation files as text, and the completeness report of a loaded translation.
#include "lang/ArchiveGrammar.h"
#include "lang/TranslationFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Stands in for the ANSI code page: Latin-1, one byte to one unit.
bool latin1(const char* bytes, size_t count, TextString& text) {
    text.assign(reinterpret_cast<const unsigned char*>(bytes), reinterpret_cast<const unsigned char*>(bytes) + count);
    return true;
}

std::u16string decode(const std::vector<uint8_t>& bytes) {
    TextString text;
    EXPECT_TRUE(decodeTextFile(bytes.data(), bytes.size(), latin1, text));
    return std::u16string(text.begin(), text.end());
}

// Catches the mark left in front of the first line (which would then read as key 0), an odd
// last byte read past the end, a big-endian or one-byte "mark" taken for UTF-16, and a missing
// size bound (checked before any byte is read).
TEST(TranslationFile, Utf16NeedsItsMarkAndLosesIt) {
    EXPECT_EQ(decode({0xFF, 0xFE, '5', 0, '=', 0, 0xE5, 0x65, '\r', 0, '\n', 0}), u"5=\u65E5\r\n");
    EXPECT_EQ(decode({0xFF, 0xFE, 'a', 0, 'b'}), u"a");
    EXPECT_EQ(decode({0xFF}), u"\u00FF");
    EXPECT_EQ(decode({0xFE, 0xFF, '5', 0}), std::u16string(u"\u00FE\u00FF5\0", 4));
    TextString text;
    const uint8_t byte = '5';
    EXPECT_FALSE(decodeTextFile(&byte, kMaxTranslationFileBytes + 1, latin1, text));
}

// English fills keys 0..11; key 12 is empty in English and does not count.
std::u16string report(std::vector<int> present, int emptyKey = -1) {
    static const std::u16string english[12] = {u"Ea", u"Eb", u"Ec", u"Ed", u"Ee", u"Ef", u"Eg", u"Eh", u"Ei", u"Ej", u"Ek", u"El"};
    const TextUnit* englishTable[kLanguageKeyCount] = {};
    const TextUnit* loaded[kLanguageKeyCount] = {};
    for (int key = 0; key < 12; ++key) {
        englishTable[key] = english[key].c_str();
    }
    englishTable[12] = u"";
    loaded[12] = u"not counted";
    for (int key : present) {
        loaded[key] = u"x";
    }
    if (emptyKey >= 0) {
        loaded[emptyKey] = u"";
    }
    TextString text = translationReport(englishTable, loaded);
    return std::u16string(text.begin(), text.end());
}

// Catches the switch to bare numbers one key early or late, "...and..." with nine or fewer
// missing keys, a line break after the bare numbers, rounding instead of truncating, and an
// empty text counted as present.
TEST(TranslationReport, NineKeysWithTextThenBareNumbers) {
    EXPECT_EQ(report({5}), u"8 %\n\nmiss:\n0=Ea\n1=Eb\n2=Ec\n3=Ed\n4=Ee\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n...and...\n10,11,");
    EXPECT_EQ(report({0, 1}), u"16 %\n\nmiss:\n2=Ec\n3=Ed\n4=Ee\n5=Ef\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n10=Ek\n...and...\n11,");
    EXPECT_EQ(report({1, 2, 5}, 0), u"25 %\n\nmiss:\n0=Ea\n3=Ed\n4=Ee\n6=Eg\n7=Eh\n8=Ei\n9=Ej\n10=Ek\n11=El\n");
    EXPECT_EQ(report({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), u"91 %\n\nmiss:\n11=El\n");
    EXPECT_EQ(report({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), u"100 %");
}

}  // namespace
