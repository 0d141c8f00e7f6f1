// The web pages the real program opens, caught by a recording stand-in for the browser, in English
// and in German, in a time zone of Europe and in one without daylight-saving rules; the
// information box; and the restart that hands over to a new instance.
//
// Wine takes the time zone from the Unix environment (TZ), which a Windows process cannot change
// for its children: ctest runs the European case with TZ=Europe/Berlin and the others with TZ=UTC.
#include "tests/e2e/BrowserRecorder.h"
#include "tests/e2e/Driver.h"
#include "tests/e2e/ProgramCopy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using e2e::ProgramCopy;

constexpr int kDonateCommand = 1;  // the dialog's OK command: Enter, "&To-Tray"
constexpr int kDonateBarCommand = 43111;
constexpr int kThanksCommand = 1013;
constexpr int kFaqCommand = 32790;
constexpr int kHomePageCommand = 43103;
constexpr int kInfoCommand = 32776;
constexpr int kRestartCommand = 43114;
constexpr DWORD kWaitMs = 30'000;

using e2e::narrow;

// The launcher hands the address on with its spaces encoded.
std::string asLaunched(const wchar_t* address) {
    std::string out;
    for (const wchar_t* p = address; *p; ++p) {
        out += *p == L' ' ? std::string("%20") : std::string(1, static_cast<char>(*p));
    }
    return out;
}

struct Page {
    int command;
    const wchar_t* address;
};

class WebPages : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_pages");
        ASSERT_FALSE(folder_.isEmpty());
        ASSERT_TRUE(recorder_.install(folder_ + L"\\browser.log")) << "not under Wine, or the script is missing";
    }
    void TearDown() override {
        recorder_.uninstall();
        e2e::removeTree(folder_);
    }

    // Starts the program in the language, opens each page in turn and checks the address the
    // browser received. Leaves the program running.
    void openPages(ProgramCopy& program, const wchar_t* language, const std::vector<Page>& pages, HWND& dialog) {
        program.settings = {{L"lng", language}};
        ASSERT_TRUE(program.start()) << narrow(program.failure());
        dialog = program.waitForDialog();
        ASSERT_NE(dialog, nullptr);
        size_t before = recorder_.calls().size();
        for (const Page& page : pages) {
            SCOPED_TRACE(page.command);
            // One at a time: two launchers started together may record in either order.
            PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(page.command), 0);
            auto calls = recorder_.waitForCalls(++before, 10'000);
            ASSERT_EQ(calls.size(), before) << "no browser was started";
            EXPECT_EQ(narrow(calls.back().back()), asLaunched(page.address));
        }
    }

    WideString folder_;
    e2e::BrowserRecorder recorder_;
};

// The zone this process runs in, which the program inherits.
bool inZone(DWORD answer, LONG bias) {
    TIME_ZONE_INFORMATION zone{};
    return GetTimeZoneInformation(&zone) == answer && zone.Bias == bias;
}

