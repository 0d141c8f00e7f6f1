#include "ui/DarkMode.h"

bool darkSupported = false;
bool darkEnabled = false;
