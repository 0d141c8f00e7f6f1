// The results record from scripted results and the program's own records: every line in its order
// and spelling, the rating constants, the counts, "%f" with a point in any locale, the session id,
// the memory figures of the last box refresh; the hardware section from scripted and from Wine's
// real WMI rows; and the double encoding the comparison page posts.
#include "app/MainDialog.h"
#include "base/DynamicCall.h"
#include "engine/EngineState.h"
#include "lang/LanguageArchive.h"
#include "share/Base64Codec.h"
#include "share/ComparisonPage.h"
#include "share/ResultsRecord.h"
#include "sysinfo/InfoBox.h"
#include "tests/e2e/Driver.h"
#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<WideString> lines(const WideString& text) {
    std::vector<WideString> result;
    int start = 0;
    for (int at = text.find(L'\n'); at != WideString::npos; at = text.find(L'\n', start)) {
        result.push_back(text.mid(start, at - start));
        start = at + 1;
    }
    result.push_back(text.mid(start));
    return result;
}

// The value of the first line starting with `key`; "<missing>" when there is none.
WideString valueOf(const WideString& record, const wchar_t* key) {
    for (const WideString& line : lines(record)) {
        if (line.left(static_cast<int>(wcslen(key))) == key) {
            return line.mid(static_cast<int>(wcslen(key)));
        }
    }
    return L"<missing>";
}

bool userLocaleIsGerman() { return GetUserDefaultLCID() == 0x0407; }

class ResultsRecord : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(readLanguageArchive(e2e::besideThisExe(L"Brindlecrest.exe").c_str())); }
    void SetUp() override {
        benchResults = BenchResults();
        randomSessionId = makeRandomSessionId();
        lastAvailableBytes = 0;
        lastTotalBytes = 0;
        durationChoice = 1;
        engineState.testId = 1;
    }
};

// Distinct values in every slot, so that a swapped slot, key or constant shows.
void scriptResults() {
    benchResults.seqRead = 12345.678;
    benchResults.seqWrite = 2000;
    benchResults.par64Read = 3000000;
    benchResults.par64Write = 6000000;
    benchResults.rand4kRead = 3000000;
    benchResults.rand4kWrite = 9000000;
    benchResults.rand1kRead = 30000000;
    benchResults.rand1kWrite = 90000000;
    benchResults.accessReadNs = 61.5;
    benchResults.accessWriteNs = 72.125;
}

// The lines up to the hardware section, and those after it, exactly. The totals use seven threes
// for the 4K and 1K read terms and six elsewhere:
//   R = 3e6 * 0.3333333 + 12345.678 + 3e7 * 0.3333333 + 3e6 * 0.333333 = 12012343.578
//   W = 9e6 * 0.333333 + 2000 + 9e7 * 0.333333 + 6e6 * 0.333333 = 35001965
TEST_F(ResultsRecord, ListsEveryLineInOrderWithTheRatingConstants) {
    scriptResults();
    lastAvailableBytes = 1234567890123;
    lastTotalBytes = 9876543210987;
    durationChoice = 3;
    engineState.testId = 1030;
    WideString record = buildResultsRecord();
    std::vector<WideString> got = lines(record);
    const wchar_t* head[] = {
        L"",
        L"OK1=6",
        L"OK=2",
        L"Total-Bench=11753577.144500",
        L"R-Bench=6006171.789000",
        L"W-Bench=17500982.500000",
        nullptr,  // m_random_str
        L"SR=12345.678000",
        L"SW=2000.000000",
        L"RR 64x10=3000000.000000",
        L"RW-64x10=6000000.000000",
        L"RR-4K=3000000.000000",
        L"RW-4K=9000000.000000",
        L"RR-1K=30000000.000000",
        L"RW-1K==90000000.000000",
        L"RR-Access=72.125000",
        L"RW-Access=61.500000",
        L"MaxBandbreite=0.000000",
        L"",
    };
    ASSERT_GT(got.size(), std::size(head) + 8);
    for (size_t i = 0; i < std::size(head); ++i) {
        if (head[i]) {
            EXPECT_EQ(got[i], head[i]) << "line " << i;
        }
    }
    EXPECT_EQ(got[6], L"m_random_str=" + randomSessionId);
    EXPECT_TRUE(got[19] == L"VirtualMachine=0" || got[19] == L"VirtualMachine=1") << got[19].c_str();

    const wchar_t* title = archiveTables.headerTable[19];
    ASSERT_TRUE(title);
    std::vector<WideString> tail(got.end() - 8, got.end());
    std::vector<WideString> expectedTail = {
        L"FreeSpace=1234567890123", L"TootalSpace=9876543210987", L"test_time=3", WideString(L"Program=") + title,
        L"",                        L"m_test_id=1030",            L"SYSTEM_x86_X64=x64",
        L"",  // the record ends in a line feed
    };
    EXPECT_EQ(tail, expectedTail);
}

