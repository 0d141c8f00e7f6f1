// Starts the real Brindlecrest.exe and works it from outside: its hidden main window, its main
// dialog, the quit message another program may send, and the ways it ends.
#include "tests/e2e/Driver.h"

#include <intrin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr wchar_t kQuitMessageName[] = L"Brindlecrest____________Mu";

bool hypervisorBit() {
    int registers[4] = {};
    __cpuid(registers, 1);
    return (static_cast<unsigned>(registers[2]) >> 31) != 0;
}

// A copy of the program in a folder of its own, with a settings file beside it that picks
// English, so that no earlier run and no user setting decides what it shows.
class Program {
public:
    ~Program() {
        if (app_.running()) {
            app_.terminate();  // a failed test leaves nothing running
        }
        e2e::removeTree(folder_);
    }

    // Once seen on a heavily loaded machine, not reproduced since: one of the set-up steps failed
    // within milliseconds. The set-up is tried a second time in a fresh folder, and the first
    // failure is printed, so it stays visible without failing a test about something else.
    ::testing::AssertionResult start() {
        ::testing::AssertionResult first = startOnce();
        if (first) {
            return first;
        }
        std::fprintf(stderr, "start of the program failed once (%s); trying again\n", first.message());
        e2e::removeTree(folder_);
        Sleep(500);
        return startOnce();
    }

    // Says which step failed, with the system's error code, so a failure can be told apart.
    ::testing::AssertionResult startOnce() {
        folder_ = WideString::format(L"C:\\bc_e2e_start_%lu_%lu_%d", GetCurrentProcessId(), GetTickCount(), ++instances_);
        WideString exe = folder_ + L"\\Brindlecrest.exe";
        if (!CreateDirectoryW(folder_.c_str(), nullptr)) {
            return ::testing::AssertionFailure() << "CreateDirectory error " << GetLastError();
        }
        if (!WritePrivateProfileStringW(L"Program", L"lng", L"1", (folder_ + L"\\Brindlecrest.ini").c_str())) {
            return ::testing::AssertionFailure() << "WritePrivateProfileString error " << GetLastError();
        }
        if (!e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), exe)) {
            return ::testing::AssertionFailure() << "CopyFile error " << GetLastError();
        }
        if (!app_.start(exe)) {
            return ::testing::AssertionFailure() << "CreateProcess error " << GetLastError();
        }
        return ::testing::AssertionSuccess();
    }

    // The main dialog: the visible dialog that holds the information box.
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

    HWND hiddenWindow() const {
        for (HWND window : app_.topLevelWindows(false)) {
            if (e2e::windowClassName(window) == L"ti" && e2e::windowText(window) == L"Wakenhold") {
                return window;
            }
        }
        return nullptr;
    }

    int visibleDialogs() const {
        int count = 0;
        for (HWND window : app_.topLevelWindows(true)) {
            count += e2e::windowClassName(window) == L"#32770" ? 1 : 0;
        }
        return count;
    }

    e2e::AppProcess& app() { return app_; }

private:
    static inline int instances_ = 0;
    WideString folder_;
    e2e::AppProcess app_;
};

DWORD exitCode(e2e::AppProcess& app) {
    DWORD code = 0xFFFFFFFF;
    EXPECT_TRUE(app.waitForExit(kTimeoutMs, &code)) << "the program did not end";
    return code;
}

