// The main dialog's menus on the real dialog of this process: their structure in every shipped
// language, their icons, what a language switch and a run in progress do to them, and how the open
// program menu looks in both palettes.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/MainMenu.h"
#include "app/Startup.h"
#include "engine/EngineState.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/e2e/ScreenImage.h"
#include "ui/CommandBar.h"
#include "ui/DarkMode.h"
#include "ui/OwnerDrawnMenu.h"
#include "ui/ScannerBar.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kGerman = 0;
constexpr int kEnglish = 1;
constexpr int kShippedLanguages = 15;
constexpr int kSeparator = -1;
constexpr int kSubmenu = -2;

// One item as the user finds it: its command (or kSeparator, kSubmenu), the language key of its
// text (0: fixed text) and that text in English.
struct Item {
    int command;
    int key;
    const wchar_t* english;
};

const Item kProgramMenu[] = {
    {43105, 77, L"Screenshot to File"},
    {43104, 78, L"Screenshot to MS-Paint"},
    {kSeparator, 0, nullptr},
    {43106, 41, L"Do not display serial number"},
    {kSeparator, 0, nullptr},
    {32776, 93, L"Info"},
    {kSeparator, 0, nullptr},
    {32790, 74, L"FAQ"},
    {43102, 75, L"Comparing the results on Quillmarsh"},
    {43103, 76, L"Brindlecrest Homepage"},
    {kSeparator, 0, nullptr},
    {43112, 202, L"Auto-Update"},
    {43113, 201, L"Uninstall"},
    {kSeparator, 0, nullptr},
    {kSubmenu, 0, L"Brindlecrest"},
    {43114, 204, L"Restart the program"},
    {kSeparator, 0, nullptr},
    {5, 46, L"E&xit"},
};

const Item kFolderMenu[] = {
    {43115, 0, L"Brindlecrest.exe/.."},
    {43116, 0, L"Brindlecrest.ini/.."},
    {43117, 0, L"Brindlecrest.ini"},
};

const Item kSystemMenu[] = {
    {32809, 56, L"MS Memory Diagnostics Tool for RAM"},
    {32811, 57, L"Resource Monitor"},
    {32810, 58, L"Performance Monitor"},
    {kSeparator, 0, nullptr},
    {7, 241, L"Check the RAM for errors now."},
    {kSeparator, 0, nullptr},
    {4006, 51, L"Task-Manager"},
    {4007, 50, L"&System"},
    {4046, 52, L"System &Information"},
    {kSeparator, 0, nullptr},
    {43001, 53, L"Optimizing the drive"},
    {32812, 54, L"Computer Management"},
    {43108, 55, L"Disk Management"},
    {kSeparator, 0, nullptr},
    {43109, 0, L"Brindlecrest.ini"},
};

// Shell32's icon resource of each command that has one (the Task Manager's comes from its file).
const std::pair<int, int> kIcons[] = {
    {43105, 248}, {43104, 270}, {32776, 1001}, {32790, 14},  {43102, 14},   {43103, 14}, {43112, 14},
    {43113, 271}, {43118, 4},   {43115, 4},    {43116, 4},   {43117, 151},  {43114, 16739}, {5, 28},
    {4007, 16},   {4046, 24},   {43001, 167},  {32812, 274}, {43108, 274},  {43109, 151},
};
const int kWithoutIcon[] = {43106, 32809, 32811, 32810, 7};

WideString itemText(HMENU menu, int position) {
    wchar_t text[256]{};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return WideString(text);
}

// A 16 x 16 picture of one image of an image list.
e2e::ScreenImage imageOf(HIMAGELIST list, int index) {
    return e2e::paintToImage(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), RGB(90, 200, 90),
                             [&](HDC dc) { ImageList_Draw(list, index, dc, 0, 0, ILD_TRANSPARENT); });
}

