#include "ui/OwnerDrawnMenu.h"

#include <commctrl.h>

#include "ui/DarkMode.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// Dark palette of the menus.
constexpr COLORREF kDarkMenuBackground = RGB(32, 32, 32);
constexpr COLORREF kDarkMenuText = RGB(222, 222, 222);
constexpr COLORREF kDarkMenuGrey = RGB(128, 128, 128);
constexpr COLORREF kDarkHighlightText = RGB(255, 255, 125);

// The selected item's gradient ends at this share of the highlight colour.
constexpr int kGradientEndPercent = 40;
// Separators stop this far from both ends of the item.
constexpr int kSeparatorInset = 10;
// Space between the icon column and the text.
constexpr int kTextGap = 3;
// Extra width of every item beyond its text and the two icon columns.
constexpr int kItemExtraWidth = 22;
// Default items are drawn this much heavier.
constexpr int kBoldExtraWeight = 200;
// A checked item with an icon: its text moves right by this share of the small-icon height.
constexpr double kCheckedTextShift = 0.8;

// The check mark, drawn pixel by pixel ('#' is set).
constexpr int kCheckSize = 7;
constexpr const char* kCheckMark[kCheckSize] = {
    "......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#....",
};
constexpr int kRadioSize = 6;

// Submenu triangle (dark palette only): 4 columns, 7, 5, 3 and 1 pixels high.
constexpr int kTriangleColumns = 4;

std::unordered_map<ULONG_PTR, std::unique_ptr<MenuItemRecord>> records;

HIMAGELIST imageList = nullptr;
std::vector<int> imageCommands;  // command id of each image, by index
// Icons given but not yet in the list, in the order given. Scaling an icon into the list costs
// milliseconds each under Wine, and the list is first needed when a menu opens.
struct PendingIcon {
    int command;
    HICON icon;
    bool owned;  // ours to destroy once it is in the list
};
std::vector<PendingIcon> pendingIcons;

void releasePending(const PendingIcon& pending) {
    if (pending.owned) {
        DestroyIcon(pending.icon);
    }
}

void addPendingIcon(HICON icon, int command, bool owned) {
    if (!icon) {
        return;
    }
    auto found = std::find_if(pendingIcons.begin(), pendingIcons.end(), [command](const PendingIcon& entry) { return entry.command == command; });
    if (found != pendingIcons.end()) {
        releasePending(*found);
        *found = PendingIcon{command, icon, owned};
    } else {
        pendingIcons.push_back(PendingIcon{command, icon, owned});
    }
}

int imageIndexOf(int command) {
    auto found = std::find(imageCommands.begin(), imageCommands.end(), command);
    return found == imageCommands.end() ? -1 : static_cast<int>(found - imageCommands.begin());
}

// An icon given again for a command replaces its image; a new command gets the next index.
void renderPendingIcons() {
    if (pendingIcons.empty()) {
        return;
    }
    if (!imageList) {
        const MenuMetrics& metrics = menuMetrics();
        imageList = ImageList_Create(metrics.iconWidth, metrics.iconHeight, ILC_COLOR32 | ILC_MASK, 32, 8);
    }
    for (const PendingIcon& pending : pendingIcons) {
        if (imageList) {
            const int existing = imageIndexOf(pending.command);
            const int index = ImageList_ReplaceIcon(imageList, existing, pending.icon);
            if (index >= 0 && existing < 0) {
                imageCommands.push_back(pending.command);
            }
        }
        releasePending(pending);
    }
    pendingIcons.clear();
}

HFONT boldMenuFont() {
    static HFONT bold = [] {
        LOGFONTW font{};
        GetObjectW(menuFont(), sizeof(font), &font);
        font.lfWeight += kBoldExtraWeight;
        HFONT made = CreateFontIndirectW(&font);
        return made ? made : menuFont();
    }();
    return bold;
}

// Keeps a DC's selected font, text colour and background mode, and puts them back.
class DcState {
public:
    explicit DcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~DcState() { RestoreDC(dc_, saved_); }
    DcState(const DcState&) = delete;
    DcState& operator=(const DcState&) = delete;

private:
    HDC dc_;
    int saved_;
};

void fillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    // ExtTextOut with an opaque rectangle fills without making a brush.
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

int channelAt(int top, int bottom, int line, int lines) {
    return top + (bottom - top) * line / (lines > 1 ? lines - 1 : 1);
}

// From the highlight colour on the first line to 40 % of it on the last.
void fillGradient(HDC dc, const RECT& rect, COLORREF top) {
    const int lines = rect.bottom - rect.top;
    const int r = GetRValue(top), g = GetGValue(top), b = GetBValue(top);
    for (int line = 0; line < lines; ++line) {
        COLORREF colour = RGB(channelAt(r, r * kGradientEndPercent / 100, line, lines),
                              channelAt(g, g * kGradientEndPercent / 100, line, lines),
                              channelAt(b, b * kGradientEndPercent / 100, line, lines));
        RECT row{rect.left, rect.top + line, rect.right, rect.top + line + 1};
        fillSolid(dc, row, colour);
    }
}

void drawCheckMark(HDC dc, int left, int top, COLORREF colour) {
    for (int y = 0; y < kCheckSize; ++y) {
        for (int x = 0; x < kCheckSize; ++x) {
            if (kCheckMark[y][x] == '#') {
                SetPixelV(dc, left + x, top + y, colour);
            }
        }
    }
}

void drawRadioMark(HDC dc, int left, int top, COLORREF colour) {
    for (int y = 0; y < kRadioSize; ++y) {
        for (int x = 0; x < kRadioSize; ++x) {
            SetPixelV(dc, left + x, top + y, colour);
        }
    }
}

void drawSubmenuTriangle(HDC dc, int centreX, int centreY, COLORREF colour) {
    for (int column = 0; column < kTriangleColumns; ++column) {
        const int half = kTriangleColumns - 1 - column;
        for (int y = centreY - half; y <= centreY + half; ++y) {
            SetPixelV(dc, centreX - kTriangleColumns / 2 + column, y, colour);
        }
    }
}

COLORREF itemTextColour(UINT itemState) {
    const bool disabled = (itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const bool selected = (itemState & ODS_SELECTED) != 0;
    if (disabled) {
        return menuColour(selected ? COLOR_GRAYTEXT : COLOR_BTNSHADOW);
    }
    return menuColour(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
}

void drawItemText(HDC dc, const WideString& text, RECT rect) {
    // The part after a TAB (a shortcut, a second name) stands at the right.
    const int tab = text.find(L'\t');
    const UINT flags = DT_SINGLELINE | DT_VCENTER;
    if (tab < 0) {
        DrawTextW(dc, text.c_str(), text.length(), &rect, flags | DT_LEFT);
        return;
    }
    DrawTextW(dc, text.c_str(), tab, &rect, flags | DT_LEFT);
    DrawTextW(dc, text.c_str() + tab + 1, text.length() - tab - 1, &rect, flags | DT_RIGHT);
}

WideString itemText(HMENU menu, int position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) || info.cch == 0) {
        return WideString();
    }
    WideString text;
    info.cch += 1;
    info.dwTypeData = text.writableBuffer(static_cast<int>(info.cch));
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    text.releaseBuffer(static_cast<int>(info.cch));
    return text;
}

}  // namespace

const MenuMetrics& menuMetrics() {
    static const MenuMetrics metrics = [] {
        LOGFONTW font{};
        GetObjectW(menuFont(), sizeof(font), &font);
        return MenuMetrics{GetSystemMetrics(SM_CXSMICON) + 5, GetSystemMetrics(SM_CYSMICON) + 2,
                           GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                           font.lfHeight < 0 ? -font.lfHeight : font.lfHeight};
    }();
    return metrics;
}

HFONT menuFont() {
    static HFONT font = [] {
        // The size of the structure before Vista added iPaddedBorderWidth: accepted by every version.
        constexpr UINT kMetricsBytes = 500;
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = kMetricsBytes;
        HFONT made = nullptr;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsBytes, &metrics, 0)) {
            made = CreateFontIndirectW(&metrics.lfMenuFont);
        }
        return made ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

