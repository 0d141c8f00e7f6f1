#include "lang/Translation.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include "base/ScopedHandle.h"
#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "lang/TranslationFile.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kHeaderTitle = 19;
constexpr int kHeaderTranslatorNote = 25;
constexpr wchar_t kCaption[] = L"Translate";

// Every text loaded in this run. A lookup on the worker thread may still be using a text it
// took from an earlier file, so none is freed before the process ends; a translation is small.
std::vector<std::unique_ptr<wchar_t[]>> loadedTexts;

WideString headerText(int key) { return WideString(archiveTables.headerTable[key]); }

bool convertAnsi(const char* bytes, size_t count, TextString& text) {
    int length = static_cast<int>(count);  // bounded by kMaxTranslationFileBytes
    int needed = MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    text.resize(static_cast<size_t>(needed));
    int written = MultiByteToWideChar(CP_ACP, 0, bytes, length, text.data(), needed);
    if (written <= 0) {
        return false;
    }
    text.resize(static_cast<size_t>(written));
    return true;
}

bool writeAll(HANDLE file, const void* data, size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

// The language text (never a loaded file's, which may lack it), then the system's reason.
WideString unreadableMessage(DWORD code) {
    WideString box(archiveLanguageText(kKeyTranslationUnreadable));
    wchar_t* systemMessage = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&systemMessage), 0, nullptr);
    box += L"\r\n";
    box.appendFormat(L"0x%08X:%ls", static_cast<unsigned>(code), systemMessage ? systemMessage : L"");
    if (systemMessage) {
        LocalFree(systemMessage);
    }
    box.trimRight();
    return box;
}

}  // namespace

WideString translationTemplatePath() {
    WideString folder;
    DWORD length = GetTempPathW(MAX_PATH + 1, folder.writableBuffer(MAX_PATH + 1));
    if (length == 0 || length > MAX_PATH + 1) {
        folder.releaseBuffer(0);
        return WideString();
    }
    folder.releaseBuffer(static_cast<int>(length));
    WideString title = headerText(kHeaderTitle);
    title.replace(L' ', L'_');
    return folder + L"translate_" + title + L".txt";
}

WideString translationTemplateText() {
    WideString text(L"\r\nPlease don't forget! Write in e-mail subject: Strings for: ");
    text += headerText(kHeaderTitle);
    text += L" and Language Name : German / Deutsch ";
    text += L"\r\n\r\n";
    text += headerText(kHeaderTranslatorNote);
    text += L"\r\n\r\n";
    text += L"##=";
    text += WideString(archiveTables.languageNames[kEnglishSection]);
    text += L"\r\n\r\n";
    text += englishSectionText;
    text += L"\r\n\r\n";
    return text;
}

bool writeTranslationTemplate(const wchar_t* path) {
    DeleteFileW(path);
    // CREATE_ALWAYS truncates: should the delete fail, a shorter template still leaves nothing
    // of the old file behind.
    ScopedHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    WideString content = translationTemplateText();
    static const BYTE byteOrderMark[2] = {0xFF, 0xFE};
    bool written = writeAll(file.get(), byteOrderMark, sizeof(byteOrderMark)) &&
                   writeAll(file.get(), content.c_str(), static_cast<size_t>(content.length()) * sizeof(wchar_t));
    file.reset();
    if (!written) {
        DeleteFileW(path);  // a cut-off template would only mislead the translator
    }
    return written;
}

void exportTranslation() {
    WideString path = translationTemplatePath();
    // Only a template that was written is worth opening.
    if (!path.isEmpty() && writeTranslationTemplate(path.c_str())) {
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    }
}

bool readTextFile(const wchar_t* path, WideString& text) {
    text.clear();
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        return false;
    }
    if (size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) > kMaxTranslationFileBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    // The whole file first: converting it piecemeal would cut multi-byte characters in two.
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            break;  // the file got shorter meanwhile: take what is there
        }
        done += read;
    }
    bytes.resize(done);
    TextString units;
    if (!decodeTextFile(bytes.data(), bytes.size(), convertAnsi, units)) {
        if (GetLastError() == ERROR_SUCCESS) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        }
        return false;
    }
    text = WideString(units.data(), static_cast<int>(units.size()));
    return true;
}

bool useTranslationFile(const wchar_t* path, WideString& message) {
    WideString text;
    if (!readTextFile(path, text)) {
        message = unreadableMessage(GetLastError());
        return false;
    }
    const int length = text.length();
    auto units = std::make_unique<wchar_t[]>(static_cast<size_t>(length) + 1);
    std::memcpy(units.get(), text.c_str(), static_cast<size_t>(length) * sizeof(wchar_t));
    units[length] = L'\0';
    const TextUnit* table[kLanguageKeyCount];
    parseEntries(units.get(), table);
    setLoadedTable(table);
    loadedTexts.push_back(std::move(units));
    loadedTableActive = 1;
    message = WideString(translationReport(archiveTables.languageTables[kEnglishSection], table).c_str());
    return true;
}

bool loadTranslationFile() {
    wchar_t file[MAX_PATH] = {};
    wchar_t fileTitle[MAX_PATH] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = MAX_PATH;
    if (!GetOpenFileNameW(&dialog)) {
        return false;  // cancelled
    }
    WideString message;
    bool loaded = useTranslationFile(file, message);
    MessageBoxW(GetActiveWindow(), message.c_str(), kCaption, loaded ? MB_OK : MB_OK | MB_ICONWARNING);
    return loaded;
}
