#include "app/MainMenu.h"

#include "app/DialogIds.h"

#include <initializer_list>

HMENU mainMenu = nullptr;

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
