// Owner-drawn menu items: what the conversion keeps of an item, how items are measured, and what
// the drawing puts on the screen in both palettes, read back pixel by pixel from real GDI.
#include "ui/OwnerDrawnMenu.h"

#include "tests/e2e/ScreenImage.h"
#include "tests/ui/MenuTestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

using e2e::ScreenImage;

constexpr COLORREF kMarker = RGB(90, 200, 90);  // what lies under an item before it is drawn
constexpr COLORREF kIconColour = RGB(200, 30, 160);
constexpr COLORREF kDarkBackground = RGB(32, 32, 32);
constexpr COLORREF kDarkText = RGB(222, 222, 222);
constexpr COLORREF kDarkGrey = RGB(128, 128, 128);
constexpr int kItemWidth = 260;
constexpr int kTextTolerance = 40;  // anti-aliased glyphs

enum : UINT { kOpen = 101, kRadio = 102, kDisabled = 103, kNoIcon = 104 };

// One popup of every kind of item, converted, as the command bar converts what it shows.
class OwnerDrawnMenu : public ::testing::Test {
protected:
    void SetUp() override {
        icon_ = menutest::plainIcon(kIconColour);
        addMenuIcon(icon_, kOpen);
        addMenuIcon(icon_, kDisabled);
        addMenuIcon(icon_, kRadio);
        popup_ = CreatePopupMenu();
        submenu_ = CreatePopupMenu();
        AppendMenuW(submenu_, MF_STRING, 111, L"Deeper");
        AppendMenuW(popup_, MF_STRING, kOpen, L"&Open\tCtrl+O");   // 0
        AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);           // 1
        AppendMenuW(popup_, MF_STRING, kRadio, L"Radio");         // 2
        AppendMenuW(popup_, MF_STRING | MF_GRAYED, kDisabled, L"Greyed");  // 3
        AppendMenuW(popup_, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu_), L"&More");  // 4
        AppendMenuW(popup_, MF_STRING, kNoIcon, L"Plain words");  // 5
        MENUITEMINFOW radio{};
        radio.cbSize = sizeof(radio);
        radio.fMask = MIIM_FTYPE;
        radio.fType = MFT_STRING | MFT_RADIOCHECK;
        SetMenuItemInfoW(popup_, 2, TRUE, &radio);
        SetMenuDefaultItem(popup_, kNoIcon, FALSE);
        convertPopupToOwnerDrawn(popup_);
        height_ = std::max(menuMetrics().fontHeight + 8, menuMetrics().minItemHeight);
    }
    void TearDown() override {
        releaseMenuRecords(popup_);
        DestroyMenu(popup_);
        DestroyIcon(icon_);
    }

    ULONG_PTR itemData(int position) const {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA;
        GetMenuItemInfoW(popup_, static_cast<UINT>(position), TRUE, &info);
        return info.dwItemData;
    }

    // The item drawn into a picture of its own size, as the menu window would ask for it.
    ScreenImage draw(int position, UINT itemState, int height = 0, UINT action = ODA_DRAWENTIRE) const {
        if (height == 0) {
            height = height_;
        }
        const ULONG_PTR data = itemData(position);
        return e2e::paintToImage(kItemWidth, height, kMarker, [&](HDC dc) {
            DRAWITEMSTRUCT item{};
            item.CtlType = ODT_MENU;
            item.itemID = GetMenuItemID(popup_, position);
            item.itemAction = action;
            item.itemState = itemState;
            item.hDC = dc;
            item.rcItem = RECT{0, 0, kItemWidth, height};
            item.itemData = data;
            EXPECT_TRUE(drawMenuItem(item));
        });
    }

    RECT textArea() const {
        return RECT{menuMetrics().iconColumnWidth + 3, 0, kItemWidth - menuMetrics().iconColumnWidth, height_};
    }

    HICON icon_ = nullptr;
    HMENU popup_ = nullptr;
    HMENU submenu_ = nullptr;
    int height_ = 0;
};

