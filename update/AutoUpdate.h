#pragma once
// Self-update (command 43112): ask our site for the newest version, and when it is newer and the
// user agrees, download it beside the program, check its size and SHA-256, and start it; its
// start-up puts it in place of this program (app/SelfUpdate).

#include <windows.h>

#include "base/ScopedHandle.h"
#include "base/WideString.h"
#include "update/UpdateDescriptor.h"
#include "update/WebFetch.h"

#include <atomic>

// The path below our site's home address (header entries 20 and 21) that holds the descriptor.
inline constexpr wchar_t kDescriptorPath[] = L"update.txt";
// The query key that carries the language's second name to the site.
inline constexpr char kLanguageQueryKey[] = "lang";

// The version in the version resource of `module` (null: this program); 0.0 when it has none.
update::ProgramVersion runningVersion(HMODULE module = nullptr);

// An administrator's address from the settings ("update_url") when there is one, otherwise our
// site's: the German host while German is the language.
WideString updateDescriptorAddress();

enum class CheckOutcome { newer, upToDate, refusedAddress, fetchFailed, invalidDescriptor, cancelled };

struct UpdateCheck {
    CheckOutcome outcome = CheckOutcome::fetchFailed;
    FetchResult fetch;
    update::DescriptorError descriptorError = update::DescriptorError::none;
    update::UpdateDescriptor descriptor;
};

// Fetches and reads the descriptor at `address` (the language name goes along as a query value)
// and compares its version with `running`. Needs no window: runs on any thread.
UpdateCheck checkForUpdate(const WideString& address, const WideString& languageName, const update::ProgramVersion& running,
                           const std::atomic<int>* cancel);

enum class DownloadOutcome { verified, downloadFailed, saveFailed, verificationFailed, cancelled };

struct DownloadedUpdate {
    DownloadOutcome outcome = DownloadOutcome::downloadFailed;
    FetchResult fetch;
    DWORD systemError = 0;      // of a failed file operation
    WideString path;            // the verified file
    bool besideProgram = true;  // false: in the temporary folder, the program's folder being read-only
    // Open on the verified file, letting others read but not change or delete it, so the bytes
    // that were checked are the bytes that are started.
    ScopedHandle lock;
};

// Downloads the update of `installedPath` to its update path (or, where that folder cannot be
// written, to the same name in the temporary folder), first under a ".part" name. Only a file
// whose size and SHA-256 match the descriptor gets the final name; any other is deleted.
DownloadedUpdate downloadUpdate(const update::UpdateDescriptor& descriptor, const WideString& installedPath,
                                const std::atomic<int>* cancel);

// The digest as the descriptor writes it: Base64 of its 32 bytes.
WideString digestText(const uint8_t* digest, size_t bytes);

// Command 43112, with the main dialog as owner of its messages. True when the verified update has
// been started and this program should end now.
bool runSelfUpdate(HWND dialog);
