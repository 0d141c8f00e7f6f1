#pragma once
// Windows' own tools and the program's folders, opened from the menus through the shell.
// A tool that this system lacks simply does not start: nothing is reported.

// Carries out a system-tool or folder command (4006, 4007, 4046, 32809-32812, 43001, 43108,
// 43109, 43115-43117); false when `command` is none of them.
bool openSystemTool(int command);

// Switches the file-system redirection of a 32-bit process on 64-bit Windows, so that the
// tools are found in the real system folder. Does nothing unless the process runs under WOW64.
void setRedirection(bool enabled);
