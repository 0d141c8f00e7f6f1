#include "update/UpdateFiles.h"

#include <windows.h>

#include "base/ScopedHandle.h"

#include <cwchar>
#include <vector>

namespace {

constexpr int kRemoveAttempts = 50;
constexpr DWORD kRemoveRetryMs = 100;
constexpr DWORD kCompareChunkBytes = 64 * 1024;

ScopedHandle openForReading(const WideString& path) {
    return ScopedHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool readChunk(HANDLE file, std::vector<char>& buffer, DWORD& got) {
    return ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE;
}

}  // namespace

WideString installedPathFor(const WideString& updatePath) {
    int nameStart = updatePath.reverseFind(L'\\') + 1;
    WideString name = updatePath.mid(nameStart);
    int mark = name.toLower().find(kAutoUpdateMark);
    if (mark == WideString::npos) {
        return WideString();
    }
    int markLength = static_cast<int>(wcslen(kAutoUpdateMark));
    return updatePath.left(nameStart) + name.left(mark) + name.mid(mark + markLength);
}

WideString updatePathFor(const WideString& installedPath) {
    int nameStart = installedPath.reverseFind(L'\\') + 1;
    int dot = installedPath.reverseFind(L'.');
    // A dot in a folder name or at the name's first character is no extension.
    int insertAt = dot > nameStart ? dot : installedPath.length();
    return installedPath.left(insertAt) + kAutoUpdateMark + installedPath.mid(insertAt);
}

bool sameFileContents(const WideString& first, const WideString& second) {
    ScopedHandle a = openForReading(first);
    ScopedHandle b = openForReading(second);
    LARGE_INTEGER sizeA{}, sizeB{};
    if (!a || !b || !GetFileSizeEx(a.get(), &sizeA) || !GetFileSizeEx(b.get(), &sizeB) || sizeA.QuadPart != sizeB.QuadPart) {
        return false;
    }
    std::vector<char> bufferA(kCompareChunkBytes), bufferB(kCompareChunkBytes);
    for (;;) {
        DWORD gotA = 0, gotB = 0;
        if (!readChunk(a.get(), bufferA, gotA) || !readChunk(b.get(), bufferB, gotB) || gotA != gotB) {
            return false;
        }
        if (gotA == 0) {
            return true;
        }
        if (memcmp(bufferA.data(), bufferB.data(), gotA) != 0) {
            return false;
        }
    }
}

bool removeUpdateLeftover(const WideString& installedPath) {
    WideString leftover = updatePathFor(installedPath);
    if (GetFileAttributesW(leftover.c_str()) == INVALID_FILE_ATTRIBUTES || !sameFileContents(leftover, installedPath)) {
        return false;
    }
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        if (DeleteFileW(leftover.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
            return true;
        }
        Sleep(kRemoveRetryMs);
    }
    return false;
}
