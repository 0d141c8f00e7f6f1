// The translators' tools over the archive of the built program: the template, reading files in
// both encodings, the completeness report, and a file that cannot be read.
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "lang/Translation.h"
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using ByteString = std::string;

ByteString readBytes(const WideString& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return ByteString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const WideString& path, const ByteString& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

ByteString utf16File(const std::wstring& text, bool mark = true) {
    ByteString bytes = mark ? ByteString("\xFF\xFE") : ByteString();
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

ByteString ansiBytes(const std::wstring& text) {
    int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    ByteString bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::wstring str(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(L"<null>"); }

class Translation : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str())); }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_translate");
        ASSERT_FALSE(folder_.isEmpty());
        reset();
    }
    void TearDown() override {
        reset();
        e2e::removeTree(folder_);
    }
    static void reset() {
        currentLanguage = kLanguageEnglish;
        loadedTableActive = 0;
        for (auto& entry : loadedTable) {
            entry = nullptr;
        }
    }
    WideString path(const wchar_t* name) const { return folder_ + L"\\" + name; }

    WideString folder_;
};

// Catches blanks left in the file name, a missing or doubled byte-order mark, a terminating NUL
// written out, header lines out of order or without their blank lines, and an English section
// that lost its comment lines or leading zeros; then the export must load back complete.
TEST_F(Translation, TemplateLoadsBackCompleteAndShowsEnglish) {
    wchar_t temp[MAX_PATH + 1]{};
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_STREQ(translationTemplatePath().c_str(), (WideString(temp) + L"translate_Brindlecrest_1.33.txt").c_str());

    WideString file = path(L"template.txt");
    ASSERT_TRUE(writeTranslationTemplate(file.c_str()));
    ByteString bytes = readBytes(file);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), ByteString("\xFF\xFE"));
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);

    const std::wstring firstLines =
        L"\r\nPlease don't forget! Write in e-mail subject: Strings for: Brindlecrest 1.33 and Language Name : German / Deutsch "
        L"\r\n\r\nHello, and thank you for translating Brindlecrest!\r\n\r\nTranslate the text after each \"=\"";
    EXPECT_EQ(text.substr(0, firstLines.size()), firstLines);
    size_t note = text.find(L"send it back to translate@brindlecrest.example.\r\n\r\n##=English\tEnglisch\r\n\r\nTranslatorName=");
    EXPECT_NE(note, std::wstring::npos) << "the note, then the name line, then the English section";
    EXPECT_NE(text.find(L"\r\n0005=... Initialize\r\n0006=Sequential Read\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\n\r\n[Passive - Uninstall - 2021]\r\n201=Uninstall\r\n"), std::wstring::npos);
    const std::wstring ending = L"\r\n249=Invalid bytes total\r\n\r\n\r\n";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending) << "no NUL, nothing after the section";

    WideString report;
    ASSERT_TRUE(useTranslationFile(file.c_str(), report));
    EXPECT_STREQ(report.c_str(), L"100 %");
    EXPECT_EQ(loadedTableActive.load(), 1);
    for (int key = 0; key < kLanguageKeyCount; ++key) {
        const wchar_t* english = archiveTables.languageTables[kEnglishSection][key];
        EXPECT_EQ(str(languageText(key)), english ? std::wstring(english) : L"str:" + std::to_wstring(key) + L"?") << key;
    }
}

// The old export tool opened the file without truncating it after a delete that could fail.
TEST_F(Translation, TemplateReplacesAnOldFileWholeOrNotAtAll) {
    WideString file = path(L"template.txt");
    ASSERT_TRUE(writeTranslationTemplate(file.c_str()));
    const ByteString fresh = readBytes(file);
    ASSERT_TRUE(writeBytes(file, ByteString(fresh.size() + 5000, 'x')));
    {
        // Held open without delete sharing: the delete fails, the writer still gets in.
        HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(DeleteFileW(file.c_str()));
        EXPECT_TRUE(writeTranslationTemplate(file.c_str()));
        CloseHandle(reader);
    }
    EXPECT_EQ(readBytes(file), fresh) << "nothing of the longer old file is left";

    // Held open by a program that shares it for reading only: it can be neither deleted nor
    // rewritten, which is reported, and the file is left as it was.
    ASSERT_TRUE(writeBytes(file, "old"));
    HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(writeTranslationTemplate(file.c_str()));
    CloseHandle(holder);
    EXPECT_EQ(readBytes(file), "old");
    EXPECT_FALSE(writeTranslationTemplate(path(L"no such folder\\template.txt").c_str()));
}

