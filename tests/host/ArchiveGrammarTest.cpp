// Sections, name lines, entry lines and completeness of the decoded archive text.
#include "lang/ArchiveGrammar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Text = std::u16string;

// A text as the decoder leaves it (two NUL units behind it), split and parsed.
class Parsed {
public:
    explicit Parsed(const Text& text) : buffer_(text), tables_(std::make_unique<ArchiveTables>()) {
        buffer_.append(2, u'\0');
        splitSections(buffer_.data(), text.size(), *tables_);
        if (tables_->languageCount > kEnglishSection) {
            english_ = tables_->sectionBodies[kEnglishSection];
        }
        parseSections(*tables_);
    }
    const ArchiveTables& operator*() const { return *tables_; }
    const ArchiveTables* operator->() const { return tables_.get(); }
    const Text& englishBody() const { return english_; }

private:
    Text buffer_;
    std::unique_ptr<ArchiveTables> tables_;
    Text english_;
};

Text str(const char16_t* text) { return text ? Text(text) : Text(u"<null>"); }

// Parses `lines` as one language section and returns the text of `key`.
class Entries {
public:
    explicit Entries(const Text& lines) : buffer_(lines) {
        buffer_.push_back(u'\0');
        parseEntries(buffer_.data(), table_);
    }
    Text operator[](int key) const { return str(table_[key]); }
    bool has(int key) const { return table_[key] != nullptr; }
    int count() const {
        int n = 0;
        for (auto* entry : table_) {
            n += entry ? 1 : 0;
        }
        return n;
    }

private:
    Text buffer_;
    const char16_t* table_[kLanguageKeyCount];
};

TEST(ArchiveGrammar, SplitsPreambleHeaderFreeTextsAndNamedLanguages) {
    Parsed p(u"\uFEFFpreamble 1=x\r\n##\r\n19=Title 1.0\r\n##\r\nfree one\r\n##\r\nfree two\r\n"
             u"##=Deutsch\tGerman\r\n5=Start\r\n##=English\tEnglisch\r\n[info]\r\n0005=... Initialize\r\n##\r\n");
    ASSERT_EQ(p->languageCount, 3);
    EXPECT_EQ(str(p->headerTable[19]), u"Title 1.0");
    EXPECT_EQ(p->headerTable[1], nullptr) << "the preamble is ignored";
    EXPECT_EQ(str(p->freeTexts[0]), u"free one\r\n");
    EXPECT_EQ(str(p->freeTexts[1]), u"free two\r\n");
    EXPECT_EQ(str(p->languageNames[0]), u"Deutsch\tGerman");
    EXPECT_EQ(str(p->languageNames[1]), u"English\tEnglisch");
    EXPECT_EQ(p->languageNames[2], nullptr);
    EXPECT_EQ(str(p->languageTables[0][5]), u"Start");
    EXPECT_EQ(str(p->languageTables[1][5]), u"... Initialize");
    EXPECT_EQ(p.englishBody(), u"[info]\r\n0005=... Initialize\r\n") << "taken before the lines are cut";
    EXPECT_EQ(p->completeness[0], 100);
    EXPECT_EQ(p->completeness[1], 100);
    EXPECT_EQ(p->completeness[2], 0);
    EXPECT_TRUE(hasEnglish(*p));
}

TEST(ArchiveGrammar, EntryLinesFollowTheKeyRules) {
    Entries e(u"TranslatorName=Ann\r\nTranslatorURL=https://a.example/\r\n"
              u"0005=... Initialize \r\n"
              u"104=64 x 10M: a=b (c)\r\n"
              u"[info]\r\n\r\n"
              u"  7=blank in front\r\n+8=plus\r\n12abc=digits first\r\n"
              u"9=first\r\n9=second\r\n"
              u"10=\r\n"
              u"11=cr\rinside\n"
              u"256=too big\r\n-3=negative\r\n99999999999999999999=huge\r\n"
              u"200=kept\r\n"
              u"20=no line end");
    EXPECT_EQ(e[0], u"https://a.example/") << "both translator lines are key 0; the later wins";
    EXPECT_EQ(e[5], u"... Initialize ");
    EXPECT_EQ(e[104], u"64 x 10M: a=b (c)");
    EXPECT_EQ(e[7], u"blank in front");
    EXPECT_EQ(e[8], u"plus");
    EXPECT_EQ(e[12], u"digits first");
    EXPECT_EQ(e[9], u"second");
    EXPECT_TRUE(e.has(10));
    EXPECT_EQ(e[10], u"") << "present but empty";
    EXPECT_EQ(e[11], u"cr\rinside");
    EXPECT_EQ(e[200], u"kept");
    EXPECT_FALSE(e.has(20)) << "a last line without LF is lost";
    EXPECT_EQ(e.count(), 10) << "[info], blank lines and keys out of range leave nothing";
}

