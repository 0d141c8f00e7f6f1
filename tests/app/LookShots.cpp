// A developer's aid for reviewing translations: shows the real main dialog of this process in every
// shipped language and saves what a user sees as BMP files into the folder given as the argument:
// the dialog, its two boxes with their longest entries, its two menus opened, the language menu, and the RAM error-check window after a check
// over a few megabytes of ordinary memory (never the machine's free memory).
//   lookShots OUTPUT-FOLDER
#include "app/MainDialog.h"
#include "app/MainMenu.h"
#include "app/Startup.h"
#include "engine/ErrorCheck.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/e2e/ScreenImage.h"
#include "ui/CommandBar.h"
#include "ui/ScannerBar.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kShippedLanguages = 15;
constexpr DWORD kShownDelayMs = 400;  // drawn, then on the screen
constexpr DWORD kTimeoutMs = 10000;

WideString outputFolder;

void pumpFor(DWORD milliseconds, const std::function<bool()>& done = [] { return false; }) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

void save(const RECT& rect, const WideString& name) {
    e2e::ScreenImage image = e2e::captureScreen(rect);
    const WideString path = outputFolder + L"\\" + name + L".bmp";
    if (image.empty() || !image.saveBmp(path)) {
        std::fwprintf(stderr, L"lookShots: could not save %ls\n", path.c_str());
    }
}

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The dialog with every visible popup menu of this thread around it.
RECT dialogWithMenus() {
    RECT all = windowRect(mainDialog);
    HWND menu = nullptr;
    while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
        if (IsWindowVisible(menu)) {
            RECT rect = windowRect(menu);
            UnionRect(&all, &all, &rect);
        }
    }
    return all;
}

bool menuVisible() {
    HWND menu = nullptr;
    while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
        if (IsWindowVisible(menu)) {
            return true;
        }
    }
    return false;
}

// Picture of an open menu taken from a timer, which the menu loop keeps serving; then the menu
// is closed.
WideString pendingMenuShot;
DWORD menuSeenAt = 0;

void CALLBACK takeMenuShot(HWND window, UINT, UINT_PTR id, DWORD) {
    if (!menuVisible()) {
        return;
    }
    if (menuSeenAt == 0) {
        menuSeenAt = GetTickCount();
    }
    if (GetTickCount() - menuSeenAt < kShownDelayMs) {
        return;
    }
    KillTimer(window, id);
    save(dialogWithMenus(), pendingMenuShot);
    pendingMenuShot.clear();
    EndMenu();
}

void shootMenu(int index, const WideString& name) {
    pendingMenuShot = name;
    menuSeenAt = 0;
    SetTimer(mainDialog, 1, 30, takeMenuShot);
    PostMessageW(commandBarWindow(), kOpenMenuMessage, static_cast<WPARAM>(index), 0);
    PostMessageW(commandBarWindow(), WM_KEYDOWN, VK_DOWN, 0);
    pumpFor(kTimeoutMs, [] { return pendingMenuShot.isEmpty(); });
    KillTimer(mainDialog, 1);
    pumpFor(200);
}

void shootLanguageMenu(const WideString& name) {
    pendingMenuShot = name;
    menuSeenAt = 0;
    SetTimer(mainDialog, 1, 30, takeMenuShot);
    // Modal: returns when the timer has closed the menu.
    showLanguageMenu(mainDialog, bottomToolbar, applyDialogTexts);
    KillTimer(mainDialog, 1);
    pumpFor(200);
}

// A few blocks of ordinary memory instead of the machine's free memory.
constexpr size_t kStandInBlockBytes = 4 << 20;
constexpr int kStandInBlocks = 3;
int liveBlocks = 0;

bool standInStatus(PERFORMANCE_INFORMATION& info) {
    info = {};
    info.cb = kPerformanceInfoBytes;
    info.PageSize = 4096;
    info.PhysicalTotal = 4 * kStandInBlocks * kStandInBlockBytes / info.PageSize;
    info.PhysicalAvailable = (kStandInBlocks - liveBlocks) * kStandInBlockBytes / info.PageSize + 1;
    return true;
}

void* standInAllocate(size_t bytes) {
    void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    liveBlocks += block ? 1 : 0;
    return block;
}

bool standInFree(void* block) {
    --liveBlocks;
    return VirtualFree(block, 0, MEM_RELEASE) != 0;
}

void shootErrorCheck(const WideString& name) {
    ErrorCheckJob& job = errorCheckJob();
    ErrorCheckSystem system;
    system.blockBytes = kStandInBlockBytes;
    system.memoryStatus = standInStatus;
    system.allocateBlock = standInAllocate;
    system.freeBlock = standInFree;
    system.ticks = GetTickCount;
    job.system = system;
    HWND window = openErrorCheck(mainDialog);
    pumpFor(kTimeoutMs, [&job] { return !job.checkRunning(); });
    pumpFor(kShownDelayMs);
    save(windowRect(window), name);
    DestroyWindow(window);
    pumpFor(100);
}

// The longest duration entry in the closed box, and the start-check box's list opened.
void shootBoxes(const WideString& name) {
    HWND duration = GetDlgItem(mainDialog, 1033);
    HWND startCheck = GetDlgItem(mainDialog, 1036);
    const LRESULT durationEntry = SendMessageW(duration, CB_GETCURSEL, 0, 0);
    SendMessageW(duration, CB_SETCURSEL, 3, 0);
    SendMessageW(startCheck, CB_SHOWDROPDOWN, TRUE, 0);
    pumpFor(kShownDelayMs);
    RECT all = windowRect(mainDialog);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(startCheck, &info) && info.hwndList) {
        RECT list = windowRect(info.hwndList);
        UnionRect(&all, &all, &list);
    }
    save(all, name);
    SendMessageW(startCheck, CB_SHOWDROPDOWN, FALSE, 0);
    SendMessageW(duration, CB_SETCURSEL, static_cast<WPARAM>(durationEntry), 0);
    pumpFor(100);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: lookShots OUTPUT-FOLDER\n");
        return 2;
    }
    outputFolder = argv[1];
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerScannerClass(instance);
    initCommonControls();
    if (!readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str())) {
        std::fwprintf(stderr, L"lookShots: no language archive in Brindlecrest.exe\n");
        return 1;
    }
    const WideString settingsFolder = e2e::makeTempFolder(L"bc_shots");
    settingsPath = settingsFolder + L"\\Brindlecrest.ini";
    currentLanguage = kLanguageEnglish;
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
    if (!dialog) {
        std::fwprintf(stderr, L"lookShots: the main dialog could not be made\n");
        return 1;
    }
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    pumpFor(1500);  // the information box fills after 200 ms

    const int only = argc > 2 ? _wtoi(argv[2]) : -1;
    for (int language = 0; language < kShippedLanguages; ++language) {
        if (only >= 0 && language != only) {
            continue;
        }
        currentLanguage = language;
        applyDialogTexts(dialog);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(kShownDelayMs);
        const WideString prefix = WideString::format(L"%02d-", language);
        save(windowRect(dialog), prefix + L"main");
        shootBoxes(prefix + L"boxes");
        shootMenu(0, prefix + L"menu-program");
        shootMenu(1, prefix + L"menu-system");
        shootLanguageMenu(prefix + L"menu-language");
        shootErrorCheck(prefix + L"errorcheck");
        std::wprintf(L"language %d done\n", language);
    }
    DestroyWindow(dialog);
    e2e::removeTree(settingsFolder);
    return 0;
}
