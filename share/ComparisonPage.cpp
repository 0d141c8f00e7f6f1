#include "share/ComparisonPage.h"

#include <windows.h>

#include <shellapi.h>

#include "app/MainDialog.h"
#include "base/ScopedHandle.h"
#include "lang/LanguageChoice.h"
#include "share/Base64Codec.h"
#include "share/ResultsRecord.h"
#include "share/Screenshots.h"

#include <algorithm>
#include <vector>

namespace {

// The page posts serial numbers and a picture of the screen: never over plain http.
constexpr char kGermanTarget[] = "https://de.brindlecrest.example";
constexpr char kOtherTarget[] = "https://www.brindlecrest.example";
constexpr char kTargetQuery[] = "?seite=ram-memory-benchmark-charts";
constexpr wchar_t kRecordEnd[] = L"T\u00fcte=\u00c4\u00dc\u00d6\u00f6\u00fc\u00e4\u00df\n" L"ENDE=ENDE\n\n";
constexpr char kScriptEndLine[] =
    "</script><br><br><br><br><br><br><br><br><br><br><br><br><br><br><br>\n";

std::string toUtf8(const WideString& text) {
    if (text.isEmpty()) {
        return std::string();
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), text.length(), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), text.length(), utf8.data(), bytes, nullptr, nullptr);
    }
    return utf8;
}

// Two statements: the length must be read after the encoding, which a single expression of
// both would not guarantee.
std::string base64Of(Base64Codec& codec, const void* data, size_t length) {
    codec.encode(data, length);
    return std::string(codec.outputText(), codec.outputLength());
}

bool writeAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

}  // namespace

std::string encodeResultsRecord(const WideString& record) {
    std::string utf8 = toUtf8(record + kRecordEnd);
    Base64Codec codec;
    std::string once = base64Of(codec, utf8.data(), utf8.size());
    std::reverse(once.begin(), once.end());
    return base64Of(codec, once.data(), once.size());
}

std::string encodeFile(const wchar_t* path) {
    ScopedHandle file(CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::string();
    }
    std::vector<char> bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    Base64Codec codec;
    return base64Of(codec, bytes.data(), bytes.size());
}

std::string comparisonTarget(int language) {
    return std::string(language == kLanguageGerman ? kGermanTarget : kOtherTarget) + kTargetQuery;
}

std::string comparisonPageBytes(const std::string& target, const std::string& imageValue, const std::string& recordValue) {
    std::string page;
    page += "<table align=center><tr><td>\n";
    page += "<br>\n";
    page += "<form id=xxx action='";
    page += target;
    page += "' method=post><br>\n";
    page += "<input type=hidden name='brindlecrestdataI' value=\"";
    page += imageValue;
    page += "\">\n";
    page += "<input type=hidden name='brindlecrestdata' value=\"";
    page += recordValue;
    page += "\">\n";
    page += "<input type=submit name='xxxx' value=\"Compare Results on Quillmarsh Homepage\"><br>\n";
    page += "</form></td></tr></table>\n";
    page += "<script>\n";
    page += "el_f=document.getElementById(\"xxx\"); el_f.submit();\n";
    page += kScriptEndLine;
    page += kScriptEndLine;
    return page;
}

void openComparisonPage() {
    std::string recordValue = encodeResultsRecord(buildResultsRecord());
    WideString pagePath = temporaryFilePath(kComparisonPageName);
    // In the temporary folder like the page: the current folder may be read-only or not ours.
    WideString picturePath = temporaryFilePath(kComparisonPictureName);
    captureWindowToPng(mainDialog, picturePath.c_str());
    std::string imageValue = encodeFile(picturePath.c_str());

    ScopedHandle page(CreateFileW(pagePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!page) {
        return;
    }
    std::string bytes = comparisonPageBytes(comparisonTarget(currentLanguage.load(std::memory_order_relaxed)), imageValue,
                                            recordValue);
    bool written = writeAll(page.get(), bytes);
    page.reset();
    if (!written) {
        // A page cut short would post part of the results; better none.
        return;
    }
    ShellExecuteW(nullptr, L"open", pagePath.c_str(), nullptr, nullptr, SW_SHOW);
}