COLORREF menuColour(int index) {
    if (!isDarkActive()) {
        return GetSysColor(index);
    }
    switch (index) {
    case COLOR_MENU:
    case COLOR_WINDOW:
        return kDarkMenuBackground;
    case COLOR_MENUTEXT:
        return kDarkMenuText;
    case COLOR_HIGHLIGHT:
    case COLOR_BTNSHADOW:
    case COLOR_GRAYTEXT:
    case COLOR_MENUHILIGHT:
        return kDarkMenuGrey;
    case COLOR_HIGHLIGHTTEXT:
        return kDarkHighlightText;
    default:
        return GetSysColor(index);
    }
}

void addMenuIcon(HICON icon, int command) { addPendingIcon(icon, command, false); }

void addOwnedMenuIcon(HICON icon, int command) { addPendingIcon(icon, command, true); }

int menuImageIndex(int command) {
    renderPendingIcons();
    return imageIndexOf(command);
}

HIMAGELIST menuImageList() {
    renderPendingIcons();
    return imageList;
}

void convertPopupToOwnerDrawn(HMENU popup) {
    const int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(popup, static_cast<UINT>(position), TRUE, &info) || (info.fType & MFT_OWNERDRAW)) {
            continue;
        }
        auto record = std::make_unique<MenuItemRecord>();
        record->type = info.fType;
        record->state = info.fState;
        record->opensSubmenu = info.hSubMenu != nullptr;
        record->image = menuImageIndex(static_cast<int>(info.wID));
        if (!(info.fType & MFT_SEPARATOR)) {
            record->text = itemText(popup, position);
        }
        MENUITEMINFOW change{};
        change.cbSize = sizeof(change);
        change.fMask = MIIM_FTYPE | MIIM_DATA;
        change.fType = info.fType | MFT_OWNERDRAW;
        change.dwItemData = reinterpret_cast<ULONG_PTR>(record.get());
        if (SetMenuItemInfoW(popup, static_cast<UINT>(position), TRUE, &change)) {
            records[change.dwItemData] = std::move(record);
        }
    }
}

void releaseMenuRecords(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) {
            continue;
        }
        if (info.hSubMenu) {
            releaseMenuRecords(info.hSubMenu);
        }
        records.erase(info.dwItemData);
    }
}

const MenuItemRecord* menuItemRecord(ULONG_PTR itemData) {
    auto found = records.find(itemData);
    return found == records.end() ? nullptr : found->second.get();
}

bool measureMenuItem(MEASUREITEMSTRUCT& measure) {
    const MenuItemRecord* record = measure.CtlType == ODT_MENU ? menuItemRecord(measure.itemData) : nullptr;
    if (!record || record->tag != kMenuItemTag) {
        return false;
    }
    if (record->type & MFT_SEPARATOR) {
        measure.itemWidth = 0;
        measure.itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) / 2);
        return true;
    }
    const MenuMetrics& metrics = menuMetrics();
    HDC dc = GetDC(nullptr);
    RECT textRect{};
    {
        DcState state(dc);
        SelectObject(dc, (record->state & MFS_DEFAULT) ? boldMenuFont() : menuFont());
        DrawTextW(dc, record->text.c_str(), record->text.length(), &textRect, DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
    }
    ReleaseDC(nullptr, dc);
    measure.itemHeight = static_cast<UINT>(std::max(metrics.fontHeight + 8, metrics.minItemHeight));
    const int width = (textRect.right - textRect.left) + 2 * metrics.iconColumnWidth - GetSystemMetrics(SM_CXMENUCHECK) +
                      kItemExtraWidth;
    measure.itemWidth = static_cast<UINT>(std::max(width, 0));
    return true;
}

