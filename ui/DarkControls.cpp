// The dark look of the standard controls: subclass procedures that paint what the controls
// have no dark look for (borders, combo boxes, group boxes, rebars, status bars), and the colour
// answers for dialogs, statics and edits. Each procedure acts only while dark mode is active.
#include "ui/DarkControls.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include "ui/DarkMode.h"

#include <string>

namespace dc = dark_colors;

namespace {

constexpr int kEditCorner = 2;
constexpr int kComboCorner = 4;
constexpr int kGroupCorner = 5;
constexpr int kComboTextInset = 4;
constexpr wchar_t kComboArrow[] = L"\u25BC";
// Set on a combo box while the mouse is over it, so that entering and leaving repaint it once.
constexpr wchar_t kComboHotProperty[] = L"BrindlecrestDarkComboHot";
// TBCDRF_USECDCOLORS | TBCDRF_NOMARK | TBCDRF_HILITEHOTTRACK
constexpr LRESULT kToolbarDrawFlags = 0x8A0000;

struct DarkPalette {
    HBRUSH background;
    HBRUSH comboArrowHot;
    HPEN frame;
    HPEN editBorder;
    HPEN comboBorder;
    HPEN comboBorderHot;
    HPEN comboBorderDisabled;
    HPEN groupFrame;
};

// Made on first use and never deleted: the controls use them for the whole run.
const DarkPalette& palette() {
    static const DarkPalette objects{
        CreateSolidBrush(dc::kBackground),           CreateSolidBrush(dc::kComboArrowHotBackground),
        CreatePen(PS_SOLID, 1, dc::kFrame),          CreatePen(PS_SOLID, 1, dc::kEditBorder),
        CreatePen(PS_SOLID, 1, dc::kComboBorder),    CreatePen(PS_SOLID, 1, dc::kComboBorderHot),
        CreatePen(PS_SOLID, 1, dc::kComboBorderDisabled), CreatePen(PS_SOLID, 1, dc::kGroupFrame),
    };
    return objects;
}

// The procedure each kind of control had before it was made dark.
WNDPROC previousDialogProc = nullptr;
WNDPROC previousStaticProc = nullptr;
WNDPROC previousEditProc = nullptr;
WNDPROC previousComboProc = nullptr;
WNDPROC previousGroupBoxProc = nullptr;
WNDPROC previousRebarProc = nullptr;
WNDPROC previousStatusBarProc = nullptr;
WNDPROC previousListViewProc = nullptr;

// The header's text colour in a dark list view, as the "Header" theme gives it.
COLORREF listHeaderTextColor = 0;
bool listHeaderTextColorKnown = false;

void subclass(HWND window, WNDPROC& previous, WNDPROC procedure) {
    auto old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    // A second subclass of one window must not make the procedure its own predecessor.
    if (old && old != procedure) {
        previous = old;
    }
}

void restore(HWND window, WNDPROC previous) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[257]{};
    GetClassNameW(window, name, 257);
    return name;
}

LRESULT answerColors(WPARAM dcParam, COLORREF text) {
    auto dcHandle = reinterpret_cast<HDC>(dcParam);
    SetTextColor(dcHandle, text);
    SetBkColor(dcHandle, dc::kBackground);
    return reinterpret_cast<LRESULT>(palette().background);
}

