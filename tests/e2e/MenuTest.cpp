// The menus of the real Brindlecrest.exe, worked from outside the way a user works them: keys sent
// to its window, and what its command bar, its open menus and its boxes show read back from the
// windows and from the screen.
#include "tests/e2e/Driver.h"
#include "tests/e2e/ScreenImage.h"
#include "tests/e2e/ToolStandIns.h"
#include "ui/OwnerDrawnMenu.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kMenuButton = 40000;  // the command bar's button of top-level menu i is 40000 + i
constexpr int kSequentialButton = 1028;
constexpr int kStartButton = 6;

// A copy of the program in a folder of its own; English unless `portable` is false, in which case
// no settings file lies beside it and it uses the per-user one.
class Program {
public:
    ~Program() {
        if (app_.running()) {
            app_.terminate();
        }
        e2e::removeTree(folder_);
    }

    ::testing::AssertionResult start(bool portable = true) {
        folder_ = WideString::format(L"C:\\bc_e2e_menu_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        if (!CreateDirectoryW(folder_.c_str(), nullptr)) {
            return ::testing::AssertionFailure() << "CreateDirectory error " << GetLastError();
        }
        if (portable && !WritePrivateProfileStringW(L"Program", L"lng", L"1", (folder_ + L"\\Brindlecrest.ini").c_str())) {
            return ::testing::AssertionFailure() << "WritePrivateProfileString error " << GetLastError();
        }
        const WideString exe = folder_ + L"\\Brindlecrest.exe";
        if (!e2e::copyFile(e2e::besideThisExe(L"Brindlecrest.exe"), exe)) {
            return ::testing::AssertionFailure() << "CopyFile error " << GetLastError();
        }
        if (!app_.start(exe)) {
            return ::testing::AssertionFailure() << "CreateProcess error " << GetLastError();
        }
        dialog_ = waitFor([this]() -> HWND {
            for (HWND window : app_.topLevelWindows(true)) {
                if (e2e::windowClassName(window) == L"#32770" && GetDlgItem(window, 32806)) {
                    return window;
                }
            }
            return nullptr;
        });
        if (!dialog_) {
            return ::testing::AssertionFailure() << "no main dialog";
        }
        // The command bar is the dialog's toolbar that holds the right-hand bar.
        for (HWND child = FindWindowExW(dialog_, nullptr, TOOLBARCLASSNAMEW, nullptr); child;
             child = FindWindowExW(dialog_, child, TOOLBARCLASSNAMEW, nullptr)) {
            if (FindWindowExW(child, nullptr, TOOLBARCLASSNAMEW, nullptr)) {
                commandBar_ = child;
            }
        }
        if (!commandBar_) {
            return ::testing::AssertionFailure() << "no command bar";
        }
        SetForegroundWindow(dialog_);
        // Under Wine a menu that opens beneath the resting mouse pointer selects the item there.
        // The dialog goes to the screen's top-left corner, where its menus open far from the
        // screen's middle (where the pointer starts), and the pointer goes to the opposite corner.
        SetWindowPos(dialog_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        return ::testing::AssertionSuccess();
    }

    template <typename Probe>
    static auto waitFor(Probe probe, DWORD timeoutMs = kTimeoutMs) -> decltype(probe()) {
        const DWORD start = GetTickCount();
        for (;;) {
            auto result = probe();
            if (result || GetTickCount() - start >= timeoutMs) {
                return result;
            }
            Sleep(30);
        }
    }

    // Alt plus a letter, as the keyboard delivers it to the dialog.
    void altKey(wchar_t letter) const { PostMessageW(dialog_, WM_SYSCHAR, letter, 1 << 29); }
    void key(WPARAM virtualKey) const { PostMessageW(dialog_, WM_KEYDOWN, virtualKey, 0); }
    void character(wchar_t letter) const { PostMessageW(dialog_, WM_CHAR, letter, 0); }

    std::vector<HWND> openMenus() const {
        std::vector<HWND> menus;
        for (HWND window : app_.topLevelWindows(true)) {
            if (e2e::windowClassName(window) == L"#32768") {
                menus.push_back(window);
            }
        }
        return menus;
    }
    bool pressed(int index) const {
        return SendMessageW(commandBar_, TB_ISBUTTONPRESSED, static_cast<WPARAM>(kMenuButton + index), 0) != 0;
    }
    // Exactly one menu is open, the one of top-level item `index`, and it has been drawn.
    HWND waitForOnlyMenu(int index) const {
        HWND menu = waitFor([&]() -> HWND {
            std::vector<HWND> menus = openMenus();
            return menus.size() == 1 && pressed(index) && !pressed(1 - index) ? menus[0] : nullptr;
        });
        Sleep(300);  // drawn, then on the screen
        return menu;
    }

    // What the open menu shows in its client area.
    static e2e::ScreenImage picture(HWND menu) {
        RECT client{};
        GetClientRect(menu, &client);
        MapWindowPoints(menu, nullptr, reinterpret_cast<POINT*>(&client), 2);
        return e2e::captureScreen(client);
    }

    HWND dialog() const { return dialog_; }
    const WideString& folder() const { return folder_; }
    e2e::AppProcess& app() { return app_; }

private:
    WideString folder_;
    e2e::AppProcess app_;
    HWND dialog_ = nullptr;
    HWND commandBar_ = nullptr;
};

// Where the first item of an open menu starts, found by its selection: the first line in the
// highlight colour within the menu's frame; -1 when the first item is not selected.
int firstItemTop(const e2e::ScreenImage& menu) {
    constexpr int kFrameLines = 6;
    for (int y = 0; y < kFrameLines; ++y) {
        if (e2e::nearColour(menu.at(menu.width() / 2, y), GetSysColor(COLOR_HIGHLIGHT), 2)) {
            return y;
        }
    }
    return -1;
}

bool firstItemHighlighted(const e2e::ScreenImage& menu) { return firstItemTop(menu) >= 0; }

DWORD exitCode(e2e::AppProcess& app) {
    DWORD code = 0xFFFFFFFF;
    EXPECT_TRUE(app.waitForExit(kTimeoutMs, &code)) << "the program did not end";
    return code;
}

TEST(Menus, AltMnemonicOpensAMenuArrowsWrapAndExitEndsWithZero) {
    Program program;
    ASSERT_TRUE(program.start());

    program.altKey(L'b');  // "&Brindlecrest"
    HWND menu = program.waitForOnlyMenu(0);
    ASSERT_NE(menu, nullptr) << "Alt+B opens the program menu";
    e2e::ScreenImage first = Program::picture(menu);
    e2e::keepForInspection(first, L"e2e-program-menu");
    EXPECT_TRUE(firstItemHighlighted(first)) << "with its first item highlighted";

    program.key(VK_LEFT);
    menu = program.waitForOnlyMenu(1);
    ASSERT_NE(menu, nullptr) << "Left on the first menu opens the last";
    e2e::ScreenImage last = Program::picture(menu);
    e2e::keepForInspection(last, L"e2e-system-menu");
    EXPECT_TRUE(firstItemHighlighted(last));

    program.key(VK_RIGHT);
    menu = program.waitForOnlyMenu(0);
    ASSERT_NE(menu, nullptr) << "Right on the last menu opens the first";
    EXPECT_TRUE(firstItemHighlighted(Program::picture(menu)));

    program.key(VK_ESCAPE);
    EXPECT_TRUE(Program::waitFor([&] { return program.openMenus().empty(); })) << "Escape closes it";
    EXPECT_TRUE(program.app().running());

    // "E&xit" by its mnemonic in the open menu.
    program.altKey(L'b');
    ASSERT_NE(program.waitForOnlyMenu(0), nullptr);
    program.character(L'x');
    EXPECT_EQ(exitCode(program.app()), 0u);
}

// Info, reached by the keyboard through the menu, shows the information box.
TEST(Menus, InfoItemShowsTheInformationBox) {
    Program program;
    ASSERT_TRUE(program.start());
    program.altKey(L'b');
    ASSERT_NE(program.waitForOnlyMenu(0), nullptr);
    // Screenshot to File, Screenshot to MS-Paint, Do not display serial number, Info.
    for (int i = 0; i < 3; ++i) {
        program.key(VK_DOWN);
    }
    program.key(VK_RETURN);
    HWND box = program.app().waitForWindow(L"#32770", L"Info", kTimeoutMs);
    ASSERT_NE(box, nullptr) << "a box captioned \"Info\"";
    wchar_t text[1024]{};
    SendMessageW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text,
                 L"Sequentiall: Write and Read linear eg. continuous.\n"
                 L"4K: Random read and write of 4 KB blocks.\n"
                 L"512K: Random read and write 512 KB blocks.\n"
                 L"64 x 10M: Random read and write 64 x 10 MB blocks at the same time (parallel run).\n"
                 L"Access Time: The actually measured access time when reading and writing 1 Byte.\n");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Program::waitFor([&] { return !IsWindow(box); }));
    e2e::closeWindow(program.dialog());
    EXPECT_EQ(exitCode(program.app()), 0u);
}

