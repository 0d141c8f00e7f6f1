// The real main dialog's side of the information box: timer 2111 fills it once, in the
// current language. The modules come from a counting filler, so no WMI is involved.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sysinfo/InfoBox.h"
#include "tests/e2e/Driver.h"
#include "ui/ScannerBar.h"

#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

namespace {

constexpr int kFrench = 3;

int modulesQueried = 0;

void countedNoModules(ModuleTable& table) {
    ++modulesQueried;
    table.moduleCount = 0;
}

void pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

TEST(InfoBoxDialog, TimerFillsTheBoxOnceInTheCurrentLanguage) {
    ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
    initCommonControls();
    ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    WideString folder = e2e::makeTempFolder(L"bc_infobox");
    WideString savedPath = settingsPath;
    settingsPath = folder + L"\\Brindlecrest.ini";
    currentLanguage = kFrench;
    moduleSource = countedNoModules;
    WideString unknownInFrench = languageString(27);
    WideString freeInFrench = languageString(19);
    ASSERT_FALSE(unknownInFrench.isEmpty());
    currentLanguage = kLanguageEnglish;
    ASSERT_NE(unknownInFrench, languageString(27)) << "the French text must differ from the English one";
    currentLanguage = kFrench;

    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr,
                                     mainDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::windowText(GetDlgItem(dialog, ids::kInfoBox)), L"");
    // Long enough for three more ticks if the timer were left running.
    pump(900);
    WideString text = e2e::windowText(GetDlgItem(dialog, ids::kInfoBox));
    DestroyWindow(dialog);
    moduleSource = queryModules;
    currentLanguage = kLanguageEnglish;
    settingsPath = savedPath;
    e2e::removeTree(folder);

    EXPECT_EQ(modulesQueried, 1);
    WideString start = unknownInFrench + L"\r\n\n" + freeInFrench + L" ";
    EXPECT_EQ(text.left(start.length()), start) << text.c_str();
}

}  // namespace
