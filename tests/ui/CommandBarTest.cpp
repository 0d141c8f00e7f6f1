// The command bar on a real window of this process: its bars, and its menus opened and worked by
// keyboard and mouse in the system's own menu loop. What happens inside the loop is watched from a
// timer that the loop keeps serving; each step waits for what a user would see before it acts.
#include "ui/CommandBar.h"

#include "tests/e2e/Driver.h"
#include "tests/e2e/ScreenImage.h"
#include "ui/OwnerDrawnMenu.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using e2e::ScreenImage;

constexpr wchar_t kOwnerClass[] = L"BrindlecrestCommandBarTestOwner";
constexpr int kOwnerWidth = 520;
constexpr int kOwnerHeight = 320;
constexpr DWORD kStepTimeoutMs = 5000;

enum : UINT {
    kOpen = 101, kExit = 102, kCopy = 201, kDeep = 211, kAbout = 301, kQuit = 900, kTwo = 901,
};

// What the owner window received.
struct OwnerLog {
    std::vector<std::pair<WPARAM, LPARAM>> commands;
    std::vector<HMENU> initPopups;
    bool buttonDownDuringCommand = false;
};
OwnerLog ownerLog;

// A background that differs from column to column, so a picture shows where it was painted from.
COLORREF ownerBackground(int clientX) { return RGB(clientX % 256, 100, 200); }

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        ownerLog.commands.emplace_back(wParam, lParam);
        for (int index = 0; index < 3; ++index) {
            ownerLog.buttonDownDuringCommand |=
                SendMessageW(commandBarWindow(), TB_ISBUTTONPRESSED, static_cast<WPARAM>(kFirstMenuButton + index), 0) != 0;
        }
        return 0;
    case WM_INITMENUPOPUP:
        ownerLog.initPopups.push_back(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(window, &client);
        for (int x = 0; x < client.right; ++x) {
            RECT column{x, 0, x + 1, client.bottom};
            SetBkColor(dc, ownerBackground(x));
            ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &column, nullptr, 0, nullptr);
        }
        return 1;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// "&File" (Open, separator, Exit), "&Edit" (Copy, More > Deep), "&Help" (About).
HMENU testMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kOpen, L"&Open");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, kExit, L"E&xit");
    HMENU edit = CreatePopupMenu();
    HMENU more = CreatePopupMenu();
    AppendMenuW(more, MF_STRING, kDeep, L"&Deep");
    AppendMenuW(edit, MF_STRING, kCopy, L"&Copy");
    AppendMenuW(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(more), L"&More");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, kAbout, L"&About");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
    return bar;
}

void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

BOOL CALLBACK collectPopup(HWND window, LPARAM context) {
    if (IsWindowVisible(window) && e2e::windowClassName(window) == L"#32768") {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> popupWindows() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), collectPopup, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND popupWindowOf(HMENU menu) {
    for (HWND window : popupWindows()) {
        if (reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) == menu) {
            return window;
        }
    }
    return nullptr;
}

bool highlighted(HMENU menu, int position) { return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_HILITE) != 0; }

// A step of a script: waits until `ready` holds, then does `act`.
struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
};

std::vector<Step>* scriptSteps = nullptr;
size_t scriptNext = 0;
DWORD scriptDeadline = 0;
bool scriptTimedOut = false;

void CALLBACK scriptTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!scriptSteps) {
        return;
    }
    if (scriptNext < scriptSteps->size() && (*scriptSteps)[scriptNext].ready()) {
        Step& step = (*scriptSteps)[scriptNext++];
        if (step.act) {
            step.act();
        }
        scriptDeadline = GetTickCount() + kStepTimeoutMs;
        return;
    }
    if (static_cast<LONG>(GetTickCount() - scriptDeadline) > 0) {
        scriptTimedOut = true;
        EndMenu();  // never leave a test stuck in a menu loop
    }
}

void sendMouse(POINT screen, DWORD buttons) {
    SetCursorPos(screen.x, screen.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof(input));
}

