#include "tests/locale/UserLocaleCheck.h"

#include <windows.h>

#include <cstring>

namespace locale_check {
namespace {

struct ExpectedLocale {
    const char* lcAll;
    LCID lcid;
    const wchar_t* decimal;
    const wchar_t* thousand;
};

// The locales the test runs use.
constexpr ExpectedLocale kExpected[] = {
    {"en_US.UTF-8", 0x0409, L".", L","},
    {"de_DE.UTF-8", 0x0407, L",", L"."},
    {"ja_JP.UTF-8", 0x0411, L".", L","},
};

WideString localeItem(LCTYPE item) {
    wchar_t buffer[32] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 32)) {
        return L"(unreadable)";
    }
    return buffer;
}

void bringUpTheDesktop() {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window) {
        DestroyWindow(window);
    }
}

}  // namespace

WideString userLocaleProblem(const char* lcAll) {
    if (!lcAll) {
        return {};
    }
    const ExpectedLocale* expected = nullptr;
    for (const ExpectedLocale& candidate : kExpected) {
        if (std::strcmp(candidate.lcAll, lcAll) == 0) {
            expected = &candidate;
        }
    }
    if (!expected) {
        return {};
    }
    bringUpTheDesktop();
    const LCID lcid = GetUserDefaultLCID();
    const WideString decimal = localeItem(LOCALE_SDECIMAL);
    const WideString thousand = localeItem(LOCALE_STHOUSAND);
    if (lcid == expected->lcid && decimal == expected->decimal && thousand == expected->thousand) {
        return {};
    }
    return WideString::format(
        L"The user locale does not match LC_ALL=%ls: locale id 0x%04lX (expected 0x%04lX), decimal separator '%ls' "
        L"(expected '%ls'), digit grouping symbol '%ls' (expected '%ls'). Wine keeps the number format in "
        L"HKCU\\Control Panel\\International, which each Wine process rewrites at its start for its own locale: "
        L"every process of the Wine session, its services included, must run with the same LC_ALL "
        L"(scripts/wine-session.sh starts one session per locale).",
        WideString(lcAll).c_str(), static_cast<unsigned long>(lcid), static_cast<unsigned long>(expected->lcid),
        decimal.c_str(), expected->decimal, thousand.c_str(), expected->thousand);
}

}  // namespace locale_check