namespace {

void paintItem(const DRAWITEMSTRUCT& draw, const MenuItemRecord* record) {
    const MenuMetrics& metrics = menuMetrics();
    const RECT& item = draw.rcItem;
    const int height = item.bottom - item.top;
    DcState state(draw.hDC);

    if (isDarkActive()) {
        fillSolid(draw.hDC, item, kDarkMenuBackground);
    }
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    if (selected) {
        fillGradient(draw.hDC, item, menuColour(COLOR_HIGHLIGHT));
    } else if (draw.itemAction & ODA_SELECT) {
        fillSolid(draw.hDC, item, menuColour(COLOR_MENU));
    }

    if (record->type & MFT_SEPARATOR) {
        RECT line{item.left + kSeparatorInset, item.top + height / 2, item.right - kSeparatorInset, item.top + height / 2 + 1};
        fillSolid(draw.hDC, line, menuColour(COLOR_GRAYTEXT));
        return;
    }

    const bool disabled = (draw.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    HIMAGELIST images = menuImageList();
    const bool hasImage = record->image >= 0 && images;
    if (hasImage && !disabled) {
        ImageList_Draw(images, record->image, draw.hDC, item.left + (metrics.iconColumnWidth - metrics.iconWidth) / 2,
                       item.top + (height - metrics.iconHeight) / 2, ILD_TRANSPARENT);
    }

    const COLORREF textColour = itemTextColour(draw.itemState);
    int textShift = 0;
    if (draw.itemState & ODS_CHECKED) {
        const bool radio = (record->type & MFT_RADIOCHECK) != 0;
        const int size = radio ? kRadioSize : kCheckSize;
        int markLeft = item.left + (metrics.iconColumnWidth - size) / 2;
        if (hasImage) {
            markLeft += metrics.iconHeight;
            textShift = static_cast<int>(kCheckedTextShift * metrics.iconHeight);
        }
        const int markTop = item.top + (height - size) / 2;
        if (radio) {
            drawRadioMark(draw.hDC, markLeft, markTop, textColour);
        } else {
            drawCheckMark(draw.hDC, markLeft, markTop, textColour);
        }
    }

    SetBkMode(draw.hDC, TRANSPARENT);
    SetTextColor(draw.hDC, textColour);
    SelectObject(draw.hDC, (draw.itemState & ODS_DEFAULT) ? boldMenuFont() : menuFont());
    RECT textRect{item.left + metrics.iconColumnWidth + kTextGap + textShift, item.top,
                  item.right - metrics.iconColumnWidth, item.bottom};
    drawItemText(draw.hDC, record->text, textRect);

    if (isDarkActive() && record->opensSubmenu) {
        drawSubmenuTriangle(draw.hDC, item.right - metrics.iconColumnWidth, item.top + height / 2, textColour);
    }
}

}  // namespace

bool drawMenuItem(const DRAWITEMSTRUCT& draw) {
    const MenuItemRecord* record = draw.CtlType == ODT_MENU ? menuItemRecord(draw.itemData) : nullptr;
    if (!record || record->tag != kMenuItemTag) {
        return false;
    }
    paintItem(draw, record);
    if (isDarkActive() && record->opensSubmenu) {
        // The system draws its own arrow after this, in a colour meant for the light background:
        // the item is kept out of its reach, so only the triangle above shows.
        ExcludeClipRect(draw.hDC, draw.rcItem.left, draw.rcItem.top, draw.rcItem.right, draw.rcItem.bottom);
    }
    return true;
}

void setMenuBackground(HMENU menu) {
    static HBRUSH darkBrush = CreateSolidBrush(kDarkMenuBackground);
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = isDarkActive() ? darkBrush : GetSysColorBrush(COLOR_MENU);
    SetMenuInfo(menu, &info);
}

wchar_t menuMnemonic(const wchar_t* text) {
    if (!text) {
        return 0;
    }
    for (const wchar_t* p = text; p[0]; ++p) {
        if (p[0] != L'&') {
            continue;
        }
        if (p[1] == L'&') {
            ++p;  // "&&" is a literal ampersand
            continue;
        }
        if (!p[1]) {
            return 0;
        }
        wchar_t upper[2] = {p[1], 0};
        CharUpperW(upper);
        return upper[0];
    }
    return 0;
}
