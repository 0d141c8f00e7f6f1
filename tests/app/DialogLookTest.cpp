// What the user reads, checked on the real main dialog of this process in every shipped language:
// the fonts the system really uses for the dialog's controls, labels that fit their controls, and
// menu mnemonics that reach one item each.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/MainMenu.h"
#include "app/Startup.h"
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "ui/CommandBar.h"
#include "ui/OwnerDrawnMenu.h"
#include "ui/ScannerBar.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include <string>

namespace {

constexpr int kShippedLanguages = 15;

// The font a control's text is drawn with, as the system realised it.
struct RealisedFont {
    WideString face;        // GetTextFaceW: the face the font mapper chose
    WideString family;      // of the font file itself; empty for a bitmap font
    LONG weight = 0;
    bool trueType = false;
};

RealisedFont realisedFont(HFONT font) {
    RealisedFont found;
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE]{};
    GetTextFaceW(dc, LF_FACESIZE, face);
    found.face = face;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    found.weight = metrics.tmWeight;
    found.trueType = (metrics.tmPitchAndFamily & TMPF_TRUETYPE) != 0;
    if (UINT size = GetOutlineTextMetricsW(dc, 0, nullptr)) {
        std::vector<char> buffer(size);
        auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
        if (GetOutlineTextMetricsW(dc, size, outline)) {
            found.family = reinterpret_cast<const wchar_t*>(buffer.data() + reinterpret_cast<size_t>(outline->otmpFamilyName));
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return found;
}

INT_PTR CALLBACK plainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog from one of the program's templates, kept hidden although the template shows it: under
// Wine without a window manager, taking a visible window down costs seconds.
HWND createHidden(int templateId) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return nullptr;
    }
    std::vector<DWORD> copy((SizeofResource(instance, resource) + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(copy.data(), data, SizeofResource(instance, resource));
    copy[0] &= ~static_cast<DWORD>(WS_VISIBLE);  // the style of a plain DIALOG template
    return CreateDialogIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(copy.data()), nullptr,
                                      plainDialogProc, 0);
}

HFONT controlFont(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

// Width of the ink of `text` as DrawText lays it out on one line in `font` ("&" marks a
// mnemonic): the advance widths, less the blank space the first letter has before it and the last
// after it, which may fall outside a control without cutting anything.
int textWidth(HFONT font, const WideString& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    RECT rect{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.length()), &rect, DT_SINGLELINE | DT_CALCRECT);
    int width = rect.right - rect.left;
    if (text.length() > 0) {
        ABC first{};
        ABC last{};
        const UINT firstChar = text.c_str()[0];
        const UINT lastChar = text.c_str()[text.length() - 1];
        if (GetCharABCWidthsW(dc, firstChar, firstChar, &first) && GetCharABCWidthsW(dc, lastChar, lastChar, &last)) {
            width -= std::max(0, first.abcA) + std::max(0, last.abcC);
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return width;
}

int clientWidth(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return client.right - client.left;
}

// Room a push button leaves for its text: its edge and the focus rectangle on either side.
int buttonRoom(int width) { return width - 2 * (GetSystemMetrics(SM_CXEDGE) + 1); }
// Left-aligned text ends at its last letter: trailing blanks take no room from it.
WideString trimmedEnd(WideString text) {
    size_t length = text.length();
    while (length > 0 && text.c_str()[length - 1] == L' ') {
        --length;
    }
    return text.left(length);
}

// A closed drop-down list draws its entry in the item rectangle, a pixel in from its left side.
int comboItemRoom(HWND box) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    GetComboBoxInfo(box, &info);
    return info.rcItem.right - info.rcItem.left - 1;
}

// The open list: the list window's client area at the dropped width, less the entries' margin.
int comboListRoom(HWND box) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    GetComboBoxInfo(box, &info);
    RECT list{};
    GetWindowRect(info.hwndList, &list);
    const int dropped = static_cast<int>(SendMessageW(box, CB_GETDROPPEDWIDTH, 0, 0));
    const int frame = (list.right - list.left) - clientWidth(info.hwndList);
    return std::max<int>(dropped, list.right - list.left) - frame - 1;
}

// A group box's caption is indented and set off from the frame line by about a character.
int groupCaptionRoom(HWND group, HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return clientWidth(group) - 2 * metrics.tmAveCharWidth;
}

std::string utf8(const WideString& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.length()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.length()), out.data(), bytes, nullptr, nullptr);
    return out;
}