class CommandBarTest : public ::testing::Test {
protected:
    // One owner window for all the tests: showing a window costs seconds under Wine.
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ownerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kOwnerClass;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassW(&windowClass);
        owner_ = CreateWindowExW(0, kOwnerClass, L"owner", WS_OVERLAPPEDWINDOW, 120, 120, kOwnerWidth, kOwnerHeight,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        bar_ = owner_ ? createCommandBar(owner_) : nullptr;
        addRightButton(L"&Quit", kQuit);
        addRightButton(L"Tw&o", kTwo);
        ShowWindow(owner_, SW_SHOW);
        UpdateWindow(owner_);
    }
    static void TearDownTestSuite() {
        DestroyWindow(owner_);
        pumpFor(20);
        EXPECT_EQ(commandBarWindow(), nullptr) << "the bar goes with its owner";
    }
    void SetUp() override {
        ASSERT_NE(owner_, nullptr);
        ASSERT_NE(bar_, nullptr);
        ownerLog = OwnerLog();
        menu_ = testMenu();
        setCommandBarMenu(menu_);
        setRightButtonText(kQuit, L"&Quit");
        SetForegroundWindow(owner_);
        SetActiveWindow(owner_);
        pumpFor(50);
        ASSERT_EQ(GetActiveWindow(), owner_) << "menus open only for the active owner";
    }
    void TearDown() override {
        if (!popupWindows().empty()) {
            EndMenu();
            pumpFor(50);
        }
    }

    HMENU popup(int index) const { return GetSubMenu(menu_, index); }
    bool open(int index) const { return popupWindowOf(popup(index)) != nullptr; }
    bool pressed(int index) const {
        return SendMessageW(bar_, TB_ISBUTTONPRESSED, static_cast<WPARAM>(kFirstMenuButton + index), 0) != 0;
    }
    // The menu of `index` is the one open, its button is down and no other is.
    bool onlyOpen(int index) const {
        for (int other = 0; other < 3; ++other) {
            if (other != index && (open(other) || pressed(other))) {
                return false;
            }
        }
        return open(index) && pressed(index);
    }
    void key(WPARAM virtualKey) const { PostMessageW(bar_, WM_KEYDOWN, virtualKey, 0); }
    POINT buttonCentre(int index) const {
        RECT rect{};
        SendMessageW(bar_, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
        POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(bar_, &centre);
        return centre;
    }

    // Runs the steps while whatever `start` posts runs; fails with the step that never came.
    ::testing::AssertionResult runScript(std::vector<Step> steps, const std::function<void()>& start) {
        scriptSteps = &steps;
        scriptNext = 0;
        scriptTimedOut = false;
        scriptDeadline = GetTickCount() + kStepTimeoutMs;
        const UINT_PTR timer = SetTimer(owner_, 77, 25, scriptTick);
        start();
        while (!scriptTimedOut && (scriptNext < steps.size() || !popupWindows().empty())) {
            pumpFor(5);
        }
        KillTimer(owner_, timer);
        pumpFor(50);  // what the last step posted settles
        scriptSteps = nullptr;
        if (scriptNext < steps.size()) {
            return ::testing::AssertionFailure() << "never came: " << steps[scriptNext].what;
        }
        return ::testing::AssertionSuccess();
    }

    static inline HWND owner_ = nullptr;
    static inline HWND bar_ = nullptr;
    HMENU menu_ = nullptr;
};


TEST_F(CommandBarTest, BarsSitAlongTheTopWithOneButtonPerMenuAndTheRightBarAtItsEnd) {
    RECT client{};
    GetClientRect(owner_, &client);
    RECT bar{};
    GetWindowRect(bar_, &bar);
    MapWindowPoints(nullptr, owner_, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar.bottom - bar.top, 30);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(bar_, GWL_STYLE)) & kFlatToolbarStyle, kFlatToolbarStyle);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(bar_, WM_GETFONT, 0, 0)), menuFont());

    auto buttons = [](HWND toolbar) {
        std::vector<std::pair<int, WideString>> found;
        const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON button{};
            SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
            wchar_t text[64]{};
            SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), reinterpret_cast<LPARAM>(text));
            found.emplace_back(button.idCommand, WideString(text));
        }
        return found;
    };
    const auto top = buttons(bar_);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].first, 40000);
    EXPECT_STREQ(top[0].second.c_str(), L"&File");
    EXPECT_EQ(top[2].first, 40002);
    EXPECT_STREQ(top[2].second.c_str(), L"&Help");

    // A new menu replaces the old one, which is destroyed with its buttons.
    HMENU smaller = CreateMenu();
    AppendMenuW(smaller, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), L"&Only");
    setCommandBarMenu(smaller);
    EXPECT_FALSE(IsMenu(menu_)) << "the previous menu is destroyed";
    EXPECT_EQ(commandBarMenu(), smaller);
    const auto replaced = buttons(bar_);
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].first, 40000);
    EXPECT_STREQ(replaced[0].second.c_str(), L"&Only");
    menu_ = smaller;

    // The right-hand bar: a transparent child of the command bar, ending where the command bar
    // ends, as wide as its buttons reach and as high as the command bar, also after a longer text.
    HWND right = rightBarWindow();
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(GetParent(right), bar_);
    EXPECT_TRUE(GetWindowLongW(right, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(right, GWL_STYLE)) & kFlatToolbarStyle, kFlatToolbarStyle);
    auto expectAtRightEnd = [&] {
        RECT rightRect{};
        GetWindowRect(right, &rightRect);
        MapWindowPoints(nullptr, bar_, reinterpret_cast<POINT*>(&rightRect), 2);
        RECT barClient{};
        GetClientRect(bar_, &barClient);
        RECT last{};
        SendMessageW(right, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&last));
        EXPECT_EQ(rightRect.right, barClient.right);
        EXPECT_EQ(rightRect.right - rightRect.left, last.right);
        EXPECT_EQ(rightRect.top, 0);
        EXPECT_EQ(rightRect.bottom, barClient.bottom);
        return rightRect.right - rightRect.left;
    };
    const int narrow = expectAtRightEnd();
    EXPECT_TRUE(setRightButtonText(kQuit, L"&Quit the program now"));
    const auto texts = buttons(right);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_STREQ(texts[0].second.c_str(), L"&Quit the program now");
    EXPECT_GT(expectAtRightEnd(), narrow) << "the bar grows to the left";
    EXPECT_FALSE(setRightButtonText(12345, L"none")) << "no button is made by a rename";
    EXPECT_EQ(buttons(right).size(), 2u);
}

