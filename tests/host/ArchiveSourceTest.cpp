// From the UTF-8 sources to the packed archive, and the real archive that the build packs.
#include "lang/ArchiveContainer.h"
#include "lang/ArchiveGrammar.h"
#include "tools/ArchiveSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

std::u16string convert(const std::string& utf8, bool* ok) {
    std::u16string text;
    std::string error;
    *ok = sourceToText({"test.txt", utf8}, text, error);
    return text;
}

TEST(ArchiveSource, LinesEndInCrLfAndTheTextIsUtf16) {
    bool ok = false;
    EXPECT_EQ(convert("a\nb\r\nc", &ok), u"a\r\nb\r\nc\r\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(convert("\xEF\xBB\xBFx=\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\n", &ok), u"x=\u00E4\u20AC\U0001F600\r\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(convert("", &ok), u"");
    EXPECT_TRUE(ok);

    for (const std::string& bad : {std::string("a##b\n"), std::string("a\rb\n"), std::string("\xC0\x80\n"), std::string("\xED\xA0\x80\n"),
                                   std::string("\xE2\x82\n"), std::string("\xF4\x90\x80\x80\n"), std::string("a\0b\n", 4)}) {
        convert(bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
}

ArchiveSources smallSources() {
    ArchiveSources sources;
    sources.preamble = {"preamble.txt", "pre\n"};
    sources.header = {"header.txt", "19=T 1.0\n25=a\\r\\nb\n"};
    sources.freeTexts[0] = {"free-text-1.txt", "one\n"};
    sources.freeTexts[1] = {"free-text-2.txt", "two"};
    sources.languages = {{"00-Deutsch.txt", "=Deutsch\tGerman\n5=Start\n"}, {"01-English.txt", "=English\tEnglisch\n5=Start"}};
    return sources;
}

TEST(ArchiveSource, BuildsTheLayoutAndRejectsMisplacedLanguages) {
    std::u16string text;
    std::string error;
    ASSERT_TRUE(buildArchiveText(smallSources(), text, error)) << error;
    EXPECT_EQ(text, u"\uFEFFpre\r\n##\r\n19=T 1.0\r\n25=a\\r\\nb\r\n##\r\none\r\n##\r\ntwo\r\n"
                    u"##=Deutsch\tGerman\r\n5=Start\r\n##=English\tEnglisch\r\n5=Start\r\n##\r\n");

    ArchiveSources swapped = smallSources();
    std::swap(swapped.languages[0], swapped.languages[1]);
    EXPECT_FALSE(buildArchiveText(swapped, text, error));
    ArchiveSources noName = smallSources();
    noName.languages[1].utf8 = "5=Start\n";
    EXPECT_FALSE(buildArchiveText(noName, text, error));
    ArchiveSources noEnglishText = smallSources();
    noEnglishText.languages[1].utf8 = "=English\tEnglisch\n[only a comment]\n";
    EXPECT_FALSE(buildArchiveText(noEnglishText, text, error));
}

Bytes readBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ArchiveSource, TheBuiltArchiveUnpacksToTheSourcesWithFifteenLanguages) {
    ArchiveSources sources;
    std::u16string text;
    std::string error;
    ASSERT_TRUE(readSources(BC_TEST_LANGUAGE_DATA, sources, error)) << error;
    ASSERT_TRUE(buildArchiveText(sources, text, error)) << error;
    ASSERT_EQ(sources.languages.size(), 15u);
    const std::vector<unsigned char> expected = textBytes(text);

    Bytes archive = readBytes(BC_TEST_LANGUAGE_ARCHIVE);
    Bytes payload;
    ASSERT_TRUE(extractPayload(archive.data(), archive.size(), payload));
    ArchiveText decoded;
    ASSERT_TRUE(decodePayload(payload.data(), payload.size(), decoded));
    ASSERT_EQ(decoded.count * 2, expected.size());
    ASSERT_EQ(std::memcmp(decoded.units.get(), expected.data(), expected.size()), 0);

    auto tables = std::make_unique<ArchiveTables>();
    splitSections(decoded.units.get(), decoded.count, *tables);
    parseSections(*tables);
    ASSERT_EQ(tables->languageCount, 16);
    EXPECT_EQ(std::u16string(tables->languageNames[1]), u"English\tEnglisch");
    EXPECT_EQ(tables->completeness[0], 98);  // German lacks 2 of 121, key 202 among them
    for (int i = 1; i < 15; ++i) {
        EXPECT_EQ(tables->completeness[i], 100) << i;
    }
    EXPECT_EQ(tables->completeness[15], 0);
    EXPECT_EQ(std::u16string(tables->languageTables[kEnglishSection][5]), u"... Initialize");
    EXPECT_EQ(std::u16string(tables->headerTable[19]), u"Brindlecrest 1.33");
}

}  // namespace