bool sameImage(const e2e::ScreenImage& a, const e2e::ScreenImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.at(x, y) != b.at(x, y)) {
                return false;
            }
        }
    }
    return a.width() == b.width() && a.height() == b.height();
}

class MainMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registerScannerClass(GetModuleHandleW(nullptr));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_menu");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = kEnglish;
        loadedTableActive = 0;
        hideSerialNumber = 0;
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
        currentLanguage = kEnglish;
        hideSerialNumber = 0;
        engineState.busy = 0;
    }

    void expectItems(HMENU menu, const Item* items, size_t count, int language) {
        ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(count));
        for (size_t position = 0; position < count; ++position) {
            const Item& item = items[position];
            SCOPED_TRACE(testing::Message() << "position " << position << " command " << item.command);
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
            ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info));
            if (item.command == kSeparator) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR);
                continue;
            }
            EXPECT_FALSE(info.fType & MFT_SEPARATOR);
            if (item.command == kSubmenu) {
                ASSERT_NE(info.hSubMenu, nullptr);
                EXPECT_EQ(info.wID, 43118u) << "the folder submenu's item carries the folder icon's id";
                expectItems(info.hSubMenu, kFolderMenu, std::size(kFolderMenu), language);
            } else {
                EXPECT_EQ(info.hSubMenu, nullptr);
                EXPECT_EQ(info.wID, static_cast<UINT>(item.command));
            }
            const WideString text = itemText(menu, static_cast<int>(position));
            if (language == kEnglish || item.key == 0) {
                EXPECT_STREQ(text.c_str(), item.english);
            } else {
                EXPECT_STREQ(text.c_str(), languageString(item.key).c_str());
            }
        }
    }

    HWND dialog_ = nullptr;
    WideString folder_;
    WideString savedPath_;
};

TEST_F(MainMenu, TwoMenusWithTheirItemsInEveryLanguage) {
    HMENU first = mainMenu;
    ASSERT_NE(first, nullptr);
    for (int language = 0; language < kShippedLanguages; ++language) {
        SCOPED_TRACE(language);
        currentLanguage = language;
        applyDialogTexts(dialog_);
        ASSERT_NE(mainMenu, nullptr);
        EXPECT_EQ(commandBarMenu(), mainMenu) << "the bar shows the menu the dialog knows";
        ASSERT_EQ(GetMenuItemCount(mainMenu), 2);
        EXPECT_STREQ(itemText(mainMenu, 0).c_str(), L"&Brindlecrest");
        EXPECT_STREQ(itemText(mainMenu, 1).c_str(), languageString(50).c_str());
        expectItems(GetSubMenu(mainMenu, 0), kProgramMenu, std::size(kProgramMenu), language);
        expectItems(GetSubMenu(mainMenu, 1), kSystemMenu, std::size(kSystemMenu), language);

        // The bar's buttons carry the menus' titles.
        HWND bar = commandBarWindow();
        ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 2);
        wchar_t title[64]{};
        SendMessageW(bar, TB_GETBUTTONTEXTW, 40001, reinterpret_cast<LPARAM>(title));
        EXPECT_STREQ(title, languageString(50).c_str());
    }
    EXPECT_FALSE(IsMenu(first)) << "each rebuild drops the menu before it";
}

