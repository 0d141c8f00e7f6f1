// What a user sees: the real main dialog, a message box and the controls of the open-file dialog,
// created on a thread with the creation hook, shown on the virtual display and read back pixel
// by pixel. The fake table says "dark" (Wine itself never would); the painting is Wine's GDI.
#include "app/DialogIds.h"
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "base/WideString.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "tests/e2e/Driver.h"
#include "tests/ui/DarkTestSupport.h"
#include "ui/DarkMode.h"
#include "ui/ScannerBar.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

using namespace dark_test;

namespace {

constexpr COLORREF kDark = RGB(32, 32, 32);

RECT dialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT units{x, y, width, height};
    MapDialogRect(dialog, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

POINT dialogPoint(HWND dialog, int x, int y) {
    RECT rect = dialogUnits(dialog, x, y, 0, 0);
    return POINT{rect.left, rect.top};
}

// A control's whole window rectangle in its dialog's client coordinates.
RECT controlRect(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Left and right end of the pixels brighter than `threshold` in a band of rows.
std::pair<int, int> brightSpan(const Picture& picture, const RECT& band, int threshold) {
    int first = -1;
    int last = -1;
    for (int y = band.top; y < band.bottom; ++y) {
        for (int x = band.left; x < band.right; ++x) {
            if (GetRValue(picture.at(x, y)) > threshold && GetGValue(picture.at(x, y)) > threshold) {
                first = first < 0 || x < first ? x : first;
                last = x > last ? x : last;
            }
        }
    }
    return {first, last};
}

HWND showMainDialog() {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, mainDialogProc, 0);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        pumpMessages(500);
        // A steady bar makes the pictures comparable; the scanner has its own tests.
        stopScanner();
        pumpMessages(50);
    }
    return dialog;
}

class DarkRendering : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(registerScannerClass(GetModuleHandleW(nullptr)));
        initCommonControls();
        ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str()));
    }
    void SetUp() override {
        folder_ = e2e::makeTempFolder(L"bc_dark");
        ASSERT_FALSE(folder_.isEmpty());
        savedPath_ = settingsPath;
        settingsPath = folder_ + L"\\Brindlecrest.ini";
        currentLanguage = 1;  // English
        fake = FakeWindows();
        // The pointer decides whether a combo box is hot: keep it off every window.
        SetCursorPos(0, 0);
    }
    void TearDown() override {
        restoreRealSystem();
        settingsPath = savedPath_;
        e2e::removeTree(folder_);
    }
    WideString folder_;
    WideString savedPath_;
};

