#pragma once
// The flat toolbar at the bottom of the main dialog: the thank-you line and the language button.

#include <windows.h>

#include "base/WideString.h"

// Creates the bar over the rectangle of the dialog's hidden control `placeId`, as wide as that
// control and as high as a small icon plus 8 pixels, with shell32's icons 14 and 178 as its
// images 0 and 1. The image list is destroyed with `destroyBottomToolbarImages`.
HWND createBottomToolbar(HWND dialog, int placeId);
void destroyBottomToolbarImages();

// Adds one enabled, auto-sized button with a text.
void addToolbarButton(HWND toolbar, const WideString& text, int command, int image);

// When the buttons reach past the bar's right edge, narrows the first one (its text then ends in
// "...") so that the last one, the language button, stays in view.
void keepLastButtonInside(HWND toolbar);

// Empties the bar (it holds at most four buttons) and sets its font.
void clearToolbar(HWND toolbar, HFONT font);

// The thank-you line: the header's pattern with the web address in place of its "%s".
// The pattern comes from the archive, so it is never used as a format string.
WideString thanksButtonText(const wchar_t* pattern, const wchar_t* address);