TEST_F(MainMenu, ItemsCarryTheirIconsFromShell32AndTheTaskManager) {
    HIMAGELIST list = menuImageList();
    ASSERT_NE(list, nullptr);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    ASSERT_NE(shell, nullptr);
    HIMAGELIST reference = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 1, 1);
    int present = 0;
    for (const auto& [command, number] : kIcons) {
        SCOPED_TRACE(testing::Message() << "command " << command << " icon " << number);
        HICON icon = LoadIconW(shell, MAKEINTRESOURCEW(number));
        const int index = menuImageIndex(command);
        if (!icon) {  // this system's shell32 lacks it (Wine has fewer icons than Windows)
            EXPECT_EQ(index, -1);
            continue;
        }
        ++present;
        ASSERT_GE(index, 0);
        ImageList_ReplaceIcon(reference, ImageList_GetImageCount(reference) > 0 ? 0 : -1, icon);
        EXPECT_TRUE(sameImage(imageOf(list, index), imageOf(reference, 0))) << "the icon of its own number";
    }
    EXPECT_GE(present, 10) << "Wine's shell32 has most of these";
    for (int command : kWithoutIcon) {
        EXPECT_EQ(menuImageIndex(command), -1) << command;
    }

    wchar_t system[MAX_PATH]{};
    GetSystemDirectoryW(system, MAX_PATH);
    HICON small = nullptr;
    ExtractIconExW((WideString(system) + L"\\taskmgr.exe").c_str(), 0, nullptr, &small, 1);
    if (small) {
        const int index = menuImageIndex(ids::kTaskManagerCommand);
        ASSERT_GE(index, 0);
        ImageList_ReplaceIcon(reference, 0, small);
        EXPECT_TRUE(sameImage(imageOf(list, index), imageOf(reference, 0))) << "the Task Manager's own small icon";
        DestroyIcon(small);
    }
    ImageList_Destroy(reference);

    // Language switches replace the icons instead of piling them up.
    const int images = ImageList_GetImageCount(list);
    applyDialogTexts(dialog_);
    applyDialogTexts(dialog_);
    EXPECT_EQ(ImageList_GetImageCount(list), images);
}

TEST_F(MainMenu, LanguageSwitchKeepsTheCheckMarkAndRewritesTheRightHandButtons) {
    auto rightButtons = [] {
        std::vector<std::pair<int, WideString>> found;
        HWND right = rightBarWindow();
        const int count = static_cast<int>(SendMessageW(right, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON button{};
            SendMessageW(right, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
            wchar_t text[64]{};
            SendMessageW(right, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), reinterpret_cast<LPARAM>(text));
            found.emplace_back(button.idCommand, WideString(text));
        }
        return found;
    };
    auto checked = [] { return (GetMenuState(mainMenu, ids::kHideSerialCommand, MF_BYCOMMAND) & MF_CHECKED) != 0; };

    auto english = rightButtons();
    ASSERT_EQ(english.size(), 3u);
    EXPECT_EQ(english[0], std::make_pair(5, WideString(L"E&xit")));
    EXPECT_EQ(english[1], std::make_pair(1, WideString(L"&To-Tray")));
    EXPECT_EQ(english[2], std::make_pair(43111, WideString(L"Donate")));
    EXPECT_FALSE(checked());

    hideSerialNumber = 1;  // as the menu command leaves it
    currentLanguage = kGerman;
    applyDialogTexts(dialog_);
    EXPECT_TRUE(checked()) << "a rebuilt menu keeps the check mark";
    EXPECT_STREQ(itemText(GetSubMenu(mainMenu, 0), 3).c_str(), L"Seriennummer nicht anzeigen");
    auto german = rightButtons();
    ASSERT_EQ(german.size(), 3u) << "still three buttons at the right end";
    EXPECT_EQ(german[0], std::make_pair(5, WideString(L"B&eenden")));
    EXPECT_EQ(german[1], std::make_pair(1, WideString(L"In den &Tray")));
    EXPECT_EQ(german[2], std::make_pair(43111, WideString(L"Spenden")));

    // Whenever a menu opens, the mark follows the setting.
    hideSerialNumber = 0;
    SendMessageW(dialog_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(mainMenu, 0)), 0);
    EXPECT_FALSE(checked());
    hideSerialNumber = 1;
    SendMessageW(dialog_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(mainMenu, 0)), 0);
    EXPECT_TRUE(checked());

    currentLanguage = kEnglish;
    applyDialogTexts(dialog_);
    applyDialogTexts(dialog_);
    EXPECT_EQ(rightButtons(), english);
    // The bar still ends at the command bar's right end, whatever the texts' widths.
    RECT right{};
    RECT bar{};
    GetWindowRect(rightBarWindow(), &right);
    GetWindowRect(commandBarWindow(), &bar);
    EXPECT_EQ(right.right, bar.right);
}

