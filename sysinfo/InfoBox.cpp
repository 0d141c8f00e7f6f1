#include "sysinfo/InfoBox.h"

// Until a language is applied.
WideString unknownRamText = L"RAM Typ unbekannt (Virtual-PC?)";