// A rectangle over the whole window, border included, in the window DC.
void drawWindowOutline(HWND window, HPEN pen, bool rounded, int corner, bool fill) {
    HDC windowDc = GetWindowDC(window);
    if (!windowDc) {
        return;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    OffsetRect(&rect, -rect.left, -rect.top);
    HGDIOBJ oldPen = SelectObject(windowDc, pen);
    // Without a fill the DC's default (white) brush would paint the inside.
    HGDIOBJ oldBrush = fill ? nullptr : SelectObject(windowDc, GetStockObject(NULL_BRUSH));
    if (rounded) {
        RoundRect(windowDc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
    } else {
        Rectangle(windowDc, rect.left, rect.top, rect.right, rect.bottom);
    }
    if (oldBrush) {
        SelectObject(windowDc, oldBrush);
    }
    SelectObject(windowDc, oldPen);
    ReleaseDC(window, windowDc);
}

LRESULT toolbarCustomDraw(NMTBCUSTOMDRAW& draw, bool& handled) {
    handled = true;
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage & CDDS_ITEM) {
        bool highlighted = (draw.nmcd.uItemState & (CDIS_SELECTED | CDIS_HOT)) != 0;
        draw.clrText = highlighted ? dc::kToolbarHotText : dc::kToolbarText;
        draw.clrMark = dc::kToolbarMark;
        draw.clrBtnHighlight = dc::kToolbarHighlight;
        draw.clrHighlightHotTrack = dc::kToolbarHighlight;
        return kToolbarDrawFlags;
    }
    handled = false;
    return 0;
}

LRESULT CALLBACK darkDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive()) {
        switch (message) {
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == static_cast<UINT>(NM_CUSTOMDRAW) && className(header->hwndFrom) == L"ToolbarWindow32") {
                bool handled = false;
                LRESULT result = toolbarCustomDraw(*reinterpret_cast<NMTBCUSTOMDRAW*>(lParam), handled);
                if (handled) {
                    return result;
                }
            }
            break;
        }
        case WM_ERASEBKGND: {
            // What DefDlgProc would paint with the colour answer below; done here because a
            // dialog with the tab-page texture paints the texture instead.
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, palette().background);
            return 1;
        }
        case WM_INITDIALOG:
            allowDarkForWindow(window);
            applyDarkTitleBar(window);
            break;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return answerColors(wParam, dc::kDialogText);
        default:
            break;
        }
    }
    return CallWindowProcW(previousDialogProc, window, message, wParam, lParam);
}

LRESULT CALLBACK darkStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive()) {
        switch (message) {
        case WM_NCPAINT:
            drawWindowOutline(window, palette().frame, false, 0, true);
            return 0;
        case WM_CTLCOLORSTATIC:
            return answerColors(wParam, dc::kControlText);
        default:
            break;
        }
    }
    return CallWindowProcW(previousStaticProc, window, message, wParam, lParam);
}

