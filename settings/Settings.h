#pragma once
// The INI settings store: one file, one section, decimal integers (and one short text),
// each written the moment it changes. Nothing is cached: every call reads or rewrites the file.

#include "base/WideString.h"

// Section and keys of "Brindlecrest.ini".
inline constexpr wchar_t kSettingsSection[] = L"Program";
inline constexpr wchar_t kSettingLanguage[] = L"lng";               // index of the UI language
inline constexpr wchar_t kSettingHideSerial[] = L"no_vol_label";    // 1: hide serial numbers
inline constexpr wchar_t kSettingTestTime[] = L"test_time_id";      // duration box entry 0..3
inline constexpr wchar_t kSettingStartCheck[] = L"m_test_ram";      // start-check box entry 0..2
inline constexpr wchar_t kSettingStartTime[] = L"Test";             // seconds since 1970 of this start
inline constexpr wchar_t kSettingPortableMark[] = L"TestIni";       // "M", written by portable copies
inline constexpr wchar_t kSettingRamCheckThorough[] = L"ram_check_thorough";  // 1: three-pass error check
// Text, never written by the program: an administrator's address of the update descriptor.
inline constexpr wchar_t kSettingUpdateAddress[] = L"update_url";

inline constexpr wchar_t kSettingsFileName[] = L"Brindlecrest.ini";
inline constexpr wchar_t kSettingsFolderName[] = L"Brindlecrest";

// Full path of the INI file; empty until locateSettingsFile has run, and again once Uninstall has
// removed the file (writes are then refused).
extern WideString settingsPath;
// 1 when the executable's name marks a portable copy ("_p" past its first character).
extern int portableCopy;
// In-memory value of "no_vol_label", read at start-up.
extern int hideSerialNumber;

// Decides where the INI file lives: beside the executable when one is there (or a portable copy
// just created it) and the executable is not inside the temporary folder; otherwise in the
// user's roaming application-data folder.
void locateSettingsFile();

// Start-up: locate the file, stamp "Test", choose the start language (which reads "lng"),
// read "no_vol_label".
void loadSettings();

// The stored integer, or `current` when the key is absent or empty. Text that does not start
// with digits (after blanks and one sign) reads as 0.
int readIntSetting(const wchar_t* section, const wchar_t* key, int current);
// The stored text with blanks trimmed; empty when the key is absent.
WideString readTextSetting(const wchar_t* section, const wchar_t* key);
// Both return whether the file took the value; callers keep their in-memory value either way.
bool writeIntSetting(const wchar_t* section, const wchar_t* key, int value);
bool writeTextSetting(const wchar_t* section, const wchar_t* key, const wchar_t* text);

// Decimal integer as the store and the language archive read it: leading blanks, one optional
// sign, digits up to the first non-digit; no digits gives 0. Saturates instead of overflowing.
int parseDecimal(const wchar_t* text);