TEST_F(DarkRendering, MainDialogShowsTheDarkPaletteAsAUserSeesIt) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = showMainDialog();
        ASSERT_NE(dialog, nullptr);
        keepShot(capture(dialog, true), L"dark-main-dialog");
        Picture shown = capture(dialog, false);

        // Mistake caught: the dialog's colour answer missing or in the wrong colour.
        EXPECT_EQ(colorText(shown.at(dialogPoint(dialog, 320, 150))), colorText(kDark));
        EXPECT_EQ(colorText(shown.at(dialogPoint(dialog, 150, 197))), colorText(kDark));

        // Light text on dark: the status line.
        RECT status = controlRect(dialog, ids::kStatusLine);
        EXPECT_EQ(colorText(shown.at(status.right - 2, status.top + 1)), colorText(kDark));
        COLORREF text = shown.brightest(status);
        EXPECT_GE(GetRValue(text), 200) << colorText(text);
        EXPECT_EQ(GetRValue(text), GetBValue(text)) << "grey-white, not tinted: " << colorText(text);

        // Group box: a grey frame, and the caption centred over it (in light mode it sits left).
        RECT group = controlRect(dialog, ids::kReadGroup);
        int middle = (group.top + group.bottom) / 2;
        EXPECT_EQ(colorText(shown.at(group.left, middle)), colorText(RGB(100, 100, 100)));
        EXPECT_EQ(colorText(shown.at(group.right - 1, middle)), colorText(RGB(100, 100, 100)));
        EXPECT_EQ(colorText(shown.at((group.left + group.right) / 2, group.bottom - 1)), colorText(RGB(100, 100, 100)));
        auto [captionLeft, captionRight] = brightSpan(shown, RECT{group.left + 1, group.top, group.right - 1, group.top + 12}, 200);
        ASSERT_GE(captionLeft, 0) << "the caption is drawn in light text";
        int captionMiddle = (captionLeft + captionRight) / 2;
        EXPECT_NEAR(captionMiddle, (group.left + group.right) / 2, 3);

        // The etched separators would glare: one grey line on the dark background instead.
        RECT separator = controlRect(dialog, ids::kTopSeparator);
        int lineRow = (separator.top + separator.bottom) / 2 - 1;
        int across = (separator.left + separator.right) / 2;
        EXPECT_EQ(colorText(shown.at(across, lineRow)), colorText(RGB(100, 100, 100)));
        EXPECT_EQ(colorText(shown.at(across, lineRow + 1)), colorText(kDark));
        EXPECT_EQ(colorText(shown.at(across, lineRow - 1)), colorText(kDark));

        // Result labels: the one-pixel frame in place of the sunken edge.
        RECT label = controlRect(dialog, ids::kSequentialReadLabel);
        EXPECT_EQ(colorText(shown.at(label.left, (label.top + label.bottom) / 2)), colorText(RGB(64, 64, 64)));
        EXPECT_EQ(colorText(shown.at((label.left + label.right) / 2, label.top)), colorText(RGB(64, 64, 64)));

        // The information box: a rounded light-grey border on a dark field.
        RECT info = controlRect(dialog, ids::kInfoBox);
        EXPECT_EQ(colorText(shown.at((info.left + info.right) / 2, info.top)), colorText(RGB(164, 164, 164)));
        EXPECT_EQ(colorText(shown.at(info.left, (info.top + info.bottom) / 2)), colorText(RGB(164, 164, 164)));
        EXPECT_EQ(colorText(shown.at(info.left + 3, info.bottom - 3)), colorText(kDark));

        // Combo boxes: the focused one (the first tab stop) has the yellowish border, the other
        // the normal light grey; the selection is white.
        RECT startCheck = controlRect(dialog, ids::kStartCheckBox);
        RECT duration = controlRect(dialog, ids::kDurationBox);
        auto topEdge = [](const RECT& rect) { return POINT{(rect.left + rect.right) / 2 - 20, rect.top}; };
        HWND durationBox = GetDlgItem(dialog, ids::kDurationBox);
        HWND startCheckBox = GetDlgItem(dialog, ids::kStartCheckBox);
        SetFocus(startCheckBox);
        pumpMessages(100);
        shown = capture(dialog, false);
        EXPECT_EQ(colorText(shown.at(topEdge(startCheck))), colorText(RGB(165, 164, 64)));
        EXPECT_EQ(colorText(shown.at(topEdge(duration))), colorText(RGB(192, 192, 192)));
        EXPECT_EQ(colorText(shown.brightest(duration)), colorText(RGB(255, 255, 255)));

        SetFocus(durationBox);
        pumpMessages(100);
        shown = capture(dialog, false);
        EXPECT_EQ(colorText(shown.at(topEdge(duration))), colorText(RGB(165, 164, 64))) << "focus moves the highlight";
        EXPECT_EQ(colorText(shown.at(topEdge(startCheck))), colorText(RGB(192, 192, 192)));

        EnableWindow(startCheckBox, FALSE);
        pumpMessages(100);
        shown = capture(dialog, false);
        EXPECT_EQ(colorText(shown.at(topEdge(startCheck))), colorText(RGB(164, 164, 164)));
        // The item's own rectangle: inside the border, left of the arrow.
        COMBOBOXINFO comboInfo{};
        comboInfo.cbSize = sizeof(comboInfo);
        ASSERT_TRUE(GetComboBoxInfo(startCheckBox, &comboInfo));
        RECT startCheckText = comboInfo.rcItem;
        MapWindowPoints(startCheckBox, dialog, reinterpret_cast<POINT*>(&startCheckText), 2);
        startCheckText.right -= 1;  // the separator before the arrow takes the item's last column
        EXPECT_EQ(colorText(shown.brightest(startCheckText)), colorText(RGB(155, 155, 155))) << "a disabled selection is grey";
        keepShot(capture(dialog, true), L"dark-main-dialog-disabled-combo");
        DestroyWindow(dialog);
    });
}

