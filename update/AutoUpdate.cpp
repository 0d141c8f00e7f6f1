#include "update/AutoUpdate.h"

#include "base/ExecutablePath.h"
#include "engine/EngineIds.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"
#include "share/Base64Codec.h"
#include "update/BackgroundWork.h"
#include "update/Sha256.h"
#include "update/UpdateFiles.h"
#include "update/UpdateTexts.h"

#include <string>
#include <vector>

namespace {

constexpr wchar_t kPartialSuffix[] = L".part";
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

std::string toAscii(const WideString& text) {
    std::string ascii;
    for (int i = 0; i < text.length(); ++i) {
        if (text[i] >= 0x80) {
            return std::string();  // parses as no address at all
        }
        ascii += static_cast<char>(text[i]);
    }
    return ascii;
}

WideString fromAscii(const std::string& text) {
    WideString wide;
    for (char c : text) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return wide;
}

std::string toUtf8(const WideString& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), text.length(), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), text.length(), utf8.data(), bytes, nullptr, nullptr);
    }
    return utf8;
}

WideString temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1]{};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    WideString folder(buffer, length > MAX_PATH ? 0 : static_cast<int>(length));
    if (!folder.isEmpty() && folder[folder.length() - 1] != L'\\') {
        folder += L'\\';
    }
    return folder;
}

WideString fileNameOf(const WideString& path) { return path.mid(path.reverseFind(L'\\') + 1); }

// Deletes the file through its open handle, which needs DELETE access; the name goes when the
// handle is closed.
void deleteThrough(ScopedHandle& file, const WideString& path) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    bool marked = file && SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
    file.reset();
    if (!marked) {
        DeleteFileW(path.c_str());
    }
}

// Renames the open file, keeping the handle and so the lock that comes with it.
bool renameThrough(HANDLE file, const WideString& newPath) {
    size_t nameBytes = static_cast<size_t>(newPath.length()) * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    memcpy(rename->FileName, newPath.c_str(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

ScopedHandle createPartialFile(const WideString& path) {
    return ScopedHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool isReadOnlyPlace(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT; }

}  // namespace

update::ProgramVersion runningVersion(HMODULE module) {
    update::ProgramVersion version;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!bytes) {
        return version;
    }
    // The fixed part follows the block's key on a 32-bit boundary; its signature marks it.
    for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
        VS_FIXEDFILEINFO info;
        memcpy(&info, bytes + offset, sizeof(info));
        if (info.dwSignature == kFixedFileInfoSignature) {
            version.parts = {HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS),
                             LOWORD(info.dwFileVersionLS)};
            break;
        }
    }
    return version;
}

WideString updateDescriptorAddress() {
    WideString configured = readTextSetting(kSettingsSection, kSettingUpdateAddress);
    if (!configured.isEmpty()) {
        return configured;
    }
    return siteAddress(kDescriptorPath);
}

UpdateCheck checkForUpdate(const WideString& address, const WideString& languageName, const update::ProgramVersion& running,
                           const std::atomic<int>* cancel) {
    UpdateCheck check;
    std::optional<update::WebAddress> parsed = update::parseWebAddress(toAscii(address));
    if (!parsed || !update::isAcceptedForUpdates(*parsed)) {
        check.outcome = CheckOutcome::refusedAddress;
        return check;
    }
    update::addQueryValue(*parsed, kLanguageQueryKey, toUtf8(languageName));
    std::string body;
    check.fetch = fetchAddress(*parsed, update::kMaxDescriptorBytes, [&body](const uint8_t* data, size_t bytes) {
        body.append(reinterpret_cast<const char*>(data), bytes);
        return true;
    }, cancel);
    switch (check.fetch.status) {
    case FetchStatus::ok:
        break;
    case FetchStatus::cancelled:
        check.outcome = CheckOutcome::cancelled;
        return check;
    case FetchStatus::tooLarge:
        // Nothing that long is a descriptor.
        check.outcome = CheckOutcome::invalidDescriptor;
        check.descriptorError = update::DescriptorError::tooLarge;
        return check;
    default:
        check.outcome = CheckOutcome::fetchFailed;
        return check;
    }
    check.descriptorError = update::parseUpdateDescriptor(body, check.descriptor);
    if (check.descriptorError != update::DescriptorError::none) {
        check.outcome = CheckOutcome::invalidDescriptor;
        return check;
    }
    check.outcome = update::compareVersions(check.descriptor.version, running) > 0 ? CheckOutcome::newer : CheckOutcome::upToDate;
    return check;
}

