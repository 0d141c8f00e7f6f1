#pragma once
// The maker's web pages that the main dialog opens in the default browser: donation, thank-you,
// home and FAQ pages, and which of the maker's sites serves the user.

#include <windows.h>

#include "app/MainMenu.h"  // kProductName
#include "base/WideString.h"

// The maker's sites, without a trailing "/".
inline constexpr wchar_t kGermanSite[] = L"https://de.brindlecrest.example";
inline constexpr wchar_t kEuropeanSite[] = L"https://eu.brindlecrest.example";
inline constexpr wchar_t kInternationalSite[] = L"https://www.brindlecrest.example";

// A zone with daylight-saving rules this far from UTC, either way, counts as Europe's.
inline constexpr LONG kEuropeanBiasLimitMinutes = 240;

// The site for the home and FAQ pages: German for language 0; otherwise European when the
// time-zone query (`zoneAnswer` from GetTimeZoneInformation) reports standard or daylight time
// and the bias lies within the limit, international in every other case.
const wchar_t* makerSite(int language, DWORD zoneAnswer, LONG biasMinutes);
// The same, asking this system for its time zone.
const wchar_t* makerSite(int language);

// `homeAddress` is the header's home-page address (with its trailing "/").
WideString donationAddress(const wchar_t* homeAddress);
WideString homePageAddress(const wchar_t* site);
WideString faqAddress(const wchar_t* site);

// Opens the address with the verb "open" in the default browser. A page that cannot be opened is
// not reported.
void openWebPage(const WideString& address);
