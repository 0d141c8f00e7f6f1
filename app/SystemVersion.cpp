#include "app/SystemVersion.h"

#include <windows.h>
#include <intrin.h>

#include "base/DynamicCall.h"

namespace {

using RtlGetVersionFunction = LONG WINAPI(OSVERSIONINFOEXW*);
constexpr unsigned kHypervisorPresentBit = 1u << 31;

}  // namespace

OsVersion currentOsVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    bool known = false;
    if (auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion")) {
        known = rtlGetVersion(&info) == 0;
    }
    if (!known) {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, and the fallback on purpose
#endif
        known = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0;
    }
    OsVersion version;
    if (known) {
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
        version.workstation = info.wProductType == VER_NT_WORKSTATION;
        version.productType = info.wProductType;
    }
    return version;
}

const OsVersion& osVersionAtStart() {
    static const OsVersion version = currentOsVersion();
    return version;
}

bool isVirtualMachine() {
    int registers[4] = {};
    __cpuid(registers, 1);
    return (static_cast<unsigned>(registers[2]) & kHypervisorPresentBit) != 0;
}

WideString dialogCaption(const wchar_t* title, bool virtualMachine, const OsVersion& version) {
    WideString caption = WideString::format(L"%ls - %ls - OS:%d.%d.%d", title ? title : L"",
                                            virtualMachine ? L"x64 V-PC" : L"x64", static_cast<int>(version.major),
                                            static_cast<int>(version.minor), static_cast<int>(version.build));
    if (!version.workstation) {
        caption += L" Server";
    }
    return caption;
}
