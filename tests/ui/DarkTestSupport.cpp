#include "tests/ui/DarkTestSupport.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <cstdio>
#include <cwchar>
#include <thread>

namespace dark_test {

FakeWindows fake;

namespace {

// Stand-in module handles: never dereferenced, only compared.
char ntdllTag;
char uxThemeTag;
char user32Tag;
HMODULE moduleTag(char& tag) { return reinterpret_cast<HMODULE>(&tag); }

char itemsViewThemeTag;
char headerThemeTag;
HTHEME themeTag(char& tag) { return reinterpret_cast<HTHEME>(&tag); }

struct CompositionAttributeData {
    DWORD attribute;
    void* data;
    SIZE_T size;
};

template <typename Function>
Function realUxTheme(const char* name) {
    static HMODULE module = LoadLibraryW(L"uxtheme.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::wstring classOf(HWND window) {
    wchar_t name[257]{};
    GetClassNameW(window, name, 257);
    return name;
}

void WINAPI fakeGetNtVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
    *major = fake.major;
    *minor = fake.minor;
    *build = fake.build;
}

HANDLE WINAPI fakeOpenNcThemeData(HWND, LPCWSTR) {
    fake.calls.push_back("49()");
    return nullptr;
}

void WINAPI fakeRefreshImmersiveColorPolicy() { fake.calls.push_back("104()"); }

bool WINAPI fakeImmersiveColorHighContrast(bool) {
    fake.calls.push_back("106()");
    return fake.highContrast;
}

bool WINAPI fakeShouldAppsUseDarkMode() { return fake.appsUseDarkMode; }

bool WINAPI fakeAllowDarkModeForWindow(HWND window, bool allow) {
    if (allow) {
        fake.darkAllowed.insert(window);
    } else {
        fake.darkAllowed.erase(window);
    }
    return true;
}

// Ordinal 135 takes one small integer in both of its forms: TRUE (allow dark mode for the app)
// or a mode (1 = allow dark).
int WINAPI fakeOrdinal135(int value) {
    fake.calls.push_back("135(" + std::to_string(value & 0xFF) + ")");
    return 0;
}

bool WINAPI fakeIsDarkModeAllowedForWindow(HWND window) { return fake.darkAllowed.count(window) != 0; }

BOOL WINAPI fakeSetWindowCompositionAttribute(HWND window, CompositionAttributeData* data) {
    if (data->attribute != 26 || data->size != sizeof(BOOL)) {
        fake.compositionErrors.push_back("attribute " + std::to_string(data->attribute) + " size " +
                                         std::to_string(data->size));
        return FALSE;
    }
    fake.compositionDark.emplace_back(window, *static_cast<BOOL*>(data->data));
    return TRUE;
}

HRESULT WINAPI fakeSetWindowTheme(HWND window, LPCWSTR subApp, LPCWSTR idList) {
    fake.themeCalls.push_back(FakeWindows::ThemeCall{window, classOf(window), subApp != nullptr, subApp ? subApp : L"",
                                                     idList != nullptr, idList ? idList : L""});
    return realUxTheme<decltype(&SetWindowTheme)>("SetWindowTheme")(window, subApp, idList);
}

HTHEME WINAPI fakeOpenThemeData(HWND window, LPCWSTR classList) {
    if (wcscmp(classList, L"ItemsView") == 0) {
        return themeTag(itemsViewThemeTag);
    }
    if (wcscmp(classList, L"Header") == 0) {
        return themeTag(headerThemeTag);
    }
    return realUxTheme<decltype(&OpenThemeData)>("OpenThemeData")(window, classList);
}

HRESULT WINAPI fakeCloseThemeData(HTHEME theme) {
    if (theme == themeTag(itemsViewThemeTag) || theme == themeTag(headerThemeTag)) {
        return S_OK;
    }
    return realUxTheme<decltype(&CloseThemeData)>("CloseThemeData")(theme);
}

HRESULT WINAPI fakeGetThemeColor(HTHEME theme, int part, int state, int property, COLORREF* color) {
    if (theme == themeTag(itemsViewThemeTag)) {
        if (property == TMT_TEXTCOLOR) {
            *color = kFakeItemsViewText;
            return S_OK;
        }
        if (property == TMT_FILLCOLOR) {
            *color = kFakeItemsViewFill;
            return S_OK;
        }
        return E_FAIL;
    }
    if (theme == themeTag(headerThemeTag)) {
        if (part == HP_HEADERITEM && property == TMT_TEXTCOLOR) {
            *color = kFakeHeaderText;
            return S_OK;
        }
        return E_FAIL;
    }
    return realUxTheme<decltype(&GetThemeColor)>("GetThemeColor")(theme, part, state, property, color);
}

HRESULT WINAPI fakeEnableThemeDialogTexture(HWND window, DWORD flags) {
    fake.dialogTextures.emplace_back(window, flags);
    return realUxTheme<decltype(&EnableThemeDialogTexture)>("EnableThemeDialogTexture")(window, flags);
}

template <typename Function>
FARPROC asProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

HMODULE WINAPI fakeLoadLibrary(LPCWSTR name) {
    if (_wcsicmp(name, L"ntdll.dll") == 0) {
        return moduleTag(ntdllTag);
    }
    if (_wcsicmp(name, L"uxtheme.dll") == 0) {
        if (!fake.uxThemeLoads) {
            return nullptr;
        }
        ++fake.uxThemeLoadCount;
        return moduleTag(uxThemeTag);
    }
    if (_wcsicmp(name, L"user32.dll") == 0) {
        return moduleTag(user32Tag);
    }
    return LoadLibraryW(name);
}

BOOL WINAPI fakeFreeLibrary(HMODULE module) {
    if (module == moduleTag(uxThemeTag)) {
        ++fake.uxThemeFreeCount;
        return TRUE;
    }
    if (module == moduleTag(ntdllTag) || module == moduleTag(user32Tag)) {
        return TRUE;
    }
    return FreeLibrary(module);
}

FARPROC uxThemeOrdinal(WORD ordinal) {
    fake.ordinalsLookedUp.push_back(ordinal);
    if (fake.missingOrdinals.count(ordinal)) {
        return nullptr;
    }
    switch (ordinal) {
    case 49:
        return asProc(fakeOpenNcThemeData);
    case 104:
        return asProc(fakeRefreshImmersiveColorPolicy);
    case 106:
        return asProc(fakeImmersiveColorHighContrast);
    case 132:
        return asProc(fakeShouldAppsUseDarkMode);
    case 133:
        return asProc(fakeAllowDarkModeForWindow);
    case 135:
        return asProc(fakeOrdinal135);
    case 137:
        return asProc(fakeIsDarkModeAllowedForWindow);
    default:
        return nullptr;
    }
}

FARPROC WINAPI fakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (module == moduleTag(ntdllTag)) {
        if (!IS_INTRESOURCE(name) && strcmp(name, "RtlGetNtVersionNumbers") == 0 && fake.hasVersionFunction) {
            return asProc(fakeGetNtVersionNumbers);
        }
        return nullptr;
    }
    if (module == moduleTag(uxThemeTag)) {
        if (IS_INTRESOURCE(name)) {
            return uxThemeOrdinal(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
        }
        std::string function = name;
        if (function == "SetWindowTheme") {
            return asProc(fakeSetWindowTheme);
        }
        if (function == "OpenThemeData") {
            return asProc(fakeOpenThemeData);
        }
        if (function == "CloseThemeData") {
            return asProc(fakeCloseThemeData);
        }
        if (function == "GetThemeColor") {
            return asProc(fakeGetThemeColor);
        }
        if (function == "EnableThemeDialogTexture") {
            return asProc(fakeEnableThemeDialogTexture);
        }
        return nullptr;
    }
    if (module == moduleTag(user32Tag)) {
        if (!IS_INTRESOURCE(name) && strcmp(name, "SetWindowCompositionAttribute") == 0 && fake.hasCompositionAttribute) {
            return asProc(fakeSetWindowCompositionAttribute);
        }
        return nullptr;
    }
    return GetProcAddress(module, name);
}

BOOL WINAPI fakeSystemParametersInfo(UINT action, UINT param, PVOID data, UINT winIni) {
    if (action != SPI_GETHIGHCONTRAST) {
        return SystemParametersInfoW(action, param, data, winIni);
    }
    auto* highContrast = static_cast<HIGHCONTRASTW*>(data);
    // Windows refuses a structure of the wrong size.
    if (param != sizeof(HIGHCONTRASTW) || highContrast->cbSize != sizeof(HIGHCONTRASTW)) {
        return FALSE;
    }
    highContrast->dwFlags = fake.highContrast ? HCF_HIGHCONTRASTON : 0;
    highContrast->lpszDefaultScheme = nullptr;
    return TRUE;
}

}  // namespace

DarkModeSystem fakeSystem() {
    return DarkModeSystem{fakeLoadLibrary, fakeFreeLibrary, fakeGetProcAddress, fakeSystemParametersInfo};
}

void initWithFake() {
    darkModeSystem = fakeSystem();
    initDarkMode();
}

void restoreRealSystem() {
    darkModeSystem = realDarkModeSystem();
    darkSupported = false;
    darkEnabled = false;
}

void onFreshThread(const std::function<void()>& body) {
    std::thread worker(body);
    worker.join();
}

void pumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

COLORREF Picture::brightest(const RECT& area) const {
    COLORREF best = 0;
    int bestSum = -1;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            COLORREF color = at(x, y);
            int sum = GetRValue(color) + GetGValue(color) + GetBValue(color);
            if (sum > bestSum) {
                bestSum = sum;
                best = color;
            }
        }
    }
    return best;
}

