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
#include "ui/ScannerBar.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

}  // namespace
