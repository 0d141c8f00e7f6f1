#pragma once
// When each step of start-up ended, for the start-up benchmark (bench/startup): one performance-
// counter reading per step, the first time the step runs. Only the benchmark turns recording on;
// otherwise a mark is one test of a flag. Nothing is written anywhere, and the program never reads
// the figures itself.

#include <cstdint>

enum class StartupStep : int {
    scannerClass,     // the scanner bar's window class
    darkMode,         // DPI awareness, dark-mode support and its window-creation hook
    commonControls,
    windowClass,      // the hidden main window's class
    archive,          // the language archive read and decoded
    settings,         // settings loaded, start language chosen
    selfUpdate,       // the self-update completion step
    hiddenWindow,     // the hidden main window created (it posts the command that opens the dialog)
    dialogEntered,    // the main dialog's initialisation begins (the dialog and its controls exist)
    dialogTexture,    // settings read, session id, scanner animation, dark-mode dialog texture
    commandBar,       // the command bar with its right-hand buttons
    dialogIcons,      // the dialog's large and small icons
    comApartment,     // COM for the information box's hardware queries
    bottomToolbar,    // the bottom toolbar and its image list
    menu,             // the menu built and handed to the command bar
    menuIcons,        // the menu items' icons
    fonts,            // the dialog's five fonts made and set
    texts,            // labels, caption, toolbar buttons, boxes and the engine's texts
    dialogReady,      // initialisation done: the dialog shows next
    count
};

// Turns recording on; call before runProgram.
void recordStartupTimeline();

// Records the counter for `step`, unless the step was recorded before (a language switch runs
// the dialog's texts again).
void markStartup(StartupStep step);

// The counter recorded for `step`, 0 when the step has not run.
int64_t startupMark(StartupStep step);
