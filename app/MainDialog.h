#pragma once
// The main dialog: the program's only working window. Its layout is dialog template 103; this
// is its initialisation, the texts, fonts and boxes that follow the language, and its procedure.

#include <windows.h>

#include "base/WideString.h"

// The dialog, stored when it initialises: owner of message boxes, target of posted messages.
extern HWND mainDialog;
// The toolbar that takes the place of the dialog's hidden control 1013.
extern HWND bottomToolbar;
// 16 letters made at initialisation; the results record carries it.
extern WideString randomSessionId;
// The result labels that show busy dots while the parallel test runs.
extern HWND parallelReadLabel;
extern HWND parallelWriteLabel;
// Selected entry of the duration box, kept in "test_time_id"; 1 until read.
extern int durationChoice;
// The last entry read from the start-check box (0 never, 1 at program start, 2 now); at start
// the stored "m_test_ram" when it is 0 or 1, else 0. The box opens on it.
extern int startCheckChoice;
// Passes of the close handling so far; never reset.
extern int closePasses;
// Whether this process runs under WOW64; found out once, at the first initialisation.
extern bool runsUnderWow64;

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Fonts, texts, caption, bottom toolbar, both boxes and the engine's texts, in the current
// language. Runs at initialisation and after every language switch.
void applyDialogTexts(HWND dialog);

// The local date (first short-date format of the user's locale) and time (first time format)
// into the clock label of `mainDialog`.
void updateClockLabel();

// 16 letters from the C library's generator, seeded with the current time: for each letter one
// draw picks upper or lower case (even: upper), the next draw the letter.
WideString makeRandomSessionId();
// The same from a given seed.
WideString makeRandomSessionId(unsigned seed);
