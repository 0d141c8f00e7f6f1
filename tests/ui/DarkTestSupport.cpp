#include "tests/ui/DarkTestSupport.h"

#include "app/MainDialog.h"
#include "app/Startup.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "ui/ScannerBar.h"

#include <uxtheme.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace dark_test {

FakeWindows fake;

namespace {

// Stand-in module handles: only compared, never used.
char ntdllTag, uxThemeTag, user32Tag;
HMODULE tag(char& module) { return reinterpret_cast<HMODULE>(&module); }

struct CompositionAttributeData {
    DWORD attribute;
    void* data;
    SIZE_T size;
};

template <typename Function>
FARPROC asProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

template <typename Function>
Function realUxTheme(const char* name) {
    static HMODULE module = LoadLibraryW(L"uxtheme.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void WINAPI getNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
    *major = fake.major;
    *minor = fake.major == 6 ? 3 : 0;
    *build = fake.build;
}
// Ordinals 49 and 106 must be present but are never called.
void WINAPI neverCalled() { ADD_FAILURE() << "an ordinal the program does not use was called"; }
void WINAPI refreshImmersiveColorPolicy() { fake.calls.push_back("104()"); }
bool WINAPI shouldAppsUseDarkMode() { return fake.appsUseDarkMode; }
bool WINAPI allowDarkModeForWindow(HWND window, bool allow) {
    allow ? static_cast<void>(fake.darkAllowed.insert(window)) : static_cast<void>(fake.darkAllowed.erase(window));
    return true;
}
// Both forms of ordinal 135 take one small integer: TRUE (allow for the app) or mode 1.
int WINAPI ordinal135(int value) {
    fake.calls.push_back("135(" + std::to_string(value & 0xFF) + ")");
    return 0;
}
bool WINAPI isDarkModeAllowedForWindow(HWND window) { return fake.darkAllowed.count(window) != 0; }

BOOL WINAPI setWindowCompositionAttribute(HWND window, CompositionAttributeData* data) {
    bool wellFormed = data->attribute == 26 && data->size == sizeof(BOOL);
    fake.compositionDark.emplace_back(window, wellFormed ? *static_cast<BOOL*>(data->data) : 2);
    return wellFormed;
}

HRESULT WINAPI setWindowTheme(HWND window, LPCWSTR subApp, LPCWSTR idList) {
    fake.themeCalls.emplace_back(window, std::wstring(subApp ? subApp : L"(null)") + L"|" + (idList ? idList : L"(null)"));
    return realUxTheme<decltype(&SetWindowTheme)>("SetWindowTheme")(window, subApp, idList);
}

HRESULT WINAPI enableThemeDialogTexture(HWND window, DWORD flags) {
    fake.dialogTextures.emplace_back(window, flags);
    return realUxTheme<decltype(&EnableThemeDialogTexture)>("EnableThemeDialogTexture")(window, flags);
}

HMODULE WINAPI loadLibrary(LPCWSTR name) {
    if (_wcsicmp(name, L"ntdll.dll") == 0) {
        return tag(ntdllTag);
    }
    if (_wcsicmp(name, L"user32.dll") == 0) {
        return tag(user32Tag);
    }
    if (_wcsicmp(name, L"uxtheme.dll") == 0) {
        fake.uxThemeLoadCount += fake.uxThemeMissing ? 0 : 1;
        return fake.uxThemeMissing ? nullptr : tag(uxThemeTag);
    }
    return LoadLibraryW(name);
}

BOOL WINAPI freeLibrary(HMODULE module) {
    fake.uxThemeFreeCount += module == tag(uxThemeTag) ? 1 : 0;
    return TRUE;
}

FARPROC uxThemeOrdinal(WORD ordinal) {
    fake.ordinalsLookedUp.push_back(ordinal);
    if (fake.missingOrdinals.count(ordinal)) {
        return nullptr;
    }
    switch (ordinal) {
    case 49: return asProc(neverCalled);
    case 104: return asProc(refreshImmersiveColorPolicy);
    case 106: return asProc(neverCalled);
    case 132: return asProc(shouldAppsUseDarkMode);
    case 133: return asProc(allowDarkModeForWindow);
    case 135: return asProc(ordinal135);
    case 137: return asProc(isDarkModeAllowedForWindow);
    default: return nullptr;
    }
}

FARPROC WINAPI getProcAddress(HMODULE module, LPCSTR name) {
    bool byName = !IS_INTRESOURCE(name);
    if (module == tag(ntdllTag)) {
        return byName && fake.hasVersionFunction && strcmp(name, "RtlGetNtVersionNumbers") == 0 ? asProc(getNtVersionNumbers)
                                                                                              : nullptr;
    }
    if (module == tag(user32Tag)) {
        return byName && fake.hasCompositionAttribute && strcmp(name, "SetWindowCompositionAttribute") == 0
                   ? asProc(setWindowCompositionAttribute)
                   : nullptr;
    }
    if (module == tag(uxThemeTag)) {
        if (!byName) {
            return uxThemeOrdinal(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
        }
        if (strcmp(name, "SetWindowTheme") == 0) {
            return asProc(setWindowTheme);
        }
        if (strcmp(name, "EnableThemeDialogTexture") == 0) {
            return asProc(enableThemeDialogTexture);
        }
        return nullptr;  // no theme data: the list view keeps the colours the program gives it
    }
    return GetProcAddress(module, name);
}

BOOL WINAPI systemParametersInfo(UINT action, UINT param, PVOID data, UINT winIni) {
    if (action != SPI_GETHIGHCONTRAST) {
        return SystemParametersInfoW(action, param, data, winIni);
    }
    auto* highContrast = static_cast<HIGHCONTRASTW*>(data);
    // Windows refuses a structure of the wrong size.
    if (param != sizeof(HIGHCONTRASTW) || highContrast->cbSize != sizeof(HIGHCONTRASTW)) {
        return FALSE;
    }
    highContrast->dwFlags = fake.highContrast ? HCF_HIGHCONTRASTON : 0;
    return TRUE;
}

}  // namespace

void initWithFake() {
    darkModeSystem = DarkModeSystem{loadLibrary, freeLibrary, getProcAddress, systemParametersInfo};
    initDarkMode();
}

void restoreRealSystem() {
    darkModeSystem = realDarkModeSystem();
    darkSupported = false;
    darkEnabled = false;
}

void onFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

void pumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

COLORREF Picture::brightest(const RECT& area) const {
    COLORREF best = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            COLORREF color = at(x, y);
            if (GetRValue(color) + GetGValue(color) + GetBValue(color) > GetRValue(best) + GetGValue(best) + GetBValue(best)) {
                best = color;
            }
        }
    }
    return best;
}

