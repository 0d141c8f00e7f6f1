#include "sysinfo/InfoBox.h"

#include <objbase.h>
#include <psapi.h>

#include "app/DialogIds.h"
#include "base/DynamicCall.h"
#include "lang/LanguageChoice.h"
#include "settings/Settings.h"

#include <cwctype>

// Until a language is applied.
WideString unknownRamText = L"RAM Typ unbekannt (Virtual-PC?)";
uint64_t lastAvailableBytes = 0;
uint64_t lastTotalBytes = 0;
ModuleSource moduleSource = queryModules;

namespace {

constexpr int kKeyFree = 19;
constexpr int kKeyOf = 20;
constexpr double kBytesPerGb = 1073741824.0;
constexpr DWORD kPerformanceInfoBytes = 104;
static_assert(sizeof(void*) != 8 || sizeof(PERFORMANCE_INFORMATION) == kPerformanceInfoBytes,
              "the record GetPerformanceInfo fills on x64");

using GetPerformanceInfoFunction = BOOL WINAPI(PPERFORMANCE_INFORMATION, DWORD);

// Capacity is a byte count in decimal: leading blanks and one sign, digits up to the first
// non-digit, nothing readable is 0. Beyond 64 bits it saturates.
int64_t capacityBytes(const WideString& text) {
    const wchar_t* p = text.c_str();
    while (std::iswspace(static_cast<wint_t>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    uint64_t value = 0;
    constexpr uint64_t kLimit = static_cast<uint64_t>(INT64_MAX);
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        uint64_t digit = static_cast<uint64_t>(*p - L'0');
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

}  // namespace

void enterDialogApartment() {
    // The multithreaded apartment: the generic query asks for it on this same thread, and while a
    // query blocks, COM dispatches no window messages into the dialog (a single-threaded
    // apartment would, re-entering its timers and commands mid-refresh). Once per process: the
    // dialog lives on the first thread, and a repeated call would only add to the count.
    static const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (void)joined;
}

WideString moduleListText() {
    ModuleTable& table = moduleTable();
    const int count = table.moduleCount;
    if (count <= 0) {
        return unknownRamText + L"\r\n";
    }
    WideString text;
    for (int i = 0; i < count && i < ModuleTable::kRowCapacity; ++i) {
        ModuleRow& row = table.rows[static_cast<size_t>(i)];
        text.appendFormat(L"%d. ", count - i);
        text.appendFormat(L"%d/%d / ", row.numberValues[L"ConfiguredClockSpeed"], row.numberValues[L"Speed"]);
        text.appendFormat(L"%.1f GB", static_cast<double>(capacityBytes(row.textValues[L"Capacity"])) / kBytesPerGb);
        text += L"    ";
        text += row.textValues[L"Manufacturer"];
        text += L"\t";
        text += row.textValues[L"PartNumber"];
        if (hideSerialNumber == 0) {
            text += L"\tSNR: ";
            text += row.textValues[L"SerialNumber"];
        }
        text += L"\t";
        text += row.textValues[L"DeviceLocator"];
        text += L"\t\r\n";
    }
    return text;
}

std::optional<MemoryFigures> measureMemory() {
    // The library stays loaded: the next refresh needs it again.
    auto getPerformanceInfo = systemFunction<GetPerformanceInfoFunction>(L"PSAPI.dll", "GetPerformanceInfo");
    if (!getPerformanceInfo) {
        return std::nullopt;
    }
    PERFORMANCE_INFORMATION info{};
    info.cb = kPerformanceInfoBytes;
    // A failed call leaves zeros, which would read as a machine without memory.
    if (!getPerformanceInfo(&info, kPerformanceInfoBytes)) {
        return std::nullopt;
    }
    MemoryFigures figures;
    figures.availableBytes = static_cast<uint64_t>(info.PhysicalAvailable) * static_cast<uint64_t>(info.PageSize);
    figures.totalBytes = static_cast<uint64_t>(info.PhysicalTotal) * static_cast<uint64_t>(info.PageSize);
    return figures;
}

WideString infoBoxText(const WideString& moduleLines, const std::optional<MemoryFigures>& memory) {
    if (!memory) {
        return moduleLines;
    }
    WideString usage = WideString::format(L"%ls %.2f GB %ls %.2f GB", languageString(kKeyFree).c_str(),
                                          static_cast<double>(memory->availableBytes) / kBytesPerGb,
                                          languageString(kKeyOf).c_str(),
                                          static_cast<double>(memory->totalBytes) / kBytesPerGb);
    return moduleLines + L"\n" + usage + L"\n\n";
}

void refreshInfoBox(HWND dialog) {
    // On the dialog's thread: under Wine the first refresh of a process blocks it for 50 to 280 ms,
    // later ones for 2 to 8 ms (benchInfoBox), too short to be worth a worker.
    moduleSource(moduleTable());
    WideString lines = moduleListText();
    std::optional<MemoryFigures> memory = measureMemory();
    if (memory) {
        lastAvailableBytes = memory->availableBytes;
        lastTotalBytes = memory->totalBytes;
    }
    SetDlgItemTextW(dialog, ids::kInfoBox, infoBoxText(lines, memory).c_str());
}

void toggleSerialNumbers(HWND dialog) {
    hideSerialNumber = hideSerialNumber == 0 ? 1 : 0;
    writeIntSetting(kSettingsSection, kSettingHideSerial, hideSerialNumber);
    refreshInfoBox(dialog);
}
