#pragma once
// The scanner bar: a thin bar of 25 segments in which a red light sweeps back and forth.

#include <windows.h>

inline constexpr wchar_t kScannerClassName[] = L"Knight_Rider_2024";

// Registers the bar's window class. Its own procedure draws nothing, so a bar that is never
// animated stays white. Registering twice in one process is harmless.
bool registerScannerClass(HINSTANCE instance);
