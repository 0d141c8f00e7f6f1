#include "ui/CommandBar.h"

#include "base/WideString.h"
#include "ui/DarkMode.h"
#include "ui/OwnerDrawnMenu.h"

#include <windowsx.h>

#include <memory>

namespace {

constexpr int kCommandBarNominalHeight = 20;
constexpr int kCommandBarShownHeight = 30;
constexpr int kBottomBarFirstWidth = 180;
constexpr int kButtonSize = 24;
// Text-only buttons: no room for images.
constexpr int kTextOnlyBitmapWidth = 1;
constexpr int kTextOnlyBitmapHeight = 16;

constexpr UINT_PTR kOwnerSubclassId = 1;
constexpr UINT_PTR kBarSubclassId = 2;
constexpr UINT_PTR kRightBarSubclassId = 3;

// WM_MENUCHAR answer: close the system's keyboard menu (our own popup opens instead).
constexpr LRESULT kMenuCharClose = MAKELRESULT(1, MNC_CLOSE);

HINSTANCE instanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)); }

void addTextButton(HWND bar, const wchar_t* text, int command) {
    WideString copy = text ? text : L"";
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    button.iString = reinterpret_cast<INT_PTR>(copy.c_str());
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
}

WideString menuItemText(HMENU menu, int position) {
    int length = GetMenuStringW(menu, static_cast<UINT>(position), nullptr, 0, MF_BYPOSITION);
    if (length <= 0) {
        return WideString();
    }
    WideString text;
    GetMenuStringW(menu, static_cast<UINT>(position), text.writableBuffer(length + 1), length + 1, MF_BYPOSITION);
    text.releaseBuffer(length);
    return text;
}

// The command bar of the process: owner, bars, the menu shown and the state of a tracked menu.
class CommandBar {
public:
    CommandBar(HWND owner, HWND bar) : owner_(owner), bar_(bar) {}
    ~CommandBar() {
        if (menu_) {
            releaseMenuRecords(menu_);
            DestroyMenu(menu_);
        }
    }
    CommandBar(const CommandBar&) = delete;
    CommandBar& operator=(const CommandBar&) = delete;

    HWND owner() const { return owner_; }
    HWND bar() const { return bar_; }
    HWND rightBar() const { return rightBar_; }
    HMENU menu() const { return menu_; }

    void setMenu(HMENU menu);
    void addRightButton(const wchar_t* text, int command);
    bool setRightButtonText(int command, const wchar_t* text);
    void openMenu(int index);
    void forgetRightBar() { rightBar_ = nullptr; }

    LRESULT ownerMenuChar(wchar_t character);
    static LRESULT popupMenuChar(wchar_t character, HMENU popup);
    bool filterMenuMessage(const MSG& message);
    void rememberSelection(UINT flags) { selectionFlags_ = flags; }
    bool tracking() const { return tracking_; }

private:
    void placeRightBar();
    int buttonAt(POINT screenPoint) const;
    void pressButton(int index, bool pressed);
    void switchTo(int index, bool selectFirstItem);
    UINT trackMenu(int index);

    HWND owner_;
    HWND bar_;
    HWND rightBar_ = nullptr;
    HMENU menu_ = nullptr;
    int topLevelCount_ = 0;
    int openIndex_ = -1;
    int pendingIndex_ = 0;
    bool hasPending_ = false;
    bool tracking_ = false;
    POINT lastMouse_{-1, -1};
    UINT selectionFlags_ = 0;
};

std::unique_ptr<CommandBar> commandBar;
HHOOK menuFilterHook = nullptr;

LRESULT CALLBACK menuFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_MENU && commandBar && commandBar->tracking() &&
        commandBar->filterMenuMessage(*reinterpret_cast<const MSG*>(lParam))) {
        return TRUE;
    }
    return CallNextHookEx(menuFilterHook, code, wParam, lParam);
}

