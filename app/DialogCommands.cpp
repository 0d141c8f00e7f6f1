#include "app/DialogCommands.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/BottomToolbar.h"
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/MainMenu.h"
#include "app/Startup.h"
#include "app/WebPages.h"
#include "base/ExecutablePath.h"
#include "engine/EngineRun.h"
#include "engine/EngineState.h"
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "ui/ScannerBar.h"
#include "update/AutoUpdate.h"
#include "update/Uninstall.h"

namespace {

// Language keys.
constexpr int kKeyStart = 15;
constexpr int kKeyStop = 16;
constexpr int kKeyCompare = 75;
constexpr int kKeyInfo = 93;
constexpr int kKeyFirstInfoLine = 101;  // 101..105: one line per test
constexpr int kKeyLastInfoLine = 105;

// Header entries of the language archive.
constexpr int kHeaderHomePage = 20;
constexpr int kHeaderHomePageGerman = 21;
constexpr int kHeaderThanksPageGerman = 23;
constexpr int kHeaderThanksPage = 24;

// Entries of the start-check box.
constexpr int kStartCheckNever = 0;
constexpr int kStartCheckAtStart = 1;
constexpr int kStartCheckNow = 2;

// The bottom toolbar holds the thank-you and the language button until the first run ends.
constexpr int kInitialToolbarButtons = 2;

constexpr int kLockedControls[] = {ids::kSequentialButton, ids::k4kButton,      ids::kParallelButton, ids::kAccessTimeButton,
                                   ids::k1kButton,         ids::kHiddenComboEx, ids::kDurationBox};

bool isGerman() { return currentLanguage.load(std::memory_order_relaxed) == kLanguageGerman; }

const wchar_t* headerText(int key) { return archiveTables.headerTable[key]; }

void openDonationPage() { openWebPage(donationAddress(headerText(isGerman() ? kHeaderHomePageGerman : kHeaderHomePage))); }

void openThanksPage() { openWebPage(WideString(headerText(isGerman() ? kHeaderThanksPageGerman : kHeaderThanksPage))); }

void openHomePage() { openWebPage(homePageAddress(makerSite(currentLanguage.load(std::memory_order_relaxed)))); }

void openFaqPage() { openWebPage(faqAddress(makerSite(currentLanguage.load(std::memory_order_relaxed)))); }

void showProgramInfo(HWND dialog) {
    WideString text;
    for (int key = kKeyFirstInfoLine; key <= kKeyLastInfoLine; ++key) {
        text += languageString(key);
        text += L"\n";
    }
    MessageBoxW(dialog, text.c_str(), languageString(kKeyInfo).c_str(), MB_OK | MB_ICONINFORMATION);
}

// The new instance replaces this one; when it cannot be started, this one stays.
void restartProgram(HWND dialog) {
    WideString self = executablePath();
    if (self.isEmpty()) {
        return;
    }
    HINSTANCE started = ShellExecuteW(dialog, nullptr, self.c_str(), L"", nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(started) > 32) {
        PostQuitMessage(kExitRestarted);
    }
}

void exitProgram(HWND dialog) {
    EndDialog(dialog, ids::kExitCommand);
    PostQuitMessage(kExitNormal);
}

void handleDurationChange(HWND dialog) {
    durationChoice = static_cast<int>(SendDlgItemMessageW(dialog, ids::kDurationBox, CB_GETCURSEL, 0, 0));
    writeIntSetting(kSettingsSection, kSettingTestTime, durationChoice);
}

// "Now" is an action, not a choice to keep: the box returns to the earlier entry.
void handleStartCheck(HWND dialog) {
    int previous = startCheckChoice;
    startCheckChoice = static_cast<int>(SendDlgItemMessageW(dialog, ids::kStartCheckBox, CB_GETCURSEL, 0, 0));
    if (startCheckChoice == kStartCheckNow) {
        SendDlgItemMessageW(dialog, ids::kStartCheckBox, CB_SETCURSEL, static_cast<WPARAM>(previous), 0);
        startCheckChoice = previous;
        openErrorCheck(dialog);
    }
    writeIntSetting(kSettingsSection, kSettingStartCheck, startCheckChoice);
}

void showStatusText(HWND dialog, WPARAM wParam, LPARAM lParam) {
    // lParam after wParam, so lParam wins when both carry a text.
    for (UINT_PTR pointer : {static_cast<UINT_PTR>(wParam), static_cast<UINT_PTR>(lParam)}) {
        if (pointer) {
            SetDlgItemTextW(dialog, ids::kStatusLine, reinterpret_cast<const wchar_t*>(pointer));
        }
    }
}

void setToolbarButtonText(HWND toolbar, int command, const wchar_t* text) {
    WideString copy(text);  // the message takes a writable pointer
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    // Sized by its new text again, even if it was narrowed to keep the language button in view.
    info.dwMask = TBIF_TEXT | TBIF_STYLE | TBIF_SIZE;
    info.fsStyle = BTNS_AUTOSIZE;
    info.cx = 0;
    info.pszText = copy.writableBuffer(copy.length());
    SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
}

}  // namespace