// RtlGetVersion asked here independently: major, minor, build and the product type, in that
// order, with the brace and the "wProductType:" line the comparison page expects.
TEST_F(ResultsRecord, CarriesTheWindowsVersionAndProductType) {
    using RtlGetVersionFunction = LONG WINAPI(OSVERSIONINFOEXW*);
    auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    ASSERT_TRUE(rtlGetVersion);
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(rtlGetVersion(&info), 0);
    WideString record = buildResultsRecord();
    WideString expected = WideString::format(L"\nOS=%lu.%lu.%lu}\nwProductType:%u\n\nOS-Name:", info.dwMajorVersion,
                                             info.dwMinorVersion, info.dwBuildNumber, static_cast<unsigned>(info.wProductType));
    EXPECT_NE(record.find(expected.c_str()), WideString::npos) << record.c_str();
}

// Nothing measured: zero counts, zeros everywhere, and the run id of a program that ran no test.
TEST_F(ResultsRecord, CountsNothingBeforeAnyTest) {
    EngineState fresh;
    EXPECT_EQ(fresh.testId, 1);
    WideString record = buildResultsRecord();
    EXPECT_EQ(valueOf(record, L"OK1="), L"0");
    EXPECT_EQ(valueOf(record, L"OK="), L"0");
    for (const wchar_t* key : {L"Total-Bench=", L"R-Bench=", L"W-Bench=", L"SR=", L"SW=", L"RR 64x10=", L"RW-64x10=",
                               L"RR-4K=", L"RW-4K=", L"RR-1K=", L"RW-1K==", L"RR-Access=", L"RW-Access="}) {
        EXPECT_EQ(valueOf(record, key), L"0.000000") << key;
    }
    EXPECT_EQ(valueOf(record, L"m_test_id="), L"1");
}

// OK1 counts the six block slots (not the sequential ones), OK the two access slots; a NaN left
// by a broken measurement counts as a value.
TEST_F(ResultsRecord, CountsNonZeroSlotsAndNaN) {
    benchResults.seqRead = 5;
    benchResults.seqWrite = 5;
    benchResults.rand1kWrite = std::numeric_limits<double>::quiet_NaN();
    benchResults.par64Read = 1;
    benchResults.accessWriteNs = 80;
    WideString record = buildResultsRecord();
    EXPECT_EQ(valueOf(record, L"OK1="), L"2");
    EXPECT_EQ(valueOf(record, L"OK="), L"1");
    benchResults.accessReadNs = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(valueOf(buildResultsRecord(), L"OK="), L"2");
}

// The id is made once per program run; a record must not make a new one.
TEST_F(ResultsRecord, KeepsTheSessionIdAcrossRecords) {
    WideString first = valueOf(buildResultsRecord(), L"m_random_str=");
    WideString second = valueOf(buildResultsRecord(), L"m_random_str=");
    EXPECT_EQ(first.length(), 16);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, randomSessionId);
}

// The figures of the box's last refresh, not a measurement taken while the record is built.
TEST_F(ResultsRecord, ReportsTheMemoryOfTheLastBoxRefresh) {
    lastAvailableBytes = 17;
    lastTotalBytes = 18446744073709551615ull;
    WideString record = buildResultsRecord();
    EXPECT_EQ(valueOf(record, L"FreeSpace="), L"17");
    EXPECT_EQ(valueOf(record, L"TootalSpace="), L"18446744073709551615");
}