Picture drawn(int width, int height, const std::function<void(HDC)>& paint) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT whole{0, 0, width, height};
    FillRect(memory, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    paint(memory);
    GdiFlush();
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        DWORD bgra = static_cast<const DWORD*>(bits)[i];
        picture.pixels.push_back(RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return picture;
}

Picture capture(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    HDC source = GetDC(window);
    Picture picture = drawn(client.right, client.bottom, [&](HDC target) {
        BitBlt(target, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    });
    ReleaseDC(window, source);
    return picture;
}

std::string colorText(COLORREF color) {
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

void MainDialogTest::SetUpTestSuite() {
    ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
    initCommonControls();
    ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
}

void MainDialogTest::SetUp() {
    folder_ = e2e::makeTempFolder(L"bc_look");
    ASSERT_FALSE(folder_.isEmpty());
    savedPath_ = settingsPath;
    settingsPath = folder_ + L"\\Brindlecrest.ini";
    currentLanguage = kLanguageEnglish;
    fake = FakeWindows();
}

void MainDialogTest::TearDown() {
    restoreRealSystem();
    settingsPath = savedPath_;
    e2e::removeTree(folder_);
}

HWND MainDialogTest::showMainDialog() {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        pumpMessages(500);
        stopScanner();
        pumpMessages(50);
    }
    return dialog;
}

}  // namespace dark_test
