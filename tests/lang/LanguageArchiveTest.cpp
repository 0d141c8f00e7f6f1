// The loader on the real Brindlecrest.exe, and what a damaged copy of it does.
#include "lang/ArchiveContainer.h"
#include "lang/LanguageArchive.h"
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;

WideString builtExe() { return e2e::besideThisExe(L"Brindlecrest.exe"); }

Bytes readBytes(const WideString& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const WideString& path, const Bytes& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int countOccurrences(const Bytes& data, const Bytes& pattern) {
    int count = 0;
    size_t offset = 0;
    while (offset < data.size()) {
        ptrdiff_t at = findMarker(data.data() + offset, data.size() - offset, pattern.data(), pattern.size());
        if (at < 0) {
            break;
        }
        ++count;
        offset += static_cast<size_t>(at) + 1;
    }
    return count;
}

std::wstring text(const wchar_t* t) { return t ? std::wstring(t) : std::wstring(L"<null>"); }

bool isEmptyArchive() {
    if (archiveTables.languageCount != 0 || !englishSectionText.isEmpty()) {
        return false;
    }
    for (const wchar_t* entry : archiveTables.headerTable) {
        if (entry) {
            return false;
        }
    }
    for (const auto& table : archiveTables.languageTables) {
        for (const wchar_t* entry : table) {
            if (entry) {
                return false;
            }
        }
    }
    return true;
}

// A temporary folder that goes with the test.
class TempFolder {
public:
    TempFolder() : path_(e2e::makeTempFolder(L"bc_lang")) {}
    ~TempFolder() { e2e::removeTree(path_); }
    WideString file(const wchar_t* name) const { return path_ + L"\\" + name; }
    bool valid() const { return !path_.isEmpty(); }

private:
    WideString path_;
};

TEST(LanguageArchive, BuiltExeYieldsFifteenLanguagesAndTheUnnamedLastSection) {
    ASSERT_TRUE(readLanguageArchive(builtExe().c_str()));
    ASSERT_EQ(archiveTables.languageCount, 16);
    const wchar_t* names[] = {L"Deutsch",   L"English",  L"Korean",    L"French",     L"Chinese-Traditional",
                              L"Bulgarian", L"Spanish",  L"Italian",   L"Russian",    L"Latvian",
                              L"Portuguese-Brazil",      L"Arabic",    L"Hungarian",  L"Chinese-Simplifiled",
                              L"Slovenian"};
    for (int i = 0; i < 15; ++i) {
        ASSERT_NE(archiveTables.languageNames[i], nullptr) << i;
        std::wstring line = archiveTables.languageNames[i];
        EXPECT_EQ(line.substr(0, line.find(L'\t')), names[i]) << i;
        EXPECT_NE(line.find(L'\t'), std::wstring::npos) << "two names: " << i;
        EXPECT_EQ(line.find(L'\r'), std::wstring::npos) << i;
    }
    EXPECT_STREQ(archiveTables.languageNames[1], L"English\tEnglisch");
    EXPECT_EQ(archiveTables.languageNames[15], nullptr);

    // German lacks 2 of the 122 filled English keys (202 among them): 120 of 122, truncated.
    EXPECT_EQ(archiveTables.completeness[0], 98);
    for (int i = 1; i < 15; ++i) {
        EXPECT_EQ(archiveTables.completeness[i], 100) << i;
    }
    EXPECT_EQ(archiveTables.completeness[15], 0);
    for (const wchar_t* entry : archiveTables.languageTables[15]) {
        EXPECT_EQ(entry, nullptr);
    }
}

TEST(LanguageArchive, BuiltExeCarriesTheEnglishTextsAndTheHeaderAsWritten) {
    ASSERT_TRUE(readLanguageArchive(builtExe().c_str()));
    const auto& english = archiveTables.languageTables[kEnglishSection];
    EXPECT_EQ(text(english[5]), L"... Initialize");
    EXPECT_EQ(text(english[15]), L"Start ");
    EXPECT_EQ(text(english[33]), L"Very Long test (approx. 4 minutes) ");
    EXPECT_EQ(text(english[11]), L"Fehler beim Reservieren des Speichers");
    EXPECT_EQ(text(english[104]), L"64 x 10M: Random read and write 64 x 10 MB blocks at the same time (parallel run).");
    EXPECT_EQ(text(english[0]), L"https://www.brindlecrest.example/") << "TranslatorURL comes after TranslatorName";
    int filled = 0;
    for (const wchar_t* entry : english) {
        filled += entry && *entry ? 1 : 0;
    }
    // The 86 keys of the English texts as first written, key 150 (unreadable translation file),
    // the error check's 110 to 129, self-update's and uninstall's 130 to 143, and key 160 (a test
    // run that cannot be started).
    EXPECT_EQ(filled, 122);
    EXPECT_EQ(text(english[110]), L"&Details");
    EXPECT_EQ(text(english[129]), L"Changes");
    EXPECT_EQ(text(english[143]), L"The uninstall could not be prepared. Nothing has been removed.");
    EXPECT_EQ(text(english[160]), L"The test could not be started.");
    EXPECT_EQ(archiveTables.languageTables[0][202], nullptr) << "German leaves out Auto-Update";

    // The export template: the section as written, before its lines were cut.
    std::wstring body = englishSectionText.c_str();
    EXPECT_EQ(body.rfind(L"TranslatorName=", 0), 0u);
    EXPECT_NE(body.find(L"\r\n0005=... Initialize\r\n"), std::wstring::npos);
    EXPECT_NE(body.find(L"\r\n[Tool-Tips eg Info]\r\n"), std::wstring::npos);
    EXPECT_EQ(body.find(L"##"), std::wstring::npos);

    EXPECT_EQ(text(archiveTables.headerTable[19]), L"Brindlecrest 1.33");
    EXPECT_EQ(text(archiveTables.headerTable[20]).rfind(L"https://www.brindlecrest.example/", 0), 0u);
    EXPECT_EQ(text(archiveTables.headerTable[21]).rfind(L"https://de.brindlecrest.example/", 0), 0u);
    EXPECT_EQ(text(archiveTables.headerTable[23]).rfind(L"https://de.brindlecrest.example/", 0), 0u);
    EXPECT_EQ(text(archiveTables.headerTable[24]).rfind(L"https://www.brindlecrest.example/", 0), 0u);
    std::wstring credits = text(archiveTables.headerTable[22]);
    EXPECT_NE(credits.find(L"%s"), std::wstring::npos);
    EXPECT_EQ(credits.find(L'%'), credits.rfind(L'%')) << "one format field only";
    std::wstring note = text(archiveTables.headerTable[25]);
    EXPECT_NE(note.find(L"\r\n\r\n"), std::wstring::npos) << "escapes become line ends";
    EXPECT_EQ(note.find(L"\\r"), std::wstring::npos);
    EXPECT_NE(archiveTables.freeTexts[0], nullptr);
    EXPECT_NE(archiveTables.freeTexts[1], nullptr);
}

TEST(LanguageArchive, BuiltExeHoldsEachMarkerExactlyOnceAroundTheArchive) {
    Bytes exe = readBytes(builtExe());
    ASSERT_GT(exe.size(), 100000u);
    Bytes start = startMarker();
    Bytes end = endMarker();
    ASSERT_EQ(start.size(), kStartMarkerBytes);
    ASSERT_EQ(end.size(), kEndMarkerBytes);
    EXPECT_EQ(countOccurrences(exe, start), 1);
    EXPECT_EQ(countOccurrences(exe, end), 1);
    EXPECT_LT(findMarker(exe.data(), exe.size(), start.data(), start.size()),
              findMarker(exe.data(), exe.size(), end.data(), end.size()));
}

TEST(LanguageArchive, UnreadableOrDamagedFilesLeaveEveryTableEmpty) {
    TempFolder folder;
    ASSERT_TRUE(folder.valid());
    Bytes exe = readBytes(builtExe());
    const Bytes start = startMarker();
    const Bytes end = endMarker();
    const size_t startAt = static_cast<size_t>(findMarker(exe.data(), exe.size(), start.data(), start.size()));
    const size_t endAt = static_cast<size_t>(findMarker(exe.data(), exe.size(), end.data(), end.size()));

    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    Bytes noEnd = exe;
    noEnd[endAt + 10] = 'x';
    cases.push_back({"end marker damaged", noEnd});
    Bytes hugeSize = exe;
    hugeSize[startAt + kStartMarkerBytes + 3] = 0x7F;
    cases.push_back({"decoded size far too large", hugeSize});
    Bytes swapped(exe.begin() + static_cast<ptrdiff_t>(endAt), exe.begin() + static_cast<ptrdiff_t>(endAt + kEndMarkerBytes));
    swapped.insert(swapped.end(), exe.begin() + static_cast<ptrdiff_t>(startAt), exe.begin() + static_cast<ptrdiff_t>(endAt));
    cases.push_back({"end marker in front of the start marker", swapped});
    Bytes sizeOnly = start;
    sizeOnly.insert(sizeOnly.end(), {0, 0, 0});
    sizeOnly.insert(sizeOnly.end(), end.begin(), end.end());
    cases.push_back({"payload too short for its size", sizeOnly});
    const char headerOnly[] = "\xFF\xFE#\0#\0\r\0\n\0";
    cases.push_back({"no language at all", packArchive(reinterpret_cast<const uint8_t*>(headerOnly), sizeof headerOnly - 1)});
    cases.push_back({"nothing to decode", packArchive(nullptr, 0)});

    for (const Case& c : cases) {
        ASSERT_TRUE(readLanguageArchive(builtExe().c_str()));
        WideString path = folder.file(L"damaged.exe");
        ASSERT_TRUE(writeBytes(path, c.bytes));
        EXPECT_FALSE(readLanguageArchive(path.c_str())) << c.what;
        EXPECT_TRUE(isEmptyArchive()) << c.what;
    }
    EXPECT_FALSE(readLanguageArchive(folder.file(L"missing.exe").c_str()));
    EXPECT_TRUE(isEmptyArchive());
}

HWND findChild(HWND parent, const wchar_t* className) {
    return FindWindowExW(parent, nullptr, className, nullptr);
}

WideString messageText(HWND box) {
    // The message text is the static control with id 0xFFFF; the icon is a static too.
    if (HWND text = GetDlgItem(box, 0xFFFF)) {
        return e2e::windowText(text);
    }
    for (HWND child = findChild(box, L"Static"); child; child = FindWindowExW(box, child, L"Static", nullptr)) {
        WideString t = e2e::windowText(child);
        if (!t.isEmpty()) {
            return t;
        }
    }
    return WideString();
}

TEST(LanguageArchive, CopyWithDamagedMarkerShowsTheAlertAndEndsWithCodeZero) {
    TempFolder folder;
    ASSERT_TRUE(folder.valid());
    Bytes exe = readBytes(builtExe());
    const Bytes start = startMarker();
    ptrdiff_t at = findMarker(exe.data(), exe.size(), start.data(), start.size());
    ASSERT_GE(at, 0);
    exe[static_cast<size_t>(at) + 20] ^= 0x20;  // one letter of the marker word changes case
    WideString copy = folder.file(L"Brindlecrest.exe");
    ASSERT_TRUE(writeBytes(copy, exe));

    e2e::AppProcess app;
    ASSERT_TRUE(app.start(copy, WideString(), WideString())) << GetLastError();
    HWND box = app.waitForWindow(L"#32770", L"Alert", kWindowTimeoutMs);
    ASSERT_NE(box, nullptr) << "no alert appeared";
    EXPECT_STREQ(messageText(box).c_str(), L"Error! Loading language file string archive");
    EXPECT_EQ(app.topLevelWindows(true).size(), 1u) << "nothing but the alert is shown";

    HWND ok = findChild(box, L"Button");
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(e2e::windowText(ok).c_str(), L"OK");
    SendMessageW(ok, BM_CLICK, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(kWindowTimeoutMs, &code)) << "the program did not end after OK";
    EXPECT_EQ(code, 0u);
}

}  // namespace
