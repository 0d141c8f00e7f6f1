#include "tests/e2e/BrowserRecorder.h"

#include "base/DynamicCall.h"
#include "tests/e2e/Driver.h"

namespace e2e {

namespace {

constexpr wchar_t kLauncherKey[] = L"Software\\Wine\\WineBrowser";
constexpr wchar_t kBrowsersValue[] = L"Browsers";

// The launcher splits the list at commas and each entry like a command line.
WideString quoted(const WideString& argument) { return L"\"" + argument + L"\""; }

WideString readWholeFile(const WideString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return WideString();
    }
    std::vector<char> bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    CloseHandle(file);
    if (bytes.empty()) {
        return WideString();
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WideString text;
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.writableBuffer(length), length);
    text.releaseBuffer(length);
    return text;
}

std::vector<WideString> split(const WideString& text, wchar_t separator) {
    std::vector<WideString> parts;
    int start = 0;
    for (int i = 0; i <= text.length(); ++i) {
        if (i == text.length() || text[i] == separator) {
            parts.push_back(text.mid(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

}  // namespace

WideString unixPathOf(const WideString& windowsPath) {
    // Wine's own export; it allocates the answer from the process heap.
    using UnixFileNameFunction = char* CDECL(const wchar_t*);
    auto unixFileName = systemFunction<UnixFileNameFunction>(L"kernel32.dll", "wine_get_unix_file_name");
    if (!unixFileName) {
        return WideString();
    }
    char* path = unixFileName(windowsPath.c_str());
    if (!path) {
        return WideString();
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    WideString result;
    if (length > 1) {
        MultiByteToWideChar(CP_UTF8, 0, path, -1, result.writableBuffer(length - 1), length);
        result.releaseBuffer(length - 1);
    }
    HeapFree(GetProcessHeap(), 0, path);
    return result;
}

bool BrowserRecorder::install(const WideString& logFile, const wchar_t* scriptName) {
    uninstall();
    HANDLE log = CreateFileW(logFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(log);
    WideString script = unixPathOf(besideThisExe(scriptName));
    WideString unixLog = unixPathOf(logFile);
    if (script.isEmpty() || unixLog.isEmpty()) {
        return false;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kLauncherKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    hadValue_ = RegQueryValueExW(key, kBrowsersValue, nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS;
    if (hadValue_) {
        oldValue_.resize(size);
        hadValue_ = RegQueryValueExW(key, kBrowsersValue, nullptr, &oldType_, oldValue_.data(), &size) == ERROR_SUCCESS;
    }
    // The script needs no execute permission when the shell runs it.
    WideString command = quoted(L"/bin/sh") + L" " + quoted(script) + L" " + quoted(unixLog);
    LSTATUS set = RegSetValueExW(key, kBrowsersValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.length() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (set != ERROR_SUCCESS) {
        return false;
    }
    logFile_ = logFile;
    installed_ = true;
    return true;
}

void BrowserRecorder::uninstall() {
    if (!installed_) {
        return;
    }
    installed_ = false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kLauncherKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    if (hadValue_) {
        RegSetValueExW(key, kBrowsersValue, 0, oldType_, oldValue_.data(), static_cast<DWORD>(oldValue_.size()));
    } else {
        RegDeleteValueW(key, kBrowsersValue);
    }
    RegCloseKey(key);
}

std::vector<std::vector<WideString>> BrowserRecorder::calls() const {
    std::vector<std::vector<WideString>> result;
    for (const WideString& line : split(readWholeFile(logFile_), L'\n')) {
        if (!line.isEmpty()) {
            result.push_back(split(line, L'\t'));
        }
    }
    return result;
}

std::vector<std::vector<WideString>> BrowserRecorder::waitForCalls(size_t count, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    std::vector<std::vector<WideString>> result = calls();
    while (result.size() < count && GetTickCount() - start < timeoutMs) {
        Sleep(50);
        result = calls();
    }
    return result;
}

std::vector<WideString> BrowserRecorder::addresses() const {
    std::vector<WideString> result;
    for (const std::vector<WideString>& call : calls()) {
        result.push_back(call.empty() ? WideString() : call.back());
    }
    return result;
}

}  // namespace e2e
