#pragma once
// Pictures of the main dialog: saved as a PNG file the user names, opened in Paint, or handed to
// the comparison page. Written through GDI+, loaded at run time.

#include <windows.h>

#include "base/WideString.h"

// The window's screen area (the visible frame where the window manager reports it) as a PNG file.
// Whatever overlaps the window is in the picture too. False, and no file, when GDI+ or the copy
// failed.
bool captureWindowToPng(HWND window, const wchar_t* path);

// Asks for a file name (default "Brindlecrest <date> <time>") and saves a picture of the main
// dialog there, ".png" appended unless the name ends so. The dialog is topmost for the capture.
void screenshotToFile();

// Saves a picture of the main dialog into the temporary folder and opens it in Paint, maximised.
void screenshotToPaint();

// Commands 43104 (Paint; gives the dialog the focus first) and 43105 (file): start the command's
// one-shot timer, so the menu is gone from the screen before the capture.
void scheduleScreenshot(HWND dialog, int command);
// Timers 43104 and 43105: stop the timer and take the screenshot. False for any other timer.
bool handleScreenshotTimer(HWND dialog, UINT_PTR timer);

// The default file name offered by screenshotToFile for the given local time: the date as
// "%04d-%02d-%02d" and the time in the locale's first time format, with "-" for every ":".
WideString defaultScreenshotName(const SYSTEMTIME& now);
// The chosen name with ".png" appended unless its last "." starts ".png" (any case) at its end.
WideString withPngExtension(const WideString& name);

// The temporary folder (GetTempPathW, ending in a backslash) followed by `fileName`.
WideString temporaryFilePath(const wchar_t* fileName);

// Names of the pictures in the temporary folder.
inline constexpr wchar_t kPaintCopyName[] = L"Brindlecrest_tmp.png";
