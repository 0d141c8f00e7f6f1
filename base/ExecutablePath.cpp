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

bool startProgram(const WideString& path, const WideString& arguments) {
    WideString line = L"\"" + path + L"\"";
    if (!arguments.isEmpty()) {
        line += L" ";
        line += arguments;
    }
    WideString folder = path.left(path.reverseFind(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), line.writableBuffer(line.length()), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.isEmpty() ? nullptr : folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}