// Collects every label that does not fit, so one run names them all.
struct FitReport {
    std::vector<std::string> misfits;
    int measured = 0;
    void check(int language, const wchar_t* where, const WideString& text, HFONT font, int room) {
        ++measured;
        const int width = textWidth(font, text);
        if (width > room) {
            misfits.push_back(utf8(WideString::format(L"language %d, %ls: %d px of text in %d px: \"%ls\"", language,
                                                      where, width, room, text.c_str())));
        }
    }
    std::string text() const {
        std::string all;
        for (const std::string& line : misfits) {
            all += line + "\n";
        }
        return all;
    }
};

// Text of the right-hand buttons of the command bar, in order.
std::vector<WideString> rightButtonTexts() {
    std::vector<WideString> texts;
    HWND bar = rightBarWindow();
    const int count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
        wchar_t text[128]{};
        SendMessageW(bar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), reinterpret_cast<LPARAM>(text));
        texts.emplace_back(text);
    }
    return texts;
}

std::vector<WideString> menuTexts(HMENU menu) {
    std::vector<WideString> texts;
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        wchar_t text[256]{};
        if (GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION) > 0) {
            texts.emplace_back(text);
        }
    }
    return texts;
}

// Texts of one level (a menu bar with the buttons beside it, a popup, a window) whose mnemonics
// are the same letter; Alt or the key then reaches only the first of them.
std::string mnemonicClashes(int language, const wchar_t* level, const std::vector<WideString>& texts) {
    std::map<wchar_t, std::vector<WideString>> byLetter;
    for (const WideString& text : texts) {
        if (wchar_t letter = menuMnemonic(text.c_str())) {
            byLetter[letter].push_back(text);
        }
    }
    std::string clashes;
    for (const auto& [letter, owners] : byLetter) {
        if (owners.size() > 1) {
            WideString line = WideString::format(L"language %d, %ls, letter %lc:", language, level, letter);
            for (const WideString& owner : owners) {
                line += L" \"" + owner + L"\"";
            }
            clashes += utf8(line) + "\n";
        }
    }
    return clashes;
}

class DialogLook : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registerScannerClass(GetModuleHandleW(nullptr));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_look");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = kLanguageEnglish;
        loadedTableActive = 0;
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
        currentLanguage = kLanguageEnglish;
    }

    HWND dialog_ = nullptr;
    WideString folder_;
    WideString savedPath_;
};

// Without Wine's own Tahoma in the prefix, Wine quietly draws with another, wider font, and every
// picture and width measured here would mislead.
TEST_F(DialogLook, ControlsAreDrawnInTahomaAndTheErrorCheckInMsSansSerif) {
    for (int id : {ids::kInfoBox, ids::kSequentialButton, ids::kStartButton, ids::kReadGroup, ids::kStatusLine,
                   ids::kSequentialReadLabel}) {
        SCOPED_TRACE(id);
        const RealisedFont font = realisedFont(controlFont(GetDlgItem(dialog_, id)));
        EXPECT_STREQ(font.face.c_str(), L"Tahoma");
        EXPECT_STREQ(font.family.c_str(), L"Tahoma") << "the font file itself";
    }
    // The heavy fonts come out bold, not as the regular face.
    EXPECT_GE(realisedFont(controlFont(GetDlgItem(dialog_, ids::kStartButton))).weight, FW_BOLD);
    // The template's "MS Shell Dlg" is Tahoma through the system's substitutes.
    EXPECT_STREQ(realisedFont(controlFont(GetDlgItem(dialog_, ids::kClockLabel))).family.c_str(), L"Tahoma");

    // The error-check window's template asks for MS Sans Serif: the bitmap font, as on Windows.
    HWND window = createHidden(kErrorCheckDialog);
    ASSERT_NE(window, nullptr);
    const RealisedFont font = realisedFont(controlFont(window));
    DestroyWindow(window);
    EXPECT_STREQ(font.face.c_str(), L"MS Sans Serif");
    EXPECT_FALSE(font.trueType);
}

