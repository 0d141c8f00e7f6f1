#include "app/MainMenu.h"

#include <shellapi.h>

#include "app/DialogIds.h"
#include "app/StartupTimeline.h"
#include "base/WideString.h"
#include "engine/EngineState.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "ui/CommandBar.h"
#include "ui/OwnerDrawnMenu.h"

#include <initializer_list>

HMENU mainMenu = nullptr;

namespace {

// Language keys of the menus and the right-hand buttons.
constexpr int kKeyHideSerial = 41;
constexpr int kKeyExit = 46;
constexpr int kKeyToTray = 47;
constexpr int kKeySystem = 50;
constexpr int kKeyTaskManager = 51;
constexpr int kKeySystemInformation = 52;
constexpr int kKeyOptimizeDrive = 53;
constexpr int kKeyComputerManagement = 54;
constexpr int kKeyDiskManagement = 55;
constexpr int kKeyMemoryDiagnostics = 56;
constexpr int kKeyResourceMonitor = 57;
constexpr int kKeyPerformanceMonitor = 58;
constexpr int kKeyDonate = 72;
constexpr int kKeyFaq = 74;
constexpr int kKeyCompare = 75;
constexpr int kKeyHomePage = 76;
constexpr int kKeyScreenshotToFile = 77;
constexpr int kKeyScreenshotToPaint = 78;
constexpr int kKeyInfo = 93;
constexpr int kKeyUninstall = 201;
constexpr int kKeyAutoUpdate = 202;
constexpr int kKeyRestart = 204;
constexpr int kKeyCheckNow = 241;

constexpr int kSeparator = 0;

// One item: its language key (kSeparator for a separator line) and command.
struct MenuRow {
    int key;
    int command;
};

constexpr MenuRow kProgramRowsBeforeFolders[] = {
    {kKeyScreenshotToFile, ids::kScreenshotToFileCommand},
    {kKeyScreenshotToPaint, ids::kScreenshotToPaintCommand},
    {kSeparator, 0},
    {kKeyHideSerial, ids::kHideSerialCommand},
    {kSeparator, 0},
    {kKeyInfo, ids::kInfoCommand},
    {kSeparator, 0},
    {kKeyFaq, ids::kFaqCommand},
    {kKeyCompare, ids::kCompareCommand},
    {kKeyHomePage, ids::kHomePageCommand},
    {kSeparator, 0},
    {kKeyAutoUpdate, ids::kAutoUpdateCommand},
    {kKeyUninstall, ids::kUninstallCommand},
    {kSeparator, 0},
};

constexpr MenuRow kProgramRowsAfterFolders[] = {
    {kKeyRestart, ids::kRestartCommand},
    {kSeparator, 0},
    {kKeyExit, ids::kExitCommand},
};

constexpr MenuRow kSystemRows[] = {
    {kKeyMemoryDiagnostics, ids::kMemoryDiagnosticsCommand},
    {kKeyResourceMonitor, ids::kResourceMonitorCommand},
    {kKeyPerformanceMonitor, ids::kPerformanceMonitorCommand},
    {kSeparator, 0},
    {kKeyCheckNow, ids::kErrorCheckNowCommand},
    {kSeparator, 0},
    {kKeyTaskManager, ids::kTaskManagerCommand},
    {kKeySystem, ids::kSystemPropertiesCommand},
    {kKeySystemInformation, ids::kSystemInformationCommand},
    {kSeparator, 0},
    {kKeyOptimizeDrive, ids::kDriveOptimizerCommand},
    {kKeyComputerManagement, ids::kComputerManagementCommand},
    {kKeyDiskManagement, ids::kDiskManagementCommand},
    {kSeparator, 0},
};

// Shell32's icon resources by command.
struct MenuIcon {
    int command;
    int shellIcon;
};

constexpr MenuIcon kMenuIcons[] = {
    {ids::kScreenshotToFileCommand, 248},
    {ids::kScreenshotToPaintCommand, 270},
    {ids::kInfoCommand, 1001},
    {ids::kFaqCommand, 14},
    {ids::kCompareCommand, 14},
    {ids::kHomePageCommand, 14},
    {ids::kAutoUpdateCommand, 14},
    {ids::kUninstallCommand, 271},
    {ids::kFolderSubmenuItem, 4},
    {ids::kProgramFolderCommand, 4},
    {ids::kSettingsFolderCommand, 4},
    {ids::kSettingsFileCommand, 151},
    {ids::kRestartCommand, 16739},
    {ids::kExitCommand, 28},
    {ids::kSystemPropertiesCommand, 16},
    {ids::kSystemInformationCommand, 24},
    {ids::kDriveOptimizerCommand, 167},
    {ids::kComputerManagementCommand, 274},
    {ids::kDiskManagementCommand, 274},
    {ids::kOpenSettingsFileCommand, 151},
};

void appendItem(HMENU menu, const wchar_t* text, int command) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command), text ? text : L"");
}

