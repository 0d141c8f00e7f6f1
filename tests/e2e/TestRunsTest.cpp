// The real program's benchmark runs, driven from outside the way a user works it: pick a
// duration, press Start or a test button, watch the labels, press Stop, close the dialog.
#include "tests/e2e/Driver.h"
#include "tests/e2e/ProgramCopy.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using e2e::ProgramCopy;

constexpr int kStartButton = 6;
constexpr int kSequentialButton = 1028;
constexpr int k4kButton = 1029;
constexpr int kParallelButton = 1030;
constexpr int kAccessTimeButton = 1032;
constexpr int k1kButton = 1034;
constexpr int kDurationBox = 1033;
constexpr int kStartCheckBox = 1036;
constexpr int kStatusLine = 1019;
constexpr int kClockLabel = 42808;
constexpr int kReadRating = 32801;
constexpr int kWriteRating = 32802;
constexpr int kTotalRating = 32803;
constexpr int kParallelReadLabel = 32793;
// Read column, then write column: sequential, 4K, 1K, 64 x 10M, access time.
constexpr int kReadLabels[] = {32791, 32792, 32807, 32793, 32794};
constexpr int kWriteLabels[] = {32795, 32796, 32808, 32797, 32798};
constexpr int kLockedControls[] = {kSequentialButton, k4kButton, k1kButton, kParallelButton, kAccessTimeButton,
                                   kDurationBox};

constexpr DWORD kWaitMs = 30'000;

WideString text(HWND dialog, int id) { return ProgramCopy::controlText(dialog, id); }
bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
// The bottom toolbar: of the dialog's toolbars (the command bar is one too), the one that holds
// the thank-you button.
HWND bottomToolbar(HWND dialog) {
    for (HWND bar = FindWindowExW(dialog, nullptr, TOOLBARCLASSNAMEW, nullptr); bar;
         bar = FindWindowExW(dialog, bar, TOOLBARCLASSNAMEW, nullptr)) {
        for (const e2e::ToolbarButton& button : e2e::toolbarButtons(bar)) {
            if (button.command == 1013) {
                return bar;
            }
        }
    }
    return nullptr;
}

bool idle(HWND dialog) { return text(dialog, kStartButton) == L"Start " && enabled(dialog, kSequentialButton); }

using e2e::narrow;

// The figure of a label as the program writes it in English: digits, a point, exactly
// `decimals` digits, then `unit`. -1 when the text is not of that form.
double figure(const WideString& label, int decimals, const wchar_t* unit) {
    std::wstring text = label.c_str();
    std::wstring suffix = unit;
    if (text.size() <= suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return -1;
    }
    std::wstring number = text.substr(0, text.size() - suffix.size());
    size_t point = number.find(L'.');
    if (point == std::wstring::npos || point == 0 || number.size() - point - 1 != static_cast<size_t>(decimals)) {
        return -1;
    }
    for (size_t i = 0; i < number.size(); ++i) {
        if (i != point && (number[i] < L'0' || number[i] > L'9')) {
            return -1;
        }
    }
    return std::wcstod(number.c_str(), nullptr);
}

// The parallel test's labels while it runs: two groups of 0 to 3 pairs of dots, each followed by
// three spaces.
bool isBusyDots(const WideString& label) {
    std::wstring text = label.c_str();
    if (text.size() < 6 || text.compare(text.size() - 3, 3, L"   ") != 0) {
        return false;
    }
    for (wchar_t c : text) {
        if (c != L'.' && c != L' ') {
            return false;
        }
    }
    return true;
}

// Waits until `done` holds, polling every 25 ms; false after `timeoutMs`.
template <class Done>
bool waitUntil(Done done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(25);
    }
    return true;
}

// `wanted` appear in `seen` in this order (others may lie between).
bool inOrder(const std::vector<WideString>& seen, const std::vector<const wchar_t*>& wanted) {
    size_t next = 0;
    for (const WideString& status : seen) {
        if (next < wanted.size() && status == wanted[next]) {
            ++next;
        }
    }
    return next == wanted.size();
}

