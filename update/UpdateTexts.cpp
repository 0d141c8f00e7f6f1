#include "update/UpdateTexts.h"

#include "lang/LanguageArchive.h"
#include "lang/LanguageChoice.h"
#include "update/WebFetch.h"

namespace {

constexpr DWORD kFirstWinHttpError = 12000;
constexpr DWORD kLastWinHttpError = 12999;
constexpr int kHeaderHomePage = 20;
constexpr int kHeaderHomePageGerman = 21;
constexpr wchar_t kFallbackHomePage[] = L"https://www.brindlecrest.example/";

}  // namespace

WideString fillPlaceholders(const WideString& pattern, std::initializer_list<WideString> values) {
    WideString text;
    const WideString* next = values.begin();
    int position = 0;
    for (;;) {
        int found = pattern.find(L"%s", position);
        if (found == WideString::npos || next == values.end()) {
            text += pattern.mid(position);
            return text;
        }
        text += pattern.mid(position, found - position);
        text += *next++;
        position = found + 2;
    }
}

WideString withSystemError(const WideString& text, DWORD code) {
    wchar_t* systemMessage = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = nullptr;
    if (code >= kFirstWinHttpError && code <= kLastWinHttpError && winHttpModule()) {
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
        source = winHttpModule();
    } else {
        flags |= FORMAT_MESSAGE_FROM_SYSTEM;
    }
    FormatMessageW(flags, source, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&systemMessage),
                   0, nullptr);
    WideString box = text + L"\r\n";
    box.appendFormat(L"0x%08X:%ls", static_cast<unsigned>(code), systemMessage ? systemMessage : L"");
    if (systemMessage) {
        LocalFree(systemMessage);
    }
    box.trimRight();
    return box;
}

WideString siteAddress(const wchar_t* path) {
    int language = currentLanguage.load(std::memory_order_relaxed);
    const wchar_t* home = archiveTables.headerTable[language == kLanguageGerman ? kHeaderHomePageGerman : kHeaderHomePage];
    WideString address = home && *home ? WideString(home) : WideString(kFallbackHomePage);
    if (address[address.length() - 1] != L'/') {
        address += L'/';
    }
    return address + path;
}
