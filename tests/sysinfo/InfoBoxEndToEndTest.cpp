// The real Brindlecrest.exe under Wine: its information box shows the modules WMI reports and the
// memory GetPerformanceInfo reports, and command 43106 hides and shows the serial numbers.
#include "sysinfo/WmiQuery.h"
#include "tests/e2e/Driver.h"
#include "tests/sysinfo/PrintWideString.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr double kBytesPerGb = 1073741824.0;
// Both processes round to two decimals; free memory moves while other programs run, so a figure
// taken just before and just after the program's own measurement brackets it only this closely.
constexpr double kRoundingGb = 0.006;
constexpr double kBracketSlackGb = 0.02;
// The first refresh may come before the test's first figure: compared more loosely.
constexpr double kStartSlackGb = 0.5;

struct Memory {
    double freeGb;
    double totalGb;
};

Memory memoryNow() {
    PERFORMANCE_INFORMATION info{};
    info.cb = sizeof(info);
    GetPerformanceInfo(&info, sizeof(info));
    return {static_cast<double>(info.PhysicalAvailable) * static_cast<double>(info.PageSize) / kBytesPerGb,
            static_cast<double>(info.PhysicalTotal) * static_cast<double>(info.PageSize) / kBytesPerGb};
}

// The text of a control of the program's window: WM_GETTEXT crosses the process boundary, which
// GetWindowText does not do for an edit control.
WideString boxText(HWND dialog) {
    HWND box = GetDlgItem(dialog, 32806);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length) || length == 0) {
        return WideString();
    }
    WideString text;
    DWORD_PTR got = 0;
    SendMessageTimeoutW(box, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.writableBuffer(static_cast<int>(length))),
                        SMTO_ABORTIFHUNG, kTimeoutMs, &got);
    text.releaseBuffer(static_cast<int>(got));
    return text;
}

// The box split where the module lines end: "lines\r\n" + "\n" + usage + "\n\n".
struct Box {
    WideString moduleLines;
    WideString usage;
};

Box splitBox(const WideString& text) {
    Box box;
    int end = text.find(L"\r\n\n");
    if (end == WideString::npos || text.right(2) != L"\n\n") {
        ADD_FAILURE() << "not a box text: " << text.c_str();
        return box;
    }
    box.moduleLines = text.left(end + 2);
    box.usage = text.mid(end + 3, text.length() - end - 5);
    return box;
}

int countOf(const WideString& text, const wchar_t* piece) {
    int count = 0;
    for (int at = text.find(piece); at != WideString::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// "Free x.xx GB of y.yy GB" against figures taken before and after the program measured.
void expectUsage(const WideString& usage, const Memory& before, const Memory& after, double slackGb) {
    double freeGb = -1;
    double totalGb = -1;
    ASSERT_EQ(swscanf(usage.c_str(), L"Free %lf GB of %lf GB", &freeGb, &totalGb), 2) << usage.c_str();
    EXPECT_STREQ(usage.c_str(), WideString::format(L"Free %.2f GB of %.2f GB", freeGb, totalGb).c_str());
    EXPECT_NEAR(totalGb, after.totalGb, kRoundingGb);
    EXPECT_GE(freeGb, std::fmin(before.freeGb, after.freeGb) - slackGb) << usage.c_str();
    EXPECT_LE(freeGb, std::fmax(before.freeGb, after.freeGb) + slackGb) << usage.c_str();
}

class InfoBoxEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // Outside the temporary folder, with a settings file beside the exe: the program keeps
        // its settings there, in English.
        folder_ = WideString::format(L"C:\\bc_e2e_info_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        settings_ = folder_ + L"\\Brindlecrest.ini";
        ASSERT_TRUE(WritePrivateProfileStringW(L"Program", L"lng", L"1", settings_.c_str()));
        ASSERT_TRUE(e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), folder_ + L"\\Brindlecrest.exe"));
        ASSERT_TRUE(app_.start(folder_ + L"\\Brindlecrest.exe"));
    }
    void TearDown() override {
        if (app_.running()) {
            app_.terminate();
        }
        e2e::removeTree(folder_);
    }
    HWND waitForDialog() {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kTimeoutMs && app_.running()) {
            for (HWND window : app_.topLevelWindows(true)) {
                if (e2e::windowClassName(window) == L"#32770" && GetDlgItem(window, 32806)) {
                    return window;
                }
            }
            Sleep(50);
        }
        return nullptr;
    }
    WideString waitForBoxText(HWND dialog) {
        DWORD start = GetTickCount();
        WideString text;
        while (GetTickCount() - start < kTimeoutMs && (text = boxText(dialog)).isEmpty()) {
            Sleep(50);
        }
        return text;
    }
    WideString setting(const wchar_t* key) {
        wchar_t value[32]{};
        GetPrivateProfileStringW(L"Program", key, L"<absent>", value, 32, settings_.c_str());
        return value;
    }

    WideString folder_;
    WideString settings_;
    e2e::AppProcess app_;
};

TEST_F(InfoBoxEndToEnd, ShowsModulesAndMemoryAndHidesSerialNumbersOnCommand) {
    HWND dialog = waitForDialog();
    ASSERT_NE(dialog, nullptr);
    Memory before = memoryNow();
    WideString first = waitForBoxText(dialog);
    Memory after = memoryNow();
    Box shown = splitBox(first);

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WmiQuery modules(L"Win32_PhysicalMemory");
    modules.run();
    ASSERT_GT(modules.rowCount, 0);
    EXPECT_EQ(countOf(shown.moduleLines, L"\r\n"), modules.rowCount);
    EXPECT_STREQ(shown.moduleLines.left(3).c_str(), WideString::format(L"%d. ", modules.rowCount).c_str());
    EXPECT_EQ(countOf(shown.moduleLines, L" GB    "), modules.rowCount);
    EXPECT_EQ(countOf(shown.moduleLines, L"\tSNR: "), modules.rowCount);
    expectUsage(shown.usage, before, after, kStartSlackGb);

    // The command as the menu sends it; the refresh is done when SendMessage returns.
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(43106, 0), 0);
    EXPECT_STREQ(setting(L"no_vol_label").c_str(), L"1");
    Box hidden = splitBox(boxText(dialog));
    EXPECT_EQ(hidden.moduleLines.find(L"SNR:"), WideString::npos) << hidden.moduleLines.c_str();
    EXPECT_EQ(countOf(hidden.moduleLines, L"\r\n"), modules.rowCount);

    before = memoryNow();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(43106, 0), 0);
    after = memoryNow();
    EXPECT_STREQ(setting(L"no_vol_label").c_str(), L"0");
    Box again = splitBox(boxText(dialog));
    EXPECT_STREQ(again.moduleLines.c_str(), shown.moduleLines.c_str());
    // Measured anew by this refresh, between the two figures taken around it.
    expectUsage(again.usage, before, after, kBracketSlackGb);

    e2e::closeWindow(dialog);
    DWORD code = 1;
    ASSERT_TRUE(app_.waitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
