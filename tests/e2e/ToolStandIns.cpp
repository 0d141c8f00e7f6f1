#include "tests/e2e/ToolStandIns.h"

#include "tests/e2e/Driver.h"

#include <string>

namespace e2e {

namespace {

constexpr wchar_t kRecordVariable[] = L"BRINDLECREST_TOOL_RECORD";
constexpr wchar_t kKeptSuffix[] = L".brindlecrest-kept";

bool exists(const WideString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A stand-in that has just written its record may not have ended yet, and the file of a running
// program cannot be deleted: try for a while.
bool deleteWhenFree(const WideString& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (DeleteFileW(path.c_str()) || !exists(path)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

WideString fromUtf8(const std::string& text) {
    if (text.empty()) {
        return WideString();
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideString out;
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.writableBuffer(length), length);
    out.releaseBuffer(length);
    return out;
}

std::string readWholeFile(const WideString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    return content;
}

// Complete records only: one that is still being written has no "end" line yet.
std::vector<ToolRecord> parseRecords(const std::string& content) {
    std::vector<ToolRecord> records;
    ToolRecord current;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        const std::string line = content.substr(start, end - start);
        start = end + 2;
        if (line == "end") {
            records.push_back(current);
            current = ToolRecord();
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const WideString value = fromUtf8(line.substr(equals + 1));
        if (key == "program") {
            current.program = value;
        } else if (key == "commandLine") {
            current.commandLine = value;
        } else if (key == "arguments") {
            current.arguments = value;
        } else if (key == "folder") {
            current.folder = value;
        } else if (key == "show") {
            current.show = _wtoi(value.c_str());
        }
    }
    return records;
}

}  // namespace

WideString ToolRecord::programName() const { return program.mid(program.reverseFind(L'\\') + 1); }

ToolStandIns::ToolStandIns() {
    WideString recorder = besideThisExe(L"toolRecorder.exe");
    if (exists(recorder)) {
        recorder_ = recorder;
    }
    folder_ = makeTempFolder(L"bc_tools");
    if (!folder_.isEmpty()) {
        recordFile_ = folder_ + L"\\records.txt";
        SetEnvironmentVariableW(kRecordVariable, recordFile_.c_str());
    }
}

ToolStandIns::~ToolStandIns() {
    for (auto file = files_.rbegin(); file != files_.rend(); ++file) {
        deleteWhenFree(file->path);
        if (!file->backup.isEmpty()) {
            MoveFileExW(file->backup.c_str(), file->path.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    for (auto value = values_.rbegin(); value != values_.rend(); ++value) {
        if (!value->createdKey.isEmpty()) {
            RegDeleteTreeW(value->root, value->createdKey.c_str());
            continue;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(value->root, value->key.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
            continue;
        }
        if (value->existed) {
            RegSetValueExW(key, value->name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->value.c_str()),
                           static_cast<DWORD>((value->value.length() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, value->name);
        }
        RegCloseKey(key);
    }
    SetEnvironmentVariableW(kRecordVariable, nullptr);
    removeTree(folder_);
}

WideString ToolStandIns::systemFolder() {
    wchar_t folder[MAX_PATH + 1]{};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    return WideString(folder, static_cast<int>(length <= MAX_PATH ? length : 0));
}

// The file at `path` goes aside (once) and comes back at the end. A kept file left behind by a run
// that never got to put it back is the original, so it is never overwritten.
bool ToolStandIns::keepAside(const WideString& path) {
    for (const SavedFile& saved : files_) {
        if (saved.path.compareNoCase(path.c_str()) == 0) {
            return true;
        }
    }
    const WideString backup = path + kKeptSuffix;
    bool kept = exists(backup);
    if (exists(path)) {
        if (kept) {
            deleteWhenFree(path);
        } else if (MoveFileExW(path.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            kept = true;
        } else {
            return false;
        }
    }
    files_.push_back({path, kept ? backup : WideString()});
    return true;
}

bool ToolStandIns::setRegistryText(HKEY root, const WideString& keyPath, const wchar_t* name, const WideString& text) {
    SavedValue saved{root, keyPath, name, false, WideString(), WideString()};
    // The first missing key on the way down is removed with everything below it afterwards.
    for (int at = 0; at <= keyPath.length(); ++at) {
        if (at < keyPath.length() && keyPath[at] != L'\\') {
            continue;
        }
        HKEY probe = nullptr;
        const WideString part = keyPath.left(at);
        if (RegOpenKeyExW(root, part.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) {
            saved.createdKey = part;
            break;
        }
        RegCloseKey(probe);
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (saved.createdKey.isEmpty()) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            WideString old;
            const int count = static_cast<int>(bytes / sizeof(wchar_t));
            RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(old.writableBuffer(count)), &bytes);
            old.releaseBuffer(count > 0 && old.c_str()[count - 1] == L'\0' ? count - 1 : count);
            saved.existed = true;
            saved.value = old;
        }
    }
    const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>((text.length() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    values_.push_back(saved);
    return status == ERROR_SUCCESS;
}

bool ToolStandIns::installProgram(const wchar_t* exeName) {
    if (!ready()) {
        return false;
    }
    const WideString path = systemFolder() + L"\\" + exeName;
    if (!keepAside(path) || !CopyFileW(recorder_.c_str(), path.c_str(), FALSE)) {
        return false;
    }
    // Wine prefers its built-in program of a name in the system folder unless told otherwise.
    return setRegistryText(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", exeName, L"native");
}

bool ToolStandIns::removeSystemFile(const wchar_t* fileName) {
    const WideString path = systemFolder() + L"\\" + fileName;
    if (!keepAside(path)) {
        return false;
    }
    // A copy of our own put there before (the original, if any, is kept aside already).
    return deleteWhenFree(path);
}

bool ToolStandIns::placeSystemFile(const wchar_t* fileName) {
    const WideString path = systemFolder() + L"\\" + fileName;
    if (!keepAside(path)) {
        return false;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

bool ToolStandIns::installDocumentType(const wchar_t* extension, const wchar_t* progId, const wchar_t* handlerExe) {
    const WideString command = L"\"" + systemFolder() + L"\\" + handlerExe + L"\" \"%1\"";
    return installProgram(handlerExe) && setRegistryText(HKEY_CLASSES_ROOT, extension, nullptr, progId) &&
           setRegistryText(HKEY_CLASSES_ROOT, WideString(progId) + L"\\shell\\open\\command", nullptr, command);
}

bool ToolStandIns::installFolderHandler(const wchar_t* handlerExe) {
    const WideString command = L"\"" + systemFolder() + L"\\" + handlerExe + L"\" /folder \"%1\"";
    return installProgram(handlerExe) && setRegistryText(HKEY_CLASSES_ROOT, L"Folder\\shell\\open\\command", nullptr, command);
}

std::vector<ToolRecord> ToolStandIns::waitForRecords(size_t count, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<ToolRecord> records = parseRecords(readWholeFile(recordFile_));
        if (records.size() >= count || GetTickCount() - start >= timeoutMs) {
            return records;
        }
        Sleep(50);
    }
}

void ToolStandIns::clearRecords() const { DeleteFileW(recordFile_.c_str()); }

}  // namespace e2e
