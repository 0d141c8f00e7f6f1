// Text lookup, the start language and the language menu, over the archive of the built program.
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Section positions of the shipped archive.
enum : int {
    kGerman = 0, kEnglish = 1, kKorean = 2, kFrench = 3, kChineseTraditional = 4, kBulgarian = 5, kSpanish = 6,
    kItalian = 7, kRussian = 8, kLatvian = 9, kPortugueseBrazil = 10, kArabic = 11, kHungarian = 12,
    kChineseSimplified = 13, kSlovenian = 14
};

class LanguageChoice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_lng");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = kEnglish;
        loadedTableActive = 0;
    }
    void TearDown() override {
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
        currentLanguage = kEnglish;
        loadedTableActive = 0;
        for (auto& entry : loadedTable) {
            entry = nullptr;
        }
    }
    WideString folder_;
    WideString savedPath_;
};

TEST_F(LanguageChoice, UserLanguagePicksTheSection) {
    struct Case {
        LANGID id;
        int section;
    };
    const Case cases[] = {
        {0x0407, kGerman},  {0x0807, kGerman},           {0x0409, kEnglish},
        {0x0809, kEnglish}, {0x0412, kKorean},           {0x040C, kFrench},
        {0x0402, kBulgarian},
        {0x0413, kEnglish},   // Dutch: no section
        {0x0C0A, kSpanish},   {0x040A, kSpanish},       {0x0410, kItalian},
        {0x0419, kRussian},   {0x0424, kSlovenian},
        {0x0416, kPortugueseBrazil},
        {0x0816, kEnglish},   // Portuguese (Portugal)
        {0x0401, kArabic},    {0x0C01, kArabic},
        {0x0411, kEnglish},   // Japanese: no section
        {0x0429, kEnglish},   // Persian: no section
        {0x040E, kEnglish},   // Hungarian and Latvian have sections but no rule picks them
        {0x0426, kEnglish},
        {0x0804, kChineseSimplified}, {0x1004, kChineseSimplified},
        {0x0404, kChineseTraditional}, {0x0C04, kChineseTraditional}, {0x1404, kChineseTraditional},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(startLanguageFor(c.id), c.section) << std::hex << "language 0x" << c.id;
    }
}

TEST_F(LanguageChoice, StoredChoiceWinsOverTheUserLanguage) {
    // Without a stored choice the user's language decides: the runs are English or German.
    chooseStartLanguage();
    EXPECT_EQ(currentLanguage.load(), GetUserDefaultLangID() == 0x0407 ? kGerman : kEnglish);

    WritePrivateProfileStringW(L"Program", L"lng", L"7", settingsPath.c_str());
    chooseStartLanguage();
    EXPECT_EQ(currentLanguage.load(), kItalian);

    WritePrivateProfileStringW(L"Program", L"lng", L"abc", settingsPath.c_str());
    chooseStartLanguage();
    EXPECT_EQ(currentLanguage.load(), kGerman);

    // An index without a section is kept, and every text falls back to English.
    WritePrivateProfileStringW(L"Program", L"lng", L"30", settingsPath.c_str());
    chooseStartLanguage();
    EXPECT_EQ(currentLanguage.load(), 30);
    EXPECT_STREQ(languageText(6), L"Sequential Read");
    EXPECT_STREQ(secondLanguageName().c_str(), L"English");
}

TEST_F(LanguageChoice, LooksUpTheCurrentLanguageWithEnglishAsFallback) {
    currentLanguage = kGerman;
    EXPECT_STREQ(languageText(11), L"Fehler beim Reservieren des Speichers");
    EXPECT_STREQ(languageText(202), L"Auto-Update") << "German has no key 202: English fills in";
    EXPECT_EQ(languageText(4), nullptr) << "a key no language has";
    EXPECT_TRUE(languageString(4).isEmpty());
    EXPECT_EQ(languageText(-1), nullptr);
    EXPECT_EQ(languageText(256), nullptr);

    currentLanguage = kEnglish;
    EXPECT_STREQ(languageText(15), L"Start ");
    EXPECT_STREQ(languageText(5), L"... Initialize");

    // A present but empty text is shown empty, not replaced by English.
    const TextUnit* saved = archiveTables.languageTables[kFrench][35];
    archiveTables.languageTables[kFrench][35] = L"";
    currentLanguage = kFrench;
    EXPECT_STREQ(languageText(35), L"");
    archiveTables.languageTables[kFrench][35] = saved;
    EXPECT_STRNE(languageText(35), L"Start test");
}