TEST_F(DarkRendering, MessageBoxOnTheHookedThreadIsDark) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        const wchar_t* title = L"Brindlecrest dark message";
        Picture shown;
        COLORREF textColor = 0;
        COLORREF textBackground = 0;
        bool found = false;
        std::thread reader([&] {
            HWND box = nullptr;
            for (int i = 0; i < 250 && !box; ++i) {
                box = FindWindowW(L"#32770", title);
                Sleep(20);
            }
            if (!box) {
                return;
            }
            Sleep(500);  // let it paint
            found = true;
            HWND label = FindWindowExW(box, nullptr, L"Static", L"Memory check finished.");
            shown = capture(box, false);
            if (label) {
                RECT rect{};
                GetWindowRect(label, &rect);
                MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
                textColor = shown.brightest(rect);
                textBackground = shown.at(rect.right - 1, rect.bottom - 1);
            }
            keepShot(capture(box, true), L"dark-message-box");
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        MessageBoxW(nullptr, L"Memory check finished.", title, MB_OK);
        reader.join();
        ASSERT_TRUE(found);
        EXPECT_EQ(colorText(shown.at(2, 2)), colorText(kDark));
        EXPECT_EQ(colorText(textBackground), colorText(kDark));
        EXPECT_EQ(colorText(textColor), colorText(RGB(222, 222, 222)));
    });
}

// The open-file dialog's rebar and status bar, which have no dark look of their own.
// Mistakes caught: the gradient upside down or across instead of down, the status text left
// black, the status bar's background not taken from the dialog.
TEST_F(DarkRendering, RebarFadesDownwardsAndStatusBarTextIsWhite) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = CreateWindowExW(0, L"#32770", L"Open", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 320, 200, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(dialog, nullptr);
        HWND panel = CreateWindowExW(0, L"#32770", L"", WS_CHILD | WS_VISIBLE, 0, 100, 300, 60, dialog, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        HWND rebar = CreateWindowExW(0, REBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                     10, 10, 200, 40, dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
        HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                      0, 10, 300, 24, panel, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(rebar, nullptr);
        ASSERT_NE(status, nullptr);
        pumpMessages(50);
        SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"Ready WWW"));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpMessages(300);
        Picture shown = capture(dialog, false);
        keepShot(shown, L"dark-rebar-status");

        EXPECT_EQ(colorText(shown.at(60, 10)), colorText(RGB(64, 64, 64))) << "top line";
        EXPECT_EQ(colorText(shown.at(60, 30)), colorText(RGB(32, 32, 32))) << "half-way down";
        EXPECT_EQ(colorText(shown.at(180, 30)), colorText(RGB(32, 32, 32))) << "the same across a line";
        EXPECT_EQ(colorText(shown.at(60, 49)), colorText(RGB(2, 2, 2))) << "last line: 64 - 64 * 39 / 40";

        RECT statusRect{0, 110, 150, 134};
        EXPECT_EQ(colorText(shown.brightest(statusRect)), colorText(RGB(255, 255, 255)));
        EXPECT_EQ(colorText(shown.at(250, 120)), colorText(kDark));
        DestroyWindow(dialog);
    });
}

TEST_F(DarkRendering, LightModeKeepsTheStandardLook) {
    fake.appsUseDarkMode = false;
    initWithFake();
    ASSERT_FALSE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = showMainDialog();
        ASSERT_NE(dialog, nullptr);
        keepShot(capture(dialog, true), L"light-main-dialog");
        Picture shown = capture(dialog, false);
        // The background is the system's (with the tab-page texture, white under Wine's theme).
        COLORREF background = shown.at(dialogPoint(dialog, 320, 150));
        EXPECT_GT(GetRValue(background) + GetGValue(background) + GetBValue(background), 600) << colorText(background);
        EXPECT_EQ(colorText(shown.at(dialogPoint(dialog, 150, 197))), colorText(background));
        RECT group = controlRect(dialog, ids::kReadGroup);
        // The standard group box: its caption at the left, dark text.
        RECT band{group.left + 1, group.top, group.right - 1, group.top + 12};
        int darkLeft = -1;
        for (int x = band.left; x < band.right && darkLeft < 0; ++x) {
            for (int y = band.top; y < band.bottom; ++y) {
                if (GetRValue(shown.at(x, y)) < 80) {
                    darkLeft = x;
                    break;
                }
            }
        }
        ASSERT_GE(darkLeft, 0);
        EXPECT_LT(darkLeft - group.left, (group.right - group.left) / 4);
        DestroyWindow(dialog);
    });
}

}  // namespace