DownloadedUpdate downloadUpdate(const update::UpdateDescriptor& descriptor, const WideString& installedPath,
                                const std::atomic<int>* cancel) {
    DownloadedUpdate result;
    WideString finalPath = updatePathFor(installedPath);
    WideString partPath = finalPath + kPartialSuffix;
    ScopedHandle output = createPartialFile(partPath);
    if (!output && isReadOnlyPlace(GetLastError())) {
        finalPath = temporaryFolder() + fileNameOf(finalPath);
        partPath = finalPath + kPartialSuffix;
        result.besideProgram = false;
        output = createPartialFile(partPath);
    }
    if (!output) {
        result.outcome = DownloadOutcome::saveFailed;
        result.systemError = GetLastError();
        return result;
    }

    DWORD writeError = 0;
    HANDLE file = output.get();
    // The descriptor's size is the limit: a server cannot make us write more than it announced.
    result.fetch = fetchAddress(descriptor.exe, descriptor.size, [file, &writeError](const uint8_t* data, size_t bytes) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(bytes), &written, nullptr) || written != bytes) {
            writeError = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
            return false;
        }
        return true;
    }, cancel);
    if (result.fetch.status == FetchStatus::ok && !FlushFileBuffers(file)) {
        writeError = GetLastError();
        result.fetch.status = FetchStatus::stoppedByReceiver;
    }
    output.reset();
    switch (result.fetch.status) {
    case FetchStatus::ok:
        break;
    case FetchStatus::stoppedByReceiver:
        DeleteFileW(partPath.c_str());
        result.outcome = DownloadOutcome::saveFailed;
        result.systemError = writeError;
        return result;
    case FetchStatus::cancelled:
        DeleteFileW(partPath.c_str());
        result.outcome = DownloadOutcome::cancelled;
        return result;
    default:
        DeleteFileW(partPath.c_str());
        result.outcome = DownloadOutcome::downloadFailed;
        return result;
    }

    // From here on the file is read through a handle that lets nobody change, rename or delete it.
    ScopedHandle lock(CreateFileW(partPath.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!lock) {
        result.outcome = DownloadOutcome::saveFailed;
        result.systemError = GetLastError();
        DeleteFileW(partPath.c_str());
        return result;
    }
    Sha256Digest digest{};
    uint64_t bytes = 0;
    bool hashed = sha256OfFile(lock.get(), digest, bytes);
    if (!hashed || bytes != descriptor.size || digestText(digest.data(), digest.size()) != fromAscii(descriptor.sha256)) {
        deleteThrough(lock, partPath);
        result.outcome = DownloadOutcome::verificationFailed;
        return result;
    }
    if (!renameThrough(lock.get(), finalPath)) {
        result.systemError = GetLastError();
        deleteThrough(lock, partPath);
        result.outcome = DownloadOutcome::saveFailed;
        return result;
    }
    result.outcome = DownloadOutcome::verified;
    result.path = finalPath;
    result.lock = std::move(lock);
    return result;
}

