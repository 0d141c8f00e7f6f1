// Small command-line helper for the run script: waits for a program's window and closes it,
// from inside Wine, where the program's windows can be reached by messages.
//   wincontrol wait  EXE-NAME [TIMEOUT-MS]   waits until a process of that name shows a window
//   wincontrol close EXE-NAME [TIMEOUT-MS]   asks its visible windows to close, waits for the
//                                            process to end and returns its exit code
#include "tests/e2e/Driver.h"

#include <cstdio>
#include <cwchar>

namespace {

int usage() {
    std::fwprintf(stderr, L"usage: wincontrol wait|close EXE-NAME [TIMEOUT-MS]\n");
    return 2;
}

e2e::AppProcess* waitForProcess(const wchar_t* exeName, DWORD timeoutMs, e2e::AppProcess& app) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        for (DWORD id : e2e::findProcesses(exeName)) {
            if (app.attach(id)) {
                return &app;
            }
        }
        Sleep(100);
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return usage();
    }
    WideString verb(argv[1]);
    const wchar_t* exeName = argv[2];
    DWORD timeoutMs = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 30000;

    e2e::AppProcess app;
    if (!waitForProcess(exeName, timeoutMs, app)) {
        std::fwprintf(stderr, L"wincontrol: no process named %ls\n", exeName);
        return 3;
    }
    if (verb == L"wait") {
        HWND window = app.waitForWindow(nullptr, nullptr, timeoutMs);
        if (!window) {
            std::fwprintf(stderr, L"wincontrol: %ls showed no window\n", exeName);
            return 4;
        }
        std::wprintf(L"window \"%ls\" (class %ls)\n", e2e::windowText(window).c_str(), e2e::windowClassName(window).c_str());
        return 0;
    }
    if (verb == L"close") {
        for (HWND window : app.topLevelWindows(true)) {
            e2e::closeWindow(window);
        }
        DWORD code = 0;
        if (!app.waitForExit(timeoutMs, &code)) {
            std::fwprintf(stderr, L"wincontrol: %ls did not end\n", exeName);
            return 5;
        }
        std::wprintf(L"exit code %lu\n", code);
        return 0;
    }
    return usage();
}