// Catches the switch to bare numbers one key early or late, a missing "...and...", a wrong
// percentage, and English texts that are not the archive's.
TEST_F(Translation, SingleKeyFileReportsEveryOtherKeyAsMissing) {
    WideString file = path(L"one.txt");
    ASSERT_TRUE(writeBytes(file, "5=Init\r\n"));
    WideString report;
    ASSERT_TRUE(useTranslationFile(file.c_str(), report));
    // One key of the more than a hundred that English fills: under 1 %, shown truncated.
    std::wstring expected =
        L"0 %\n\nmiss:\n"
        L"0=https://www.brindlecrest.example/\n"
        L"1=Brindlecrest is an application for testing the RAM (Random Access Memory).\n"
        L"2=A program like Brindlecrest for Windows is used to evaluate the performance and stability of the RAM.\n"
        L"3=By early detection of errors, the stability of the system can be improved and larger issues can be avoided.\n"
        L"6=Sequential Read\n7=Sequential Write\n8=Random Read\n9=Random Write\n10=Disk is Full\n...and...\n";
    // The rest: every further key that English fills, in order, each followed by ",".
    int rest = 0;
    for (int key = 11; key < kLanguageKeyCount; ++key) {
        const wchar_t* english = archiveTables.languageTables[kEnglishSection][key];
        if (english && *english) {
            expected += std::to_wstring(key) + L",";
            ++rest;
        }
    }
    EXPECT_GE(rest, 76);
    EXPECT_EQ(std::wstring(report.c_str()), expected);
    EXPECT_STREQ(languageText(5), L"Init");
    EXPECT_STREQ(languageText(6), L"str:6?");
}

// A file written in the ANSI code page and the same text in UTF-16 must give the same entries.
// Under a double-byte code page (the test runs again with a Japanese locale, code page 932) a
// character is put across byte 1,024, where reading in 1 KiB pieces would cut it in two.
TEST_F(Translation, AnsiAndUtf16FilesGiveTheSameTable) {
    const bool doubleByte = IsDBCSLeadByte(ansiBytes(L"\u65E5")[0]);
    if (PRIMARYLANGID(GetUserDefaultLangID()) == LANG_JAPANESE) {
        ASSERT_TRUE(doubleByte) << "a Japanese user has code page 932, not " << GetACP();
    }
    const std::wstring sample = doubleByte ? L"\u65E5\u672C\u8A9E\u30C6\u30B9\u30C8" : L"\u00C4rger \u00FCber Stra\u00DFen";
    ASSERT_EQ(ansiBytes(sample).find('?'), ByteString::npos) << "the code page holds the sample";

    std::wstring text = L"[info]\r\n0006=" + sample + L"\r\n7=";
    // Pad with ASCII until the next character of the sample starts at byte 1,023.
    while (ansiBytes(text).size() < 1023) {
        text += L'a';
    }
    text += sample + L"=" + sample + L"\r\n104=" + sample + L"\r\n";
    const ByteString ansi = ansiBytes(text);
    if (doubleByte) {
        ASSERT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(ansi[1023]))) << "a character crosses the 1,024-byte boundary";
    }
    WideString ansiFile = path(L"ansi.txt");
    WideString utf16 = path(L"utf16.txt");
    ASSERT_TRUE(writeBytes(ansiFile, ansi));
    ASSERT_TRUE(writeBytes(utf16, utf16File(text)));

    WideString fromAnsi;
    WideString fromUtf16;
    ASSERT_TRUE(readTextFile(ansiFile.c_str(), fromAnsi));
    ASSERT_TRUE(readTextFile(utf16.c_str(), fromUtf16));
    EXPECT_EQ(std::wstring(fromAnsi.c_str()), text);
    EXPECT_EQ(std::wstring(fromUtf16.c_str()), text) << "the mark is not part of the text";

    WideString report;
    ASSERT_TRUE(useTranslationFile(ansiFile.c_str(), report));
    EXPECT_EQ(str(languageText(6)), sample);

    // UTF-16 without its mark is read as 8-bit text: nothing usable.
    WideString unmarked = path(L"unmarked.txt");
    ASSERT_TRUE(writeBytes(unmarked, utf16File(text, false)));
    ASSERT_TRUE(useTranslationFile(unmarked.c_str(), report));
    EXPECT_EQ(std::wstring(report.c_str()).substr(0, 14), L"0 %\n\nmiss:\n0=h");
    EXPECT_STREQ(languageText(6), L"str:6?");
}

// A file that cannot be read used to switch the interface to "str:N?" texts; now it says why
// and leaves the language, and an earlier loaded file, in place.
TEST_F(Translation, UnreadableFileChangesNothingAndSaysWhy) {
    WideString report;
    EXPECT_FALSE(useTranslationFile(path(L"missing.txt").c_str(), report));
    EXPECT_EQ(std::wstring(report.c_str()).rfind(L"The file could not be read. The current language stays in use.\r\n0x00000002:", 0), 0u)
        << report.c_str();
    EXPECT_EQ(loadedTableActive.load(), 0);
    EXPECT_STREQ(languageText(6), L"Sequential Read");

    // In loaded-file mode the message still comes from the archive, in the current language.
    WideString file = path(L"one.txt");
    ASSERT_TRUE(writeBytes(file, "6=Sequenzielles Lesen\r\n"));
    ASSERT_TRUE(useTranslationFile(file.c_str(), report));
    const wchar_t* before = languageText(6);
    currentLanguage = kLanguageGerman;
    EXPECT_FALSE(useTranslationFile(folder_.c_str(), report)) << "a folder is no file";
    EXPECT_EQ(std::wstring(report.c_str()).find(L"Die Datei konnte nicht gelesen werden."), 0u) << report.c_str();
    EXPECT_EQ(loadedTableActive.load(), 1);
    EXPECT_EQ(languageText(6), before);
    EXPECT_STREQ(languageText(6), L"Sequenzielles Lesen");
}

}  // namespace
