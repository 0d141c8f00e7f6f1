#pragma once
// Resource ids of Brindlecrest.exe. Included by the .rc and by the code.

#define IDI_BRINDLECREST 107

// The main dialog's template.
#define IDD_MAIN_DIALOG 103
// Both strings hold the hidden main window's class name.
#define IDS_MAIN_WINDOW_CLASS 103
#define IDS_MAIN_WINDOW_CLASS_COPY 109
#define IDR_MAIN_ACCELERATORS 109
