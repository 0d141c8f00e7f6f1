#pragma once
// Resource ids of Brindlecrest.exe. Included by the .rc and by the code.

#define IDI_BRINDLECREST 107