// The one full run of the suite: a Quick run takes over a minute.
TEST(TestRuns, QuickBenchmarkFromStartToEnd) {
    ProgramCopy program;
    program.settings.push_back({L"test_time_id", L"1"});
    ASSERT_TRUE(program.start()) << narrow(program.failure());
    HWND dialog = program.waitForDialog();
    ASSERT_NE(dialog, nullptr);

    // Quick, chosen without the box's notification, so only the start request can save it.
    SendDlgItemMessageW(dialog, kDurationBox, CB_SETCURSEL, 0, 0);
    WideString clockBefore = text(dialog, kClockLabel);
    DWORD start = GetTickCount();
    e2e::pressButton(dialog, kStartButton);

    std::vector<WideString> statuses;
    bool sawStop = false;
    bool lockChecked = false;
    bool sawBusyDots = false;
    bool ended = waitUntil(
        [&] {
            sawStop = sawStop || text(dialog, kStartButton) == L"Stop ";
            WideString status = text(dialog, kStatusLine);
            if (statuses.empty() || !(statuses.back() == status)) {
                statuses.push_back(status);
            }
            // In the middle of a 2.4 s pass, far from the run's start and end.
            if (!lockChecked && status == L"Sequential Read /// 1/4") {
                lockChecked = true;
                EXPECT_STREQ(text(dialog, kStartButton).c_str(), L"Stop ");
                for (int id : kLockedControls) {
                    EXPECT_FALSE(enabled(dialog, id)) << id;
                }
                EXPECT_TRUE(enabled(dialog, kStartButton));
                EXPECT_TRUE(enabled(dialog, kStartCheckBox));
            }
            sawBusyDots = sawBusyDots || isBusyDots(text(dialog, kParallelReadLabel));
            return sawStop && idle(dialog);
        },
        240'000);
    DWORD elapsed = GetTickCount() - start;
    ASSERT_TRUE(ended) << "the run did not end within 4 minutes";
    std::printf("Quick run: %lu ms\n", elapsed);

    EXPECT_TRUE(lockChecked) << "the first counted sequential pass was never seen";
    EXPECT_TRUE(inOrder(statuses, {L"Sequential Read /// 1/4", L"Sequential Read /// 4/4", L"Sequential Write 4/4",
                                   L"Random Read 4KB 4/4", L"Random Write 4KB 4/4", L"Random Read 1KB 4/4",
                                   L"Random Write 1KB 4/4", L"Random Read 64 x 10M", L"Random Write 64 x 10M",
                                   L"... Access time  "}));
    EXPECT_STREQ(text(dialog, kStatusLine).c_str(), L"");
    EXPECT_TRUE(sawBusyDots) << "the parallel test's label animates while it runs";

    for (int i = 0; i < 5; ++i) {
        const wchar_t* unit = i < 4 ? L" GB/s " : L" ns. ";
        WideString read = text(dialog, kReadLabels[i]);
        WideString write = text(dialog, kWriteLabels[i]);
        std::printf("row %d: read %s, write %s\n", i, narrow(read).c_str(), narrow(write).c_str());
        EXPECT_GT(figure(read, 2, unit), 0) << narrow(read);
        EXPECT_GT(figure(write, 2, unit), 0) << narrow(write);
    }
    // Access times of a single byte: well under a microsecond.
    EXPECT_LT(figure(text(dialog, kReadLabels[4]), 2, L" ns. "), 1000);
    for (int id : {kReadRating, kTotalRating, kWriteRating}) {
        std::printf("rating %d: %s\n", id, narrow(text(dialog, id)).c_str());
        EXPECT_GT(figure(text(dialog, id), 1, L""), 0) << narrow(text(dialog, id));
    }

    for (int id : kLockedControls) {
        EXPECT_TRUE(enabled(dialog, id)) << id;
    }
    // The clock and the comparison button follow the controls' return, from the run's worker.
    HWND toolbar = bottomToolbar(dialog);
    ASSERT_NE(toolbar, nullptr);
    std::vector<e2e::ToolbarButton> buttons;
    waitUntil(
        [&] {
            buttons = e2e::toolbarButtons(toolbar);
            return buttons.size() == 3;
        },
        kWaitMs);
    EXPECT_FALSE(text(dialog, kClockLabel) == clockBefore) << "the clock shows the run's end";
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(buttons[0].command, 1013);
    EXPECT_STREQ(buttons[0].text.c_str(), L"  ");
    EXPECT_EQ(buttons[1].command, 1022);
    EXPECT_EQ(buttons[2].command, 43102);
    EXPECT_STREQ(buttons[2].text.c_str(), L"Comparing the results on Quillmarsh");
    EXPECT_EQ(program.readSetting(L"test_time_id", -1), 0);

    e2e::closeWindow(dialog);
    DWORD code = 1;
    ASSERT_TRUE(program.app().waitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

// Presses Start again during each single test, twice over: the test ends at once with empty
// figures, and the second round leaves the process with the handles and GDI objects of the first.
// Then Esc during a run ends the program with 0.
TEST(TestRuns, StopEndsEachSingleTestAtOnceAndLeaksNothing) {
    ProgramCopy program;
    program.settings.push_back({L"test_time_id", L"0"});
    ASSERT_TRUE(program.start()) << narrow(program.failure());
    HWND dialog = program.waitForDialog();
    ASSERT_NE(dialog, nullptr);
    ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.app().processId()));
    ASSERT_TRUE(process.valid());

    struct Case {
        int button;
        const wchar_t* status;  // part of the status text once the test is under way
        int row;
        const wchar_t* empty;
        DWORD stopMs;  // from the press of Stop until Start is back
    };
    // A timed pass lasts 2.4 s: a stop noticed only at the end of the pass would take 2 s. The
    // parallel test's 64 threads finish their current 4 MiB copy first; in the first seconds of
    // the test, while its fresh 500 MiB are first touched, that takes seconds on a loaded machine.
    // Without a stop it would go on for half a minute.
    const Case cases[] = {
        {kSequentialButton, L"Sequential Read", 0, L"0.00 GB/s ", 1'500},
        {k4kButton, L"Random Read 4KB", 1, L"0.00 GB/s ", 1'500},
        {k1kButton, L"Random Read 1KB", 2, L"0.00 GB/s ", 1'500},
        {kParallelButton, L"Random Read 64 x 10M", 3, L"0.00 GB/s ", 8'000},
        {kAccessTimeButton, L"Access time", 4, L"------ ", 1'500},
    };
    int handlesAfterFirstRound = 0;
    int gdiAfterFirstRound = 0;
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.button);
            e2e::pressButton(dialog, c.button);
            ASSERT_TRUE(waitUntil(
                [&] { return text(dialog, kStatusLine).find(c.status) >= 0 && text(dialog, kStartButton) == L"Stop "; },
                kWaitMs))
                << narrow(text(dialog, kStatusLine));
            Sleep(150);  // inside the test
            DWORD pressed = GetTickCount();
            e2e::pressButton(dialog, kStartButton);
            ASSERT_TRUE(waitUntil([&] { return idle(dialog); }, kWaitMs));
            DWORD stopped = GetTickCount() - pressed;
            std::printf("stop of %d: %lu ms\n", c.button, stopped);
            EXPECT_LT(stopped, c.stopMs) << "the run ends at once";
            EXPECT_STREQ(text(dialog, kReadLabels[c.row]).c_str(), c.empty);
            EXPECT_STREQ(text(dialog, kWriteLabels[c.row]).c_str(), c.empty);
            EXPECT_STREQ(text(dialog, kStatusLine).c_str(), L"");
        }
        // The worker's handle is let go once its last message has been handled. The scanner bar
        // paints a frame every 20 ms with objects of its own that live only for the frame: the
        // least of a few looks leaves them out.
        Sleep(300);
        int handles = INT_MAX;
        int gdi = INT_MAX;
        for (int look = 0; look < 15; ++look) {
            handles = std::min(handles, e2e::processHandleCount(program.app().processId()));
            gdi = std::min(gdi, e2e::processGdiObjectCount(process.get()));
            Sleep(15);
        }
        ASSERT_GT(handles, 0);
        ASSERT_GT(gdi, 0);
        std::printf("round %d: %d handles, %d GDI objects\n", round + 1, handles, gdi);
        if (round == 0) {
            handlesAfterFirstRound = handles;
            gdiAfterFirstRound = gdi;
        } else {
            EXPECT_EQ(handles, handlesAfterFirstRound);
            EXPECT_EQ(gdi, gdiAfterFirstRound);
        }
    }

    // Esc while the sequential test runs: the run stops, then the program ends with 0.
    e2e::pressButton(dialog, kSequentialButton);
    ASSERT_TRUE(waitUntil([&] { return text(dialog, kStatusLine).find(L"Sequential Read") >= 0; }, kWaitMs));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    DWORD code = 1;
    ASSERT_TRUE(program.app().waitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