namespace {

// "Please wait" in the dialog's status line while the network is busy; the old text comes back.
class BusyStatus {
public:
    explicit BusyStatus(HWND dialog) : dialog_(dialog) {
        wchar_t text[512]{};
        GetDlgItemTextW(dialog, engine_ids::kStatusLine, text, 512);
        previous_ = text;
        SetDlgItemTextW(dialog, engine_ids::kStatusLine, languageString(update_keys::kPleaseWait).c_str());
    }
    BusyStatus(const BusyStatus&) = delete;
    BusyStatus& operator=(const BusyStatus&) = delete;
    ~BusyStatus() { SetDlgItemTextW(dialog_, engine_ids::kStatusLine, previous_.c_str()); }

private:
    HWND dialog_;
    WideString previous_;
};

int showMessage(HWND dialog, const WideString& text, UINT style) {
    return MessageBoxW(dialog, text.c_str(), languageString(update_keys::kAutoUpdate).c_str(), style);
}

WideString text(int key) { return languageString(key); }

// Why the descriptor or the update could not be fetched.
WideString fetchFailureText(int key, const FetchResult& fetch) {
    if (fetch.status == FetchStatus::cannotConnect || fetch.status == FetchStatus::secureChannel ||
        fetch.status == FetchStatus::unavailable) {
        WideString message = text(update_keys::kServerUnreachable);
        return fetch.systemError ? withSystemError(message, fetch.systemError) : message;
    }
    if (fetch.status == FetchStatus::httpError) {
        return fillPlaceholders(text(update_keys::kServerError), {WideString::format(L"%lu", fetch.httpStatus)});
    }
    WideString message = text(key);
    return fetch.systemError ? withSystemError(message, fetch.systemError) : message;
}

// Tells the user what became of the check; true only when a newer version is there.
bool reportCheck(HWND dialog, const UpdateCheck& check, const WideString& address, const update::ProgramVersion& running) {
    switch (check.outcome) {
    case CheckOutcome::newer:
        return true;
    case CheckOutcome::upToDate:
        showMessage(dialog, fillPlaceholders(text(update_keys::kUpToDate), {fromAscii(update::versionText(running))}),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    case CheckOutcome::refusedAddress:
        showMessage(dialog, text(update_keys::kInsecureAddress) + L"\r\n" + address, MB_OK | MB_ICONWARNING);
        return false;
    case CheckOutcome::invalidDescriptor:
        showMessage(dialog, text(update_keys::kInvalidDescriptor), MB_OK | MB_ICONWARNING);
        return false;
    case CheckOutcome::fetchFailed:
        showMessage(dialog, fetchFailureText(update_keys::kInvalidDescriptor, check.fetch), MB_OK | MB_ICONWARNING);
        return false;
    case CheckOutcome::cancelled:
        return false;
    }
    return false;
}

void reportDownloadFailure(HWND dialog, const DownloadedUpdate& download) {
    switch (download.outcome) {
    case DownloadOutcome::verified:
    case DownloadOutcome::cancelled:
        return;
    case DownloadOutcome::downloadFailed:
        showMessage(dialog, fetchFailureText(update_keys::kDownloadFailed, download.fetch), MB_OK | MB_ICONWARNING);
        return;
    case DownloadOutcome::saveFailed:
        showMessage(dialog, withSystemError(text(update_keys::kCannotSave), download.systemError), MB_OK | MB_ICONWARNING);
        return;
    case DownloadOutcome::verificationFailed:
        showMessage(dialog, text(update_keys::kVerificationFailed), MB_OK | MB_ICONWARNING);
        return;
    }
}

}  // namespace

bool runSelfUpdate(HWND dialog) {
    WideString address = updateDescriptorAddress();
    WideString languageName = secondLanguageName();
    update::ProgramVersion running = runningVersion();
    std::atomic<int> cancel{0};

    UpdateCheck check;
    {
        BusyStatus busy(dialog);
        if (!runWhileServingMessages(dialog, [&] { check = checkForUpdate(address, languageName, running, &cancel); }, cancel)) {
            return false;
        }
    }
    if (!reportCheck(dialog, check, address, running)) {
        return false;
    }
    WideString question = fillPlaceholders(text(update_keys::kNewerAvailable),
                                           {fromAscii(update::versionText(check.descriptor.version)),
                                            fromAscii(update::versionText(running))});
    if (showMessage(dialog, question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }

    WideString installed = executablePath();
    DownloadedUpdate download;
    {
        BusyStatus busy(dialog);
        if (!runWhileServingMessages(dialog, [&] { download = downloadUpdate(check.descriptor, installed, &cancel); }, cancel)) {
            // The program is ending: a verified file that will not be started goes too.
            if (download.outcome == DownloadOutcome::verified) {
                deleteThrough(download.lock, download.path);
            }
            return false;
        }
    }
    if (download.outcome != DownloadOutcome::verified) {
        reportDownloadFailure(dialog, download);
        return false;
    }
    if (!download.besideProgram) {
        download.lock.reset();
        showMessage(dialog, text(update_keys::kSavedToTemporaryFolder) + L"\r\n" + download.path, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    // Started while the lock still holds the file as it was checked.
    bool started = startProgram(download.path);
    DWORD startError = GetLastError();
    if (!started) {
        deleteThrough(download.lock, download.path);
        showMessage(dialog, withSystemError(text(update_keys::kCannotStart), startError), MB_OK | MB_ICONWARNING);
        return false;
    }
    download.lock.reset();
    return true;
}

WideString digestText(const uint8_t* digest, size_t bytes) {
    Base64Codec codec;
    return WideString(codec.encode(digest, bytes));  // the Base64 alphabet is ASCII
}
