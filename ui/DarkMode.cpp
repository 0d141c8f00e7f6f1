#include "ui/DarkMode.h"

#include "ui/DarkControls.h"

#include <uxtheme.h>

#include <cwctype>
#include <cstring>
#include <iterator>

bool darkSupported = false;
bool darkEnabled = false;

DarkModeSystem realDarkModeSystem() {
    return DarkModeSystem{LoadLibraryW, FreeLibrary, GetProcAddress, SystemParametersInfoW};
}

DarkModeSystem darkModeSystem = realDarkModeSystem();

namespace {

// Builds carry flags in their top four bits (0xF0000000 on release builds).
constexpr DWORD kBuildNumberMask = 0x0FFFFFFF;
// From this build on, ordinal 135 sets the app's preferred mode instead of allowing dark mode.
constexpr DWORD kPreferredAppModeBuild = 18362;
constexpr int kAllowDarkAppMode = 1;
// SetWindowCompositionAttribute: dark title-bar colours.
constexpr DWORD kUseDarkModeColorsAttribute = 26;
constexpr wchar_t kDarkTitleBarProperty[] = L"UseImmersiveDarkModeColors";
constexpr DWORD kEnableTabTexture = 6;  // ETDT_ENABLETAB

// UxTheme's undocumented functions by the role the program gives them.
enum : WORD {
    kOrdinalOpenNcThemeData = 49,
    kOrdinalRefreshImmersiveColorPolicy = 104,
    kOrdinalImmersiveColorHighContrast = 106,
    kOrdinalShouldAppsUseDarkMode = 132,
    kOrdinalAllowDarkModeForWindow = 133,
    kOrdinalAllowDarkModeForApp = 135,  // the same ordinal as the preferred-mode form
    kOrdinalIsDarkModeAllowedForWindow = 137,
};

struct CompositionAttributeData {
    DWORD attribute;
    void* data;
    SIZE_T size;
};

using GetNtVersionNumbersFunction = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);
using OpenNcThemeDataFunction = HANDLE(WINAPI*)(HWND window, LPCWSTR classList);
using RefreshImmersiveColorPolicyFunction = void(WINAPI*)();
using ImmersiveColorHighContrastFunction = bool(WINAPI*)(bool ignoreCache);
using ShouldAppsUseDarkModeFunction = bool(WINAPI*)();
using AllowDarkModeForWindowFunction = bool(WINAPI*)(HWND window, bool allow);
using AllowDarkModeForAppFunction = bool(WINAPI*)(bool allow);
using SetPreferredAppModeFunction = int(WINAPI*)(int mode);
using IsDarkModeAllowedForWindowFunction = bool(WINAPI*)(HWND window);
using SetWindowCompositionAttributeFunction = BOOL(WINAPI*)(HWND window, CompositionAttributeData* data);
using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND window, LPCWSTR subAppName, LPCWSTR subIdList);
using OpenThemeDataFunction = HTHEME(WINAPI*)(HWND window, LPCWSTR classList);
using CloseThemeDataFunction = HRESULT(WINAPI*)(HTHEME theme);
using GetThemeColorFunction = HRESULT(WINAPI*)(HTHEME theme, int part, int state, int property, COLORREF* color);
using EnableThemeDialogTextureFunction = HRESULT(WINAPI*)(HWND window, DWORD flags);

// What initDarkMode found; the next initDarkMode starts again from nothing.
struct DarkModeFunctions {
    DWORD major = 0;
    DWORD build = 0;
    OpenNcThemeDataFunction openNcThemeData = nullptr;
    RefreshImmersiveColorPolicyFunction refreshImmersiveColorPolicy = nullptr;
    ImmersiveColorHighContrastFunction immersiveColorHighContrast = nullptr;
    ShouldAppsUseDarkModeFunction shouldAppsUseDarkMode = nullptr;
    AllowDarkModeForWindowFunction allowDarkModeForWindow = nullptr;
    AllowDarkModeForAppFunction allowDarkModeForApp = nullptr;  // builds below 18362
    SetPreferredAppModeFunction setPreferredAppMode = nullptr;  // from build 18362
    IsDarkModeAllowedForWindowFunction isDarkModeAllowedForWindow = nullptr;
    SetWindowCompositionAttributeFunction setWindowCompositionAttribute = nullptr;
};
DarkModeFunctions functions;

// UxTheme for the functions looked up by name: loaded on first use and kept.
HMODULE uxThemeByName = nullptr;

thread_local HHOOK themingHook = nullptr;

// A class name (up to 256 characters) in lower case.
struct WideLowerName {
    wchar_t text[257];
};