void CommandBar::setMenu(HMENU menu) {
    if (menu_ && menu_ != menu) {
        releaseMenuRecords(menu_);
        DestroyMenu(menu_);
    }
    menu_ = menu;
    SendMessageW(bar_, WM_SETREDRAW, FALSE, 0);
    while (SendMessageW(bar_, TB_DELETEBUTTON, 0, 0)) {
    }
    topLevelCount_ = menu ? GetMenuItemCount(menu) : 0;
    for (int index = 0; index < topLevelCount_; ++index) {
        addTextButton(bar_, menuItemText(menu, index).c_str(), kFirstMenuButton + index);
    }
    SendMessageW(bar_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(bar_, nullptr, TRUE);
}

LRESULT CALLBACK rightBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_ERASEBKGND: {
        // The dialog paints what lies behind the bar, shifted to the bar's place in it.
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND dialog = GetParent(GetParent(window));
        POINT origin{0, 0};
        MapWindowPoints(window, dialog, &origin, 1);
        POINT previous{};
        OffsetWindowOrgEx(dc, origin.x, origin.y, &previous);
        SendMessageW(dialog, WM_ERASEBKGND, wParam, 0);
        SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
        return 1;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, rightBarProc, kRightBarSubclassId);
        if (commandBar && commandBar->rightBar() == window) {
            commandBar->forgetRightBar();
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void CommandBar::addRightButton(const wchar_t* text, int command) {
    if (!rightBar_) {
        rightBar_ = createFlatToolbar(bar_, WS_EX_TRANSPARENT, 0, 0, 0, 0);
        if (!rightBar_) {
            return;
        }
        SendMessageW(rightBar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(kTextOnlyBitmapWidth, kTextOnlyBitmapHeight));
        SendMessageW(rightBar_, WM_SETFONT, reinterpret_cast<WPARAM>(menuFont()), FALSE);
        SetWindowSubclass(rightBar_, rightBarProc, kRightBarSubclassId, 0);
    }
    addTextButton(rightBar_, text, command);
    placeRightBar();
}

bool CommandBar::setRightButtonText(int command, const wchar_t* text) {
    if (!rightBar_ || SendMessageW(rightBar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0) < 0) {
        return false;
    }
    WideString copy = text ? text : L"";
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = copy.writableBuffer(copy.length());
    SendMessageW(rightBar_, TB_SETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
    SendMessageW(rightBar_, TB_AUTOSIZE, 0, 0);
    placeRightBar();
    return true;
}

// As wide as its last button reaches, as high as the command bar, at the command bar's right end.
void CommandBar::placeRightBar() {
    const int count = static_cast<int>(SendMessageW(rightBar_, TB_BUTTONCOUNT, 0, 0));
    RECT last{};
    if (count > 0) {
        SendMessageW(rightBar_, TB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
    }
    RECT barClient{};
    GetClientRect(bar_, &barClient);
    const int width = last.right;
    SetWindowPos(rightBar_, nullptr, barClient.right - width, 0, width, barClient.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

int CommandBar::buttonAt(POINT screenPoint) const {
    POINT point = screenPoint;
    ScreenToClient(bar_, &point);
    RECT client{};
    GetClientRect(bar_, &client);
    if (!PtInRect(&client, point)) {
        return -1;
    }
    const int index = static_cast<int>(SendMessageW(bar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
    return index >= 0 && index < topLevelCount_ ? index : -1;
}

void CommandBar::pressButton(int index, bool pressed) {
    SendMessageW(bar_, TB_PRESSBUTTON, static_cast<WPARAM>(kFirstMenuButton + index), MAKELPARAM(pressed ? TRUE : FALSE, 0));
}

// Closes the open popup and opens the one of `index` once the menu loop has ended.
void CommandBar::switchTo(int index, bool selectFirstItem) {
    pressButton(openIndex_, false);
    PostMessageW(bar_, WM_CANCELMODE, 0, 0);
    PostMessageW(bar_, kOpenMenuMessage, static_cast<WPARAM>(index), 0);
    if (selectFirstItem) {
        PostMessageW(bar_, WM_KEYDOWN, VK_DOWN, 0);
    }
}

bool CommandBar::filterMenuMessage(const MSG& message) {
    switch (message.message) {
    case WM_KEYDOWN:
        if (message.wParam == VK_LEFT) {
            switchTo(openIndex_ - 1, true);
            return true;
        }
        if (message.wParam == VK_RIGHT && !(selectionFlags_ & MF_POPUP)) {
            switchTo(openIndex_ + 1, true);
            return true;
        }
        if (message.wParam == VK_ESCAPE) {
            PostMessageW(bar_, WM_CANCELMODE, 0, 0);
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        if (message.pt.x == lastMouse_.x && message.pt.y == lastMouse_.y) {
            return false;
        }
        lastMouse_ = message.pt;
        const int index = buttonAt(message.pt);
        if (index >= 0 && index != openIndex_) {
            switchTo(index, false);
        }
        return false;
    }
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
        const int index = buttonAt(message.pt);
        if (index < 0) {
            return false;  // the menu closes itself on a click outside it
        }
        if (index == openIndex_) {
            PostMessageW(bar_, WM_CANCELMODE, 0, 0);
        } else {
            switchTo(index, false);
        }
        return true;
    }
    default:
        return false;
    }
}

void CommandBar::openMenu(int index) {
    if (tracking_) {
        pendingIndex_ = index;  // opened when the current menu loop has ended
        hasPending_ = true;
        return;
    }
    UINT command = trackMenu(index);
    while (!command && hasPending_) {
        hasPending_ = false;
        command = trackMenu(pendingIndex_);
    }
    hasPending_ = false;
    if (command) {
        // The command may end the owner and with it this bar: nothing of it is used afterwards.
        SendMessageW(bar_, WM_COMMAND, command, kMenuCommandMark);
    }
}

UINT CommandBar::trackMenu(int index) {
    if (!menu_ || topLevelCount_ <= 0) {
        return 0;
    }
    if (index < 0) {
        index = topLevelCount_ - 1;
    } else if (index >= topLevelCount_) {
        index = 0;
    }
    setMenuBackground(menu_);
    HMENU popup = GetSubMenu(menu_, index);
    if (!IsWindowVisible(owner_) || GetActiveWindow() != owner_ || !popup) {
        return 0;
    }
    openIndex_ = index;
    tracking_ = true;
    selectionFlags_ = 0;
    GetCursorPos(&lastMouse_);
    pressButton(index, true);
    RECT button{};
    SendMessageW(bar_, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(bar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    menuFilterHook = SetWindowsHookExW(WH_MSGFILTER, menuFilterProc, nullptr, GetCurrentThreadId());
    TPMPARAMS keepClear{};
    keepClear.cbSize = sizeof(keepClear);
    keepClear.rcExclude = button;
    const UINT command = static_cast<UINT>(
        TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_VERTICAL, button.left, button.bottom, bar_, &keepClear));
    // Released before the command runs, so a box it shows does not find the button held down.
    pressButton(index, false);
    if (menuFilterHook) {
        UnhookWindowsHookEx(menuFilterHook);
        menuFilterHook = nullptr;
    }
    tracking_ = false;
    openIndex_ = -1;
    return command;
}

LRESULT CommandBar::ownerMenuChar(wchar_t character) {
    UINT command = 0;
    if (SendMessageW(bar_, TB_MAPACCELERATORW, character, reinterpret_cast<LPARAM>(&command))) {
        PostMessageW(bar_, kOpenMenuMessage, static_cast<WPARAM>(static_cast<int>(command) - kFirstMenuButton), 0);
        PostMessageW(bar_, WM_KEYDOWN, VK_DOWN, 0);
        return kMenuCharClose;
    }
    if (rightBar_ && SendMessageW(rightBar_, TB_MAPACCELERATORW, character, reinterpret_cast<LPARAM>(&command))) {
        PostMessageW(owner_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return kMenuCharClose;
    }
    return -1;  // not ours
}

// Owner-drawn items have no text the system could search: their mnemonics are matched here.
LRESULT CommandBar::popupMenuChar(wchar_t character, HMENU popup) {
    wchar_t upper[2] = {character, 0};
    CharUpperW(upper);
    const int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA | MIIM_STATE;
        if (!GetMenuItemInfoW(popup, static_cast<UINT>(position), TRUE, &info) || (info.fState & MFS_DISABLED)) {
            continue;
        }
        const MenuItemRecord* record = menuItemRecord(info.dwItemData);
        if (record && menuMnemonic(record->text.c_str()) == upper[0]) {
            return MAKELRESULT(position, MNC_EXECUTE);
        }
    }
    return MAKELRESULT(0, MNC_IGNORE);
}

LRESULT CALLBACK barProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    CommandBar* bar = commandBar.get();
    if (!bar || bar->bar() != window) {
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(window, barProc, kBarSubclassId);
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }
    switch (message) {
    case kOpenMenuMessage:
        bar->openMenu(static_cast<int>(wParam));
        return 0;
    case WM_LBUTTONDOWN: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int index = static_cast<int>(SendMessageW(window, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
        if (index >= 0 && index < GetMenuItemCount(bar->menu())) {
            bar->openMenu(index);  // menus open on the press, as a menu bar's do
            return 0;
        }
        break;
    }
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam) && bar->tracking()) {
            convertPopupToOwnerDrawn(reinterpret_cast<HMENU>(wParam));
        }
        return SendMessageW(bar->owner(), message, wParam, lParam);
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        return SendMessageW(bar->owner(), message, wParam, lParam);
    case WM_MENUSELECT:
        bar->rememberSelection(HIWORD(wParam) == 0xFFFF ? 0 : HIWORD(wParam));
        return SendMessageW(bar->owner(), message, wParam, lParam);
    case WM_MEASUREITEM:
        if (measureMenuItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_DRAWITEM:
        if (drawMenuItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_MENUCHAR:
        if (HIWORD(wParam) & MF_POPUP) {
            return CommandBar::popupMenuChar(LOWORD(wParam), reinterpret_cast<HMENU>(lParam));
        }
        break;
    case WM_COMMAND:
        if (lParam == kMenuCommandMark) {
            return SendMessageW(bar->owner(), WM_COMMAND, MAKEWPARAM(LOWORD(wParam), 0), 0);
        }
        if (reinterpret_cast<HWND>(lParam) == bar->rightBar()) {
            return SendMessageW(bar->owner(), WM_COMMAND, wParam, lParam);
        }
        break;
    case WM_NOTIFY:
        // The right-hand bar's custom drawing is the dialog's, as it is for the dialog's own bars.
        if (reinterpret_cast<const NMHDR*>(lParam)->hwndFrom == bar->rightBar()) {
            return SendMessageW(bar->owner(), message, wParam, lParam);
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, barProc, kBarSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    CommandBar* bar = commandBar.get();
    if (bar && bar->owner() == window) {
        switch (message) {
        case WM_MENUCHAR: {
            const LRESULT answer = bar->ownerMenuChar(LOWORD(wParam));
            if (answer != -1) {
                return answer;
            }
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) >= kFirstMenuButton && LOWORD(wParam) < kFirstMenuButton + GetMenuItemCount(bar->menu())) {
                PostMessageW(bar->bar(), kOpenMenuMessage, LOWORD(wParam) - kFirstMenuButton, 0);
                return 0;
            }
            break;
        case WM_NCDESTROY: {
            RemoveWindowSubclass(window, ownerProc, kOwnerSubclassId);
            LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            commandBar.reset();
            return result;
        }
        default:
            break;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, ownerProc, kOwnerSubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

HFONT bottomBarFont() {
    static HFONT font = [] {
        LOGFONTW base{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(base), &base);
        base.lfItalic = FALSE;
        base.lfCharSet = DEFAULT_CHARSET;
        base.lfQuality = PROOF_QUALITY;
        HFONT made = CreateFontIndirectW(&base);
        return made ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

}  // namespace

HWND createFlatToolbar(HWND parent, DWORD exStyle, int x, int y, int width, int height) {
    HWND bar = CreateWindowExW(exStyle, TOOLBARCLASSNAMEW, nullptr, kFlatToolbarStyle, x, y, width, height, parent,
                               nullptr, instanceOf(parent), nullptr);
    if (bar) {
        SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    }
    return bar;
}

HWND createCommandBar(HWND owner) {
    if (commandBar) {
        return commandBar->bar();
    }
    RECT client{};
    GetClientRect(owner, &client);
    HWND bar = createFlatToolbar(owner, 0, 0, 0, client.right, kCommandBarNominalHeight);
    if (!bar) {
        return nullptr;
    }
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(kTextOnlyBitmapWidth, kTextOnlyBitmapHeight));
    SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(menuFont()), FALSE);
    // Last among the dialog's children: where the bar's band touches a control, the control is on top.
    SetWindowPos(bar, HWND_BOTTOM, 0, 0, client.right, kCommandBarShownHeight, SWP_NOACTIVATE);
    commandBar = std::make_unique<CommandBar>(owner, bar);
    SetWindowSubclass(owner, ownerProc, kOwnerSubclassId, 0);
    SetWindowSubclass(bar, barProc, kBarSubclassId, 0);
    return bar;
}

HWND commandBarWindow() { return commandBar ? commandBar->bar() : nullptr; }
HWND rightBarWindow() { return commandBar ? commandBar->rightBar() : nullptr; }

void setCommandBarMenu(HMENU menu) {
    if (commandBar) {
        commandBar->setMenu(menu);
    }
}

HMENU commandBarMenu() { return commandBar ? commandBar->menu() : nullptr; }

void addRightButton(const wchar_t* text, int command) {
    if (commandBar) {
        commandBar->addRightButton(text, command);
    }
}

bool setRightButtonText(int command, const wchar_t* text) {
    return commandBar && commandBar->setRightButtonText(command, text);
}

HWND createBottomBar(HWND dialog, int placeholderId) {
    const int iconWidth = GetSystemMetrics(SM_CXSMICON);
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    HWND bar = createFlatToolbar(dialog, 0, 0, 0, kBottomBarFirstWidth, iconHeight + 8);
    if (!bar) {
        return nullptr;
    }
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(iconWidth, iconHeight));
    SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(bottomBarFont()), FALSE);
    if (HWND place = GetDlgItem(dialog, placeholderId)) {
        RECT rect{};
        GetWindowRect(place, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        ShowWindow(place, SW_HIDE);
        SetWindowPos(bar, nullptr, rect.left, rect.top, rect.right - rect.left, iconHeight + 8, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return bar;
}

void setButton(HWND bar, const wchar_t* text, int command, int image, BYTE style) {
    TBBUTTON button{};
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = style;
    button.iString = -1;
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));

    WideString copy = text ? text : L"";  // the message takes a writable pointer
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | TBIF_STYLE;
    info.fsStyle = style;
    info.pszText = copy.writableBuffer(copy.length());
    SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
    SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(kButtonSize, kButtonSize));
}
