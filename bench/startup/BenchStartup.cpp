// Start-up time of Brindlecrest as a user meets it, and where that time goes.
//
// 1. As a user starts it: Brindlecrest.exe is started N times (default 10, the first argument
//    gives another count); for each start the time from CreateProcess until its main dialog is
//    visible, and until the program first waits for input with the dialog painted
//    (WaitForInputIdle). The same for benchEmptyDialog.exe, which shows one empty dialog of the
//    same size and font: what any dialog program costs to start here.
// 2. Where it goes: this program starts itself N times with --steps; each child runs the program's
//    own start-up (runProgram) in its own process, and ends it once the dialog has painted. The
//    start-up steps record the performance counter as they end (app/StartupTimeline.h); the child
//    writes those readings, with its entry and the moments the dialog showed and finished
//    painting, to a file. Printed: the median of each step over the starts. The first step, from
//    CreateProcess to the entry, is this console program's own loading; it imports the same
//    system DLLs as Brindlecrest.exe.
//
// The machine's load average (read through Wine's Z: drive) is printed before and after: other
// work on the machine lengthens every figure.
#include <windows.h>

#include "app/MainDialog.h"
#include "app/Startup.h"
#include "app/StartupTimeline.h"
#include "base/WideString.h"
#include "tests/e2e/Driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultStarts = 10;
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;

double counterFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

int64_t counterNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double milliseconds(int64_t from, int64_t to) { return static_cast<double>(to - from) * 1000.0 / counterFrequency(); }

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string loadAverage() {
    HANDLE file = CreateFileW(L"Z:\\proc\\loadavg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "unknown";
    }
    char buffer[128]{};
    DWORD got = 0;
    ReadFile(file, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(file);
    std::string text(buffer, got);
    // "1-minute 5-minute 15-minute running/total last-pid": the three averages.
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field) {
        end = text.find(' ', end + 1);
    }
    return text.substr(0, end);
}

// ---- the child: the program's own start-up in this process ------------------------------------

int64_t childEntry = 0;
int64_t dialogShown = 0;
int64_t dialogPainted = 0;

// A thread message with no window: the dialog's modal loop gets it and drops it.
constexpr UINT kPaintCheck = WM_APP + 0x3A0;

