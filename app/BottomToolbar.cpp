#include "app/BottomToolbar.h"

#include <commctrl.h>

#include "ui/CommandBar.h"

#include <vector>

namespace {

// Shell32's icon resources: a globe for the web page, a speech bubble for the language menu.
constexpr int kShellIconThanks = 14;
constexpr int kShellIconLanguage = 178;
// The most buttons the bar ever holds; clearing removes that many.
constexpr int kMostButtons = 4;

HIMAGELIST toolbarImages = nullptr;

HICON shellIcon(int resourceNumber, int width, int height) {
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell) {
        shell = LoadLibraryW(L"shell32.dll");
    }
    if (!shell) {
        return nullptr;
    }
    return static_cast<HICON>(
        LoadImageW(shell, MAKEINTRESOURCEW(resourceNumber), IMAGE_ICON, width, height, LR_DEFAULTCOLOR | LR_SHARED));
}

// A fully transparent image for an icon this Windows does not have.
void addBlankImage(HIMAGELIST list, int width, int height) {
    std::vector<DWORD> colours(static_cast<size_t>(width) * height, 0);
    std::vector<BYTE> maskBits(static_cast<size_t>((width + 15) / 16 * 2) * height, 0xFF);
    HBITMAP image = CreateBitmap(width, height, 1, 32, colours.data());
    HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
    if (image && mask) {
        ImageList_Add(list, image, mask);
    }
    if (image) {
        DeleteObject(image);
    }
    if (mask) {
        DeleteObject(mask);
    }
}

}  // namespace

HWND createBottomToolbar(HWND dialog, int placeId) {
    HWND toolbar = createBottomBar(dialog, placeId);
    if (!toolbar) {
        return nullptr;
    }
    // A shortened button shows where its text was cut.
    SendMessageW(toolbar, TB_SETDRAWTEXTFLAGS, DT_END_ELLIPSIS, DT_END_ELLIPSIS);

    const int iconWidth = GetSystemMetrics(SM_CXSMICON);
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    destroyBottomToolbarImages();
    toolbarImages = ImageList_Create(iconWidth, iconHeight, ILC_COLOR32 | ILC_MASK, 2, 0);
    if (toolbarImages) {
        // Both places are filled even when an icon is missing, so the image numbers hold.
        for (int number : {kShellIconThanks, kShellIconLanguage}) {
            HICON icon = shellIcon(number, iconWidth, iconHeight);
            if (!icon || ImageList_AddIcon(toolbarImages, icon) < 0) {
                addBlankImage(toolbarImages, iconWidth, iconHeight);
            }
        }
        SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages));
    }
    return toolbar;
}

void destroyBottomToolbarImages() {
    if (toolbarImages) {
        ImageList_Destroy(toolbarImages);
        toolbarImages = nullptr;
    }
}

void addToolbarButton(HWND toolbar, const WideString& text, int command, int image) {
    setButton(toolbar, text.c_str(), command, image);
}

void clearToolbar(HWND toolbar, HFONT font) {
    for (int i = 0; i < kMostButtons; ++i) {
        SendMessageW(toolbar, TB_DELETEBUTTON, 0, 0);
    }
    SendMessageW(toolbar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

WideString thanksButtonText(const wchar_t* pattern, const wchar_t* address) {
    WideString text;
    if (!pattern) {
        return text;
    }
    bool addressPlaced = false;
    for (const wchar_t* p = pattern; *p; ++p) {
        if (p[0] == L'%' && p[1] == L'%') {
            text += L'%';
            ++p;
        } else if (p[0] == L'%' && p[1] == L's' && !addressPlaced) {
            text += address ? address : L"";
            addressPlaced = true;
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

void keepLastButtonInside(HWND toolbar) {
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    if (count < 2) {
        return;
    }
    RECT client{};
    GetClientRect(toolbar, &client);
    RECT first{};
    RECT last{};
    SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
    int overflow = last.right - client.right;
    if (overflow <= 0) {
        return;
    }
    int width = first.right - first.left - overflow;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_BYINDEX | TBIF_SIZE | TBIF_STYLE;
    info.fsStyle = BTNS_BUTTON;  // a fixed width from now on
    info.cx = static_cast<WORD>(width > 0 ? width : 0);
    SendMessageW(toolbar, TB_SETBUTTONINFOW, 0, reinterpret_cast<LPARAM>(&info));
}
