// Starts the real Brindlecrest.exe, leaves it idle with its scanner bar sweeping at 50 frames a
// second, and prints the processor time the program took over that time (default 30 s; the
// first argument gives other seconds).
//
// Under Wine, GetProcessTimes of another process reads 0, so the program's Linux process is read
// from /proc through Wine's Z: drive. Part of the cost of every timer tick and paint is spent in
// the wineserver, which Windows would count as the program's own kernel time: it is printed
// beside, with the server's figure while the program does not run. Other Wine programs of the
// same prefix would add to it, so nothing else should run in that prefix meanwhile.
//
// First, as references, this process measures what a 50 Hz timer costs here without drawing and
// with an empty repaint, and the scanner bar's own code on a bare window.
#include <windows.h>

#include "base/WideString.h"
#include "tests/e2e/Driver.h"
#include "ui/ScannerBar.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kSettleMs = 2000;       // the one-shot timers of start-up have run by then
constexpr DWORD kDefaultIdleSeconds = 30;
constexpr DWORD kReferenceSeconds = 10;
constexpr double kLinuxTicksPerSecond = 100;  // USER_HZ of /proc/<pid>/stat

struct ProcessorTime {
    double user = 0;
    double kernel = 0;
};

std::string readLinuxFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

// The Linux process id of a process of this prefix whose name starts with `name`: the machine
// may run other users' Wine, so the one whose environment names our WINEPREFIX. Empty when
// there is none.
std::wstring findLinuxProcess(const char* name) {
    char prefix[MAX_PATH]{};
    if (!GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH)) {
        return {};
    }
    std::string wanted = std::string("WINEPREFIX=") + prefix;
    wanted.push_back('\0');
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::wstring found;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') {
            continue;
        }
        std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        if (readLinuxFile(folder + L"\\comm").rfind(name, 0) != 0) {
            continue;
        }
        std::string environment = readLinuxFile(folder + L"\\environ");
        environment.insert(environment.begin(), '\0');
        if (environment.find(std::string(1, '\0') + wanted) != std::string::npos) {
            found = entry.cFileName;
            break;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// User and system time of a Linux process in seconds: fields 14 and 15 of its stat line.
bool linuxProcessorTime(const std::wstring& pid, ProcessorTime* time) {
    if (pid.empty()) {
        return false;
    }
    std::string stat = readLinuxFile(L"Z:\\proc\\" + pid + L"\\stat");
    size_t afterName = stat.rfind(") ");
    if (afterName == std::string::npos) {
        return false;
    }
    // The fields after the name, from field 3 (the state) on, separated by single blanks.
    std::vector<std::string> fields;
    size_t at = afterName + 2;
    while (at < stat.size()) {
        size_t blank = stat.find(' ', at);
        fields.push_back(stat.substr(at, blank == std::string::npos ? std::string::npos : blank - at));
        at = blank == std::string::npos ? stat.size() : blank + 1;
    }
    if (fields.size() < 13) {
        return false;
    }
    time->user = std::strtod(fields[11].c_str(), nullptr) / kLinuxTicksPerSecond;
    time->kernel = std::strtod(fields[12].c_str(), nullptr) / kLinuxTicksPerSecond;
    return true;
}

double now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / frequency;
}

std::string loadAverage() {
    std::string text = readLinuxFile(L"Z:\\proc\\loadavg");
    size_t end = text.find(' ', text.find(' ', text.find(' ') + 1) + 1);
    return end == std::string::npos ? std::string("unknown") : text.substr(0, end);
}

// The scanner bar of the program's main dialog, as the screen shows it: a row of pixels.
std::string barPixels(HWND dialog) {
    HWND bar = GetDlgItem(dialog, 4036);
    RECT rect{};
    if (!bar || !GetWindowRect(bar, &rect)) {
        return {};
    }
    HDC screen = GetDC(nullptr);
    std::string row;
    int y = (rect.top + rect.bottom) / 2;
    for (int x = rect.left; x < rect.right; x += 3) {
        COLORREF color = GetPixel(screen, x, y);
        row += static_cast<char>(GetRValue(color));
    }
    ReleaseDC(nullptr, screen);
    return row;
}

// Processor time of this process (all threads), in seconds.
double ownProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        ULARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = time.dwHighDateTime;
        return static_cast<double>(value.QuadPart) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// Reference windows: what a 50 Hz timer costs under this Wine before the bar draws anything.
enum class Reference { timerOnly, timerAndEmptyPaint, timerAndDirectDraw };
Reference reference = Reference::timerOnly;

