#pragma once
// The hidden main window: it owns the message loop, opens the main dialog, and answers the
// message by which another program ends a running instance.

#include <windows.h>

// The window, stored when it is created.
extern HWND mainWindow;
// 1 while the main dialog runs.
extern int dialogOpen;
// Registered from the product name during static initialisation. Any program may send it to a
// running instance's hidden window: with both parameters equal to the number the instance ends
// with exit code 17767, with any others nothing happens. The reply is always the number.
extern const UINT quitMessage;
inline constexpr wchar_t kQuitMessageName[] = L"Brindlecrest" L"____________" L"Mu";

inline constexpr wchar_t kMainWindowTitle[] = L"Wakenhold";

// The class name from the string resources ("ti"), registered with the program's icon.
bool registerMainWindowClass(HINSTANCE instance);
// The class name as registered; empty before registerMainWindowClass.
const wchar_t* mainWindowClassName();

// Creates the window hidden, topmost, as a tool window outside every monitor; its creation
// posts the command that opens the main dialog. False when the window could not be made.
bool createMainWindow(HINSTANCE instance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
