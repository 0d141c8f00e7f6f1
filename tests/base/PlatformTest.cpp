// The suite runs on Windows or on Wine configured as Windows 10; these checks ask the system itself.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

TEST(Platform, ReportsWindows10OrLater) {
    auto rtlGetVersion =
        reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(rtlGetVersion(&info), 0);
    EXPECT_GE(info.dwMajorVersion, 10u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
}

TEST(Platform, RunsInsideWineWhenTheWrapperSaysSo) {
    // The Wine wrapper of the cross build marks its processes; on real Windows this check is skipped.
    const char* marker = std::getenv("BRINDLECREST_UNDER_WINE");
    if (!marker) {
        GTEST_SKIP() << "not started by the Wine wrapper";
    }
    using WineGetVersionFn = const char*(CDECL*)();
    auto wineGetVersion = reinterpret_cast<WineGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    ASSERT_NE(wineGetVersion, nullptr) << "ntdll has no wine_get_version: this is not Wine";
    EXPECT_NE(wineGetVersion()[0], '\0');

    wchar_t windowsFolder[MAX_PATH]{};
    ASSERT_GT(GetWindowsDirectoryW(windowsFolder, MAX_PATH), 0u);
    EXPECT_EQ(CompareStringOrdinal(windowsFolder, -1, L"C:\\windows", -1, TRUE), CSTR_EQUAL);
}

TEST(Platform, GivesPhysicalMemoryFigures) {
    PERFORMANCE_INFORMATION info{};
    info.cb = sizeof(info);
    ASSERT_TRUE(GetPerformanceInfo(&info, sizeof(info)));
    unsigned long long total = static_cast<unsigned long long>(info.PhysicalTotal) * info.PageSize;
    unsigned long long available = static_cast<unsigned long long>(info.PhysicalAvailable) * info.PageSize;
    EXPECT_GE(total, 1ull << 30);
    EXPECT_LE(available, total);
    EXPECT_EQ(info.PageSize, 4096u);
}

}  // namespace