template <typename Function>
Function lookUp(HMODULE module, LPCSTR name) {
    if (!module) {
        return nullptr;
    }
    FARPROC address = darkModeSystem.getProcAddress(module, name);
    // Through void(*)() so that the compiler accepts the change of function type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

template <typename Function>
Function lookUpOrdinal(HMODULE module, WORD ordinal) {
    return lookUp<Function>(module, MAKEINTRESOURCEA(ordinal));
}

template <typename Function>
Function uxThemeFunction(LPCSTR name) {
    if (!uxThemeByName) {
        uxThemeByName = darkModeSystem.loadLibrary(L"uxtheme.dll");
    }
    return lookUp<Function>(uxThemeByName, name);
}

bool highContrastOn() {
    HIGHCONTRASTW highContrast{};
    highContrast.cbSize = sizeof(highContrast);
    return darkModeSystem.systemParametersInfo(SPI_GETHIGHCONTRAST, sizeof(highContrast), &highContrast, 0) &&
           (highContrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

LRESULT CALLBACK themingHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && isDarkActive()) {
        themeWindow(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(themingHook, code, wParam, lParam);
}

WideLowerName lowerClassName(HWND window) {
    WideLowerName name{};
    int length = GetClassNameW(window, name.text, static_cast<int>(std::size(name.text)));
    for (int i = 0; i < length; ++i) {
        name.text[i] = static_cast<wchar_t>(std::towlower(name.text[i]));
    }
    return name;
}

void themeButton(HWND window) {
    allowDarkForWindow(window);
    switch (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) {
    case BS_GROUPBOX:
        setWindowTheme(window, L"Explorer_Dark", L"Groupbox");
        subclassGroupBox(window);
        break;
    case BS_AUTOCHECKBOX:
        break;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        setWindowTheme(window, L"Explorer", L"");
        break;
    default:
        setWindowTheme(window, L"Explorer", nullptr);
        break;
    }
}

}  // namespace

void initDarkMode() {
    darkSupported = false;
    darkEnabled = false;
    functions = DarkModeFunctions();
    uxThemeByName = nullptr;

    auto getNtVersionNumbers =
        lookUp<GetNtVersionNumbersFunction>(darkModeSystem.loadLibrary(L"ntdll.dll"), "RtlGetNtVersionNumbers");
    if (!getNtVersionNumbers) {
        return;
    }
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    getNtVersionNumbers(&major, &minor, &build);
    functions.major = major;
    functions.build = build & kBuildNumberMask;
    if (major < 6) {
        return;
    }
    HMODULE uxTheme = darkModeSystem.loadLibrary(L"uxtheme.dll");
    if (!uxTheme) {
        return;
    }
    if (major < 10) {
        return;
    }

    functions.openNcThemeData = lookUpOrdinal<OpenNcThemeDataFunction>(uxTheme, kOrdinalOpenNcThemeData);
    functions.refreshImmersiveColorPolicy =
        lookUpOrdinal<RefreshImmersiveColorPolicyFunction>(uxTheme, kOrdinalRefreshImmersiveColorPolicy);
    functions.immersiveColorHighContrast =
        lookUpOrdinal<ImmersiveColorHighContrastFunction>(uxTheme, kOrdinalImmersiveColorHighContrast);
    functions.shouldAppsUseDarkMode = lookUpOrdinal<ShouldAppsUseDarkModeFunction>(uxTheme, kOrdinalShouldAppsUseDarkMode);
    functions.allowDarkModeForWindow =
        lookUpOrdinal<AllowDarkModeForWindowFunction>(uxTheme, kOrdinalAllowDarkModeForWindow);
    if (functions.build < kPreferredAppModeBuild) {
        functions.allowDarkModeForApp = lookUpOrdinal<AllowDarkModeForAppFunction>(uxTheme, kOrdinalAllowDarkModeForApp);
    } else {
        functions.setPreferredAppMode = lookUpOrdinal<SetPreferredAppModeFunction>(uxTheme, kOrdinalAllowDarkModeForApp);
    }
    functions.isDarkModeAllowedForWindow =
        lookUpOrdinal<IsDarkModeAllowedForWindowFunction>(uxTheme, kOrdinalIsDarkModeAllowedForWindow);
    functions.setWindowCompositionAttribute = lookUp<SetWindowCompositionAttributeFunction>(
        darkModeSystem.loadLibrary(L"user32.dll"), "SetWindowCompositionAttribute");

    if (!functions.openNcThemeData || !functions.refreshImmersiveColorPolicy || !functions.shouldAppsUseDarkMode ||
        !functions.allowDarkModeForWindow || !functions.isDarkModeAllowedForWindow) {
        return;
    }
    if (!functions.allowDarkModeForApp && !functions.setPreferredAppMode) {
        return;
    }

    darkSupported = true;
    darkEnabled = functions.shouldAppsUseDarkMode() && !highContrastOn();
    if (functions.allowDarkModeForApp) {
        functions.allowDarkModeForApp(true);
    } else {
        functions.setPreferredAppMode(kAllowDarkAppMode);
    }
    functions.refreshImmersiveColorPolicy();
    if (isDarkActive()) {
        createDarkPalette();
    }
}

void installThemingHook(HINSTANCE instance) {
    if (!isDarkActive() || themingHook) {
        return;
    }
    themingHook = SetWindowsHookExW(WH_CBT, themingHookProc, instance, GetCurrentThreadId());
}

bool themingHookInstalled() { return themingHook != nullptr; }

void themeWindow(HWND window) {
    WideLowerName name = lowerClassName(window);
    auto is = [&name](const wchar_t* className) { return wcscmp(name.text, className) == 0; };

    if (is(L"#32770")) {
        subclassDialog(window);
    } else if (is(L"static")) {
        subclassStatic(window);
        allowDarkForWindow(window);
    } else if (is(L"button")) {
        themeButton(window);
    } else if (is(L"sysheader32")) {
        allowDarkForWindow(window);
        setWindowTheme(window, L"ItemsView", nullptr);
    } else if (is(L"syslistview32")) {
        setUpListView(window);
    } else if (is(L"edit")) {
        subclassEdit(window);
        allowDarkForWindow(window);
    } else if (is(L"combobox")) {
        subclassCombo(window);
        allowDarkForWindow(window);
        setWindowTheme(window, L"Explorer", L"Explorer");
        SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) & ~WS_BORDER);
    } else if (is(L"comboboxex32")) {
        allowDarkForWindow(window);
        setWindowTheme(window, L"Explorer", nullptr);
    } else if (is(L"sysdatetimepick32")) {
        allowDarkForWindow(window);
    } else if (is(L"systreeview32")) {
        allowDarkForWindow(window);
        setWindowTheme(window, L"Explorer", nullptr);
        setUpTreeView(window);
    } else if (is(L"rebarwindow32")) {
        allowDarkForWindow(window);
        subclassRebar(window);
    } else if (is(L"msctls_statusbar32")) {
        allowDarkForWindow(window);
        setUpStatusBar(window);
    }
    // Anything else (menus, toolbars, tab controls) keeps its own look.
}

