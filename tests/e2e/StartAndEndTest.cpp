// Starts the real Brindlecrest.exe and ends it the way a user does.
#include "tests/e2e/Driver.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;

TEST(StartAndEnd, ShowsItsWindowAndEndsWithCodeZeroWhenClosed) {
    e2e::AppProcess app;
    ASSERT_TRUE(app.start(e2e::besideThisExe(L"Brindlecrest.exe"))) << "CreateProcess failed: " << GetLastError();

    HWND window = app.waitForWindow(L"Brindlecrest_Window", nullptr, kWindowTimeoutMs);
    ASSERT_NE(window, nullptr) << "no window appeared";
    EXPECT_STREQ(e2e::windowText(window).c_str(), L"Brindlecrest");

    // It stays until it is closed.
    DWORD code = 0;
    EXPECT_FALSE(app.waitForExit(300, &code));

    e2e::closeWindow(window);
    ASSERT_TRUE(app.waitForExit(kWindowTimeoutMs, &code)) << "the program did not end after WM_CLOSE";
    EXPECT_EQ(code, 0u);
}

TEST(StartAndEnd, TwoInstancesRunSideBySide) {
    e2e::AppProcess first;
    e2e::AppProcess second;
    ASSERT_TRUE(first.start(e2e::besideThisExe(L"Brindlecrest.exe")));
    ASSERT_TRUE(second.start(e2e::besideThisExe(L"Brindlecrest.exe")));
    HWND a = first.waitForWindow(L"Brindlecrest_Window", nullptr, kWindowTimeoutMs);
    HWND b = second.waitForWindow(L"Brindlecrest_Window", nullptr, kWindowTimeoutMs);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(e2e::findProcesses(L"Brindlecrest.exe").size() >= 2, true);

    DWORD code = 1;
    e2e::closeWindow(a);
    ASSERT_TRUE(first.waitForExit(kWindowTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(second.running());
    e2e::closeWindow(b);
    ASSERT_TRUE(second.waitForExit(kWindowTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
