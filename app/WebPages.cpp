#include "app/WebPages.h"

#include <shellapi.h>

const wchar_t* makerSite(int language, DWORD zoneAnswer, LONG biasMinutes) {
    if (language == 0) {
        return kGermanSite;
    }
    // A zone without daylight-saving rules (or no answer at all) is no European zone.
    bool hasDaylightRules = zoneAnswer == TIME_ZONE_ID_STANDARD || zoneAnswer == TIME_ZONE_ID_DAYLIGHT;
    if (hasDaylightRules && biasMinutes >= -kEuropeanBiasLimitMinutes && biasMinutes <= kEuropeanBiasLimitMinutes) {
        return kEuropeanSite;
    }
    return kInternationalSite;
}

const wchar_t* makerSite(int language) {
    TIME_ZONE_INFORMATION zone{};
    DWORD answer = GetTimeZoneInformation(&zone);
    return makerSite(language, answer, zone.Bias);
}

WideString donationAddress(const wchar_t* homeAddress) {
    WideString address(homeAddress ? homeAddress : L"");
    address += L"?paypal&item_name=Freeware Quillmarsh ";
    address += kProductName;
    address += L"&Program=";
    address += kProductName;
    return address;
}

WideString homePageAddress(const wchar_t* site) {
    return WideString(site) + L"/?seite=Freeware/" + kProductName;
}

WideString faqAddress(const wchar_t* site) {
    return WideString(site) + L"/?seite=faq-" + kProductName + L"&faq=0";
}

void openWebPage(const WideString& address) {
    ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
}
