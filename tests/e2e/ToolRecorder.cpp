// Recording stand-in for programs that Brindlecrest starts (system tools, Paint, file and folder
// handlers). Copied into the test prefix under each program's name, it writes one record of how it
// was started and ends at once. The record goes to the file named by the environment variable
// BRINDLECREST_TOOL_RECORD (inherited from the test through the program that starts us), or, when
// that is not set, to "tool-record.txt" beside this exe. Records are appended, one per start:
//
//   program=<full path of this exe, as started>
//   commandLine=<the whole command line>
//   arguments=<the command line after the program's own name>
//   folder=<working folder>
//   show=<wShowWindow when STARTF_USESHOWWINDOW is set, else -1>
//   end
//
// UTF-8, CR LF; one WriteFile per record, so records of tools started together never interleave.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return std::string();
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

// What follows the program name, by the C runtime's rule for the first word: up to the closing
// quote when it starts with one, else up to the first blank; then blanks are skipped.
const wchar_t* argumentsOf(const wchar_t* line) {
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') {
            ++p;
        }
        if (*p) {
            ++p;
        }
    } else {
        while (*p && *p != L' ' && *p != L'\t') {
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

std::wstring recordFilePath() {
    wchar_t path[32768]{};
    DWORD n = GetEnvironmentVariableW(L"BRINDLECREST_TOOL_RECORD", path, 32768);
    if (n > 0 && n < 32768) {
        return path;
    }
    n = GetModuleFileNameW(nullptr, path, 32768);
    std::wstring own(path, n);
    return own.substr(0, own.find_last_of(L'\\') + 1) + L"tool-record.txt";
}

}  // namespace

int wmain() {
    wchar_t module[32768]{};
    GetModuleFileNameW(nullptr, module, 32768);
    const wchar_t* line = GetCommandLineW();
    wchar_t folder[32768]{};
    GetCurrentDirectoryW(32768, folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? static_cast<int>(startup.wShowWindow) : -1;

    std::string record = "program=" + utf8(module) + "\r\ncommandLine=" + utf8(line) +
                         "\r\narguments=" + utf8(argumentsOf(line)) + "\r\nfolder=" + utf8(folder) +
                         "\r\nshow=" + std::to_string(show) + "\r\nend\r\n";

    // Another stand-in may be appending at the same moment: retry while the file is shared out.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(recordFilePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            CloseHandle(file);
            return ok && written == record.size() ? 0 : 1;
        }
        Sleep(10);
    }
    return 1;
}
