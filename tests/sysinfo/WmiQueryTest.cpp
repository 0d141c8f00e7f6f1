// The hardware query against Wine's real WMI: the module table, the generic query, an empty class.
#include "base/DynamicCall.h"
#include "sysinfo/ComRef.h"
#include "sysinfo/ModuleTable.h"
#include "sysinfo/WmiQuery.h"
#include "tests/sysinfo/PrintWideString.h"

#include <wbemidl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <vector>

namespace {

// A class Wine keeps no objects of in a prefix without optical drives.
constexpr wchar_t kEmptyClass[] = L"Win32_CDROMDrive";

bool isDecimal(const WideString& text) {
    return !text.isEmpty() && wcsspn(text.c_str(), L"0123456789") == static_cast<size_t>(text.length());
}

// Records the per-row hook.
class CountingTable : public ModuleTable {
public:
    void rowRead(int index) override { indices.push_back(index); }
    std::vector<int> indices;
};

class Wmi : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
};

TEST_F(Wmi, ModuleQueryFillsRowsWhoseCapacitiesAddUpToTheMemory) {
    auto table = std::make_unique<CountingTable>();
    queryModules(*table);
    ASSERT_GT(table->moduleCount, 0);
    uint64_t sum = 0;
    for (int i = 0; i < table->moduleCount; ++i) {
        ModuleRow& row = table->rows[static_cast<size_t>(i)];
        ASSERT_TRUE(isDecimal(row.textValues[L"Capacity"])) << "row " << i;
        sum += _wcstoui64(row.textValues[L"Capacity"].c_str(), nullptr, 10);
        EXPECT_FALSE(row.textValues[L"DeviceLocator"].isEmpty()) << "row " << i;
        EXPECT_GT(row.numberValues[L"ConfiguredClockSpeed"], 0) << "row " << i;
        EXPECT_EQ(table->indices[static_cast<size_t>(i)], i);
    }
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatusEx(&memory);
    EXPECT_EQ(sum, memory.ullTotalPhys);
}

TEST_F(Wmi, ReadingStopsWhenTheTableIsFull) {
    // One real module object, offered 300 times: the 256th must not be taken.
    WmiConnection wmi;
    ASSERT_TRUE(wmi.connect());
    ScopedBstr language(L"WQL");
    ScopedBstr query(L"SELECT * FROM Win32_PhysicalMemory");
    ComRef<IEnumWbemClassObject> objects;
    ASSERT_EQ(wmi.services()->ExecQuery(language.get(), query.get(), 0, nullptr, objects.receive()), S_OK);
    ComRef<IWbemClassObject> module;
    ULONG returned = 0;
    ASSERT_EQ(objects->Next(static_cast<long>(WBEM_INFINITE), 1, module.receive(), &returned), S_OK);

    int offered = 0;
    auto table = std::make_unique<CountingTable>();
    readModuleRows(*table, [&]() -> IWbemClassObject* {
        if (++offered > 300) {
            return nullptr;
        }
        module->AddRef();
        return module.get();
    });
    EXPECT_EQ(table->moduleCount, ModuleTable::kRowCapacity);
    EXPECT_EQ(offered, ModuleTable::kRowCapacity);
    ASSERT_EQ(table->indices.size(), 255u);
    EXPECT_EQ(table->rows[254].textValues[L"Capacity"], table->rows[0].textValues[L"Capacity"]);
}

TEST_F(Wmi, AClassWithoutObjectsEmptiesTheCountAndGivesNoRows) {
    WmiQuery query(kEmptyClass);
    EXPECT_EQ(query.run(), 0);
    EXPECT_EQ(query.rowCount, 0);
    EXPECT_TRUE(query.rows.empty());
    EXPECT_EQ(query.row(0)[L"Name"], L"");  // what its users then read

    auto table = std::make_unique<ModuleTable>();
    table->moduleCount = 3;  // as an earlier refresh may have left it
    readModuleRows(*table, [] { return static_cast<IWbemClassObject*>(nullptr); });
    EXPECT_EQ(table->moduleCount, 0);
}

TEST_F(Wmi, ProcessorAndOperatingSystemGiveTheirFirstRow) {
    WmiQuery processor(L"Win32_Processor");
    EXPECT_EQ(processor.run(), processor.rowCount);
    ASSERT_GE(processor.rowCount, 1);
    WmiRow& cpu = processor.row(0);
    EXPECT_FALSE(cpu[L"Name"].isEmpty());
    ASSERT_TRUE(isDecimal(cpu[L"NumberOfCores"])) << cpu[L"NumberOfCores"].c_str();
    EXPECT_GT(_wtoi(cpu[L"NumberOfCores"].c_str()), 0);

    WmiQuery system(L"Win32_OperatingSystem");
    system.run();
    ASSERT_EQ(system.rowCount, 1);
    WmiRow& os = system.row(0);
    EXPECT_FALSE(os[L"Name"].isEmpty());
    EXPECT_FALSE(os[L"Caption"].isEmpty());
    // RtlGetVersion, which no compatibility manifest bends.
    using RtlGetVersionFunction = LONG WINAPI(OSVERSIONINFOW*);
    auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    rtlGetVersion(&version);
    EXPECT_EQ(os[L"BuildNumber"], WideString::format(L"%lu", version.dwBuildNumber));
}

}  // namespace
