#include "app/MainDialog.h"

#include <commctrl.h>

#include "app/BottomToolbar.h"
#include "app/DialogCommands.h"
#include "app/DialogFonts.h"
#include "app/DialogIds.h"
#include "app/MainMenu.h"
#include "app/StartupTimeline.h"
#include "app/Startup.h"
#include "app/SystemTools.h"
#include "app/SystemVersion.h"
#include "base/DynamicCall.h"
#include "engine/EngineState.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "share/ComparisonPage.h"
#include "share/Screenshots.h"
#include "sysinfo/InfoBox.h"
#include "ui/DarkMode.h"
#include "ui/ScannerBar.h"

#include <cstdlib>
#include <ctime>
#include <initializer_list>

HWND mainDialog = nullptr;
HWND bottomToolbar = nullptr;
WideString randomSessionId;
HWND parallelReadLabel = nullptr;
HWND parallelWriteLabel = nullptr;
int durationChoice = 1;
int startCheckChoice = 0;
int closePasses = 0;
bool runsUnderWow64 = false;

namespace {

// Header entries of the language archive.
constexpr int kHeaderProgramTitle = 19;
constexpr int kHeaderHomePage = 20;
constexpr int kHeaderHomePageGerman = 21;
constexpr int kHeaderThanksLine = 22;

// Language keys.
constexpr int kKeyStart = 15;
constexpr int kKeyAccessTime = 17;
constexpr int kKeySequential = 18;
constexpr int kKeyRead = 21;
constexpr int kKeyWrite = 22;
constexpr int kKeyBenchmark = 23;
constexpr int kKeyReady = 24;
constexpr int kKeyUnknownRam = 27;
constexpr int kKeyFirstDuration = 30;  // 30..33: quick, short, long, very long
constexpr int kDurationCount = 4;
constexpr int kKeyNeverCheck = 240;
constexpr int kKeyCheckNow = 241;
constexpr int kKeyCheckAtStart = 242;

constexpr int kDefaultDurationEntry = 1;
constexpr double kStartCheckListWidthFactor = 1.33;
constexpr int kSessionIdLetters = 16;

// The fonts on the controls now; replaced as a whole by every applyDialogTexts.
DialogFonts dialogFonts;

const wchar_t* headerText(int key) { return archiveTables.headerTable[key]; }

void setFont(HWND dialog, int id, const ScopedFont& font) {
    SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
}

void setFonts(HWND dialog, std::initializer_list<int> controls, const ScopedFont& font) {
    for (int id : controls) {
        setFont(dialog, id, font);
    }
}

void applyFonts(HWND dialog, int language) {
    DialogFonts fonts = createDialogFonts(language);
    setFonts(dialog, {ids::kInfoBox, ids::kDurationBox, ids::kStartCheckBox}, fonts.infoFont);
    setFonts(dialog,
             {ids::kSequentialReadLabel, ids::k4kReadLabel, ids::k1kReadLabel, ids::kParallelReadLabel,
              ids::kAccessReadLabel, ids::kSequentialWriteLabel, ids::k4kWriteLabel, ids::k1kWriteLabel,
              ids::kParallelWriteLabel, ids::kAccessWriteLabel, ids::kReadRatingLabel, ids::kTotalRatingLabel,
              ids::kWriteRatingLabel, ids::kCompareButton, ids::kProgramLabel},
             fonts.resultFont);
    setFont(dialog, ids::kStartButton, language == kLanguageStartButtonSmall ? fonts.buttonFont : fonts.resultFont);
    setFonts(dialog, {ids::kSequentialButton, ids::k4kButton, ids::kParallelButton, ids::k1kButton, ids::kAccessTimeButton},
             fonts.buttonFont);
    setFonts(dialog, {ids::kReadGroup, ids::kWriteGroup, ids::kRatingGroup}, fonts.groupFont);
    if (language == kLanguageAccessButtonGroupFont) {
        setFont(dialog, ids::kAccessTimeButton, fonts.groupFont);
    }
    setFont(dialog, ids::kStatusLine, fonts.statusFont);
    // The controls hold the new fonts now, so the old ones can go.
    dialogFonts = std::move(fonts);
}

void applyTexts(HWND dialog) {
    SetDlgItemTextW(dialog, ids::kStatusLine, languageText(kKeyReady));
    SetDlgItemTextW(dialog, ids::kSequentialButton, languageText(kKeySequential));
    SetDlgItemTextW(dialog, ids::k4kButton, L"4K");
    SetDlgItemTextW(dialog, ids::k1kButton, L"1K");
    SetDlgItemTextW(dialog, ids::kParallelButton, L"64 X 10M");
    SetDlgItemTextW(dialog, ids::kAccessTimeButton, languageText(kKeyAccessTime));
    SetDlgItemTextW(dialog, ids::kProgramLabel, headerText(kHeaderProgramTitle));
    SetDlgItemTextW(dialog, ids::kStartButton, languageText(kKeyStart));
    SetDlgItemTextW(dialog, ids::kReadGroup, languageText(kKeyRead));
    SetDlgItemTextW(dialog, ids::kWriteGroup, languageText(kKeyWrite));
    SetDlgItemTextW(dialog, ids::kRatingGroup, languageText(kKeyBenchmark));
}

void applyBottomToolbar(int language) {
    if (!bottomToolbar) {
        return;
    }
    clearToolbar(bottomToolbar, dialogFonts.infoFont.get());
    const wchar_t* address = headerText(language == kLanguageGerman ? kHeaderHomePageGerman : kHeaderHomePage);
    addToolbarButton(bottomToolbar, thanksButtonText(headerText(kHeaderThanksLine), address), ids::kThanksCommand, 0);
    addToolbarButton(bottomToolbar, L"# LNG", ids::kLanguageCommand, 1);
    // The thank-you line is long; the language button must not be pushed out of sight.
    keepLastButtonInside(bottomToolbar);
}

void fillDurationBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, ids::kDurationBox);
    LRESULT remembered = SendMessageW(box, CB_GETCURSEL, 0, 0);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    // Filled by position: the entry number is the duration's index.
    for (int entry = 0; entry < kDurationCount; ++entry) {
        SendMessageW(box, CB_INSERTSTRING, static_cast<WPARAM>(entry),
                     reinterpret_cast<LPARAM>(languageString(kKeyFirstDuration + entry).c_str()));
    }
    if (remembered == CB_ERR) {
        remembered = durationChoice < 0 ? kDefaultDurationEntry : durationChoice;
    }
    // An entry past the end leaves the box without a selection.
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(remembered), 0);
}

void fillStartCheckBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, ids::kStartCheckBox);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    int entry = 0;
    for (int key : {kKeyNeverCheck, kKeyCheckAtStart, kKeyCheckNow}) {
        SendMessageW(box, CB_INSERTSTRING, static_cast<WPARAM>(entry++), reinterpret_cast<LPARAM>(languageString(key).c_str()));
    }
    // Entry 2 ("now") is never kept, so the box shows "never" or "at program start".
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(startCheckChoice), 0);
    RECT client{};
    GetClientRect(box, &client);
    // The entries are long sentences: the open list is wider than the box.
    SendMessageW(box, CB_SETDROPPEDWIDTH, static_cast<WPARAM>((client.right - client.left) * kStartCheckListWidthFactor), 0);
}

// The separators are buttons drawn as an etched line across their middle.
void drawSeparator(const DRAWITEMSTRUCT& item) {
    if (drawDarkSeparator(item.hDC, item.rcItem)) {
        return;
    }
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    RECT line = item.rcItem;
    line.top = (item.rcItem.top + item.rcItem.bottom) / 2 - 1;
    DrawEdge(item.hDC, &line, EDGE_ETCHED, BF_TOP);
}

bool isWow64Process() {
    using IsWow64ProcessFunction = decltype(IsWow64Process);
    auto isWow64 = systemFunction<IsWow64ProcessFunction>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

void setDialogIcons(HWND dialog) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    auto icon = [instance](int widthMetric, int heightMetric) {
        return reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_BRINDLECREST), IMAGE_ICON,
                                                   GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                                   LR_DEFAULTCOLOR | LR_SHARED));
    };
    SendMessageW(dialog, WM_SETICON, ICON_BIG, icon(SM_CXICON, SM_CYICON));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON, SM_CYSMICON));
}

void initMainDialog(HWND dialog) {
    markStartup(StartupStep::dialogEntered);
    durationChoice = readIntSetting(kSettingsSection, kSettingTestTime, durationChoice);
    initTestControl(dialog);
    parallelReadLabel = GetDlgItem(dialog, ids::kParallelReadLabel);
    parallelWriteLabel = GetDlgItem(dialog, ids::kParallelWriteLabel);
    randomSessionId = makeRandomSessionId();
    attachScanner(GetDlgItem(dialog, ids::kScannerBar));
    static const bool wow64 = isWow64Process();
    runsUnderWow64 = wow64;
    mainDialog = dialog;
    enableDialogTexture(dialog);
    markStartup(StartupStep::dialogTexture);
    createMainCommandBar(dialog);
    markStartup(StartupStep::commandBar);
    setDialogIcons(dialog);
    markStartup(StartupStep::dialogIcons);
    enterDialogApartment();
    markStartup(StartupStep::comApartment);
    SetTimer(dialog, ids::kInfoBoxTimer, ids::kInfoBoxTimerDelayMs, nullptr);
    bottomToolbar = createBottomToolbar(dialog, ids::kBottomToolbarPlace);
    markStartup(StartupStep::bottomToolbar);
    applyDialogTexts(dialog);
    updateClockLabel();
    markStartup(StartupStep::dialogReady);
}