// A label a translation makes too long is cut off at the control's edges, and the user reads half a
// word ("оследовательн"). Every label of the main dialog, in every shipped language, measured with
// the font the control really has.
TEST_F(DialogLook, EveryLabelOfTheMainDialogFitsItsControlInEveryLanguage) {
    FitReport report;
    auto item = [this](int id) { return GetDlgItem(dialog_, id); };
    auto fontOf = [&item](int id) { return controlFont(item(id)); };
    for (int language = 0; language < kShippedLanguages; ++language) {
        currentLanguage = language;
        applyDialogTexts(dialog_);
        for (int id : {ids::kSequentialButton, ids::kAccessTimeButton}) {
            report.check(language, L"test button", e2e::windowText(item(id)), fontOf(id), buttonRoom(clientWidth(item(id))));
        }
        // Start, and Stop while a test runs.
        for (int key : {15, 16}) {
            report.check(language, L"Start button", languageString(key), fontOf(ids::kStartButton),
                         buttonRoom(clientWidth(item(ids::kStartButton))));
        }
        for (int id : {ids::kReadGroup, ids::kWriteGroup, ids::kRatingGroup}) {
            report.check(language, L"group box", e2e::windowText(item(id)), fontOf(id), groupCaptionRoom(item(id), fontOf(id)));
        }
        // The status line: ready, and the engine's texts while a test runs.
        for (int key : {24, 5, 6, 7, 8, 9}) {
            report.check(language, L"status line", trimmedEnd(languageString(key)), fontOf(ids::kStatusLine),
                         clientWidth(item(ids::kStatusLine)));
        }
        // A closed drop-down list shows its selected entry left-aligned in its item rectangle, beside
        // the arrow; the open list is wider than the box, for the long entries of the start-check box.
        for (int key : {30, 31, 32, 33}) {
            report.check(language, L"duration box", trimmedEnd(languageString(key)), fontOf(ids::kDurationBox),
                         comboItemRoom(item(ids::kDurationBox)));
        }
        report.check(language, L"start-check box", trimmedEnd(languageString(240)), fontOf(ids::kStartCheckBox),
                     comboItemRoom(item(ids::kStartCheckBox)));
        for (int key : {240, 241, 242}) {
            report.check(language, L"start-check list", trimmedEnd(languageString(key)), fontOf(ids::kStartCheckBox),
                         comboListRoom(item(ids::kStartCheckBox)));
        }

        // The command bar: the menu titles on the left must not run under the buttons on the right.
        HWND bar = commandBarWindow();
        const int menus = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        RECT lastMenu{};
        SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(menus - 1), reinterpret_cast<LPARAM>(&lastMenu));
        MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&lastMenu), 2);
        RECT right{};
        GetWindowRect(rightBarWindow(), &right);
        if (lastMenu.right > right.left) {
            report.misfits.push_back(utf8(WideString::format(L"language %d, command bar: the menus end at %ld, the "
                                                             L"buttons begin at %ld", language, lastMenu.right, right.left)));
        }
    }
    EXPECT_GE(report.measured, kShippedLanguages * 20);
    EXPECT_TRUE(report.misfits.empty()) << report.text();
}

// Alt and a letter opens the menu or presses the button whose mnemonic it is; two items of one
// level with the same letter leave the second out of reach ("&Beenden" beside "&Brindlecrest").
TEST_F(DialogLook, MnemonicsAreUniqueOnTheMenuBarAndInEveryMenuInEveryLanguage) {
    std::string clashes;
    for (int language = 0; language < kShippedLanguages; ++language) {
        currentLanguage = language;
        applyDialogTexts(dialog_);
        ASSERT_NE(mainMenu, nullptr);
        std::vector<WideString> bar = menuTexts(mainMenu);
        ASSERT_EQ(bar.size(), 2u);
        const std::vector<WideString> right = rightButtonTexts();
        ASSERT_EQ(right.size(), 3u);
        bar.insert(bar.end(), right.begin(), right.end());
        clashes += mnemonicClashes(language, L"menu bar", bar);
        clashes += mnemonicClashes(language, L"program menu", menuTexts(GetSubMenu(mainMenu, 0)));
        clashes += mnemonicClashes(language, L"System menu", menuTexts(GetSubMenu(mainMenu, 1)));
        // The error-check window's buttons and check box, and its report's buttons.
        clashes += mnemonicClashes(language, L"error-check window",
                                   {languageString(35), languageString(34), languageString(46), languageString(110),
                                    languageString(111)});
        clashes += mnemonicClashes(language, L"report window", {languageString(113), languageString(114)});
    }
    EXPECT_TRUE(clashes.empty()) << clashes;
}

}  // namespace
