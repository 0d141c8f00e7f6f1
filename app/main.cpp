// Brindlecrest's entry point: the start-up steps in their order, then the message loop.
#include <windows.h>

#include "app/MainWindow.h"
#include "app/SelfUpdate.h"
#include "app/Startup.h"
#include "lang/LanguageArchive.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "ui/DarkMode.h"
#include "ui/ScannerBar.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // `quitMessage` has been registered during static initialisation.
    registerScannerClass(instance);
    appInstance = instance;
    // Dark mode is set up only when the process could be made DPI-aware.
    if (makeProcessDpiAware()) {
        initDarkMode();
        installThemingHook(instance);
    }
    initCommonControls();
    registerMainWindowClass(instance);
    // Every text comes from the archive; without it there is nothing to show.
    if (!loadLanguageArchive()) {
        return kExitNormal;
    }
    loadSettings();
    commandLine = GetCommandLineW();
    if (completeSelfUpdate(commandLine)) {
        return kExitNormal;
    }
    if (!createMainWindow(instance)) {
        return kExitNormal;
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    return runMessageLoop(accelerators);
}
