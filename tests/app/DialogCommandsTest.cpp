// The main dialog's commands and test control in this process, on the real dialog from the
// program's own template: the start-check and duration boxes, the locking of the controls during a
// run, the end of a run, the close handling against a run that will not stop, and the choice of the
// maker's site.
#include "app/DialogCommands.h"
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/MainMenu.h"
#include "app/Startup.h"
#include "app/WebPages.h"
#include "engine/EngineState.h"
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "ui/ScannerBar.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

constexpr DWORD kTimeoutMs = 30'000;
constexpr int kEnglish = 1;

// The error check sees one small block of memory and nothing free after it, so each check it
// starts takes 4 MiB and ends at once.
bool oneBlockMachine(PERFORMANCE_INFORMATION& info) {
    info = {};
    info.cb = kPerformanceInfoBytes;
    info.PageSize = 4096;
    info.PhysicalTotal = 8192;
    info.PhysicalAvailable = 0;
    return true;
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

template <class Done>
bool pumpUntil(Done done) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kTimeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pump();
    }
    return true;
}

// Takes the quit message out of the queue; -1 when none is there.
int takeQuitCode() {
    MSG quit{};
    return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? static_cast<int>(quit.wParam) : -1;
}

LRESULT selection(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0); }

// A pick in a drop-down list as the user makes it: the selection, then the box's notification.
void pick(HWND dialog, int id, int entry) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class DialogCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
        ErrorCheckSystem& system = errorCheckJob().system;
        system.blockBytes = 4u << 20;
        system.memoryStatus = oneBlockMachine;
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_commands");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = kEnglish;
        durationChoice = 1;
        startCheckChoice = 0;
        closePasses = 0;
        takeQuitCode();
    }
    void TearDown() override {
        if (HWND check = errorCheckJob().window.load()) {
            DestroyWindow(check);
        }
        pumpUntil([] { return !errorCheckJob().checkRunning(); });
        if (dialog_) {
            DestroyWindow(dialog_);
        }
        pump();
        takeQuitCode();
        engineState.system = defaultEngineSystem();
        engineState.runTestSize = kTestSizeBytes;
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
    }
    HWND openDialog() {
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
        return dialog_;
    }
    // The error check window once it has opened, owned by the main dialog.
    HWND waitForErrorCheck() {
        pumpUntil([] { return errorCheckJob().window.load() != nullptr; });
        return errorCheckJob().window.load();
    }

    HWND dialog_ = nullptr;
    WideString folder_;
    WideString savedPath_;
};

TEST_F(DialogCommands, StartCheckNowOpensTheErrorCheckAndKeepsTheEarlierChoice) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);

    pick(dialog, ids::kStartCheckBox, 1);
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingStartCheck, -1), 1);
    pump();
    EXPECT_EQ(errorCheckJob().window.load(), nullptr) << "\"at program start\" opens nothing now";

    pick(dialog, ids::kStartCheckBox, 2);
    EXPECT_EQ(selection(dialog, ids::kStartCheckBox), 1) << "the box shows the earlier choice again";
    EXPECT_EQ(startCheckChoice, 1);
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingStartCheck, -1), 1);
    HWND check = waitForErrorCheck();
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(GetWindow(check, GW_OWNER), dialog);

    // Any pick in the duration box is kept at once.
    pick(dialog, ids::kDurationBox, 3);
    EXPECT_EQ(durationChoice, 3);
    EXPECT_EQ(readIntSetting(kSettingsSection, kSettingTestTime, -1), 3);
}

TEST_F(DialogCommands, StoredStartCheckChoiceOpensTheBoxAndAOneOpensTheErrorCheck) {
    ASSERT_TRUE(writeIntSetting(kSettingsSection, kSettingStartCheck, 1));
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(selection(dialog, ids::kStartCheckBox), 1);
    HWND check = waitForErrorCheck();
    ASSERT_NE(check, nullptr) << "a stored 1 checks the RAM once the dialog is up";
    EXPECT_EQ(GetWindow(check, GW_OWNER), dialog);
    currentLanguage = kLanguageGerman;
    applyDialogTexts(dialog);
    EXPECT_EQ(selection(dialog, ids::kStartCheckBox), 1) << "a language switch keeps the choice";
    currentLanguage = kEnglish;
}

