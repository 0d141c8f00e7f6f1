#include "app/MainWindow.h"

#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "res/resource.h"

HWND mainWindow = nullptr;
int dialogOpen = 0;
const UINT quitMessage = RegisterWindowMessageW(kQuitMessageName);

namespace {

// Overlapped window with caption, system menu, thick frame, minimise and maximise boxes.
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW | 0x0002;
constexpr int kMainWindowSize = 100;
// Left of the virtual screen by this much, so no monitor ever shows it.
constexpr int kOffScreenDistance = 120;
constexpr int kClassNameCapacity = 100;

wchar_t className[kClassNameCapacity + 1] = {};

// The shutdown privilege for the system tools, the debug privilege for reading other processes.
// An ordinary user may lack them; nothing depends on getting them.
void enablePrivileges() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return;
    }
    for (const wchar_t* name : {SE_SHUTDOWN_NAME, SE_DEBUG_NAME}) {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        }
    }
    CloseHandle(token);
}

// Runs the main dialog until it ends; a second request while it runs changes nothing.
LRESULT openMainDialog(HWND window) {
    if (dialogOpen) {
        return 1;
    }
    dialogOpen = 1;
    mainWindow = window;
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
    dialogOpen = 0;
    return 0;
}

}  // namespace

const wchar_t* mainWindowClassName() { return className; }

bool registerMainWindowClass(HINSTANCE instance) {
    LoadStringW(instance, IDS_MAIN_WINDOW_CLASS, className, kClassNameCapacity + 1);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_BRINDLECREST));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_BRINDLECREST), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                        LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

bool createMainWindow(HINSTANCE instance) {
    HWND window = CreateWindowExW(0, className, kMainWindowTitle, kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kMainWindowSize, kMainWindowSize, nullptr, nullptr, instance, nullptr);
    if (!window) {
        // Without the window no message would ever end the loop.
        return false;
    }
    enablePrivileges();
    // A tool window gets no taskbar button.
    SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    SetWindowPos(window, HWND_TOPMOST, GetSystemMetrics(SM_XVIRTUALSCREEN) - kOffScreenDistance,
                 GetSystemMetrics(SM_YVIRTUALSCREEN), kMainWindowSize, kMainWindowSize, SWP_NOACTIVATE);
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A registered message number is not a constant, so it cannot be a case label.
    if (quitMessage != 0 && message == quitMessage) {
        if (wParam == quitMessage && lParam == static_cast<LPARAM>(quitMessage)) {
            PostQuitMessage(kExitQuitMessage);
        }
        return quitMessage;
    }
    switch (message) {
    case WM_CREATE:
        mainWindow = window;
        PostMessageW(window, WM_COMMAND, ids::kOpenMainDialogCommand, 0);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ids::kOpenMainDialogCommand:
            return openMainDialog(window);
        case ids::kDestroyMainWindowCommand:
            DestroyWindow(window);
            return 0;
        default:
            break;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(kExitNormal);
        return 0;
    case WM_CLOSE:
        // Only the quit message or the dialog ends the program.
        return 0;
    case WM_SETTINGCHANGE:
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