TEST_F(OwnerDrawnMenu, ConversionKeepsTypeStateTextImageAndSubmenuOfEveryItem) {
    struct Expected {
        UINT type;
        bool greyed;
        bool isDefault;
        const wchar_t* text;
        bool hasImage;
        bool submenu;
    };
    const Expected expected[] = {
        {MFT_STRING, false, false, L"&Open\tCtrl+O", true, false},
        {MFT_SEPARATOR, false, false, L"", false, false},
        {MFT_RADIOCHECK, false, false, L"Radio", true, false},
        {MFT_STRING, true, false, L"Greyed", true, false},
        {MFT_STRING, false, false, L"&More", false, true},
        {MFT_STRING, false, true, L"Plain words", false, false},
    };
    ASSERT_EQ(GetMenuItemCount(popup_), 6);
    for (int position = 0; position < 6; ++position) {
        SCOPED_TRACE(position);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoW(popup_, static_cast<UINT>(position), TRUE, &info));
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        const MenuItemRecord* record = menuItemRecord(info.dwItemData);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->tag, 0x1313u);
        EXPECT_EQ(record->type & (MFT_SEPARATOR | MFT_RADIOCHECK | MFT_OWNERDRAW), expected[position].type & ~MFT_STRING);
        if (!(expected[position].type & MFT_SEPARATOR)) {  // the system greys separators its own way
            EXPECT_EQ((record->state & MFS_GRAYED) != 0, expected[position].greyed);
            EXPECT_EQ((record->state & MFS_DEFAULT) != 0, expected[position].isDefault);
        }
        EXPECT_STREQ(record->text.c_str(), expected[position].text);
        // The image belongs to the command, wherever the item stands.
        EXPECT_EQ(record->image, expected[position].hasImage ? menuImageIndex(static_cast<int>(info.wID)) : -1);
        EXPECT_EQ(record->opensSubmenu, expected[position].submenu);
    }
    // Converting again leaves every item with the record it has.
    const ULONG_PTR first = itemData(0);
    convertPopupToOwnerDrawn(popup_);
    EXPECT_EQ(itemData(0), first);
    EXPECT_EQ(menuItemRecord(first), reinterpret_cast<const MenuItemRecord*>(first));

    // Data that is not one of ours is never taken for a record.
    EXPECT_EQ(menuItemRecord(12345), nullptr);
    MEASUREITEMSTRUCT foreign{ODT_MENU, 0, 1, 0, 0, 12345};
    EXPECT_FALSE(measureMenuItem(foreign));
    releaseMenuRecords(popup_);
    EXPECT_EQ(menuItemRecord(first), nullptr);
}

// The gradient itself is checked on the screen (tests/app); here what goes with it.
TEST_F(OwnerDrawnMenu, SelectedTextAndLeavingTheSelectionInBothPalettes) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        menutest::DarkPalette palette(dark);
        const COLORREF text = dark ? RGB(255, 255, 125) : GetSysColor(COLOR_HIGHLIGHTTEXT);
        EXPECT_TRUE(e2e::containsColour(draw(5, ODS_SELECTED), textArea(), text, kTextTolerance)) << "highlight text";
        // Leaving the selection repaints the menu's background; a plain redraw leaves it alone.
        EXPECT_EQ(draw(5, 0, 0, ODA_SELECT).at(1, 1), dark ? kDarkBackground : GetSysColor(COLOR_MENU));
        EXPECT_EQ(draw(5, 0).at(1, 1), dark ? kDarkBackground : kMarker);
    }
}

TEST_F(OwnerDrawnMenu, TextIconsAndGreyingInBothPalettes) {
    const MenuMetrics& metrics = menuMetrics();
    const int iconLeft = (metrics.iconColumnWidth - metrics.iconWidth) / 2;
    const int iconTop = (height_ - metrics.iconHeight) / 2;
    const RECT iconColumn{0, 0, metrics.iconColumnWidth, height_};
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        menutest::DarkPalette palette(dark);
        const COLORREF text = dark ? kDarkText : GetSysColor(COLOR_MENUTEXT);
        const COLORREF greyed = dark ? kDarkGrey : GetSysColor(COLOR_BTNSHADOW);

        ScreenImage open = draw(0, 0);
        EXPECT_EQ(open.at(iconLeft, iconTop), kIconColour);
        EXPECT_EQ(open.at(iconLeft + metrics.iconWidth - 1, iconTop + metrics.iconHeight - 1), kIconColour);
        EXPECT_NE(open.at(iconLeft - 1, iconTop), kIconColour) << "centred in the icon column";
        EXPECT_TRUE(e2e::containsColour(open, textArea(), text, kTextTolerance));
        EXPECT_FALSE(e2e::containsColour(open, RECT{metrics.iconColumnWidth, 0, metrics.iconColumnWidth + 3, height_}, text,
                                         kTextTolerance))
            << "the text starts 3 pixels after the icon column";
        // After the TAB: right-aligned, ending before the last icon column.
        const RECT rightEnd{kItemWidth - metrics.iconColumnWidth - 12, 0, kItemWidth - metrics.iconColumnWidth, height_};
        EXPECT_TRUE(e2e::containsColour(open, rightEnd, text, kTextTolerance)) << "\"Ctrl+O\" stands at the right";
        EXPECT_FALSE(e2e::containsColour(open, RECT{kItemWidth - metrics.iconColumnWidth, 0, kItemWidth, height_}, text,
                                         kTextTolerance));
        if (dark) {
            EXPECT_EQ(open.at(kItemWidth - 2, 1), kDarkBackground);
        }

        ScreenImage grey = draw(3, ODS_GRAYED | ODS_DISABLED);
        EXPECT_FALSE(e2e::containsColour(grey, iconColumn, kIconColour, 0)) << "no icon beside a greyed item";
        EXPECT_TRUE(e2e::containsColour(grey, textArea(), greyed, kTextTolerance / 2));
        EXPECT_FALSE(e2e::containsColour(grey, textArea(), text, kTextTolerance / 2)) << "greyed, not in the text colour";
    }
}