// Run in the German user locale too (engine-style second ctest run): neither the user locale nor
// a C library switched to German may turn the point into a comma or add digit groups.
TEST_F(ResultsRecord, GermanLocaleKeepsThePoint) {
    if (const char* locale = std::getenv("LC_ALL"); locale && std::string(locale).rfind("de", 0) == 0) {
        ASSERT_TRUE(userLocaleIsGerman()) << "the German run has no German user locale";
    }
    scriptResults();
    benchResults.seqWrite = 1234567.5;
    std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "German_Germany");
    WideString record = buildResultsRecord();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(valueOf(record, L"SR="), L"12345.678000");
    EXPECT_EQ(valueOf(record, L"SW="), L"1234567.500000");
    EXPECT_EQ(valueOf(record, L"RW-Access="), L"61.500000");
}

WmiRow row(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
    WmiRow result;
    for (const auto& [name, value] : values) {
        result[name] = value;
    }
    return result;
}

// Colons for the operating system, "=" elsewhere, modules counted from 0, the count after them;
// a property WMI did not report stays empty.
TEST(HardwareSection, ListsSystemProcessorAndEveryModule) {
    WmiRow os = row({{L"Name", L"Windows 10 Pro|C:\\WINDOWS|\\Device\\Harddisk0\\Partition2"}, {L"Caption", L"Windows 10 Pro"},
                     {L"BuildNumber", L"19045"}, {L"OSArchitecture", L"64-bit"}});
    WmiRow cpu = row({{L"Name", L"Some CPU"}, {L"MaxClockSpeed", L"3600"}, {L"Caption", L"Family 6"}, {L"ThreadCount", L"16"},
                      {L"NumberOfLogicalProcessors", L"16"}, {L"NumberOfCores", L"8"}});
    std::vector<WmiRow> modules = {
        row({{L"Manufacturer", L"Maker A"}, {L"SerialNumber", L"S1"}, {L"DeviceLocator", L"DIMM 0"}, {L"PartNumber", L"P1"},
             {L"ConfiguredClockSpeed", L"3200"}, {L"Speed", L"3200"}, {L"Capacity", L"17179869184"}, {L"MemoryType", L"0"},
             {L"DataWidth", L"64"}, {L"TotalWidth", L"64"}}),
        row({{L"Manufacturer", L"Maker B"}, {L"SerialNumber", L"<null>"}, {L"DeviceLocator", L"DIMM 1"}, {L"PartNumber", L"P2"},
             {L"ConfiguredClockSpeed", L"2666"}, {L"Speed", L"3200"}, {L"Capacity", L"8589934592"}, {L"MemoryType", L"26"},
             {L"DataWidth", L"64"}, {L"TotalWidth", L"72"}}),
    };
    WideString expected =
        L"\nOS-Name:Windows 10 Pro|C:\\WINDOWS|\\Device\\Harddisk0\\Partition2\nOS-Caption:Windows 10 Pro"
        L"\nOS-BuildNumber:19045\nOS-OSArchitecture:64-bit\nOS-CSDVersion:\n"
        L"\nCPU-Name=Some CPU\nCPU-MaxClockSpeed=3600\nCPU-Caption=Family 6\nCPU-ThreadCount=16"
        L"\nCPU-NumberOfLogicalProcessors=16\nCPU-NumberOfCores=8\n"
        L"\nMem-0-Manufacturer=Maker A\nMem-0-SerialNumber=S1\nMem-0-DeviceLocator=DIMM 0\nMem-0-PartNumber=P1"
        L"\nMem-0-ConfiguredClockSpeed=3200\nMem-0-Speed=3200\nMem-0-Capacity=17179869184\nMem-0-MemoryType=0"
        L"\nMem-0-DataWidth=64\nMem-0-TotalWidth=64"
        L"\nMem-1-Manufacturer=Maker B\nMem-1-SerialNumber=<null>\nMem-1-DeviceLocator=DIMM 1\nMem-1-PartNumber=P2"
        L"\nMem-1-ConfiguredClockSpeed=2666\nMem-1-Speed=3200\nMem-1-Capacity=8589934592\nMem-1-MemoryType=26"
        L"\nMem-1-DataWidth=64\nMem-1-TotalWidth=72"
        L"\nMemory=2\n";
    EXPECT_EQ(hardwareSectionText(os, cpu, modules), expected);
}