TEST_F(LanguageChoice, LoadedFileModeShowsMissingKeysByNumber) {
    loadedTable[5] = L"... Init from file";
    loadedTableActive = 1;
    EXPECT_STREQ(languageText(5), L"... Init from file");
    EXPECT_STREQ(languageText(75), L"str:75?") << "English is not consulted in this mode";

    // The worker thread and the dialog's thread may miss at the same moment.
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            int key = 100 + t;
            std::wstring expected = L"str:" + std::to_wstring(key) + L"?";
            for (int i = 0; i < 20000; ++i) {
                if (expected != languageText(key)) {
                    ++wrong[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST_F(LanguageChoice, SecondNameIsThePartAfterTheTab) {
    currentLanguage = kGerman;
    EXPECT_STREQ(secondLanguageName().c_str(), L"German");
    currentLanguage = kEnglish;
    EXPECT_STREQ(secondLanguageName().c_str(), L"Englisch");
    currentLanguage = kHungarian;
    EXPECT_STREQ(secondLanguageName().c_str(), L"Magyar");
    currentLanguage = 15;  // the unnamed last section
    EXPECT_STREQ(secondLanguageName().c_str(), L"English");
}

WideString menuText(HMENU menu, int position) {
    wchar_t text[256]{};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return WideString(text);
}

TEST_F(LanguageChoice, MenuListsNamedLanguagesInTwoColumns) {
    currentLanguage = kGerman;
    HMENU menu = buildLanguageMenu();
    ASSERT_NE(menu, nullptr);
    // 15 languages, the column break, a separator and the two translators' items.
    ASSERT_EQ(GetMenuItemCount(menu), 15 + 1 + 1 + 2);

    EXPECT_STREQ(menuText(menu, 0).c_str(), L"Deutsch\tGerman / 98 %");  // lacks 2 of 121 keys, 202 among them
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), static_cast<UINT>(MF_CHECKED | MF_GRAYED));
    EXPECT_STREQ(menuText(menu, 1).c_str(), L"English\tEnglisch / 100 %");
    EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), 0u);

    // The second column starts after nine languages.
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 9, TRUE, &info));
    EXPECT_TRUE(info.fType & MFT_MENUBARBREAK);
    EXPECT_EQ(GetMenuItemID(menu, 8), static_cast<UINT>(10 + 8));
    EXPECT_EQ(GetMenuItemID(menu, 10), static_cast<UINT>(10 + 9));

    // Every named section is there once; the unnamed last one never.
    for (int section = 0; section < 15; ++section) {
        EXPECT_NE(GetMenuState(menu, static_cast<UINT>(10 + section), MF_BYCOMMAND), 0xFFFFFFFFu) << section;
    }
    EXPECT_EQ(GetMenuState(menu, 10 + 15, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_STREQ(menuText(menu, 17).c_str(), L"Translate");
    EXPECT_EQ(GetMenuItemID(menu, 17), 1000u);
    EXPECT_EQ(GetMenuItemID(menu, 18), 1001u);
    DestroyMenu(menu);
}

int appliedLanguage = -1;
void recordApplied(HWND) { appliedLanguage = currentLanguage.load(); }

TEST_F(LanguageChoice, PickingALanguageAppliesItThenStoresIt) {
    loadedTableActive = 1;
    appliedLanguage = -1;
    EXPECT_TRUE(applyLanguageMenuChoice(nullptr, 10 + kItalian, recordApplied));
    EXPECT_EQ(currentLanguage.load(), kItalian);
    EXPECT_EQ(loadedTableActive.load(), 0);
    EXPECT_EQ(appliedLanguage, kItalian);
    EXPECT_EQ(GetPrivateProfileIntW(L"Program", L"lng", -1, settingsPath.c_str()), kItalian);

    EXPECT_FALSE(applyLanguageMenuChoice(nullptr, 0, recordApplied));
    EXPECT_EQ(currentLanguage.load(), kItalian);
}

// While the menu is open its button shows pressed; dismissing it changes nothing.
bool buttonWasPressed = false;
void CALLBACK dismissMenu(HWND, UINT, UINT_PTR id, DWORD) {
    HWND toolbar = FindWindowExW(FindWindowW(L"BcLanguageMenuOwner", nullptr), nullptr, TOOLBARCLASSNAMEW, nullptr);
    buttonWasPressed = SendMessageW(toolbar, TB_ISBUTTONPRESSED, kLanguageButton, 0) != 0;
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(LanguageChoice, MenuOpensUnderItsToolbarButton) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BcLanguageMenuOwner";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowW(L"BcLanguageMenuOwner", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 200,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST, 0,
                                   0, 400, 30, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = kLanguageButton;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
    button.iString = reinterpret_cast<INT_PTR>(L"# LNG");
    SendMessageW(toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));

    currentLanguage = kFrench;
    buttonWasPressed = false;
    SetTimer(nullptr, 0, 300, dismissMenu);
    SetForegroundWindow(owner);
    showLanguageMenu(owner, toolbar, recordApplied);

    EXPECT_TRUE(buttonWasPressed);
    EXPECT_EQ(SendMessageW(toolbar, TB_ISBUTTONPRESSED, kLanguageButton, 0), 0);
    EXPECT_EQ(currentLanguage.load(), kFrench);
    EXPECT_EQ(GetPrivateProfileIntW(L"Program", L"lng", -1, settingsPath.c_str()), -1);
    DestroyWindow(owner);
}

// Run with LC_ALL=de_DE.UTF-8: Wine then reports a German user language.
TEST_F(LanguageChoice, GermanUserGetsGermanWithoutAStoredChoice) {
    if (GetUserDefaultLangID() != 0x0407) {
        GTEST_SKIP() << "user language is not German here";
    }
    chooseStartLanguage();
    EXPECT_EQ(currentLanguage.load(), kGerman);
    HMENU menu = buildLanguageMenu();
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), static_cast<UINT>(MF_CHECKED | MF_GRAYED));
    DestroyMenu(menu);
}

}  // namespace