TEST_F(OwnerDrawnMenu, CheckAndRadioMarksMakeRoomBesideAnIcon) {
    const MenuMetrics& metrics = menuMetrics();
    const COLORREF text = GetSysColor(COLOR_MENUTEXT);
    const int markTop = (height_ - 7) / 2;

    // Without an icon the mark sits in the icon column; its lowest pixel is at column 2 of 7.
    ScreenImage plain = draw(5, ODS_CHECKED);
    const int markLeft = (metrics.iconColumnWidth - 7) / 2;
    EXPECT_EQ(plain.at(markLeft + 6, markTop), text) << "top right of the tick";
    EXPECT_EQ(plain.at(markLeft + 2, markTop + 6), text) << "bottom of the tick";
    EXPECT_EQ(plain.at(markLeft, markTop), kMarker);

    // Beside an icon: the icon stays, the mark moves right by the icon's height.
    ScreenImage withIcon = draw(0, ODS_CHECKED);
    const int shifted = markLeft + metrics.iconHeight;
    EXPECT_EQ(withIcon.at(shifted + 6, markTop), text);
    EXPECT_EQ(withIcon.at(shifted + 2, markTop + 6), text);
    EXPECT_EQ(withIcon.at((metrics.iconColumnWidth - metrics.iconWidth) / 2 + 1, (height_ - metrics.iconHeight) / 2 + 1),
              kIconColour);
    // and the text moves right by 0.8 of it, so the mark never touches the text.
    const int textLeft = metrics.iconColumnWidth + 3 + static_cast<int>(0.8 * metrics.iconHeight);
    EXPECT_FALSE(e2e::containsColour(withIcon, RECT{shifted + 7, 0, textLeft, height_}, text, kTextTolerance));

    // A radio item shows a filled square instead.
    ScreenImage radio = draw(2, ODS_CHECKED);
    const int squareLeft = (metrics.iconColumnWidth - 6) / 2 + metrics.iconHeight;
    const int squareTop = (height_ - 6) / 2;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            ASSERT_EQ(radio.at(squareLeft + x, squareTop + y), text) << x << "," << y;
        }
    }
}

TEST_F(OwnerDrawnMenu, MeasuresSeparatorsAndItemsAndBoldDefaultItemsWider) {
    MEASUREITEMSTRUCT separator{ODT_MENU, 0, 0, 0, 0, itemData(1)};
    ASSERT_TRUE(measureMenuItem(separator));
    EXPECT_EQ(separator.itemWidth, 0u);
    EXPECT_EQ(separator.itemHeight, static_cast<UINT>(GetSystemMetrics(SM_CYMENU) / 2));

    MEASUREITEMSTRUCT open{ODT_MENU, 0, kOpen, 0, 0, itemData(0)};
    ASSERT_TRUE(measureMenuItem(open));
    EXPECT_EQ(open.itemHeight, static_cast<UINT>(height_));
    EXPECT_GE(height_, GetSystemMetrics(SM_CYSMICON) + 2);

    // Default items are bold, so they measure wider than the same text in the plain font.
    MEASUREITEMSTRUCT bold{ODT_MENU, 0, kNoIcon, 0, 0, itemData(5)};
    ASSERT_TRUE(measureMenuItem(bold));
    HMENU plainMenu = CreatePopupMenu();
    AppendMenuW(plainMenu, MF_STRING, 1, L"Plain words");
    convertPopupToOwnerDrawn(plainMenu);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    GetMenuItemInfoW(plainMenu, 0, TRUE, &info);
    MEASUREITEMSTRUCT plain{ODT_MENU, 0, 1, 0, 0, info.dwItemData};
    ASSERT_TRUE(measureMenuItem(plain));
    EXPECT_GT(bold.itemWidth, plain.itemWidth);
    releaseMenuRecords(plainMenu);
    DestroyMenu(plainMenu);
}