template <size_t N>
void appendRows(HMENU menu, const MenuRow (&rows)[N]) {
    for (const MenuRow& row : rows) {
        if (row.key == kSeparator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            appendItem(menu, languageText(row.key), row.command);
        }
    }
}

HMODULE shell32() {
    static HMODULE module = LoadLibraryW(L"shell32.dll");
    return module;
}

bool runInProgress() {
    return engineState.busy.load(std::memory_order_relaxed) != 0 || engineState.running.load(std::memory_order_relaxed) != 0;
}

}  // namespace

void setRunLockedItemsEnabled(HMENU menu, bool enabled) {
    if (!menu) {
        return;
    }
    // By command: the items sit in the program menu, not in the bar itself.
    const UINT state = MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED);
    for (int command : {ids::kRestartCommand, ids::kAutoUpdateCommand, ids::kExitCommand, ids::kUninstallCommand}) {
        EnableMenuItem(menu, static_cast<UINT>(command), state);
    }
}

HMENU buildMainMenu() {
    HMENU bar = CreateMenu();
    HMENU program = CreatePopupMenu();
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(program), (WideString(L"&") + kProductName).c_str());
    appendRows(program, kProgramRowsBeforeFolders);

    HMENU folders = CreatePopupMenu();
    AppendMenuW(program, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(folders), kProductName);
    // The submenu's item gets an id only so that the folder icon can be found for it.
    MENUITEMINFOW folderItem{};
    folderItem.cbSize = sizeof(folderItem);
    folderItem.fMask = MIIM_ID;
    folderItem.wID = ids::kFolderSubmenuItem;
    SetMenuItemInfoW(program, static_cast<UINT>(GetMenuItemCount(program) - 1), TRUE, &folderItem);
    appendItem(folders, (WideString(kProductName) + L".exe/..").c_str(), ids::kProgramFolderCommand);
    appendItem(folders, (WideString(kProductName) + L".ini/..").c_str(), ids::kSettingsFolderCommand);
    appendItem(folders, (WideString(kProductName) + L".ini").c_str(), ids::kSettingsFileCommand);
    appendRows(program, kProgramRowsAfterFolders);

    HMENU system = CreatePopupMenu();
    const wchar_t* systemTitle = languageText(kKeySystem);
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(system), systemTitle ? systemTitle : L"");
    appendRows(system, kSystemRows);
    // The file's name only, not its path.
    appendItem(system, kSettingsFileName, ids::kOpenSettingsFileCommand);

    CheckMenuItem(bar, ids::kHideSerialCommand, MF_BYCOMMAND | (hideSerialNumber ? MF_CHECKED : MF_UNCHECKED));
    return bar;
}

void assignMenuIcons() {
    if (HMODULE shell = shell32()) {
        for (const MenuIcon& icon : kMenuIcons) {
            // Shared icons at the default size: the system owns them, the image list copies them.
            addMenuIcon(LoadIconW(shell, MAKEINTRESOURCEW(icon.shellIcon)), icon.command);
        }
    }
    wchar_t system[MAX_PATH + 1]{};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return;
    }
    HICON small = nullptr;
    if (ExtractIconExW((WideString(system) + L"\\taskmgr.exe").c_str(), 0, nullptr, &small, 1) > 0 && small) {
        addOwnedMenuIcon(small, ids::kTaskManagerCommand);
    }
}

void createMainCommandBar(HWND dialog) {
    createCommandBar(dialog);
    addRightButton(languageText(kKeyExit), ids::kExitCommand);
    addRightButton(languageText(kKeyToTray), ids::kDonateCommand);
}

void applyMenuTexts() {
    HMENU menu = buildMainMenu();
    if (runInProgress()) {
        setRunLockedItemsEnabled(menu, false);
    }
    setCommandBarMenu(menu);  // drops the menu shown before
    mainMenu = menu;
    markStartup(StartupStep::menu);
    assignMenuIcons();
    markStartup(StartupStep::menuIcons);
    // Every button follows the language, the three at the right end too.
    setRightButtonText(ids::kExitCommand, languageText(kKeyExit));
    setRightButtonText(ids::kDonateCommand, languageText(kKeyToTray));
    if (!setRightButtonText(ids::kDonateBarCommand, languageText(kKeyDonate))) {
        addRightButton(languageText(kKeyDonate), ids::kDonateBarCommand);
    }
}

void updateMenuChecks() {
    if (mainMenu) {
        CheckMenuItem(mainMenu, ids::kHideSerialCommand, MF_BYCOMMAND | (hideSerialNumber ? MF_CHECKED : MF_UNCHECKED));
    }
}