TEST(ArchiveGrammar, EscapesAndTheKeyRangeBelongToTheHeader) {
    const Text lines = u"1=a\\r\\nb\r\n2=c\\td\\\\r\r\n127=last\r\n128=out\r\n200=out\r\n";
    Parsed p(u"##\r\n" + lines + u"##\r\n##\r\n##=L0\tX\r\n##=L1\tY\r\n" + lines);
    EXPECT_EQ(str(p->headerTable[1]), u"a\r\nb");
    EXPECT_EQ(str(p->headerTable[2]), u"c\\td\\\r") << "other escapes stay; a backslash pairs only once";
    EXPECT_EQ(str(p->headerTable[127]), u"last");
    const auto& language = p->languageTables[1];
    EXPECT_EQ(str(language[1]), u"a\\r\\nb");
    EXPECT_EQ(str(language[128]), u"out");
    EXPECT_EQ(str(language[200]), u"out");
}

TEST(ArchiveGrammar, ThirtyEightLanguagesAtMostButLaterSeparatorsStillEndTheText) {
    Text text = u"##\r\n##\r\n##\r\n";
    for (int i = 0; i < 40; ++i) {
        std::string n = std::to_string(i);
        text += u"##=L" + Text(n.begin(), n.end()) + u"\tX\r\n1=t" + Text(n.begin(), n.end()) + u"\r\n";
    }
    Parsed p(text);
    ASSERT_EQ(p->languageCount, kMaxLanguages);
    EXPECT_EQ(str(p->languageNames[37]), u"L37\tX");
    EXPECT_EQ(str(p->languageTables[37][1]), u"t37");
    EXPECT_EQ(p->languageTables[37][0], nullptr) << "the 39th name line would be key 0 had its separator not cut it off";
}

TEST(ArchiveGrammar, NameLinesWithoutCrAreRejectedAndOddSeparatorsStayInside) {
    Parsed noCr(u"##\r\n##\r\n##\r\n##=Broken\n1=a\n##=Next\tX\r\n1=b\r\n##=Tail");
    ASSERT_EQ(noCr->languageCount, 1);
    EXPECT_EQ(str(noCr->languageNames[0]), u"Next\tX");
    EXPECT_EQ(str(noCr->languageTables[0][1]), u"b");

    // Separators at the very end, back to back, and a lone "#".
    for (const Text& text : {Text(u"##"), Text(u"#"), Text(u"###"), Text(u"##\r\n##\r\n##\r\n####"), Text(u"##\r\n##\r\n##\r\n##=")}) {
        Parsed p(text);
        EXPECT_LE(p->languageCount, 2);
    }
    Parsed empty(u"");
    EXPECT_EQ(empty->languageCount, 0);
    EXPECT_FALSE(hasEnglish(*empty));
}

TEST(ArchiveGrammar, CompletenessCountsNonEmptyEnglishKeysAndTruncates) {
    auto filled = [](int from, int count) {
        auto table = std::make_unique<const char16_t*[]>(kLanguageKeyCount);
        for (int key = from; key < from + count; ++key) {
            table[key] = u"x";
        }
        return table;
    };
    auto english = filled(0, 240);
    EXPECT_EQ(completenessOf(english.get(), english.get()), 100);
    EXPECT_EQ(completenessOf(english.get(), filled(0, 120).get()), 50);
    EXPECT_EQ(completenessOf(english.get(), filled(120, 136).get()), 50) << "keys English lacks do not count";
    EXPECT_EQ(completenessOf(filled(0, 3).get(), filled(1, 2).get()), 66);
    EXPECT_EQ(completenessOf(filled(0, 86).get(), filled(0, 84).get()), 97);
    EXPECT_EQ(completenessOf(filled(0, 100).get(), filled(0, 29).get()), 29) << "no rounding error below an exact value";

    auto withEmpty = filled(0, 4);
    withEmpty[3] = u"";
    EXPECT_EQ(completenessOf(filled(0, 4).get(), withEmpty.get()), 75) << "an empty text counts as missing";
    EXPECT_EQ(completenessOf(withEmpty.get(), filled(0, 3).get()), 100) << "an empty English text is no reference";
    EXPECT_EQ(completenessOf(filled(0, 0).get(), filled(0, 5).get()), 0) << "no English: 0, not a division by zero";
}

}  // namespace