TEST(MenuColours, BackgroundBrushReachesTheSubmenusToo) {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    HMENU inner = CreatePopupMenu();
    AppendMenuW(inner, MF_STRING, 1, L"x");
    AppendMenuW(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"inner");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"popup");
    auto brushColour = [](HMENU menu) {
        MENUINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = MIM_BACKGROUND;
        GetMenuInfo(menu, &info);
        LOGBRUSH brush{};
        GetObjectW(info.hbrBack, sizeof(brush), &brush);
        return info.hbrBack ? brush.lbColor : CLR_INVALID;
    };
    {
        menutest::DarkPalette palette(true);
        setMenuBackground(bar);
        EXPECT_EQ(brushColour(popup), kDarkBackground);
        EXPECT_EQ(brushColour(inner), kDarkBackground);
    }
    menutest::DarkPalette palette(false);
    setMenuBackground(bar);
    EXPECT_EQ(brushColour(inner), GetSysColor(COLOR_MENU));
    DestroyMenu(bar);
}

// The list takes its copies only when asked for; what it must still get right: the last icon given
// for a command wins (not the first, not both), indices stay where they were, the icons the list
// owns are destroyed and the caller's are not.
TEST(MenuIcons, TheLastIconPerCommandEntersTheListWhenAskedForAndOwnedIconsAreDestroyed) {
    constexpr int kFirst = 901;
    constexpr int kSecond = 902;
    auto colourOf = [](int command) {
        const int width = GetSystemMetrics(SM_CXSMICON);
        const int height = GetSystemMetrics(SM_CYSMICON);
        return e2e::paintToImage(width, height, kMarker, [&](HDC dc) {
                   ImageList_Draw(menuImageList(), menuImageIndex(command), dc, 0, 0, ILD_TRANSPARENT);
               }).at(width / 2, height / 2);
    };
    auto alive = [](HICON icon) {
        ICONINFO info{};
        if (!GetIconInfo(icon, &info)) {
            return false;
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return true;
    };
    HIMAGELIST list = menuImageList();
    const int before = list ? ImageList_GetImageCount(list) : 0;

    HICON red = menutest::plainIcon(RGB(220, 0, 0));
    HICON blue = menutest::plainIcon(RGB(0, 0, 220));
    HICON green = menutest::plainIcon(RGB(0, 200, 0));
    addOwnedMenuIcon(red, kFirst);
    addMenuIcon(blue, kSecond);
    addOwnedMenuIcon(green, kFirst);  // replaces red before the list has seen it
    EXPECT_FALSE(alive(red)) << "an owned icon that was replaced is destroyed";

    const int first = menuImageIndex(kFirst);
    const int second = menuImageIndex(kSecond);
    ASSERT_NE(menuImageList(), nullptr);
    EXPECT_EQ(ImageList_GetImageCount(menuImageList()), before + 2) << "one image per command";
    EXPECT_EQ(first, before);
    EXPECT_EQ(second, before + 1);
    EXPECT_EQ(colourOf(kFirst), RGB(0, 200, 0));
    EXPECT_EQ(colourOf(kSecond), RGB(0, 0, 220));
    EXPECT_FALSE(alive(green)) << "the list destroys the owned icon once it has its copy";
    EXPECT_TRUE(alive(blue)) << "the caller's icon stays the caller's";

    // Given again once in the list: the image is replaced where it stands.
    addOwnedMenuIcon(menutest::plainIcon(RGB(230, 200, 0)), kSecond);
    EXPECT_EQ(menuImageIndex(kSecond), second);
    EXPECT_EQ(ImageList_GetImageCount(menuImageList()), before + 2);
    EXPECT_EQ(colourOf(kSecond), RGB(230, 200, 0));
    EXPECT_EQ(colourOf(kFirst), RGB(0, 200, 0));
    DestroyIcon(blue);
}

TEST(MenuMnemonic, TheCharacterAfterASingleAmpersand) {
    EXPECT_EQ(menuMnemonic(L"E&xit"), L'X');
    EXPECT_EQ(menuMnemonic(L"&System"), L'S');
    EXPECT_EQ(menuMnemonic(L"Save && &quit"), L'Q');
    EXPECT_EQ(menuMnemonic(L"R&&D"), 0);
    EXPECT_EQ(menuMnemonic(L"Info"), 0);
    EXPECT_EQ(menuMnemonic(L"trailing&"), 0);
    EXPECT_EQ(menuMnemonic(L"&\x00e4nderung"), L'\x00c4');
    EXPECT_EQ(menuMnemonic(nullptr), 0);
}

}  // namespace