TEST_F(MainMenu, MenuRebuiltDuringARunKeepsTheRunLockedItemsGreyed) {
    auto greyed = [](int command) { return (GetMenuState(mainMenu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_GRAYED) != 0; };
    engineState.busy = 1;
    currentLanguage = kGerman;
    applyDialogTexts(dialog_);
    for (int command : {43114, 43112, 5, 43113}) {
        EXPECT_TRUE(greyed(command)) << command;
    }
    for (int command : {43106, 32776, 43105, 4006}) {
        EXPECT_FALSE(greyed(command)) << command;
    }
    engineState.busy = 0;
    applyDialogTexts(dialog_);
    for (int command : {43114, 43112, 5, 43113}) {
        EXPECT_FALSE(greyed(command)) << command;
    }
}

// The program menu opened on the real dialog, as a user sees it, in both palettes: the selected
// first item, a separator, an icon, the check mark set after the menu was built, the submenu arrow.
// The pictures are kept when BRINDLECREST_SHOTS_DIR names a folder.
e2e::ScreenImage shot;
RECT shotRect;
RECT items[18];
DWORD openedAt;
DWORD watchedSince;

// Watches the open menu from a timer, which the menu loop keeps serving; takes the picture once the
// first item is selected and drawn, and closes the menu. A menu whose first item never gets
// selected is closed after a while too, so that the test fails instead of waiting for ever.
void CALLBACK pictureWhenDrawn(HWND, UINT, UINT_PTR id, DWORD) {
    HMENU program = GetSubMenu(mainMenu, 0);
    if (!(GetMenuState(program, 0, MF_BYPOSITION) & MF_HILITE)) {
        if (GetTickCount() - watchedSince > 5000) {
            KillTimer(mainDialog, id);
            EndMenu();
        }
        return;
    }
    if (openedAt == 0) {
        openedAt = GetTickCount();
    }
    if (GetTickCount() - openedAt < 300) {  // drawn, then on the screen
        return;
    }
    KillTimer(mainDialog, id);
    for (int position = 0; position < 18; ++position) {
        GetMenuItemRect(nullptr, program, static_cast<UINT>(position), &items[position]);
    }
    GetWindowRect(mainDialog, &shotRect);
    shotRect.right = std::max(shotRect.right, items[17].right + 4);
    shotRect.bottom = std::max(shotRect.bottom, items[17].bottom + 4);
    shot = e2e::captureScreen(shotRect);
    for (RECT& item : items) {
        OffsetRect(&item, -shotRect.left, -shotRect.top);
    }
    EndMenu();
}

TEST_F(MainMenu, OpenProgramMenuOnScreenInBothPalettes) {
    hideSerialNumber = 0;
    applyDialogTexts(dialog_);
    ShowWindow(dialog_, SW_SHOW);
    SetForegroundWindow(dialog_);
    SetActiveWindow(dialog_);
    UpdateWindow(dialog_);
    hideSerialNumber = 1;  // changed after the menu was built, as the menu command changes it

    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        darkSupported = dark;
        darkEnabled = dark;
        shot = e2e::ScreenImage();
        openedAt = 0;
        watchedSince = GetTickCount();
        // The pointer where the menu opens would select the item under it instead of the first.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        SetTimer(dialog_, 1, 30, pictureWhenDrawn);
        PostMessageW(commandBarWindow(), kOpenMenuMessage, 0, 0);
        PostMessageW(commandBarWindow(), WM_KEYDOWN, VK_DOWN, 0);
        const DWORD start = GetTickCount();
        while (shot.empty() && GetTickCount() - start < 8000) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(5);
        }
        KillTimer(dialog_, 1);
        darkSupported = false;
        darkEnabled = false;
        ASSERT_FALSE(shot.empty()) << "the program menu opened";
        e2e::keepForInspection(shot, dark ? L"main-menu-dark" : L"main-menu-light");

        const COLORREF text = dark ? RGB(222, 222, 222) : GetSysColor(COLOR_MENUTEXT);
        const COLORREF background = dark ? RGB(32, 32, 32) : GetSysColor(COLOR_MENU);
        const COLORREF highlight = dark ? RGB(128, 128, 128) : GetSysColor(COLOR_HIGHLIGHT);
        const COLORREF line = dark ? RGB(128, 128, 128) : GetSysColor(COLOR_GRAYTEXT);
        const int column = menuMetrics().iconColumnWidth;

        // The selected first item: the highlight on its first line, 40 % of it on its last.
        const RECT& selected = items[0];
        EXPECT_TRUE(e2e::nearColour(shot.at(selected.left + 1, selected.top), highlight, 2));
        EXPECT_TRUE(e2e::nearColour(shot.at(selected.left + 1, selected.bottom - 1),
                                    RGB(GetRValue(highlight) * 40 / 100, GetGValue(highlight) * 40 / 100,
                                        GetBValue(highlight) * 40 / 100),
                                    2));
        // A separator: a line from 10 pixels inside one end to 10 inside the other.
        const RECT& separator = items[2];
        const int middle = (separator.top + separator.bottom) / 2;
        EXPECT_TRUE(e2e::nearColour(shot.at(separator.left + 10, middle), line, 2));
        EXPECT_TRUE(e2e::nearColour(shot.at(separator.right - 11, middle), line, 2));
        EXPECT_TRUE(e2e::nearColour(shot.at(separator.left + 9, middle), background, 2));
        EXPECT_TRUE(e2e::nearColour(shot.at(separator.right - 10, middle), background, 2));
        // "Do not display serial number": background, text and, in the icon column, the tick.
        const RECT& serial = items[3];
        EXPECT_TRUE(e2e::nearColour(shot.at(serial.left + 1, serial.top + 1), background, 2));
        EXPECT_TRUE(e2e::containsColour(shot, serial, text, 40)) << "the item's text";
        const int markLeft = serial.left + (column - 7) / 2;
        const int markTop = serial.top + (serial.bottom - serial.top - 7) / 2;
        EXPECT_EQ(shot.at(markLeft + 6, markTop), text) << "top right of the tick";
        EXPECT_EQ(shot.at(markLeft + 2, markTop + 6), text) << "bottom of the tick";
        // "FAQ" has shell32's globe beside it: the icon column holds more than the background.
        const RECT& faq = items[7];
        const RECT iconColumn{faq.left, faq.top, faq.left + column, faq.bottom};
        int iconPixels = 0;
        for (int y = iconColumn.top; y < iconColumn.bottom; ++y) {
            for (int x = iconColumn.left; x < iconColumn.right; ++x) {
                iconPixels += e2e::nearColour(shot.at(x, y), background, 8) ? 0 : 1;
            }
        }
        EXPECT_GT(iconPixels, menuMetrics().iconWidth * menuMetrics().iconHeight / 3) << "an icon beside FAQ";
        // The folder submenu's arrow: the system's own in the light palette; in the dark one only
        // the program's triangle in the text colour, none of the system's dark arrow.
        const RECT& folders = items[14];
        const RECT arrow{folders.right - 2 * column, folders.top, folders.right, folders.bottom};
        EXPECT_TRUE(e2e::containsColour(shot, arrow, text, 10)) << "an arrow in the text colour";
        if (dark) {
            EXPECT_FALSE(e2e::containsColour(shot, arrow, RGB(0, 0, 0), 20)) << "no second, dark arrow";
        }
    }
}

}  // namespace
