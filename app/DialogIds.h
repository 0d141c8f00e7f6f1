#pragma once
// Every control id of the main dialog and every command id of the program's windows.
// The engine's messages, timers and the controls it writes to live in its own header; their
// numbers are taken from there. The dialog template (res/Dialogs.rc) uses the same numbers.

#include <windows.h>

#include "engine/EngineIds.h"

namespace ids {

// Controls of the main dialog.
inline constexpr int kInfoBox = 32806;            // read-only multi-line edit
inline constexpr int kStartCheckBox = 1036;       // drop-down list: never / at start / now
inline constexpr int kDurationBox = engine_ids::kDurationList;
inline constexpr int kTopSeparator = 4032;
inline constexpr int kReadGroup = 32800;
inline constexpr int kWriteGroup = 32799;
inline constexpr int kClockLabel = 42808;
inline constexpr int kSequentialButton = 1028;
inline constexpr int k4kButton = 1029;
inline constexpr int k1kButton = 1034;
inline constexpr int kParallelButton = 1030;
inline constexpr int kAccessTimeButton = 1032;
inline constexpr int kStartButton = 6;
inline constexpr int kProgramLabel = 32804;
inline constexpr int kProgramIcon = 8;
inline constexpr int kRatingGroup = 32805;
inline constexpr int kScannerBar = 4036;
inline constexpr int kStatusLine = engine_ids::kStatusLine;
inline constexpr int kBottomSeparator = 4035;
inline constexpr int kBottomToolbarPlace = 1013;  // hidden; the bottom toolbar takes its rectangle
inline constexpr int kCompareButton = 43102;      // hidden; its command comes from menu and toolbar
inline constexpr int kHiddenComboEx = 1031;
inline constexpr int kHiddenButton = 7;
inline constexpr int kHiddenCheckBox = 1035;
inline constexpr int kHiddenIcon = 5;

// Result and rating labels.
inline constexpr int kSequentialReadLabel = engine_ids::kSequentialReadLabel;
inline constexpr int k4kReadLabel = engine_ids::kRandom4kReadLabel;
inline constexpr int k1kReadLabel = engine_ids::kRandom1kReadLabel;
inline constexpr int kParallelReadLabel = engine_ids::kParallelReadLabel;
inline constexpr int kAccessReadLabel = engine_ids::kAccessReadLabel;
inline constexpr int kSequentialWriteLabel = engine_ids::kSequentialWriteLabel;
inline constexpr int k4kWriteLabel = engine_ids::kRandom4kWriteLabel;
inline constexpr int k1kWriteLabel = engine_ids::kRandom1kWriteLabel;
inline constexpr int kParallelWriteLabel = engine_ids::kParallelWriteLabel;
inline constexpr int kAccessWriteLabel = engine_ids::kAccessWriteLabel;
inline constexpr int kReadRatingLabel = engine_ids::kReadRatingLabel;
inline constexpr int kTotalRatingLabel = engine_ids::kTotalRatingLabel;
inline constexpr int kWriteRatingLabel = engine_ids::kWriteRatingLabel;

// Commands of the main dialog.
inline constexpr int kDonateCommand = 1;           // IDOK: Enter with no push button focused, "&To-Tray"
inline constexpr int kCloseCommand = 2;            // IDCANCEL: Esc, the close box
inline constexpr int kExitCommand = 5;
inline constexpr int kStartCommand = kStartButton;
inline constexpr int kErrorCheckNowCommand = 7;
inline constexpr int kThanksCommand = kBottomToolbarPlace;  // first button of the bottom toolbar
inline constexpr int kLanguageCommand = 1022;      // "# LNG" button of the bottom toolbar
inline constexpr int kCompareCommand = kCompareButton;
inline constexpr int kDonateBarCommand = 43111;    // command-bar button "Donate"
inline constexpr int kInfoCommand = 32776;         // menu "Info": the about box
inline constexpr int kFaqCommand = 32790;
inline constexpr int kHomePageCommand = 43103;
inline constexpr int kScreenshotToPaintCommand = 43104;
inline constexpr int kScreenshotToFileCommand = 43105;
inline constexpr int kHideSerialCommand = 43106;   // menu item with a check mark
inline constexpr int kAutoUpdateCommand = 43112;
inline constexpr int kUninstallCommand = 43113;
inline constexpr int kRestartCommand = 43114;

// System tools and folders of the menus.
inline constexpr int kTaskManagerCommand = 4006;
inline constexpr int kSystemPropertiesCommand = 4007;
inline constexpr int kSystemInformationCommand = 4046;
inline constexpr int kMemoryDiagnosticsCommand = 32809;
inline constexpr int kPerformanceMonitorCommand = 32810;
inline constexpr int kResourceMonitorCommand = 32811;
inline constexpr int kComputerManagementCommand = 32812;
inline constexpr int kDriveOptimizerCommand = 43001;
inline constexpr int kDiskManagementCommand = 43108;
inline constexpr int kOpenSettingsFileCommand = 43109;  // System menu, "Brindlecrest.ini"
inline constexpr int kProgramFolderCommand = 43115;
inline constexpr int kSettingsFolderCommand = 43116;
inline constexpr int kSettingsFileCommand = 43117;      // folder submenu, "Brindlecrest.ini"
inline constexpr int kFolderSubmenuItem = 43118;        // carries the folder icon only

// Commands of the hidden main window.
inline constexpr int kOpenMainDialogCommand = 104;
inline constexpr int kDestroyMainWindowCommand = 105;
// Alt+F4 in the accelerator table: no window handles it, so the key does nothing.
inline constexpr int kSwallowedAltF4Command = 32773;

// Timers of the main dialog.
inline constexpr UINT_PTR kInfoBoxTimer = 2111;
inline constexpr UINT kInfoBoxTimerDelayMs = 200;
inline constexpr UINT_PTR kScreenshotToPaintTimer = 43104;
inline constexpr UINT kScreenshotToPaintDelayMs = 500;
inline constexpr UINT_PTR kScreenshotToFileTimer = 43105;
inline constexpr UINT kScreenshotToFileDelayMs = 100;
// Busy dots on the parallel test's labels, set by the engine while that test reads or writes.
inline constexpr UINT_PTR kParallelReadTimer = engine_ids::kParallelReadTimer;
inline constexpr UINT_PTR kParallelWriteTimer = engine_ids::kParallelWriteTimer;

// Messages the main dialog posts to itself (the engine's own are in engine/EngineIds.h).
// The run's worker hands the scanner bar's restart to the dialog's thread, which owns its timer.
inline constexpr UINT kStartScannerMessage = WM_APP + 0x60;
// Posted at initialisation: the stored start-check choice opens the error check once the dialog shows.
inline constexpr UINT kStartCheckAtStartMessage = WM_APP + 0x61;

}  // namespace ids
