// The information box's text for scripted module tables (no WMI), in a real multi-line edit with
// the dialog's control id, with the English texts of the archive inside Brindlecrest.exe.
#include "app/DialogIds.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "sysinfo/InfoBox.h"
#include "tests/e2e/Driver.h"

#include <psapi.h>

#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kTwoModulesWithSerials[] =
    L"2. 0/3200 / 8.0 GB    Maker A\tPN-8G\tSNR: S-0001\tDIMM 0\t\r\n"
    L"1. 2933/3200 / 0.0 GB    Maker B\tPN-X\tSNR: S-0002\tDIMM 1\t\r\n";
constexpr wchar_t kTwoModulesHidden[] =
    L"2. 0/3200 / 8.0 GB    Maker A\tPN-8G\tDIMM 0\t\r\n"
    L"1. 2933/3200 / 0.0 GB    Maker B\tPN-X\tDIMM 1\t\r\n";

// Two modules in the order WMI would return them: the first with 8 GiB and no configured clock
// speed (WMI's null), the second with an empty Capacity.
void twoModules(ModuleTable& table) {
    table.rows[0] = ModuleRow{};
    table.rows[0].textValues = {{L"Manufacturer", L"Maker A"}, {L"PartNumber", L"PN-8G"}, {L"SerialNumber", L"S-0001"},
                                {L"DeviceLocator", L"DIMM 0"}, {L"Capacity", L"8589934592"}};
    table.rows[0].numberValues = {{L"Speed", 3200}};
    table.rows[1] = ModuleRow{};
    table.rows[1].textValues = {{L"Manufacturer", L"Maker B"}, {L"PartNumber", L"PN-X"}, {L"SerialNumber", L"S-0002"},
                                {L"DeviceLocator", L"DIMM 1"}, {L"Capacity", L""}};
    table.rows[1].numberValues = {{L"ConfiguredClockSpeed", 2933}, {L"Speed", 3200}};
    table.moduleCount = 2;
}

uint64_t totalBytesNow() {
    PERFORMANCE_INFORMATION info{};
    info.cb = sizeof(info);
    GetPerformanceInfo(&info, sizeof(info));
    return static_cast<uint64_t>(info.PhysicalTotal) * info.PageSize;
}

class InfoBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str())); }
    void SetUp() override {
        currentLanguage = kLanguageEnglish;
        hideSerialNumber = 0;
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 580, 100, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kInfoBox)), GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(GetDlgItem(window_, ids::kInfoBox), nullptr);
    }
    void TearDown() override {
        DestroyWindow(window_);
        moduleSource = queryModules;
        hideSerialNumber = 0;
    }
    WideString refreshedText(ModuleSource source) {
        moduleSource = source;
        refreshInfoBox(window_);
        return e2e::windowText(GetDlgItem(window_, ids::kInfoBox));
    }
    HWND window_ = nullptr;
};

TEST_F(InfoBox, TwoModulesNumberedDownwardThenTheUsageLine) {
    lastTotalBytes = 0;
    WideString text = refreshedText(twoModules);
    WideString start = WideString(kTwoModulesWithSerials) + L"\nFree ";
    EXPECT_EQ(text.left(start.length()), start);
    EXPECT_NE(text.find(L" GB of "), WideString::npos);
    EXPECT_EQ(text.right(5), L" GB\n\n");
    // The figures the results record will report are those of this refresh.
    EXPECT_EQ(lastTotalBytes, totalBytesNow());
    EXPECT_GT(lastAvailableBytes, 0u);
    EXPECT_LE(lastAvailableBytes, lastTotalBytes);
}

TEST_F(InfoBox, HiddenSerialNumbersLeaveNoSnrAnywhere) {
    hideSerialNumber = 1;
    WideString text = refreshedText(twoModules);
    EXPECT_EQ(text.find(L"SNR:"), WideString::npos);
    EXPECT_EQ(text.left(static_cast<int>(wcslen(kTwoModulesHidden))), kTwoModulesHidden);
}

TEST_F(InfoBox, WithoutMemoryFiguresTheUsageLineIsLeftOut) {
    EXPECT_EQ(infoBoxText(kTwoModulesHidden, std::nullopt), kTwoModulesHidden);
}

}  // namespace