LRESULT CALLBACK darkEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = previousEditProc;
    if (isDarkActive()) {
        switch (message) {
        case WM_NCPAINT:
            drawWindowOutline(window, palette().editBorder, true, kEditCorner, false);
            return 0;
        case WM_CTLCOLOREDIT:
            return answerColors(wParam, dc::kControlText);
        default:
            break;
        }
    }
    if (message == WM_DESTROY) {
        restore(window, previous);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

std::wstring comboSelectionText(HWND combo) {
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) {
        return {};
    }
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void paintCombo(HWND combo, HDC paintDc) {
    const DarkPalette& objects = palette();
    HGDIOBJ oldFont = nullptr;
    if (auto font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0))) {
        oldFont = SelectObject(paintDc, font);
    }
    RECT client{};
    GetClientRect(combo, &client);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    bool haveInfo = GetComboBoxInfo(combo, &info) != FALSE;
    RECT button{};
    RECT item{};
    if (haveInfo) {
        button = info.rcButton;
        item = info.rcItem;
    } else {
        button = RECT{client.right - GetSystemMetrics(SM_CXVSCROLL) - 1, client.top + 1, client.right - 1, client.bottom - 1};
        item = RECT{client.left + 1, client.top + 1, button.left, client.bottom - 1};
    }
    button.left -= 1;

    bool enabled = IsWindowEnabled(combo) != FALSE;
    bool focused = GetFocus() == combo;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(combo, &cursor);
    bool hot = PtInRect(&client, cursor) != FALSE;

    SetBkMode(paintDc, OPAQUE);
    SetBkColor(paintDc, dc::kBackground);
    if ((GetWindowLongW(combo, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) {
        FillRect(paintDc, &item, objects.background);
        std::wstring text = comboSelectionText(combo);
        if (!text.empty()) {
            RECT textRect = item;
            textRect.left += kComboTextInset;
            textRect.right -= kComboTextInset;
            SetTextColor(paintDc, enabled ? dc::kControlText : dc::kComboDisabledText);
            DrawTextW(paintDc, text.c_str(), static_cast<int>(text.size()), &textRect,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        if (focused && !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) {
            DrawFocusRect(paintDc, &item);
        }
    }

    FillRect(paintDc, &button, hot ? objects.comboArrowHot : objects.background);
    SetBkMode(paintDc, TRANSPARENT);
    SetTextColor(paintDc, enabled && hot ? dc::kDialogText : dc::kComboArrow);
    DrawTextW(paintDc, kComboArrow, 1, &button, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);

    HPEN border = !enabled ? objects.comboBorderDisabled : (hot || focused) ? objects.comboBorderHot : objects.comboBorder;
    HGDIOBJ oldPen = SelectObject(paintDc, border);
    MoveToEx(paintDc, button.left, button.top, nullptr);
    LineTo(paintDc, button.left, button.bottom);
    // The frame round the client area must not paint over the text and the arrow.
    ExcludeClipRect(paintDc, item.left, item.top, item.right, item.bottom);
    ExcludeClipRect(paintDc, button.left, button.top, button.right, button.bottom);
    HGDIOBJ oldBrush = SelectObject(paintDc, objects.background);
    RoundRect(paintDc, client.left, client.top, client.right, client.bottom, kComboCorner, kComboCorner);
    SelectObject(paintDc, oldBrush);
    SelectObject(paintDc, oldPen);
    if (oldFont) {
        SelectObject(paintDc, oldFont);
    }
}

void trackComboHover(HWND combo) {
    if (GetPropW(combo, kComboHotProperty)) {
        return;
    }
    SetPropW(combo, kComboHotProperty, reinterpret_cast<HANDLE>(1));
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, combo, 0};
    TrackMouseEvent(&track);
    InvalidateRect(combo, nullptr, FALSE);
}

LRESULT CALLBACK darkComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous = previousComboProc;
    if (isDarkActive()) {
        switch (message) {
        case WM_NCPAINT:
            drawWindowOutline(window, palette().frame, false, 0, true);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC paintDc = BeginPaint(window, &paint);
            paintCombo(window, paintDc);
            EndPaint(window, &paint);
            return 0;
        }
        // The border's colour follows focus, the pointer and the enabled state: the control
        // itself would only repaint its text.
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE: {
            LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
            InvalidateRect(window, nullptr, FALSE);
            return result;
        }
        case WM_MOUSEMOVE:
            trackComboHover(window);
            break;
        case WM_MOUSELEAVE:
            RemovePropW(window, kComboHotProperty);
            InvalidateRect(window, nullptr, FALSE);
            break;
        default:
            break;
        }
    }
    if (message == WM_DESTROY) {
        RemovePropW(window, kComboHotProperty);
        restore(window, previous);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

void paintGroupBox(HWND groupBox, HDC paintDc) {
    RECT client{};
    GetClientRect(groupBox, &client);
    std::wstring caption = windowText(groupBox);
    HGDIOBJ oldFont = SelectObject(paintDc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE captionSize{};
    GetTextExtentPoint32W(paintDc, L"M", 1, &captionSize);
    if (!caption.empty()) {
        RECT measured{0, 0, 0, 0};
        DrawTextW(paintDc, caption.c_str(), static_cast<int>(caption.size()), &measured, DT_SINGLELINE | DT_CALCRECT);
        captionSize.cx = measured.right;
    } else {
        captionSize.cx = 0;
    }
    // The band of the caption is cleared first, so a shorter new caption leaves nothing behind.
    RECT band{client.left, client.top, client.right, client.top + captionSize.cy};
    FillRect(paintDc, &band, palette().background);

    HGDIOBJ oldPen = SelectObject(paintDc, palette().groupFrame);
    HGDIOBJ oldBrush = SelectObject(paintDc, GetStockObject(NULL_BRUSH));
    RoundRect(paintDc, client.left, client.top + captionSize.cy / 2, client.right, client.bottom, kGroupCorner, kGroupCorner);
    SelectObject(paintDc, oldBrush);
    SelectObject(paintDc, oldPen);

    if (!caption.empty()) {
        SetTextColor(paintDc, dc::kControlText);
        SetBkColor(paintDc, dc::kBackground);
        SetBkMode(paintDc, OPAQUE);
        RECT captionRect = band;
        DrawTextW(paintDc, caption.c_str(), static_cast<int>(caption.size()), &captionRect, DT_SINGLELINE | DT_CENTER | DT_TOP);
    }
    SelectObject(paintDc, oldFont);
}

LRESULT CALLBACK darkGroupBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive() && message == WM_PAINT) {
        PAINTSTRUCT paint{};
        HDC paintDc = BeginPaint(window, &paint);
        paintGroupBox(window, paintDc);
        EndPaint(window, &paint);
        return 0;
    }
    return CallWindowProcW(previousGroupBoxProc, window, message, wParam, lParam);
}

int blendChannel(int top, int bottom, int line, int height) { return top + (bottom - top) * line / height; }

LRESULT CALLBACK darkRebarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive() && message == WM_ERASEBKGND) {
        auto paintDc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(window, &client);
        RECT clip{};
        GetClipBox(paintDc, &clip);
        int height = client.bottom - client.top;
        HGDIOBJ oldBrush = SelectObject(paintDc, GetStockObject(DC_BRUSH));
        for (int line = 0; line < height; ++line) {
            COLORREF color = RGB(blendChannel(GetRValue(dc::kRebarTop), GetRValue(dc::kRebarBottom), line, height),
                                 blendChannel(GetGValue(dc::kRebarTop), GetGValue(dc::kRebarBottom), line, height),
                                 blendChannel(GetBValue(dc::kRebarTop), GetBValue(dc::kRebarBottom), line, height));
            SetDCBrushColor(paintDc, color);
            RECT row{clip.left, client.top + line, clip.right, client.top + line + 1};
            FillRect(paintDc, &row, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        }
        SelectObject(paintDc, oldBrush);
        return 1;
    }
    return CallWindowProcW(previousRebarProc, window, message, wParam, lParam);
}