LRESULT CALLBACK referenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (reference == Reference::timerAndEmptyPaint) {
            InvalidateRect(window, nullptr, FALSE);
        }
        if (reference == Reference::timerAndDirectDraw) {
            HDC dc = GetDC(window);
            PatBlt(dc, 0, 0, 480, 40, BLACKNESS);
            ReleaseDC(window, dc);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Dispatches this thread's messages for `seconds`; the share of one core this process took.
double measureOwnLoop(DWORD seconds) {
    double cpuStart = ownProcessorSeconds();
    double start = now();
    while (now() - start < seconds) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    return 100 * (ownProcessorSeconds() - cpuStart) / (now() - start);
}

void printReferences(DWORD seconds) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = referenceProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BenchIdleReference";
    RegisterClassW(&windowClass);
    registerScannerClass(instance);
    // As wide as the main dialog's bar, away from the middle of the screen where the pointer is.
    HWND window = CreateWindowExW(0, L"BenchIdleReference", L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 40, nullptr, nullptr,
                                  instance, nullptr);
    double idle = measureOwnLoop(seconds);
    SetTimer(window, 1, kScannerPeriodMs, nullptr);
    reference = Reference::timerOnly;
    double timerOnly = measureOwnLoop(seconds);
    reference = Reference::timerAndEmptyPaint;
    double emptyPaint = measureOwnLoop(seconds);
    reference = Reference::timerAndDirectDraw;
    double directDraw = measureOwnLoop(seconds);
    KillTimer(window, 1);
    HWND bar = CreateWindowExW(0, kScannerClassName, L"", WS_CHILD | WS_VISIBLE, 8, 16, 468, 8, window, nullptr, instance, nullptr);
    attachScanner(bar);
    double scanner = measureOwnLoop(seconds);
    stopScanner();
    DestroyWindow(window);
    std::printf("reference, this process, %lu s each: idle window %.2f %%, 50 Hz timer %.2f %%, timer with an empty "
                "repaint %.2f %%, timer drawing through GetDC %.2f %%, the scanner bar's own code on a bare window %.2f %% of one core\n",
                seconds, idle, timerOnly, emptyPaint, directDraw, scanner);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD idleSeconds = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : kDefaultIdleSeconds;
    if (idleSeconds == 0) {
        idleSeconds = kDefaultIdleSeconds;
    }
    printReferences(kReferenceSeconds);
    std::wstring wineserver = findLinuxProcess("wineserver");
    std::string loadBefore = loadAverage();

    // The prefix's own idle cost first, without the program.
    ProcessorTime serverStart{}, serverEnd{};
    bool haveBaseline = linuxProcessorTime(wineserver, &serverStart);
    double baselineStart = now();
    Sleep(idleSeconds * 1000);
    double baselineWall = now() - baselineStart;
    haveBaseline = haveBaseline && linuxProcessorTime(wineserver, &serverEnd);
    double baselineServer = serverEnd.user + serverEnd.kernel - serverStart.user - serverStart.kernel;

    WideString folder = WideString::format(L"C:\\bc_bench_idle_%lu", GetCurrentProcessId());
    WideString exe = folder + L"\\Brindlecrest.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    WritePrivateProfileStringW(L"Program", L"lng", L"1", (folder + L"\\Brindlecrest.ini").c_str());
    if (!e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), exe)) {
        std::printf("benchIdle: cannot copy Brindlecrest.exe (error %lu)\n", GetLastError());
        return 1;
    }
    e2e::AppProcess app;
    if (!app.start(exe)) {
        std::printf("benchIdle: cannot start Brindlecrest.exe (error %lu)\n", GetLastError());
        e2e::removeTree(folder);
        return 1;
    }
    HWND dialog = e2e::waitForMainDialog(app, kStartTimeoutMs);
    if (!dialog) {
        std::printf("benchIdle: the main dialog did not appear\n");
        app.terminate();
        e2e::removeTree(folder);
        return 1;
    }
    // The pointer must rest off the dialog: over a button Wine polls the pointer for hot
    // tracking (about 150 hit tests a second), a cost of where the pointer is, not of the idle
    // program. The virtual display's pointer sits in the middle of the screen, where the centred
    // dialog has its test buttons, and a warp does not reach it: the dialog moves instead.
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(kSettleMs);
    POINT pointer{};
    GetCursorPos(&pointer);
    RECT dialogRect{};
    GetWindowRect(dialog, &dialogRect);
    bool pointerOff = !PtInRect(&dialogRect, pointer);

    // GetProcessTimes of another process gives 0 under Wine: the Linux process is read instead.
    std::wstring program = findLinuxProcess("Brindlecrest");
    ProcessorTime programStart{}, programEnd{};
    bool haveProgram = linuxProcessorTime(program, &programStart);
    bool haveServer = linuxProcessorTime(wineserver, &serverStart);
    std::string barBefore = barPixels(dialog);
    double start = now();
    Sleep(idleSeconds * 1000);
    double wall = now() - start;
    haveProgram = haveProgram && linuxProcessorTime(program, &programEnd);
    haveServer = haveServer && linuxProcessorTime(wineserver, &serverEnd);
    std::string barAfter = barPixels(dialog);
    std::string loadAfter = loadAverage();

    if (haveProgram) {
        double user = programEnd.user - programStart.user;
        double system = programEnd.kernel - programStart.kernel;
        std::printf("idle CPU, Brindlecrest.exe with the scanner bar at 50 frames/s: %.2f s in %.1f s = %.2f %% of one core "
                    "(user %.2f s, system %.2f s)\n",
                    user + system, wall, 100 * (user + system) / wall, user, system);
    } else {
        std::printf("idle CPU, Brindlecrest.exe: its Linux process was not found\n");
    }
    if (haveServer && haveBaseline) {
        double server = serverEnd.user + serverEnd.kernel - serverStart.user - serverStart.kernel;
        std::printf("idle CPU, wineserver meanwhile: %.2f %% of one core; without the program: %.2f %%; the difference is "
                    "the server's side of the program's timer, paints and messages (kernel time on Windows)\n",
                    100 * server / wall, 100 * baselineServer / baselineWall);
    } else {
        std::printf("idle CPU, wineserver: not found for this prefix\n");
    }
    std::printf("pointer off the dialog: %s; scanner bar moved during the measurement: %s\n", pointerOff ? "yes" : "no",
                barBefore.empty() ? "unknown" : barBefore != barAfter ? "yes" : "no");
    std::printf("machine load average (1, 5, 15 min): before %s, after %s (2 cores)\n", loadBefore.c_str(), loadAfter.c_str());

    e2e::closeWindow(dialog);
    DWORD exitCode = 0;
    if (!app.waitForExit(10000, &exitCode)) {
        app.terminate();
    }
    e2e::removeTree(folder);
    return haveProgram ? 0 : 1;
}