// A run greys Restart and Exit in the open menu, drawn by the owner-drawn menu code.
TEST(Menus, DuringARunExitAndRestartAreGreyed) {
    Program program;
    ASSERT_TRUE(program.start());
    PostMessageW(program.dialog(), WM_COMMAND, kSequentialButton, 0);
    ASSERT_TRUE(Program::waitFor([&] { return !IsWindowEnabled(GetDlgItem(program.dialog(), kSequentialButton)); }))
        << "the run started";
    program.altKey(L'b');
    HWND menu = program.waitForOnlyMenu(0);
    ASSERT_NE(menu, nullptr);
    const e2e::ScreenImage picture = Program::picture(menu);
    e2e::keepForInspection(picture, L"e2e-program-menu-during-run");
    program.key(VK_ESCAPE);

    // Rows from the top: 2 items, separator, item, separator, item, separator, 3 items, separator,
    // 2 items, separator, the folder submenu, Restart, separator, Exit.
    const int item = std::max(menuMetrics().fontHeight + 8, menuMetrics().minItemHeight);
    const int separator = GetSystemMetrics(SM_CYMENU) / 2;
    const int firstTop = firstItemTop(picture);
    ASSERT_GE(firstTop, 0) << "opened with its first item selected";
    auto row = [&](int itemsAbove, int separatorsAbove) {
        const int top = firstTop + itemsAbove * item + separatorsAbove * separator;
        return RECT{menuMetrics().iconColumnWidth, top, picture.width(), top + item};
    };
    const RECT folders = row(9, 5);
    const RECT restart = row(10, 5);
    const RECT exitRow = row(11, 6);
    const COLORREF text = GetSysColor(COLOR_MENUTEXT);
    const COLORREF greyed = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_TRUE(e2e::containsColour(picture, folders, text, 40)) << "an enabled item for comparison";
    for (const RECT& lockedRow : {restart, exitRow}) {
        EXPECT_TRUE(e2e::containsColour(picture, lockedRow, greyed, 30));
        EXPECT_FALSE(e2e::containsColour(picture, lockedRow, text, 40)) << "greyed, not in the text colour";
    }

    PostMessageW(program.dialog(), WM_COMMAND, kStartButton, 0);  // Stop
    EXPECT_TRUE(Program::waitFor([&] { return IsWindowEnabled(GetDlgItem(program.dialog(), kSequentialButton)) != FALSE; }));
    e2e::closeWindow(program.dialog());
    EXPECT_EQ(exitCode(program.app()), 0u);
}

TEST(Menus, SettingsFolderItemOpensThePortableAndThePerUserFolder) {
    e2e::ToolStandIns standIns;
    ASSERT_TRUE(standIns.ready());
    ASSERT_TRUE(standIns.installFolderHandler(L"bcfolderhandler.exe"));
    wchar_t appData[MAX_PATH + 1]{};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));

    for (bool portable : {true, false}) {
        SCOPED_TRACE(portable ? "portable" : "per-user");
        standIns.clearRecords();
        Program program;
        ASSERT_TRUE(program.start(portable));
        PostMessageW(program.dialog(), WM_COMMAND, 43116, 0);
        std::vector<e2e::ToolRecord> records = standIns.waitForRecords(1, kTimeoutMs);
        ASSERT_EQ(records.size(), 1u);
        const WideString folder = portable ? program.folder() : WideString(appData) + L"\\Brindlecrest";
        EXPECT_STREQ(records[0].arguments.c_str(), (L"/folder \"" + folder + L"\"").c_str());
        EXPECT_EQ(records[0].show, SW_SHOW);
        e2e::closeWindow(program.dialog());
        EXPECT_EQ(exitCode(program.app()), 0u);
    }
}

}  // namespace