// Some virtual machines report no modules: the page still gets module 0, of unknown make.
TEST(HardwareSection, WithoutModulesReportsOneUnknownModuleTwice) {
    WmiRow os;
    WmiRow cpu;
    std::vector<WmiRow> none;
    WideString section = hardwareSectionText(os, cpu, none);
    WideString expectedEnd = L"\nCPU-NumberOfCores=\n"
                             L"Mem-0-Manufacturer=Unknown\nMem-0-Manufacturer=Unknown\n\nMemory=1\n";
    EXPECT_EQ(section.right(expectedEnd.length()), expectedEnd);
}

// Against Wine's real WMI: the processor row is the one GetSystemInfo agrees with, and every
// module WMI lists has its ten lines before the count.
TEST(HardwareSection, ReadsWinesRealWmi) {
    WideString section = buildHardwareSection();
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    EXPECT_EQ(valueOf(section, L"CPU-NumberOfLogicalProcessors="), WideString::format(L"%lu", system.dwNumberOfProcessors));
    EXPECT_NE(valueOf(section, L"OS-Caption:"), L"");
    int modules = _wtoi(valueOf(section, L"Memory=").c_str());
    ASSERT_GT(modules, 0);
    EXPECT_EQ(valueOf(section, WideString::format(L"Mem-%d-TotalWidth=", modules - 1).c_str()) == L"<missing>", false);
    EXPECT_EQ(valueOf(section, WideString::format(L"Mem-%d-Manufacturer=", modules).c_str()), L"<missing>");
}

std::string decodeBase64(const std::string& text) {
    Base64Codec codec;
    EXPECT_TRUE(codec.decode(text.data(), text.size()));
    return std::string(codec.outputText(), codec.outputLength());
}

// Base64, reversed, Base64 again, of the UTF-8 record and its two closing lines: the umlauts go out
// as UTF-8 (not the ANSI code page), no terminating zero is encoded, and the "=" padding of the
// first encoding is reversed to the front and encoded like any other character.
TEST(RecordEncoding, DecodesBackToTheUtf8RecordWithItsClosingLines) {
    const std::string closing = "T\xc3\xbc" "te=\xc3\x84\xc3\x9c\xc3\x96\xc3\xb6\xc3\xbc\xc3\xa4\xc3\x9f\nENDE=ENDE\n\n";
    for (const wchar_t* record : {L"", L"x", L"\nOK1=0\nProgram=Brindlecrest \u00e9\n"}) {
        std::string reversed = decodeBase64(encodeResultsRecord(record));
        std::string once(reversed.rbegin(), reversed.rend());
        std::string text = decodeBase64(once);
        WideString wide(record);
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), wide.length(), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), wide.length(), utf8.data(), bytes, nullptr, nullptr);
        EXPECT_EQ(text, utf8 + closing);
    }
    // The closing lines alone are 32 bytes: the first encoding ends in one "=", which the
    // reversal puts first.
    EXPECT_EQ(decodeBase64(encodeResultsRecord(L"")).front(), '=');
}

// https, the German host for language 0 only, and the query straight after the host.
TEST(ComparisonTarget, PicksTheHostByLanguage) {
    EXPECT_EQ(comparisonTarget(0), "https://de.brindlecrest.example?seite=ram-memory-benchmark-charts");
    EXPECT_EQ(comparisonTarget(1), "https://www.brindlecrest.example?seite=ram-memory-benchmark-charts");
    EXPECT_EQ(comparisonTarget(14), "https://www.brindlecrest.example?seite=ram-memory-benchmark-charts");
}

}  // namespace
