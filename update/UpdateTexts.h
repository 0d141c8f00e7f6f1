#pragma once
// The language keys of self-update and uninstall, and the few ways their messages are put
// together.

#include <windows.h>

#include "base/WideString.h"

#include <initializer_list>

namespace update_keys {
inline constexpr int kUpToDate = 130;             // "... the newest version (%s)."
inline constexpr int kNewerAvailable = 131;       // new version %s, this version %s; download?
inline constexpr int kDownloadFailed = 132;
inline constexpr int kVerificationFailed = 133;
inline constexpr int kServerUnreachable = 134;
inline constexpr int kServerError = 135;          // "... (HTTP %s)."
inline constexpr int kInvalidDescriptor = 136;
inline constexpr int kInsecureAddress = 137;      // the address follows on a line of its own
inline constexpr int kSavedToTemporaryFolder = 138;  // the path follows on a line of its own
inline constexpr int kCannotSave = 139;
inline constexpr int kCannotStart = 140;
inline constexpr int kCannotReplace = 141;
inline constexpr int kCannotRemoveProgram = 142;
inline constexpr int kCannotPrepareUninstall = 143;
inline constexpr int kUninstall = 201;            // menu item, the uninstall question's caption
inline constexpr int kAutoUpdate = 202;           // menu item, the update messages' caption
inline constexpr int kAreYouSure = 203;
inline constexpr int kPleaseWait = 92;
}  // namespace update_keys

// The pattern with each "%s" replaced by the next value, in order; a "%s" without a value stays.
// Nothing else in the pattern has a meaning: a translation's text never reaches a formatter.
WideString fillPlaceholders(const WideString& pattern, std::initializer_list<WideString> values);

// The text, then the line "0x%08X:<the system's message>" for `code` (WinHTTP's codes explained
// by WinHTTP's own message table).
WideString withSystemError(const WideString& text, DWORD code);

// A page of our site: the home address of header entry 20, or 21 (the German host) while German
// is the language, followed by `path`.
WideString siteAddress(const wchar_t* path);