bool Picture::save(const std::wstring& path) const {
    int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(rowBytes * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) {
        return false;
    }
    fwrite(&file, sizeof(file), 1, out);
    fwrite(&info, sizeof(info), 1, out);
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            COLORREF color = at(x, y);
            row[static_cast<size_t>(x) * 3] = GetBValue(color);
            row[static_cast<size_t>(x) * 3 + 1] = GetGValue(color);
            row[static_cast<size_t>(x) * 3 + 2] = GetRValue(color);
        }
        fwrite(row.data(), 1, row.size(), out);
    }
    return fclose(out) == 0;
}

Picture capture(HWND window, bool withFrame) {
    Picture picture;
    RECT rect{};
    if (withFrame) {
        GetWindowRect(window, &rect);
    } else {
        GetClientRect(window, &rect);
    }
    picture.width = rect.right - rect.left;
    picture.height = rect.bottom - rect.top;
    if (picture.width <= 0 || picture.height <= 0) {
        return picture;
    }
    HDC source = withFrame ? GetWindowDC(window) : GetDC(window);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        DWORD bgra = pixels[i];
        picture.pixels[i] = RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(window, source);
    return picture;
}

void keepShot(const Picture& picture, const wchar_t* name) {
    wchar_t folder[MAX_PATH]{};
    if (GetEnvironmentVariableW(L"BC_SHOT_FOLDER", folder, MAX_PATH) == 0) {
        return;
    }
    picture.save(std::wstring(folder) + L"\\" + name + L".bmp");
}

std::string colorText(COLORREF color) {
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

}  // namespace dark_test