TEST_F(CommandBarTest, RightBarShowsTheOwnersBackgroundFromItsOwnPlace) {
    HWND right = rightBarWindow();
    ASSERT_NE(right, nullptr);
    RedrawWindow(owner_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpFor(100);
    RECT rightRect{};
    GetWindowRect(right, &rightRect);
    ScreenImage image = e2e::captureScreen(rightRect);
    ASSERT_FALSE(image.empty());
    e2e::keepForInspection(image, L"right-bar");
    // The top row lies above the buttons' text: it shows the owner, column by column.
    POINT origin{rightRect.left, rightRect.top};
    ScreenToClient(owner_, &origin);
    int matching = 0;
    for (int x = 0; x < image.width(); ++x) {
        matching += e2e::nearColour(image.at(x, 0), ownerBackground(origin.x + x), 2) ? 1 : 0;
    }
    EXPECT_GT(matching, image.width() * 3 / 4) << "the owner's columns show through at the bar's place";
}

TEST_F(CommandBarTest, KeyboardOpensWithTheFirstItemAndWrapsLeftAndRight) {
    std::vector<Step> steps = {
        {"File open, Open highlighted",
         [&] { return onlyOpen(0) && highlighted(popup(0), 0); },
         [&] { key(VK_LEFT); }},
        {"Left on the first menu opens the last, first item highlighted",
         [&] { return onlyOpen(2) && highlighted(popup(2), 0); },
         [&] { key(VK_RIGHT); }},
        {"Right on the last menu opens the first",
         [&] { return onlyOpen(0) && highlighted(popup(0), 0); },
         [&] { key(VK_RIGHT); }},
        {"Right again: the middle menu",
         [&] { return onlyOpen(1) && highlighted(popup(1), 0); },
         [&] { key(VK_ESCAPE); }},
    };
    EXPECT_TRUE(runScript(steps, [&] {
        PostMessageW(bar_, kOpenMenuMessage, 0, 0);
        key(VK_DOWN);
    }));
    EXPECT_TRUE(popupWindows().empty());
    for (int index = 0; index < 3; ++index) {
        EXPECT_FALSE(pressed(index)) << index;
    }
    EXPECT_TRUE(ownerLog.commands.empty()) << "Escape chooses nothing";
}

TEST_F(CommandBarTest, RightEntersASubmenuBeforeItMovesOn) {
    HMENU more = GetSubMenu(popup(1), 1);
    std::vector<Step> steps = {
        {"Edit open", [&] { return onlyOpen(1) && highlighted(popup(1), 0); }, [&] { key(VK_DOWN); }},
        {"More highlighted", [&] { return highlighted(popup(1), 1); }, [&] { key(VK_RIGHT); }},
        {"the submenu opens, Edit stays", [&] { return popupWindowOf(more) && onlyOpen(1); }, [&] { key(VK_DOWN); }},
        {"Deep highlighted", [&] { return highlighted(more, 0); }, [&] { key(VK_RIGHT); }},
        {"Right on a plain item moves on to Help", [&] { return onlyOpen(2) && !popupWindowOf(more); },
         [&] { key(VK_ESCAPE); }},
    };
    EXPECT_TRUE(runScript(steps, [&] {
        PostMessageW(bar_, kOpenMenuMessage, 1, 0);
        key(VK_DOWN);
    }));
}

TEST_F(CommandBarTest, ChosenItemReachesTheOwnerAsAMenuCommandAfterTheButtonIsReleased) {
    std::vector<Step> steps = {
        {"File open", [&] { return onlyOpen(0) && highlighted(popup(0), 0); }, [&] { key(VK_RETURN); }},
    };
    EXPECT_TRUE(runScript(steps, [&] {
        PostMessageW(bar_, kOpenMenuMessage, 0, 0);
        key(VK_DOWN);
    }));
    pumpFor(50);
    ASSERT_EQ(ownerLog.commands.size(), 1u);
    EXPECT_EQ(ownerLog.commands[0].first, static_cast<WPARAM>(kOpen)) << "notification code 0: a menu";
    EXPECT_EQ(ownerLog.commands[0].second, 0) << "no control sent it";
    EXPECT_FALSE(ownerLog.buttonDownDuringCommand) << "a box the command shows finds the bar at rest";
    EXPECT_FALSE(pressed(0));

    // The owner saw the popup open, and its items are now the program's own, drawn by it.
    ASSERT_FALSE(ownerLog.initPopups.empty());
    EXPECT_EQ(ownerLog.initPopups[0], popup(0));
    for (int position = 0; position < 3; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoW(popup(0), static_cast<UINT>(position), TRUE, &info);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << position;
        EXPECT_NE(menuItemRecord(info.dwItemData), nullptr) << position;
    }
    // Windows does not search owner-drawn items for mnemonics and asks the menu's owner, the bar;
    // Wine still finds them itself, so the bar's answer is asked for directly too.
    EXPECT_EQ(SendMessageW(bar_, WM_MENUCHAR, MAKEWPARAM('x', MF_POPUP), reinterpret_cast<LPARAM>(popup(0))),
              MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(SendMessageW(bar_, WM_MENUCHAR, MAKEWPARAM('O', MF_POPUP), reinterpret_cast<LPARAM>(popup(0))),
              MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(HIWORD(SendMessageW(bar_, WM_MENUCHAR, MAKEWPARAM('q', MF_POPUP), reinterpret_cast<LPARAM>(popup(0)))),
              MNC_IGNORE);
    EnableMenuItem(popup(0), kExit, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(HIWORD(SendMessageW(bar_, WM_MENUCHAR, MAKEWPARAM('x', MF_POPUP), reinterpret_cast<LPARAM>(popup(0)))),
              MNC_IGNORE)
        << "a greyed item is not chosen by its letter";
    EnableMenuItem(popup(0), kExit, MF_BYCOMMAND | MF_ENABLED);

    // A mnemonic typed in the open menu chooses its item.
    ownerLog.commands.clear();
    std::vector<Step> byMnemonic = {
        {"File open again", [&] { return onlyOpen(0); }, [&] { PostMessageW(bar_, WM_CHAR, 'x', 0); }},
    };
    EXPECT_TRUE(runScript(byMnemonic, [&] { PostMessageW(bar_, kOpenMenuMessage, 0, 0); }));
    pumpFor(50);
    ASSERT_EQ(ownerLog.commands.size(), 1u);
    EXPECT_EQ(ownerLog.commands[0].first, static_cast<WPARAM>(kExit));
}

TEST_F(CommandBarTest, AltWithAMnemonicOpensThatMenuAndRightButtonsReachTheOwner) {
    // Alt+H as the system delivers it: the window has no menu, so the owner is asked.
    std::vector<Step> steps = {
        {"Help open with About highlighted", [&] { return onlyOpen(2) && highlighted(popup(2), 0); },
         [&] { key(VK_ESCAPE); }},
    };
    EXPECT_TRUE(runScript(steps, [&] { PostMessageW(owner_, WM_SYSCHAR, 'h', 1 << 29); }));
    EXPECT_TRUE(ownerLog.commands.empty());

    EXPECT_EQ(SendMessageW(owner_, WM_MENUCHAR, MAKEWPARAM('o', MF_SYSMENU), 0), MAKELRESULT(1, MNC_CLOSE));
    pumpFor(100);
    ASSERT_EQ(ownerLog.commands.size(), 1u) << "Tw&o's command is posted to the owner";
    EXPECT_EQ(LOWORD(ownerLog.commands[0].first), kTwo);
    EXPECT_NE(SendMessageW(owner_, WM_MENUCHAR, MAKEWPARAM('z', MF_SYSMENU), 0), MAKELRESULT(1, MNC_CLOSE))
        << "a letter nobody uses stays the system's";
    pumpFor(50);
    EXPECT_TRUE(popupWindows().empty());

    // A click on a right-hand button reaches the owner too, although the button's parent is the bar.
    ownerLog.commands.clear();
    POINT before{};
    GetCursorPos(&before);
    RECT quit{};
    SendMessageW(rightBarWindow(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&quit));
    POINT centre{(quit.left + quit.right) / 2, (quit.top + quit.bottom) / 2};
    ClientToScreen(rightBarWindow(), &centre);
    sendMouse(centre, 0);
    sendMouse(centre, MOUSEEVENTF_LEFTDOWN);
    sendMouse(centre, MOUSEEVENTF_LEFTUP);
    pumpFor(200);
    sendMouse(before, 0);
    ASSERT_EQ(ownerLog.commands.size(), 1u);
    EXPECT_EQ(LOWORD(ownerLog.commands[0].first), kQuit);
}

TEST_F(CommandBarTest, MenusFollowTheMouseAlongTheBarAndAClickOnTheOpenButtonCloses) {
    POINT before{};
    GetCursorPos(&before);
    std::vector<Step> steps = {
        {"File open", [&] { return onlyOpen(0); }, [&] { sendMouse(buttonCentre(2), 0); }},
        {"Help follows the mouse", [&] { return onlyOpen(2); }, [&] { sendMouse(buttonCentre(1), 0); }},
        {"Edit follows the mouse", [&] { return onlyOpen(1); },
         [&] {
             sendMouse(buttonCentre(1), MOUSEEVENTF_LEFTDOWN);
             sendMouse(buttonCentre(1), MOUSEEVENTF_LEFTUP);
         }},
        {"a click on the open menu's button closes it", [&] { return popupWindows().empty(); }, nullptr},
    };
    EXPECT_TRUE(runScript(steps, [&] {
        sendMouse(buttonCentre(0), 0);
        sendMouse(buttonCentre(0), MOUSEEVENTF_LEFTDOWN);
    }));
    sendMouse(buttonCentre(0), MOUSEEVENTF_LEFTUP);
    pumpFor(100);
    EXPECT_TRUE(popupWindows().empty()) << "the click that closed the menu did not open it again";
    EXPECT_TRUE(ownerLog.commands.empty());
    sendMouse(before, 0);  // later tests find the pointer where it was
}

}  // namespace
