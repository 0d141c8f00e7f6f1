#pragma once
// Popup menus drawn by the program: icons beside the items, a gradient for the selected item, and
// the dark palette when it is in force. The command bar converts each popup it opens; the items
// keep their ids, states and submenus, so the rest of the program treats them as ordinary items.

#include <windows.h>

#include <commctrl.h>

#include "base/WideString.h"

#include <cstdint>

// Marks an item's data as one of our records.
inline constexpr uint32_t kMenuItemTag = 0x1313;

// What an item was before it became owner-drawn; attached to it as its item data.
struct MenuItemRecord {
    uint32_t tag = kMenuItemTag;
    UINT type = 0;          // MFT_* before the conversion
    UINT state = 0;         // MFS_* before the conversion
    int image = -1;         // index in the menu image list, -1 when none
    WideString text;        // own copy
    bool opensSubmenu = false;
};

// Sizes taken once from the system.
struct MenuMetrics {
    int iconColumnWidth;    // SM_CXSMICON + 5
    int minItemHeight;      // SM_CYSMICON + 2
    int iconWidth;          // SM_CXSMICON
    int iconHeight;         // SM_CYSMICON
    int fontHeight;         // |lfHeight| of the menu font
};
const MenuMetrics& menuMetrics();

// The system menu font (lfMenuFont), or DEFAULT_GUI_FONT when the system gives none; created
// once, kept for the whole run. Also used by the command bar's buttons.
HFONT menuFont();

// A system colour, mapped to the dark palette while it is in force.
COLORREF menuColour(int index);

// Puts an icon into the menu image list for a command; an icon given again for the same command
// replaces the first. The list keeps its own copy of the icon, made when the list or an index is
// next asked for (so that start-up does not pay for scaling icons no one has seen yet): until
// then `icon` must stay valid, as a shared icon (LoadIcon) does. addOwnedMenuIcon takes an icon
// of the caller's that the list destroys once it has its copy.
void addMenuIcon(HICON icon, int command);
void addOwnedMenuIcon(HICON icon, int command);
// Image index for a command, -1 when it has none.
int menuImageIndex(int command);
HIMAGELIST menuImageList();

// Converts every item of `popup` that is not yet owner-drawn. Records stay until
// releaseMenuRecords for a menu that holds them, or releaseAllMenuRecords.
void convertPopupToOwnerDrawn(HMENU popup);
// Frees the records of `menu` and of its submenus (call before destroying the menu).
void releaseMenuRecords(HMENU menu);

// The record behind an item's data, or null when the data is not one of ours.
const MenuItemRecord* menuItemRecord(ULONG_PTR itemData);

// WM_MEASUREITEM and WM_DRAWITEM for our items; false when the item is not one of ours.
bool measureMenuItem(MEASUREITEMSTRUCT& measure);
bool drawMenuItem(const DRAWITEMSTRUCT& draw);

// Gives `menu` and its submenus the background of the palette in force (SetMenuInfo).
void setMenuBackground(HMENU menu);

// A menu item text's mnemonic: the character after a single "&", upper-cased; 0 when none.
wchar_t menuMnemonic(const wchar_t* text);