TEST_F(DialogCommands, RunLocksTheTestControlsAndTheMenuAndGivesThemBack) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    HMENU savedMenu = mainMenu;
    HMENU menu = CreatePopupMenu();
    for (int command : {ids::kRestartCommand, ids::kAutoUpdateCommand, ids::kExitCommand, ids::kUninstallCommand,
                        ids::kHideSerialCommand}) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command), L"item");
    }
    mainMenu = menu;
    auto greyed = [menu](int command) { return (GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) & MF_GRAYED) != 0; };
    const int locked[] = {ids::kSequentialButton, ids::k4kButton, ids::k1kButton, ids::kParallelButton,
                          ids::kAccessTimeButton, ids::kHiddenComboEx, ids::kDurationBox};
    SetFocus(GetDlgItem(dialog, ids::k4kButton));
    ASSERT_EQ(GetFocus(), GetDlgItem(dialog, ids::k4kButton));

    setTestControlsEnabled(dialog, false);
    for (int id : locked) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, ids::kStartButton)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, ids::kStartCheckBox)));
    EXPECT_STREQ(e2e::windowText(GetDlgItem(dialog, ids::kStartButton)).c_str(), L"Stop ");
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, ids::kStartButton)) << "the keyboard focus stays on a usable control";
    for (int command : {ids::kRestartCommand, ids::kAutoUpdateCommand, ids::kExitCommand, ids::kUninstallCommand}) {
        EXPECT_TRUE(greyed(command)) << command;
    }
    EXPECT_FALSE(greyed(ids::kHideSerialCommand));

    // The bar's timer is gone (a second kill finds nothing).
    EXPECT_EQ(scannerWindow, GetDlgItem(dialog, ids::kScannerBar));
    EXPECT_FALSE(KillTimer(scannerWindow, kScannerTimer)) << "the scanner bar stands still during a run";

    setTestControlsEnabled(dialog, true);
    for (int id : locked) {
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    }
    EXPECT_STREQ(e2e::windowText(GetDlgItem(dialog, ids::kStartButton)).c_str(), L"Start ");
    for (int command : {ids::kRestartCommand, ids::kAutoUpdateCommand, ids::kExitCommand, ids::kUninstallCommand}) {
        EXPECT_FALSE(greyed(command)) << command;
    }
    // The restart reaches the bar through the dialog's queue, as it must from the run's worker.
    EXPECT_FALSE(KillTimer(scannerWindow, kScannerTimer));
    pump();
    EXPECT_TRUE(KillTimer(scannerWindow, kScannerTimer)) << "the scanner bar moves again";

    mainMenu = savedMenu;
    DestroyMenu(menu);
}

TEST_F(DialogCommands, FirstFinishedRunAddsTheComparisonButtonOnce) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(e2e::toolbarButtons(bottomToolbar).size(), 2u);
    finishRunInDialog(dialog);
    finishRunInDialog(dialog);
    std::vector<e2e::ToolbarButton> buttons = e2e::toolbarButtons(bottomToolbar);
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(buttons[0].command, ids::kThanksCommand);
    EXPECT_STREQ(buttons[0].text.c_str(), L"  ");
    EXPECT_EQ(buttons[1].command, ids::kLanguageCommand);
    EXPECT_STREQ(buttons[1].text.c_str(), L"# LNG");
    EXPECT_EQ(buttons[2].command, ids::kCompareCommand);
    EXPECT_STREQ(buttons[2].text.c_str(), L"Comparing the results on Quillmarsh");
    // All three stay inside the bar.
    RECT client{};
    RECT last{};
    GetClientRect(bottomToolbar, &client);
    SendMessageW(bottomToolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&last));
    EXPECT_LE(last.right, client.right);
}

