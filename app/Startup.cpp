#include "app/Startup.h"

#include <commctrl.h>

#include "app/MainWindow.h"
#include "app/SelfUpdate.h"
#include "app/StartupTimeline.h"
#include "base/DynamicCall.h"
#include "lang/LanguageArchive.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "ui/DarkMode.h"
#include "ui/ScannerBar.h"

HINSTANCE appInstance = nullptr;
WideString commandLine;

namespace {

// ICC_WIN95_CLASSES covers list view, tree view, bars, tabs, up-down, progress, hot key and
// animate. ComboBoxEx needs its own flag: the main dialog's template holds one.
constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;

}  // namespace

int runProgram(HINSTANCE instance) {
    // `quitMessage` has been registered during static initialisation.
    registerScannerClass(instance);
    markStartup(StartupStep::scannerClass);
    appInstance = instance;
    // Dark mode is set up only when the process could be made DPI-aware.
    if (makeProcessDpiAware()) {
        initDarkMode();
        installThemingHook(instance);
    }
    markStartup(StartupStep::darkMode);
    initCommonControls();
    markStartup(StartupStep::commonControls);
    registerMainWindowClass(instance);
    markStartup(StartupStep::windowClass);
    // Every text comes from the archive; without it there is nothing to show.
    if (!loadLanguageArchive()) {
        return kExitNormal;
    }
    markStartup(StartupStep::archive);
    loadSettings();
    markStartup(StartupStep::settings);
    commandLine = GetCommandLineW();
    if (completeSelfUpdate(commandLine)) {
        return kExitNormal;
    }
    markStartup(StartupStep::selfUpdate);
    if (!createMainWindow(instance)) {
        return kExitNormal;
    }
    markStartup(StartupStep::hiddenWindow);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    return runMessageLoop(accelerators);
}

bool makeProcessDpiAware() {
    auto setProcessDpiAware = systemFunction<decltype(SetProcessDPIAware)>(L"user32.dll", "SetProcessDPIAware");
    return setProcessDpiAware && setProcessDpiAware();
}

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = kCommonControlClasses;
    InitCommonControlsEx(&controls);
    InitCommonControls();
}

int runMessageLoop(HACCEL accelerators) {
    MSG message{};
    for (;;) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return kExitNormal;  // the queue is gone; nothing more can arrive
        }
        if (accelerators && TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
