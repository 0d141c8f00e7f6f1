#include "app/Startup.h"

#include <commctrl.h>

#include "base/DynamicCall.h"

HINSTANCE appInstance = nullptr;
WideString commandLine;

namespace {

// ICC_WIN95_CLASSES covers list view, tree view, bars, tabs, up-down, progress, hot key and
// animate. ComboBoxEx needs its own flag: the main dialog's template holds one.
constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;

}  // namespace

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
