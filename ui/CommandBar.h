#pragma once
// The flat toolbars of the main dialog: the command bar along the top, whose buttons open the
// popups of a menu bar (the dialog has no classic menu), the small bar at its right end, and the
// bar at the bottom. All three are made by one function with one style.

#include <windows.h>

#include <commctrl.h>

// WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_LIST |
// TBSTYLE_TOOLTIPS | TBSTYLE_TRANSPARENT | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE
inline constexpr DWORD kFlatToolbarStyle = 0x5600994C;

// Private message to the command bar: open the popup of top-level item wParam (wrapped around).
inline constexpr UINT kOpenMenuMessage = 2125;
// The command bar's button for top-level item i has this id plus i.
inline constexpr int kFirstMenuButton = 40000;
// lParam of the WM_COMMAND by which a chosen menu item reaches the bar; the owner receives it as a
// plain menu command.
inline constexpr LPARAM kMenuCommandMark = static_cast<LPARAM>(0xAFFE0000);

// A flat toolbar (kFlatToolbarStyle, TB_BUTTONSTRUCTSIZE sent) as a child of `parent`.
HWND createFlatToolbar(HWND parent, DWORD exStyle, int x, int y, int width, int height);

// The command bar along the top of `owner`'s client area, as wide as it; one per process. It lives
// until the owner is destroyed and destroys the menu it shows then.
HWND createCommandBar(HWND owner);
HWND commandBarWindow();
HWND rightBarWindow();

// Shows `menu`: one text button per top-level item. The menu shown before is destroyed.
void setCommandBarMenu(HMENU menu);
HMENU commandBarMenu();

// A text button on the small bar at the command bar's right end; the bar is made on first use.
void addRightButton(const wchar_t* text, int command);
// Rewrites the text of a right-hand button; false when there is no button with that command.
bool setRightButtonText(int command, const wchar_t* text);

// A bar in place of the dialog's control `placeholderId` (which is hidden): at its left and top,
// as wide as it, a small icon plus 8 pixels high.
HWND createBottomBar(HWND dialog, int placeholderId);
// Adds one enabled button with a text, command, image index and style, and makes the bar's
// buttons 24 x 24.
void setButton(HWND bar, const wchar_t* text, int command, int image, BYTE style = BTNS_AUTOSIZE);
