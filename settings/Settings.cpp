#include "settings/Settings.h"

#include "lang/LanguageChoice.h"

#include <windows.h>
#include <shlobj.h>

#include <climits>
#include <ctime>

WideString settingsPath;
int portableCopy = 0;
int hideSerialNumber = 0;

namespace {

WideString withTrailingBackslash(WideString path) {
    if (path.isEmpty() || path[path.length() - 1] != L'\\') {
        path += L'\\';
    }
    return path;
}

bool isExistingFile(const WideString& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void locateSettingsFile() {
    wchar_t exeBuffer[MAX_PATH + 1]{};
    DWORD exeLength = GetModuleFileNameW(nullptr, exeBuffer, MAX_PATH);
    WideString exePath(exeBuffer, static_cast<int>(exeLength));
    int slash = exePath.reverseFind(L'\\');
    WideString exeFolder = withTrailingBackslash(exePath.left(slash < 0 ? 0 : slash));
    WideString exeName = exePath.mid(slash + 1);

    wchar_t tempBuffer[1025]{};
    DWORD tempLength = GetTempPathW(1024, tempBuffer);
    WideString tempFolder = withTrailingBackslash(WideString(tempBuffer, tempLength > 1024 ? 0 : static_cast<int>(tempLength)));

    settingsPath = exeFolder + kSettingsFileName;

    WideString lowerFolder = exeFolder.toLower();
    WideString lowerTemp = tempFolder.toLower();
    WideString lowerName = exeName.toLower();

    // A copy named like "Brindlecrest_p.exe" makes itself portable by creating its file.
    if (lowerName.find(L"_p") > 0) {
        portableCopy = 1;
        writeTextSetting(kSettingsSection, kSettingPortableMark, L"M");
    }

    // Started from inside the temporary folder (say, straight out of an archive), a copy never
    // keeps its settings beside itself: that folder is about to disappear.
    bool insideTemp = !lowerTemp.isEmpty() && lowerFolder.find(lowerTemp.c_str()) == 0;
    if (!insideTemp && isExistingFile(settingsPath)) {
        return;
    }

    wchar_t appData[MAX_PATH + 1]{};
    if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) {
        appData[0] = L'\0';
    }
    WideString userFolder = withTrailingBackslash(WideString(appData)) + kSettingsFolderName;
    CreateDirectoryW(userFolder.c_str(), nullptr);  // an existing folder is fine
    settingsPath = userFolder + L"\\" + kSettingsFileName;
}

void loadSettings() {
    locateSettingsFile();
    writeIntSetting(kSettingsSection, kSettingStartTime, static_cast<int>(static_cast<uint32_t>(std::time(nullptr))));
    chooseStartLanguage();
    hideSerialNumber = readIntSetting(kSettingsSection, kSettingHideSerial, 0);
}

int parseDecimal(const wchar_t* text) {
    if (!text) {
        return 0;
    }
    while (*text == L' ' || *text == L'\t' || *text == L'\r' || *text == L'\n' || *text == L'\v' || *text == L'\f') {
        ++text;
    }
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    long long value = 0;
    while (*text >= L'0' && *text <= L'9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*text - L'0');
        }
        ++text;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int readIntSetting(const wchar_t* section, const wchar_t* key, int current) {
    WideString fallback = WideString::format(L"%d", current);
    wchar_t text[1024]{};
    DWORD length = GetPrivateProfileStringW(section, key, fallback.c_str(), text, 1024, settingsPath.c_str());
    if (length == 0) {
        return current;  // present but empty
    }
    return parseDecimal(text);
}

WideString readTextSetting(const wchar_t* section, const wchar_t* key) {
    if (settingsPath.isEmpty()) {
        return WideString();
    }
    wchar_t text[1024]{};
    DWORD length = GetPrivateProfileStringW(section, key, L"", text, 1024, settingsPath.c_str());
    WideString value(text, static_cast<int>(length));
    value.trim();
    return value;
}

bool writeIntSetting(const wchar_t* section, const wchar_t* key, int value) {
    return writeTextSetting(section, key, WideString::format(L"%d", value).c_str());
}

bool writeTextSetting(const wchar_t* section, const wchar_t* key, const wchar_t* text) {
    if (settingsPath.isEmpty()) {
        return false;
    }
    return WritePrivateProfileStringW(section, key, text, settingsPath.c_str()) != FALSE;
}