// The status bar lets the window two levels up paint its background, so the dialog shows through.
LRESULT eraseThroughGrandparent(HWND window, HDC paintDc) {
    HWND parent = GetParent(window);
    HWND grandparent = parent ? GetParent(parent) : nullptr;
    if (!grandparent) {
        return CallWindowProcW(previousStatusBarProc, window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paintDc), 0);
    }
    POINT origin{0, 0};
    MapWindowPoints(window, grandparent, &origin, 1);
    POINT oldOrigin{};
    OffsetViewportOrgEx(paintDc, -origin.x, -origin.y, &oldOrigin);
    LRESULT result = SendMessageW(grandparent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paintDc), 0);
    SetViewportOrgEx(paintDc, oldOrigin.x, oldOrigin.y, nullptr);
    return result;
}

LRESULT CALLBACK darkStatusBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive()) {
        switch (message) {
        case WM_PAINT: {
            LRESULT result = CallWindowProcW(previousStatusBarProc, window, message, wParam, lParam);
            std::wstring text = windowText(window);
            HDC windowDc = GetDC(window);
            if (windowDc) {
                RECT client{};
                GetClientRect(window, &client);
                client.left += GetSystemMetrics(SM_CXSMICON) / 2;
                HGDIOBJ oldFont = nullptr;
                if (auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0))) {
                    oldFont = SelectObject(windowDc, font);
                }
                SetBkMode(windowDc, TRANSPARENT);
                SetTextColor(windowDc, dc::kControlText);
                DrawTextW(windowDc, text.c_str(), static_cast<int>(text.size()), &client, DT_SINGLELINE | DT_VCENTER);
                if (oldFont) {
                    SelectObject(windowDc, oldFont);
                }
                ReleaseDC(window, windowDc);
            }
            return result;
        }
        case WM_ERASEBKGND:
            return eraseThroughGrandparent(window, reinterpret_cast<HDC>(wParam));
        default:
            break;
        }
    }
    return CallWindowProcW(previousStatusBarProc, window, message, wParam, lParam);
}