// The dialog visible: the first message the dialog's thread handles after it was shown. Sent
// messages pass here, among them the dialog's own show and position messages.
LRESULT CALLBACK watchShowing(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && dialogShown == 0 && mainDialog && IsWindowVisible(mainDialog)) {
        dialogShown = counterNow();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Painted: the first moment after the dialog showed when no window of the thread is left to
// paint. Paint messages are made only when the queue holds nothing else, and they do not pass
// the hooks for sent messages; so each one retrieved for the dialog or a control posts a marker,
// which comes back right after that paint has been handled. When the marker finds nothing left to
// paint, the run is ended as a quit message would end it.
LRESULT CALLBACK watchPainting(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && dialogShown != 0 && dialogPainted == 0) {
        if (message->message == WM_PAINT && (message->hwnd == mainDialog || IsChild(mainDialog, message->hwnd))) {
            PostThreadMessageW(GetCurrentThreadId(), kPaintCheck, 0, 0);
        } else if (message->message == kPaintCheck && message->hwnd == nullptr &&
                   !(HIWORD(GetQueueStatus(QS_PAINT)) & QS_PAINT)) {
            dialogPainted = counterNow();
            PostQuitMessage(0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int runChild(const wchar_t* resultPath) {
    childEntry = counterNow();
    const DWORD thread = GetCurrentThreadId();
    HHOOK showing = SetWindowsHookExW(WH_CALLWNDPROCRET, watchShowing, nullptr, thread);
    HHOOK painting = SetWindowsHookExW(WH_GETMESSAGE, watchPainting, nullptr, thread);
    if (!showing || !painting) {
        return 1;
    }
    recordStartupTimeline();
    runProgram(GetModuleHandleW(nullptr));
    UnhookWindowsHookEx(painting);
    UnhookWindowsHookEx(showing);
    FILE* file = _wfopen(resultPath, L"w");
    if (!file) {
        return 1;
    }
    std::fprintf(file, "%lld", static_cast<long long>(childEntry));
    for (int step = 0; step < static_cast<int>(StartupStep::count); ++step) {
        std::fprintf(file, " %lld", static_cast<long long>(startupMark(static_cast<StartupStep>(step))));
    }
    std::fprintf(file, " %lld %lld\n", static_cast<long long>(dialogShown), static_cast<long long>(dialogPainted));
    std::fclose(file);
    return 0;
}

// ---- the parent ----------------------------------------------------------------------------------

struct UserStart {
    double visibleMs = 0;
    double idleMs = 0;
};

HWND visibleDialogOf(const e2e::AppProcess& app) {
    for (HWND window : app.topLevelWindows(true)) {
        if (e2e::windowClassName(window) == L"#32770") {
            return window;
        }
    }
    return nullptr;
}

// One start as a user makes it; false when the program showed no dialog or did not end.
bool startAsUser(const WideString& exe, UserStart& result) {
    e2e::AppProcess app;
    const int64_t begin = counterNow();
    if (!app.start(exe)) {
        return false;
    }
    HWND dialog = nullptr;
    const DWORD startTick = GetTickCount();
    while (!(dialog = visibleDialogOf(app))) {
        if (GetTickCount() - startTick > kStartTimeoutMs || !app.running()) {
            return false;
        }
        Sleep(1);
    }
    result.visibleMs = milliseconds(begin, counterNow());
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, app.processId());
    if (process) {
        WaitForInputIdle(process, kStartTimeoutMs);
        CloseHandle(process);
    }
    result.idleMs = std::max(result.visibleMs, milliseconds(begin, counterNow()));
    e2e::closeWindow(dialog);
    DWORD code = 0;
    if (!app.waitForExit(kExitTimeoutMs, &code)) {
        app.terminate();
        return false;
    }
    return true;
}

void measureAsUser(const wchar_t* name, const WideString& exe, int starts) {
    std::vector<double> visible, idle;
    for (int i = 0; i < starts; ++i) {
        UserStart start;
        if (!startAsUser(exe, start)) {
            std::wprintf(L"  %ls: start %d failed\n", name, i + 1);
            continue;
        }
        visible.push_back(start.visibleMs);
        idle.push_back(start.idleMs);
    }
    std::wprintf(L"  %-22ls dialog visible %7.1f ms   painted, waiting for input %7.1f ms   (median of %zu)\n", name,
                 median(visible), median(idle), visible.size());
}

struct Step {
    const wchar_t* name;
    int from;  // index into a child's readings: 0 the process created, 1 entry, 2.. the steps
    int to;
};

void measureSteps(int starts) {
    const WideString self = e2e::besideThisExe(L"benchStartup.exe");
    const WideString folder = e2e::makeTempFolder(L"bc_startup");
    const WideString resultPath = folder + L"\\steps.txt";
    constexpr int kSteps = static_cast<int>(StartupStep::count);
    // Readings per child: created, entry, the steps, shown, painted.
    std::vector<std::vector<int64_t>> runs;
    for (int i = 0; i < starts; ++i) {
        DeleteFileW(resultPath.c_str());
        e2e::AppProcess child;
        const int64_t created = counterNow();
        if (!child.start(self, L"--steps \"" + resultPath + L"\"") || !child.waitForExit(kStartTimeoutMs, nullptr)) {
            std::wprintf(L"  breakdown: start %d failed\n", i + 1);
            continue;
        }
        FILE* file = _wfopen(resultPath.c_str(), L"r");
        if (!file) {
            std::wprintf(L"  breakdown: start %d left no readings\n", i + 1);
            continue;
        }
        std::vector<int64_t> readings{created};
        long long value = 0;
        while (std::fscanf(file, "%lld", &value) == 1) {
            readings.push_back(value);
        }
        std::fclose(file);
        if (readings.size() == static_cast<size_t>(kSteps) + 4) {
            runs.push_back(readings);
        }
    }
    e2e::removeTree(folder);

    auto at = [](StartupStep step) { return static_cast<int>(step) + 2; };
    const int shown = kSteps + 2;
    const int painted = kSteps + 3;
    const Step steps[] = {
        {L"process start (loader, static initialisation)", 0, 1},
        {L"scanner bar class", 1, at(StartupStep::scannerClass)},
        {L"DPI awareness, dark-mode set-up and hook", at(StartupStep::scannerClass), at(StartupStep::darkMode)},
        {L"common controls", at(StartupStep::darkMode), at(StartupStep::commonControls)},
        {L"hidden window class (icons)", at(StartupStep::commonControls), at(StartupStep::windowClass)},
        {L"language archive (read, decode)", at(StartupStep::windowClass), at(StartupStep::archive)},
        {L"settings, start language", at(StartupStep::archive), at(StartupStep::settings)},
        {L"self-update step", at(StartupStep::settings), at(StartupStep::selfUpdate)},
        {L"hidden main window", at(StartupStep::selfUpdate), at(StartupStep::hiddenWindow)},
        {L"dialog creation (template, controls)", at(StartupStep::hiddenWindow), at(StartupStep::dialogEntered)},
        {L"dialog: settings, scanner, dark texture", at(StartupStep::dialogEntered), at(StartupStep::dialogTexture)},
        {L"dialog: command bar", at(StartupStep::dialogTexture), at(StartupStep::commandBar)},
        {L"dialog: icons", at(StartupStep::commandBar), at(StartupStep::dialogIcons)},
        {L"dialog: COM apartment", at(StartupStep::dialogIcons), at(StartupStep::comApartment)},
        {L"dialog: bottom toolbar and its icons", at(StartupStep::comApartment), at(StartupStep::bottomToolbar)},
        {L"dialog: menu built", at(StartupStep::bottomToolbar), at(StartupStep::menu)},
        {L"dialog: menu icons", at(StartupStep::menu), at(StartupStep::menuIcons)},
        {L"dialog: fonts", at(StartupStep::menuIcons), at(StartupStep::fonts)},
        {L"dialog: texts, caption, boxes", at(StartupStep::fonts), at(StartupStep::texts)},
        {L"dialog: clock label", at(StartupStep::texts), at(StartupStep::dialogReady)},
        {L"showing the dialog", at(StartupStep::dialogReady), shown},
        {L"first paint", shown, painted},
    };
    std::wprintf(L"\nWhere the time goes (median of %zu starts, ms):\n", runs.size());
    double sum = 0;
    for (const Step& step : steps) {
        std::vector<double> values;
        for (const auto& run : runs) {
            if (run[step.from] != 0 && run[step.to] != 0) {
                values.push_back(milliseconds(run[step.from], run[step.to]));
            }
        }
        const double value = median(values);
        sum += value;
        std::wprintf(L"  %-46ls %7.2f\n", step.name, value);
    }
    std::vector<double> totals;
    for (const auto& run : runs) {
        totals.push_back(milliseconds(run[0], run[painted]));
    }
    std::wprintf(L"  %-46ls %7.2f   (sum of the medians %.2f)\n", L"created to painted", median(totals), sum);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[1]) == L"--steps") {
        return runChild(argv[2]);
    }
    const int starts = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultStarts;
    std::printf("Load average before: %s\n", loadAverage().c_str());
    std::wprintf(L"As a user starts it (%d starts each):\n", starts);
    measureAsUser(L"Brindlecrest.exe", e2e::besideThisExe(L"Brindlecrest.exe"), starts);
    measureAsUser(L"empty dialog", e2e::besideThisExe(L"benchEmptyDialog.exe"), starts);
    measureSteps(starts);
    std::printf("Load average after: %s\n", loadAverage().c_str());
    return 0;
}