TEST_F(WebPages, EnglishInAEuropeanZoneWithTheInformationBox) {
    // Central European time, whether summer or winter.
    ASSERT_TRUE(inZone(TIME_ZONE_ID_STANDARD, -60) || inZone(TIME_ZONE_ID_DAYLIGHT, -60)) << "run with TZ=Europe/Berlin";
    ProgramCopy program;
    HWND dialog = nullptr;
    openPages(program, L"1",
              {{kDonateCommand,
                L"https://www.brindlecrest.example/?paypal&item_name=Freeware Quillmarsh Brindlecrest&Program=Brindlecrest"},
               {kDonateBarCommand,
                L"https://www.brindlecrest.example/?paypal&item_name=Freeware Quillmarsh Brindlecrest&Program=Brindlecrest"},
               {kThanksCommand, L"https://www.brindlecrest.example/thanks.html"},
               {kFaqCommand, L"https://eu.brindlecrest.example/?seite=faq-Brindlecrest&faq=0"},
               {kHomePageCommand, L"https://eu.brindlecrest.example/?seite=Freeware/Brindlecrest"}},
              dialog);
    ASSERT_FALSE(HasFatalFailure());

    // The information box: owned by the dialog, caption "Info", one line per test.
    PostMessageW(dialog, WM_COMMAND, kInfoCommand, 0);
    HWND box = program.app().waitForWindow(L"#32770", L"Info", kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
    WideString shown;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (e2e::windowClassName(child).compareNoCase(L"Static") == 0) {
            shown += e2e::windowText(child);
        }
    }
    EXPECT_EQ(narrow(shown),
              "Sequentiall: Write and Read linear eg. continuous.\n"
              "4K: Random read and write of 4 KB blocks.\n"
              "512K: Random read and write 512 KB blocks.\n"
              "64 x 10M: Random read and write 64 x 10 MB blocks at the same time (parallel run).\n"
              "Access Time: The actually measured access time when reading and writing 1 Byte.\n");
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    e2e::closeWindow(dialog);
    DWORD code = 1;
    ASSERT_TRUE(program.app().waitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

// A zone of bias 0 is near enough to Europe, but without daylight-saving rules it counts as none.
TEST_F(WebPages, EnglishInAZoneWithoutDaylightSavingRules) {
    ASSERT_TRUE(inZone(TIME_ZONE_ID_UNKNOWN, 0)) << "run with TZ=UTC";
    ProgramCopy program;
    HWND dialog = nullptr;
    openPages(program, L"1",
              {{kFaqCommand, L"https://www.brindlecrest.example/?seite=faq-Brindlecrest&faq=0"},
               {kHomePageCommand, L"https://www.brindlecrest.example/?seite=Freeware/Brindlecrest"}},
              dialog);
    ASSERT_FALSE(HasFatalFailure());
    e2e::closeWindow(dialog);
    DWORD code = 1;
    ASSERT_TRUE(program.app().waitForExit(kWaitMs, &code));
}

// German whatever the zone; then the restart: the new instance takes over and this one ends with
// 65278.
TEST_F(WebPages, GermanPagesAndTheRestart) {
    ProgramCopy program;
    HWND dialog = nullptr;
    openPages(program, L"0",
              {{kDonateCommand,
                L"https://de.brindlecrest.example/?paypal&item_name=Freeware Quillmarsh Brindlecrest&Program=Brindlecrest"},
               {kThanksCommand, L"https://de.brindlecrest.example/danke.html"},
               {kFaqCommand, L"https://de.brindlecrest.example/?seite=faq-Brindlecrest&faq=0"},
               {kHomePageCommand, L"https://de.brindlecrest.example/?seite=Freeware/Brindlecrest"}},
              dialog);
    ASSERT_FALSE(HasFatalFailure());

    DWORD oldId = program.app().processId();
    PostMessageW(dialog, WM_COMMAND, kRestartCommand, 0);
    DWORD code = 0;
    ASSERT_TRUE(program.app().waitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 65278u);

    // The new instance runs the same file.
    e2e::AppProcess successor;
    struct EndOnFailure {
        e2e::AppProcess& app;
        ~EndOnFailure() {
            if (app.running()) {
                app.terminate();
            }
        }
    } endOnFailure{successor};
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs && !successor.running()) {
        for (DWORD id : e2e::findProcesses(L"Brindlecrest.exe")) {
            ScopedHandle candidate(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
            wchar_t path[MAX_PATH * 2]{};
            DWORD length = MAX_PATH * 2;
            if (id != oldId && candidate && QueryFullProcessImageNameW(candidate.get(), 0, path, &length) &&
                program.exePath().compareNoCase(path) == 0) {
                successor.attach(id);
            }
        }
        Sleep(100);
    }
    ASSERT_TRUE(successor.running()) << "no new instance started";
    HWND newDialog = nullptr;
    start = GetTickCount();
    while (!newDialog && GetTickCount() - start < kWaitMs) {
        for (HWND window : successor.topLevelWindows(true)) {
            if (e2e::windowClassName(window) == L"#32770" && GetDlgItem(window, 32806)) {
                newDialog = window;
            }
        }
        Sleep(50);
    }
    ASSERT_NE(newDialog, nullptr);
    e2e::closeWindow(newDialog);
    ASSERT_TRUE(successor.waitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