// The pattern block of a run is held back until the test lets it go, so the run cannot stop.
HANDLE allocationGate = nullptr;
void* heldBackAllocate(size_t bytes) {
    WaitForSingleObject(allocationGate, kTimeoutMs);
    return defaultEngineSystem().allocate(bytes);
}

TEST_F(DialogCommands, RunThatCannotStopKeepsTheDialogOpenForAHundredPassesOnly) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    allocationGate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    engineState.system.allocate = heldBackAllocate;
    engineState.runTestSize = kPatternBlockBytes;

    SendMessageW(dialog, WM_COMMAND, ids::kSequentialButton, 0);
    ASSERT_TRUE(pumpUntil([] { return engineState.busy.load() == 1; }));

    DWORD start = GetTickCount();
    SendMessageW(dialog, WM_COMMAND, ids::kCloseCommand, 0);
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(closePasses, 100);
    EXPECT_GE(waited, 1'900u) << "100 passes of 20 ms";
    EXPECT_EQ(engineState.running.load(), 0) << "the run was asked to stop";
    EXPECT_EQ(takeQuitCode(), -1) << "the dialog stays open";
    EXPECT_TRUE(IsWindow(dialog));

    SetEvent(allocationGate);
    ASSERT_TRUE(pumpUntil([dialog] {
        return IsWindowEnabled(GetDlgItem(dialog, ids::kSequentialButton)) && engineState.workerThread == nullptr;
    }));
    EXPECT_EQ(benchResults.seqRead, 0);

    // The passes are used up: one more request makes one pass, which finds the run over.
    SendMessageW(dialog, WM_COMMAND, ids::kCloseCommand, 0);
    EXPECT_EQ(closePasses, 101);
    EXPECT_EQ(takeQuitCode(), kExitNormal);
    CloseHandle(allocationGate);
}

// The last pass finds the run stopped while the controls are still locked: 4660 survives.
TEST_F(DialogCommands, PassesRunningOutRightAfterTheRunStoppedEndWith4660) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    setTestControlsEnabled(dialog, false);
    closePasses = 99;
    SendMessageW(dialog, WM_COMMAND, ids::kCloseCommand, 0);
    EXPECT_EQ(closePasses, 100);
    EXPECT_EQ(takeQuitCode(), kExitAfterStoppedRun);
}

TEST(MakerSite, GermanFirstThenEuropeByDaylightRulesAndBias) {
    struct Case {
        int language;
        DWORD zoneAnswer;
        LONG bias;
        const wchar_t* site;
    };
    const Case cases[] = {
        {kLanguageGerman, TIME_ZONE_ID_UNKNOWN, 300, kGermanSite},
        {kLanguageEnglish, TIME_ZONE_ID_STANDARD, -60, kEuropeanSite},
        {kLanguageEnglish, TIME_ZONE_ID_DAYLIGHT, 240, kEuropeanSite},
        {kLanguageEnglish, TIME_ZONE_ID_STANDARD, -240, kEuropeanSite},
        {kLanguageEnglish, TIME_ZONE_ID_STANDARD, 241, kInternationalSite},
        {kLanguageEnglish, TIME_ZONE_ID_DAYLIGHT, -241, kInternationalSite},
        {kLanguageEnglish, TIME_ZONE_ID_STANDARD, 300, kInternationalSite},
        {kLanguageEnglish, TIME_ZONE_ID_UNKNOWN, 0, kInternationalSite},
        {kLanguageEnglish, TIME_ZONE_ID_INVALID, 0, kInternationalSite},
        {3, TIME_ZONE_ID_DAYLIGHT, -60, kEuropeanSite},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(makerSite(c.language, c.zoneAnswer, c.bias), c.site)
            << "language " << c.language << ", answer " << c.zoneAnswer << ", bias " << c.bias;
    }
}

}  // namespace