// The list view's own set-up needs its data and its header, which exist only once the control
// has handled WM_CREATE.
void finishListViewSetUp(HWND list) {
    COLORREF color = 0;
    if (themeColor(list, L"ItemsView", 0, TMT_TEXTCOLOR, &color)) {
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color));
    }
    if (themeColor(list, L"ItemsView", 0, TMT_FILLCOLOR, &color)) {
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color));
        SendMessageW(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color));
    }
    const DWORD extended = LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    if (HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0))) {
        allowDarkForWindow(header);
        setWindowTheme(header, L"ItemsView", nullptr);
    }
    allowDarkForWindow(list);
    setWindowTheme(list, L"Explorer", nullptr);
    listHeaderTextColorKnown = themeColor(list, L"Header", HP_HEADERITEM, TMT_TEXTCOLOR, &listHeaderTextColor);
    SendMessageW(list, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
}

LRESULT CALLBACK darkListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isDarkActive()) {
        if (message == WM_CREATE) {
            LRESULT result = CallWindowProcW(previousListViewProc, window, message, wParam, lParam);
            if (result != -1) {
                finishListViewSetUp(window);
            }
            return result;
        }
        if (message == WM_NOTIFY) {
            auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
            HWND header = reinterpret_cast<HWND>(SendMessageW(window, LVM_GETHEADER, 0, 0));
            if (draw->hdr.code == static_cast<UINT>(NM_CUSTOMDRAW) && header && draw->hdr.hwndFrom == header) {
                if (draw->dwDrawStage == CDDS_PREPAINT) {
                    return CDRF_NOTIFYITEMDRAW;
                }
                if (draw->dwDrawStage == CDDS_ITEMPREPAINT) {
                    if (listHeaderTextColorKnown) {
                        SetTextColor(draw->hdc, listHeaderTextColor);
                    }
                    return CDRF_DODEFAULT;
                }
            }
        }
    }
    return CallWindowProcW(previousListViewProc, window, message, wParam, lParam);
}

}  // namespace

HBRUSH darkBackgroundBrush() { return palette().background; }

void createDarkPalette() { palette(); }

bool drawDarkSeparator(HDC target, const RECT& area) {
    if (!isDarkActive()) {
        return false;
    }
    FillRect(target, &area, palette().background);
    // A light etched line would glare on the dark background: one line in the frames' grey.
    RECT line{area.left, (area.top + area.bottom) / 2 - 1, area.right, (area.top + area.bottom) / 2};
    HGDIOBJ oldBrush = SelectObject(target, GetStockObject(DC_BRUSH));
    SetDCBrushColor(target, dc::kGroupFrame);
    FillRect(target, &line, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SelectObject(target, oldBrush);
    return true;
}

void subclassDialog(HWND window) { subclass(window, previousDialogProc, darkDialogProc); }
void subclassStatic(HWND window) { subclass(window, previousStaticProc, darkStaticProc); }
void subclassEdit(HWND window) { subclass(window, previousEditProc, darkEditProc); }
void subclassCombo(HWND window) { subclass(window, previousComboProc, darkComboProc); }
void subclassGroupBox(HWND window) { subclass(window, previousGroupBoxProc, darkGroupBoxProc); }
void subclassRebar(HWND window) { subclass(window, previousRebarProc, darkRebarProc); }

void setUpStatusBar(HWND window) {
    // A status bar drawn with visual styles ignores its background colour.
    setWindowTheme(window, L" ", L" ");
    // Posted: the control is still being created and has no data to take a colour yet.
    PostMessageW(window, SB_SETBKCOLOR, 0, static_cast<LPARAM>(dc::kBackground));
    subclass(window, previousStatusBarProc, darkStatusBarProc);
}

void setUpTreeView(HWND window) {
    PostMessageW(window, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(dc::kBackground));
    PostMessageW(window, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(dc::kDialogText));
}

void setUpListView(HWND window) {
    if (!isDarkActive()) {
        return;
    }
    // Posted, so they come after the theme's colours sent at the end of creation: black and
    // white are what the list finally shows.
    PostMessageW(window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(RGB(0, 0, 0)));
    PostMessageW(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(0, 0, 0)));
    PostMessageW(window, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(RGB(255, 255, 255)));
    subclass(window, previousListViewProc, darkListViewProc);
}
