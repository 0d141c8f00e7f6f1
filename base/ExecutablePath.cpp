#include "base/ExecutablePath.h"

#include <windows.h>

WideString executablePath() {
    // Long paths are allowed, so grow the buffer until the whole path fits.
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
        WideString path;
        DWORD length = GetModuleFileNameW(nullptr, path.writableBuffer(static_cast<int>(capacity)), capacity + 1);
        if (length == 0) {
            return WideString();
        }
        if (length <= capacity) {  // otherwise the path was cut short
            path.releaseBuffer(static_cast<int>(length));
            return path;
        }
    }
    return WideString();
}