void applyDarkTitleBar(HWND window) {
    if (!darkSupported) {
        return;
    }
    bool dark = functions.isDarkModeAllowedForWindow(window) && functions.shouldAppsUseDarkMode() && !highContrastOn();
    if (functions.build >= kPreferredAppModeBuild) {
        if (functions.setWindowCompositionAttribute) {
            BOOL value = dark ? TRUE : FALSE;
            CompositionAttributeData data{kUseDarkModeColorsAttribute, &value, sizeof(value)};
            functions.setWindowCompositionAttribute(window, &data);
        }
    } else {
        SetPropW(window, kDarkTitleBarProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dark ? TRUE : FALSE)));
    }
}

void enableDialogTexture(HWND dialog) {
    // Loaded for this one call and released after it.
    HMODULE uxTheme = darkModeSystem.loadLibrary(L"uxtheme.dll");
    if (!uxTheme) {
        return;
    }
    auto enable = lookUp<EnableThemeDialogTextureFunction>(uxTheme, "EnableThemeDialogTexture");
    if (enable) {
        enable(dialog, kEnableTabTexture);
    }
    darkModeSystem.freeLibrary(uxTheme);
}

void allowDarkForWindow(HWND window) {
    if (darkSupported) {
        functions.allowDarkModeForWindow(window, true);
    }
}

void setWindowTheme(HWND window, LPCWSTR subAppName, LPCWSTR subIdList) {
    if (auto setTheme = uxThemeFunction<SetWindowThemeFunction>("SetWindowTheme")) {
        setTheme(window, subAppName, subIdList);
    }
}

bool themeColor(HWND window, LPCWSTR themeClass, int part, int property, COLORREF* color) {
    auto openTheme = uxThemeFunction<OpenThemeDataFunction>("OpenThemeData");
    auto closeTheme = uxThemeFunction<CloseThemeDataFunction>("CloseThemeData");
    auto getColor = uxThemeFunction<GetThemeColorFunction>("GetThemeColor");
    if (!openTheme || !closeTheme || !getColor) {
        return false;
    }
    HTHEME theme = openTheme(window, themeClass);
    if (!theme) {
        return false;
    }
    bool found = SUCCEEDED(getColor(theme, part, 0, property, color));
    closeTheme(theme);
    return found;
}