INT_PTR handleCommand(HWND dialog, int command) {
    setRedirection(false);
    switch (command) {
    case ids::kLanguageCommand:
        showLanguageMenu(dialog, bottomToolbar, applyDialogTexts);
        return TRUE;
    case ids::kHideSerialCommand:
        toggleSerialNumbers(dialog);
        return TRUE;
    case ids::kCompareCommand:
        openComparisonPage();
        return TRUE;
    case ids::kScreenshotToPaintCommand:
    case ids::kScreenshotToFileCommand:
        scheduleScreenshot(dialog, command);
        return TRUE;
    default:
        if (openSystemTool(command)) {
            return TRUE;
        }
        return handleDialogCommand(dialog, command) ? TRUE : FALSE;
    }
}

// EnumDateFormatsW and EnumTimeFormatsW take no context: the first format lands here.
WideString enumeratedFormat;

BOOL CALLBACK takeFirstFormat(LPWSTR format) {
    enumeratedFormat = format;
    return FALSE;
}

}  // namespace

void applyDialogTexts(HWND dialog) {
    int language = currentLanguage.load(std::memory_order_relaxed);
    applyMenuTexts();
    applyFonts(dialog, language);
    markStartup(StartupStep::fonts);
    applyTexts(dialog);
    SetWindowTextW(dialog, dialogCaption(headerText(kHeaderProgramTitle), isVirtualMachine(), osVersionAtStart()).c_str());
    applyBottomToolbar(language);
    fillDurationBox(dialog);
    fillStartCheckBox(dialog);
    applyEngineTexts(languageText);
    unknownRamText = languageString(kKeyUnknownRam);
    markStartup(StartupStep::texts);
}

void updateClockLabel() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    enumeratedFormat.clear();
    EnumDateFormatsW(takeFirstFormat, LOCALE_USER_DEFAULT, DATE_SHORTDATE);
    WideString dateFormat = enumeratedFormat;
    enumeratedFormat.clear();
    EnumTimeFormatsW(takeFirstFormat, LOCALE_USER_DEFAULT, 0);
    WideString timeFormat = enumeratedFormat;

    wchar_t date[128]{};
    wchar_t time[128]{};
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &now, dateFormat.isEmpty() ? nullptr : dateFormat.c_str(), date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, timeFormat.isEmpty() ? nullptr : timeFormat.c_str(), time, 128);
    SetDlgItemTextW(mainDialog, ids::kClockLabel, (WideString(date) + L" " + time).c_str());
}

WideString makeRandomSessionId() { return makeRandomSessionId(static_cast<unsigned>(std::time(nullptr))); }

WideString makeRandomSessionId(unsigned seed) {
    std::srand(seed);
    WideString id;
    for (int i = 0; i < kSessionIdLetters; ++i) {
        int caseDraw = std::rand();
        int letterDraw = std::rand();
        id += static_cast<wchar_t>((caseDraw % 2 == 0 ? L'A' : L'a') + letterDraw % 26);
    }
    return id;
}

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (handleRunMessage(dialog, message, wParam, lParam, result)) {
        return result;
    }
    switch (message) {
    case WM_INITDIALOG:
        initMainDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return handleCommand(dialog, LOWORD(wParam));
    case WM_INITMENUPOPUP:
        updateMenuChecks();
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == ids::kTopSeparator || wParam == ids::kBottomSeparator) {
            drawSeparator(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        if (wParam == ids::kInfoBoxTimer) {
            KillTimer(dialog, ids::kInfoBoxTimer);
            refreshInfoBox(dialog);
            return TRUE;
        }
        return handleScreenshotTimer(dialog, wParam) ? TRUE : FALSE;
    case WM_NCDESTROY:
        // The children are gone: nothing uses the toolbar's images or the fonts any more.
        destroyBottomToolbarImages();
        dialogFonts = DialogFonts();
        bottomToolbar = nullptr;
        mainMenu = nullptr;  // the command bar destroys the menu with itself
        if (mainDialog == dialog) {
            mainDialog = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