TEST(StartAndEnd, OpensTheMainDialogInEnglishBehindAHiddenWindow) {
    Program program;
    ASSERT_TRUE(program.start()) << GetLastError();
    HWND dialog = program.waitForDialog();
    ASSERT_NE(dialog, nullptr) << "no main dialog";

    RTL_OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    using RtlGetVersionFunction = LONG WINAPI(RTL_OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction*>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    rtlGetVersion(&version);
    WideString caption = WideString::format(L"Brindlecrest 1.33 - x64%ls - OS:%lu.%lu.%lu", hypervisorBit() ? L" V-PC" : L"",
                                            version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
    // Wine reports a workstation; a server would add " Server".
    EXPECT_EQ(e2e::windowText(dialog).find(caption.c_str()), 0) << e2e::windowText(dialog).c_str();

    struct Control {
        int id;
        const wchar_t* className;
        const wchar_t* text;  // null: not checked
    };
    const Control controls[] = {
        {32806, L"Edit", nullptr},          {1036, L"ComboBox", L"Never check the RAM for errors."},
        {1033, L"ComboBox", L"Short Test (approx. 2 minutes) "},
        {4032, L"Button", L""},             {32800, L"Button", L"Read"},
        {32799, L"Button", L"Write"},       {42808, L"Static", nullptr},
        {1028, L"Button", L"Sequential"},   {1029, L"Button", L"4K"},
        {1034, L"Button", L"1K"},           {1030, L"Button", L"64 X 10M"},
        {1032, L"Button", L"Access time "}, {32791, L"Static", L"0.00 GB"},
        {32792, L"Static", L"0.00 GB"},     {32807, L"Static", L"0.00 GB"},
        {32793, L"Static", L"0.00 GB"},     {32794, L"Static", L"----"},
        {32795, L"Static", L"0.00 GB"},     {32796, L"Static", L"0.00 GB"},
        {32808, L"Static", L"0.00 GB"},     {32797, L"Static", L"0.00 GB"},
        {32798, L"Static", L"----"},        {6, L"Button", L"Start "},
        {32804, L"Static", L"Brindlecrest 1.33"}, {8, L"Static", nullptr},
        {32805, L"Button", L"Benchmark "},  {32801, L"Static", L"000"},
        {32803, L"Static", L"000"},         {32802, L"Static", L"000"},
        {4036, L"Knight_Rider_2024", nullptr}, {1019, L"Static", L"... I'm ready"},
        {4035, L"Button", L""},             {1013, L"Static", nullptr},
        {43102, L"Button", L"ID_COMPARE"},  {1031, L"ComboBoxEx32", nullptr},
        {7, L"Button", nullptr},            {1035, L"Button", nullptr},
        {5, L"Static", nullptr},
    };
    for (const Control& expected : controls) {
        SCOPED_TRACE(expected.id);
        HWND control = e2e::control(dialog, expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(e2e::windowClassName(control).c_str(), expected.className);
        if (expected.text) {
            // WM_GETTEXT reaches into the other process; combo boxes answer with their selection.
            wchar_t text[256]{};
            SendMessageW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
            EXPECT_STREQ(text, expected.text);
        }
    }
    EXPECT_FALSE(e2e::windowText(e2e::control(dialog, 42808)).isEmpty()) << "the clock shows the start";
    EXPECT_NE(FindWindowExW(dialog, nullptr, L"ToolbarWindow32", nullptr), nullptr) << "bottom toolbar";

    HWND hidden = program.hiddenWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    const LONG style = 0x00CF0002;
    EXPECT_EQ(GetWindowLongW(hidden, GWL_STYLE) & style, style);
    LONG exStyle = GetWindowLongW(hidden, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    RECT rect{};
    GetWindowRect(hidden, &rect);
    EXPECT_EQ(rect.left, GetSystemMetrics(SM_XVIRTUALSCREEN) - 120);
    EXPECT_EQ(rect.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    // 100 x 100, unless the system's smallest size for a window with a thick frame is larger.
    EXPECT_EQ(rect.right - rect.left, std::max(100, GetSystemMetrics(SM_CXMINTRACK)));
    EXPECT_EQ(rect.bottom - rect.top, std::max(100, GetSystemMetrics(SM_CYMINTRACK)));

    e2e::closeWindow(dialog);
    EXPECT_EQ(exitCode(program.app()), 0u);
}

TEST(StartAndEnd, QuitMessageEndsItOnlyWithItsOwnNumber) {
    Program program;
    ASSERT_TRUE(program.start());
    ASSERT_NE(program.waitForDialog(), nullptr);
    HWND hidden = program.hiddenWindow();
    ASSERT_NE(hidden, nullptr);
    UINT quitMessage = RegisterWindowMessageW(kQuitMessageName);
    ASSERT_NE(quitMessage, 0u);

    // The reply tells the sender that this is an instance.
    EXPECT_EQ(SendMessageW(hidden, quitMessage, 0, 0), static_cast<LRESULT>(quitMessage));
    EXPECT_EQ(SendMessageW(hidden, quitMessage, quitMessage, 0), static_cast<LRESULT>(quitMessage));
    DWORD code = 0;
    EXPECT_FALSE(program.app().waitForExit(500, &code)) << "other parameters leave it running";

    EXPECT_EQ(SendMessageW(hidden, quitMessage, quitMessage, quitMessage), static_cast<LRESULT>(quitMessage));
    EXPECT_EQ(exitCode(program.app()), 17767u);
}

TEST(StartAndEnd, HiddenWindowIgnoresCloseAndASecondOpenRequest) {
    Program program;
    ASSERT_TRUE(program.start());
    HWND dialog = program.waitForDialog();
    ASSERT_NE(dialog, nullptr);
    HWND hidden = program.hiddenWindow();
    ASSERT_NE(hidden, nullptr);

    EXPECT_EQ(SendMessageW(hidden, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(hidden, WM_COMMAND, 104, 0), 1) << "the dialog is already open";
    DWORD code = 0;
    EXPECT_FALSE(program.app().waitForExit(500, &code));
    EXPECT_TRUE(IsWindow(hidden));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(program.visibleDialogs(), 1);

    // Esc while no test runs.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(exitCode(program.app()), 0u);
}

TEST(StartAndEnd, DestroyingTheHiddenWindowEndsWithZero) {
    Program program;
    ASSERT_TRUE(program.start());
    ASSERT_NE(program.waitForDialog(), nullptr);
    HWND hidden = program.hiddenWindow();
    ASSERT_NE(hidden, nullptr);
    PostMessageW(hidden, WM_COMMAND, 105, 0);
    EXPECT_EQ(exitCode(program.app()), 0u);
}

TEST(StartAndEnd, ExitCommandEndsWithZero) {
    Program program;
    ASSERT_TRUE(program.start());
    HWND dialog = program.waitForDialog();
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, 5, 0);
    EXPECT_EQ(exitCode(program.app()), 0u);
}

TEST(StartAndEnd, TwoInstancesRunSideBySide) {
    Program first;
    Program second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    HWND a = first.waitForDialog();
    HWND b = second.waitForDialog();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);

    e2e::closeWindow(a);
    EXPECT_EQ(exitCode(first.app()), 0u);
    EXPECT_TRUE(second.app().running());
    EXPECT_TRUE(IsWindowVisible(b));
    e2e::closeWindow(b);
    EXPECT_EQ(exitCode(second.app()), 0u);
}

}  // namespace
