// What a user sees: the real main dialog and a message box, created on a thread with the creation
// hook, shown on the virtual display and read back pixel by pixel. The fake table says "dark"
// (Wine itself never would); the painting is Wine's GDI.
#include "app/DialogIds.h"
#include "tests/ui/DarkTestSupport.h"

#include <algorithm>
#include <thread>

using namespace dark_test;

namespace {

constexpr COLORREF kDark = RGB(32, 32, 32);

POINT dialogPoint(HWND dialog, int x, int y) {
    RECT units{x, y, 0, 0};
    MapDialogRect(dialog, &units);
    return POINT{units.left, units.top};
}

// A control's window rectangle, or `inner` (client coordinates of the control), in the dialog's.
RECT inDialog(HWND dialog, int id, const RECT* inner = nullptr) {
    HWND control = GetDlgItem(dialog, id);
    RECT rect{};
    if (inner) {
        rect = *inner;
        MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&rect), 2);
    } else {
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

// Leftmost and rightmost column with a pixel whose red is above `threshold`; -1 if none.
std::pair<int, int> brightColumns(const Picture& picture, const RECT& band, int threshold) {
    std::pair<int, int> span{-1, -1};
    for (int y = band.top; y < band.bottom; ++y) {
        for (int x = band.left; x < band.right; ++x) {
            if (GetRValue(picture.at(x, y)) > threshold) {
                span.first = span.first < 0 ? x : std::min(span.first, x);
                span.second = std::max(span.second, x);
            }
        }
    }
    return span;
}

using DarkRendering = MainDialogTest;

TEST_F(DarkRendering, MainDialogShowsTheDarkPaletteAsAUserSeesIt) {
    initWithFake();
    onFreshThread([this] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = showMainDialog();
        ASSERT_NE(dialog, nullptr);
        Picture shown = capture(dialog);
        // Background (the tab texture must not show through) and light text on it.
        EXPECT_EQ(colorText(shown.at(dialogPoint(dialog, 320, 150))), colorText(kDark));
        EXPECT_EQ(colorText(shown.at(dialogPoint(dialog, 150, 197))), colorText(kDark));
        RECT status = inDialog(dialog, ids::kStatusLine);
        EXPECT_EQ(colorText(shown.brightest(status)), colorText(RGB(222, 222, 222)));

        // Group box: grey rounded frame, caption centred (the standard one sits at the left).
        RECT group = inDialog(dialog, ids::kReadGroup);
        EXPECT_EQ(colorText(shown.at(group.left, (group.top + group.bottom) / 2)), colorText(RGB(100, 100, 100)));
        EXPECT_EQ(colorText(shown.at((group.left + group.right) / 2, group.bottom - 1)), colorText(RGB(100, 100, 100)));
        auto caption = brightColumns(shown, RECT{group.left + 1, group.top, group.right - 1, group.top + 12}, 200);
        ASSERT_GE(caption.first, 0);
        EXPECT_NEAR((caption.first + caption.second) / 2, (group.left + group.right) / 2, 3);

        // One-pixel frames: result labels RGB(64, 64, 64), the information box's RGB(164, 164, 164);
        // the separator one grey line instead of a glaring etched one.
        RECT label = inDialog(dialog, ids::kSequentialReadLabel);
        EXPECT_EQ(colorText(shown.at(label.left, (label.top + label.bottom) / 2)), colorText(RGB(64, 64, 64)));
        RECT info = inDialog(dialog, ids::kInfoBox);
        EXPECT_EQ(colorText(shown.at((info.left + info.right) / 2, info.top)), colorText(RGB(164, 164, 164)));
        EXPECT_EQ(colorText(shown.at(info.left, (info.top + info.bottom) / 2)), colorText(RGB(164, 164, 164)));
        RECT separator = inDialog(dialog, ids::kTopSeparator);
        int line = (separator.top + separator.bottom) / 2 - 1;
        EXPECT_EQ(colorText(shown.at(separator.left + 20, line)), colorText(RGB(100, 100, 100)));
        EXPECT_EQ(colorText(shown.at(separator.left + 20, line + 1)), colorText(kDark));

        // Combo boxes: the focused border yellowish, the other light grey, a disabled one grey
        // with its selection in RGB(155, 155, 155).
        HWND startCheck = GetDlgItem(dialog, ids::kStartCheckBox);
        auto topEdge = [dialog](int id) {
            RECT rect = inDialog(dialog, id);
            return POINT{(rect.left + rect.right) / 2 - 20, rect.top};
        };
        for (int focused : {ids::kStartCheckBox, ids::kDurationBox}) {
            SetFocus(GetDlgItem(dialog, focused));
            pumpMessages(100);
            shown = capture(dialog);
            int other = focused == ids::kStartCheckBox ? ids::kDurationBox : ids::kStartCheckBox;
            EXPECT_EQ(colorText(shown.at(topEdge(focused))), colorText(RGB(165, 164, 64))) << focused;
            EXPECT_EQ(colorText(shown.at(topEdge(other))), colorText(RGB(192, 192, 192))) << other;
            EXPECT_EQ(colorText(shown.brightest(inDialog(dialog, other))), colorText(RGB(255, 255, 255)));
        }
        EnableWindow(startCheck, FALSE);
        pumpMessages(100);
        shown = capture(dialog);
        EXPECT_EQ(colorText(shown.at(topEdge(ids::kStartCheckBox))), colorText(RGB(164, 164, 164)));
        COMBOBOXINFO combo{};
        combo.cbSize = sizeof(combo);
        ASSERT_TRUE(GetComboBoxInfo(startCheck, &combo));
        combo.rcItem.right -= 1;  // the separator before the arrow takes the item's last column
        EXPECT_EQ(colorText(shown.brightest(inDialog(dialog, ids::kStartCheckBox, &combo.rcItem))),
                  colorText(RGB(155, 155, 155)));
        DestroyWindow(dialog);
    });
}

TEST_F(DarkRendering, MessageBoxOnTheHookedThreadIsDark) {
    initWithFake();
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        const wchar_t* title = L"Brindlecrest dark message";
        Picture shown;
        RECT text{};
        std::thread reader([&] {
            HWND box = nullptr;
            for (int i = 0; i < 250 && !box; ++i, Sleep(20)) {
                box = FindWindowW(L"#32770", title);
            }
            if (box) {
                Sleep(500);  // let it paint
                GetWindowRect(FindWindowExW(box, nullptr, L"Static", L"Memory check finished."), &text);
                MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&text), 2);
                shown = capture(box);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
        MessageBoxW(nullptr, L"Memory check finished.", title, MB_OK);
        reader.join();
        ASSERT_GT(shown.width, 0) << "the message box was not found";
        EXPECT_EQ(colorText(shown.at(2, 2)), colorText(kDark));
        EXPECT_EQ(colorText(shown.at(text.right - 1, text.bottom - 1)), colorText(kDark));
        EXPECT_EQ(colorText(shown.brightest(text)), colorText(RGB(222, 222, 222)));
    });
}

}  // namespace
