#include "lang/LanguageArchive.h"

#include <windows.h>

#include "base/ExecutablePath.h"
#include "base/ScopedHandle.h"
#include "lang/ArchiveContainer.h"

#include <memory>

ArchiveTables archiveTables;
WideString englishSectionText;

namespace {

// Holds the decoded text that every table points into, for the whole run.
ArchiveText archiveText;

// The program's file is a few megabytes at most; a larger size is not ours to read whole.
constexpr ULONGLONG kMaxFileBytes = 256ull << 20;

bool readWholeFile(const wchar_t* path, Bytes& bytes) {
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) > kMaxFileBytes) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        DWORD wanted = static_cast<DWORD>(bytes.size() - done);
        if (!ReadFile(file.get(), bytes.data() + done, wanted, &read, nullptr) || read == 0) {
            return false;  // read short
        }
        done += read;
    }
    return true;
}

void clearArchive() {
    clearTables(archiveTables);
    englishSectionText.clear();
    archiveText = ArchiveText();
}

}  // namespace

bool readLanguageArchive(const wchar_t* exePath) {
    clearArchive();
    Bytes payload;
    {
        Bytes file;
        if (!readWholeFile(exePath, file) || !extractPayload(file.data(), file.size(), payload)) {
            return false;
        }
    }  // the file image goes here; only the payload is kept
    ArchiveText text;
    if (!decodePayload(payload.data(), payload.size(), text)) {
        return false;
    }
    splitSections(text.units.get(), text.count, archiveTables);
    // Taken before the entry lines are cut up.
    if (archiveTables.languageCount > kEnglishSection) {
        englishSectionText = WideString(archiveTables.sectionBodies[kEnglishSection]);
    }
    parseSections(archiveTables);
    if (!hasEnglish(archiveTables)) {
        clearArchive();
        return false;
    }
    archiveText = std::move(text);
    return true;
}

bool loadLanguageArchive() {
    WideString path = executablePath();
    if (!path.isEmpty() && readLanguageArchive(path.c_str())) {
        return true;
    }
    showAlert(L"Error! Loading language file string archive");
    PostQuitMessage(0);
    return false;
}

void showAlert(const wchar_t* text) { MessageBoxW(GetActiveWindow(), text, L"Alert", MB_OK); }