void setTestControlsEnabled(HWND dialog, bool enabled) {
    // A button that had the keyboard focus keeps none once disabled: Start takes it over.
    if (!enabled) {
        HWND focus = GetFocus();
        for (int id : kLockedControls) {
            if (focus && focus == GetDlgItem(dialog, id)) {
                SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, ids::kStartButton)), TRUE);
                break;
            }
        }
    }
    for (int id : kLockedControls) {
        EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
    }
    if (enabled) {
        // The scanner's timer belongs to the dialog's thread; this may be the run's worker.
        PostMessageW(dialog, ids::kStartScannerMessage, 0, 0);
    } else {
        stopScanner();
    }
    SetDlgItemTextW(dialog, ids::kStartButton, languageText(enabled ? kKeyStart : kKeyStop));
    setRunLockedItemsEnabled(mainMenu, enabled);
}

void finishRunInDialog(HWND dialog) {
    (void)dialog;
    updateClockLabel();
    HWND toolbar = bottomToolbar;
    if (!toolbar || SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) != kInitialToolbarButtons) {
        return;
    }
    addToolbarButton(toolbar, languageString(kKeyCompare), ids::kCompareCommand, I_IMAGENONE);
    setToolbarButtonText(toolbar, ids::kThanksCommand, L"  ");
    keepLastButtonInside(toolbar);
}

void initTestControl(HWND dialog) {
    runDialogCalls.setControlsEnabled = setTestControlsEnabled;
    runDialogCalls.runFinished = finishRunInDialog;
    // Only "never" and "at program start" are choices to keep; anything else reads as "never".
    int stored = readIntSetting(kSettingsSection, kSettingStartCheck, kStartCheckNever);
    startCheckChoice = stored == kStartCheckAtStart ? kStartCheckAtStart : kStartCheckNever;
    if (startCheckChoice == kStartCheckAtStart) {
        PostMessageW(dialog, ids::kStartCheckAtStartMessage, 0, 0);
    }
}

bool handleDialogCommand(HWND dialog, int command) {
    switch (command) {
    case ids::kDonateCommand:
    case ids::kDonateBarCommand:
        openDonationPage();
        return true;
    case ids::kCloseCommand:
        handleCloseRequest(dialog);
        return true;
    case ids::kExitCommand:
        exitProgram(dialog);
        return true;
    case ids::kStartCommand:
    case ids::kSequentialButton:
    case ids::k4kButton:
    case ids::k1kButton:
    case ids::kParallelButton:
    case ids::kAccessTimeButton:
        requestRun(dialog, command);
        return true;
    case ids::kErrorCheckNowCommand:
        openErrorCheck(dialog);
        return true;
    case ids::kThanksCommand:
        openThanksPage();
        return true;
    case ids::kDurationBox:
        handleDurationChange(dialog);
        return true;
    case ids::kStartCheckBox:
        handleStartCheck(dialog);
        return true;
    case ids::kInfoCommand:
        showProgramInfo(dialog);
        return true;
    case ids::kFaqCommand:
        openFaqPage();
        return true;
    case ids::kHomePageCommand:
        openHomePage();
        return true;
    case ids::kRestartCommand:
        restartProgram(dialog);
        return true;
    // Both end the program like Exit once they have handed over to the new copy or the batch file.
    case ids::kAutoUpdateCommand:
        if (runSelfUpdate(dialog)) {
            exitProgram(dialog);
        }
        return true;
    case ids::kUninstallCommand:
        if (runUninstall(dialog)) {
            exitProgram(dialog);
        }
        return true;
    default:
        return false;
    }
}

bool handleRunMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case engine_ids::kStatusMessage:
        showStatusText(dialog, wParam, lParam);
        result = 1;
        return true;
    case engine_ids::kRunEndedMessage:
        result = 1;
        return true;
    case engine_ids::kWorkerEndedMessage:
        releaseFinishedWorker(static_cast<DWORD>(wParam));
        result = 1;
        return true;
    case ids::kStartScannerMessage:
        startScanner();
        result = 1;
        return true;
    case ids::kStartCheckAtStartMessage:
        openErrorCheck(dialog);
        result = 1;
        return true;
    case WM_TIMER:
        if (wParam == ids::kParallelReadTimer || wParam == ids::kParallelWriteTimer) {
            HWND label = wParam == ids::kParallelReadTimer ? parallelReadLabel : parallelWriteLabel;
            SetWindowTextW(label, busyDotsText().c_str());
            result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

void handleCloseRequest(HWND dialog) {
    EngineState& e = engineState;
    for (;;) {
        ++closePasses;
        // The test buttons are enabled exactly while no run is in progress.
        if (IsWindowEnabled(GetDlgItem(dialog, ids::kSequentialButton))) {
            PostQuitMessage(kExitNormal);
            return;
        }
        if (e.busy.load(std::memory_order_relaxed)) {
            e.running.store(0, std::memory_order_relaxed);
        }
        // The worker's status texts and its final re-enabling of the controls are served here.
        Sleep(kClosePassWaitMs);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // Survives only when the passes run out right now; otherwise the next pass's dispatching
        // takes it out again and the enabled controls end the program with 0.
        if (!e.busy.load(std::memory_order_relaxed)) {
            PostQuitMessage(kExitAfterStoppedRun);
        }
        if (closePasses >= kClosePassLimit) {
            return;
        }
    }
}
