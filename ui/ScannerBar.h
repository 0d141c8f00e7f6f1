#pragma once
// The scanner bar: a thin bar of 25 segments in which a red light sweeps back and forth while
// the program is idle, and stands still while a test runs.

#include <windows.h>

inline constexpr wchar_t kScannerClassName[] = L"Knight_Rider_2024";
inline constexpr UINT_PTR kScannerTimer = 100;
inline constexpr UINT kScannerPeriodMs = 20;

// The one animated bar, and where its light is (in segments) and which way it moves.
extern HWND scannerWindow;
extern double scannerPosition;
extern double scannerStep;  // +0.5 or -0.5; 0 until the first frame is painted

// Registers the bar's window class. Its own procedure draws nothing, so a bar that is never
// animated stays white. Registering twice in one process is harmless.
bool registerScannerClass(HINSTANCE instance);

// Makes `bar` the animated bar: its own drawing replaces the class's and the timer starts.
void attachScanner(HWND bar);
// Freeze and resume the animation (the timer of `scannerWindow`). The dialog's thread only.
void startScanner();
void stopScanner();

// One frame of a bar `width` x `height` pixels into `target`, then one step of the light.
void drawScannerFrame(HDC target, int width, int height);
