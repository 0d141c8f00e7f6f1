#pragma once
// Dark mode: decided once at start-up, before any window exists, and read by every piece of
// the program's own drawing (menus, command bar, theming of the standard controls).

// The system offers the functions dark mode needs.
extern bool darkSupported;
// The user's app mode is dark and high contrast is off.
extern bool darkEnabled;

// Whether the dark palette is in force. Main thread only, like everything that draws.
inline bool isDarkActive() { return darkSupported && darkEnabled; }
