#include "share/ResultsRecord.h"

#include "app/MainDialog.h"
#include "app/SystemVersion.h"
#include "lang/LanguageArchive.h"
#include "sysinfo/InfoBox.h"

#include <charconv>
#include <initializer_list>

namespace {

constexpr int kHeaderProgramTitle = 19;
constexpr int kDecimals = 6;

// The weights of the rating: seven threes for the 4K and 1K read terms, six for the rest.
constexpr double kBlockReadWeight = 0.3333333;
constexpr double kOtherWeight = 0.333333;
constexpr double kTotalFactor = 0.25;
constexpr double kHalf = 0.5;

// NaN counts: it is not zero.
int nonZeroCount(std::initializer_list<double> values) {
    int count = 0;
    for (double value : values) {
        if (value != 0) {
            ++count;
        }
    }
    return count;
}

void appendLine(WideString& record, const wchar_t* key, const WideString& value) {
    record += key;
    record += value;
    record += L'\n';
}

void appendFixed(WideString& record, const wchar_t* key, double value) { appendLine(record, key, fixedSixDecimals(value)); }

}  // namespace

WideString fixedSixDecimals(double value) {
    // to_chars never consults a locale; its fixed form with a precision is the "%f" form.
    char digits[400];
    std::to_chars_result result = std::to_chars(digits, digits + sizeof(digits) - 1, value, std::chars_format::fixed, kDecimals);
    if (result.ec != std::errc()) {
        return WideString();
    }
    *result.ptr = '\0';
    return WideString(digits);
}

WideString resultsRecordText(const RecordInputs& in) {
    const BenchResults& r = in.results;
    int blockCount = nonZeroCount({r.rand1kRead, r.rand1kWrite, r.par64Read, r.par64Write, r.rand4kRead, r.rand4kWrite});
    int accessCount = nonZeroCount({r.accessReadNs, r.accessWriteNs});
    double read = r.rand4kRead * kBlockReadWeight + r.seqRead + r.rand1kRead * kBlockReadWeight + r.par64Read * kOtherWeight;
    double write = r.rand4kWrite * kOtherWeight + r.seqWrite + r.rand1kWrite * kOtherWeight + r.par64Write * kOtherWeight;

    WideString record;
    record += L'\n';
    appendLine(record, L"OK1=", WideString::format(L"%d", blockCount));
    appendLine(record, L"OK=", WideString::format(L"%d", accessCount));
    appendFixed(record, L"Total-Bench=", (read + write) * kTotalFactor);
    appendFixed(record, L"R-Bench=", read * kHalf);
    appendFixed(record, L"W-Bench=", write * kHalf);
    appendLine(record, L"m_random_str=", in.sessionId);
    appendFixed(record, L"SR=", r.seqRead);
    appendFixed(record, L"SW=", r.seqWrite);
    appendFixed(record, L"RR 64x10=", r.par64Read);
    appendFixed(record, L"RW-64x10=", r.par64Write);
    appendFixed(record, L"RR-4K=", r.rand4kRead);
    appendFixed(record, L"RW-4K=", r.rand4kWrite);
    appendFixed(record, L"RR-1K=", r.rand1kRead);
    appendFixed(record, L"RW-1K==", r.rand1kWrite);
    // The access slots cross over: the read key carries the write time and the other way round.
    appendFixed(record, L"RR-Access=", r.accessWriteNs);
    appendFixed(record, L"RW-Access=", r.accessReadNs);
    appendFixed(record, L"MaxBandbreite=", 0);
    record += L'\n';
    record += in.virtualMachine ? L"VirtualMachine=1\n" : L"VirtualMachine=0\n";
    record.appendFormat(L"OS=%d.%d.%d}\nwProductType:%d\n", static_cast<int>(in.osMajor), static_cast<int>(in.osMinor),
                        static_cast<int>(in.osBuild), static_cast<int>(in.osProductType));
    record += in.hardwareSection;
    appendLine(record, L"FreeSpace=", WideString::format(L"%llu", static_cast<unsigned long long>(in.availableBytes)));
    appendLine(record, L"TootalSpace=", WideString::format(L"%llu", static_cast<unsigned long long>(in.totalBytes)));
    appendLine(record, L"test_time=", WideString::format(L"%d", in.durationIndex));
    appendLine(record, L"Program=", in.programTitle);
    record += L'\n';
    appendLine(record, L"m_test_id=", WideString::format(L"%d", in.testId));
    record += L"SYSTEM_x86_X64=x64\n";
    return record;
}

WideString hardwareSectionText(WmiRow& operatingSystem, WmiRow& processor, std::vector<WmiRow>& modules) {
    WideString section;
    for (const wchar_t* name : {L"Name", L"Caption", L"BuildNumber", L"OSArchitecture", L"CSDVersion"}) {
        section += L"\nOS-";
        section += name;
        section += L':';
        section += operatingSystem[name];
    }
    section += L'\n';
    for (const wchar_t* name : {L"Name", L"MaxClockSpeed", L"Caption", L"ThreadCount", L"NumberOfLogicalProcessors",
                                L"NumberOfCores"}) {
        section += L"\nCPU-";
        section += name;
        section += L'=';
        section += processor[name];
    }
    section += L'\n';
    int index = 0;
    for (WmiRow& module : modules) {
        for (const wchar_t* name : {L"Manufacturer", L"SerialNumber", L"DeviceLocator", L"PartNumber", L"ConfiguredClockSpeed",
                                    L"Speed", L"Capacity", L"MemoryType", L"DataWidth", L"TotalWidth"}) {
            section.appendFormat(L"\nMem-%d-", index);
            section += name;
            section += L'=';
            section += module[name];
        }
        ++index;
    }
    if (!modules.empty()) {
        section.appendFormat(L"\nMemory=%d", static_cast<int>(modules.size()));
    } else {
        // Without module data the comparison page still gets one module, of unknown make.
        section += L"Mem-0-Manufacturer=Unknown\nMem-0-Manufacturer=Unknown\n";
        section += L"\nMemory=1";
    }
    section += L'\n';
    return section;
}

WideString buildHardwareSection() {
    WmiQuery operatingSystem(L"Win32_OperatingSystem");
    operatingSystem.run();
    WmiQuery processor(WideString(L"Win32") + L"_Processor");
    processor.run();
    WmiQuery memory(L"Win32_PhysicalMemory");
    memory.run();
    std::vector<WmiRow> modules;
    for (int32_t i = 0; i < memory.rowCount; ++i) {
        modules.push_back(memory.row(i));
    }
    return hardwareSectionText(operatingSystem.row(0), processor.row(0), modules);
}

WideString buildResultsRecord() {
    RecordInputs inputs;
    inputs.results = benchResults;
    inputs.sessionId = randomSessionId;
    inputs.virtualMachine = isVirtualMachine();
    const OsVersion& version = osVersionAtStart();
    inputs.osMajor = version.major;
    inputs.osMinor = version.minor;
    inputs.osBuild = version.build;
    inputs.osProductType = version.productType;
    inputs.hardwareSection = buildHardwareSection();
    inputs.availableBytes = lastAvailableBytes;
    inputs.totalBytes = lastTotalBytes;
    inputs.durationIndex = durationChoice;
    const wchar_t* title = archiveTables.headerTable[kHeaderProgramTitle];
    inputs.programTitle = title ? title : L"";
    inputs.testId = engineState.testId;
    return resultsRecordText(inputs);
}
