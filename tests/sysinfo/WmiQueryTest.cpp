// The hardware query against Wine's real WMI: the module table, the generic query, an empty class.
#include "sysinfo/ComRef.h"
#include "sysinfo/ModuleTable.h"
#include "sysinfo/WmiQuery.h"

#include <wbemidl.h>

#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <vector>

namespace {

// A class Wine keeps no objects of in a fresh prefix without optical drives.
constexpr wchar_t kEmptyClass[] = L"Win32_CDROMDrive";

uint64_t totalPhysicalBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatusEx(&status);
    return status.ullTotalPhys;
}

bool isDecimal(const WideString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (int i = 0; i < text.length(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return false;
        }
    }
    return true;
}

// The objects of one class, taken through a connection of the test's own.
std::vector<ComRef<IWbemClassObject>> objectsOf(const wchar_t* className) {
    std::vector<ComRef<IWbemClassObject>> objects;
    WmiConnection wmi;
    if (!wmi.connect()) {
        ADD_FAILURE() << "no WMI connection";
        return objects;
    }
    ScopedBstr language(L"WQL");
    ScopedBstr query((WideString(L"SELECT * FROM ") + className).c_str());
    ComRef<IEnumWbemClassObject> enumerator;
    if (FAILED(wmi.services()->ExecQuery(language.get(), query.get(), 0, nullptr, enumerator.receive()))) {
        ADD_FAILURE() << "query failed";
        return objects;
    }
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        if (enumerator->Next(static_cast<long>(WBEM_INFINITE), 1, object.receive(), &returned) != S_OK || returned == 0) {
            break;
        }
        objects.push_back(std::move(object));
    }
    return objects;
}

// Records the hook's calls.
class CountingTable : public ModuleTable {
public:
    void rowRead(int index) override { indices.push_back(index); }
    std::vector<int> indices;
};

class RecordingQuery : public WmiQuery {
public:
    using WmiQuery::WmiQuery;
    void onValue(const WideString& label, const WideString& text, int rowStart) override {
        calls.push_back({label, text, rowStart});
    }
    struct Call {
        WideString label;
        WideString text;
        int rowStart;
    };
    std::vector<Call> calls;
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
    }
    EXPECT_EQ(sum, totalPhysicalBytes());
    std::vector<int> expected;
    for (int i = 0; i < table->moduleCount; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(table->indices, expected);
}

TEST_F(Wmi, ReadingStopsWhenTheTableIsFull) {
    std::vector<ComRef<IWbemClassObject>> modules = objectsOf(L"Win32_PhysicalMemory");
    ASSERT_FALSE(modules.empty());
    // The same real module offered 300 times: the 256th must not be taken.
    int offered = 0;
    auto table = std::make_unique<CountingTable>();
    readModuleRows(*table, [&]() -> IWbemClassObject* {
        ++offered;
        if (offered > 300) {
            return nullptr;
        }
        modules[0]->AddRef();
        return modules[0].get();
    });
    EXPECT_EQ(table->moduleCount, ModuleTable::kRowCapacity);
    EXPECT_EQ(offered, ModuleTable::kRowCapacity);
    ASSERT_EQ(table->indices.size(), 255u);
    EXPECT_EQ(table->indices.back(), 254);
    EXPECT_EQ(table->rows[254].textValues[L"Capacity"], table->rows[0].textValues[L"Capacity"]);
}

TEST_F(Wmi, AClassWithoutObjectsEmptiesTheCountAndGivesNoRows) {
    std::vector<ComRef<IWbemClassObject>> none = objectsOf(kEmptyClass);
    ASSERT_TRUE(none.empty()) << "the test prefix has objects of this class";
    auto table = std::make_unique<ModuleTable>();
    table->moduleCount = 3;  // as an earlier refresh may have left it
    readModuleRows(*table, [] { return static_cast<IWbemClassObject*>(nullptr); });
    EXPECT_EQ(table->moduleCount, 0);

    WmiQuery query(kEmptyClass);
    EXPECT_EQ(query.run(), 0);
    EXPECT_EQ(query.rowCount, 0);
    EXPECT_TRUE(query.rows.empty());
    // Users then read empty texts.
    EXPECT_EQ(query.row(0)[L"Name"], L"");
}

TEST_F(Wmi, ProcessorAndOperatingSystemGiveTheirFirstRow) {
    RecordingQuery processor(L"Win32_Processor");
    int result = processor.run();
    ASSERT_GE(processor.rowCount, 1);
    EXPECT_EQ(result, processor.rowCount);
    WmiRow& cpu = processor.row(0);
    EXPECT_FALSE(cpu[L"Name"].isEmpty());
    ASSERT_TRUE(isDecimal(cpu[L"NumberOfCores"])) << cpu[L"NumberOfCores"].c_str();
    EXPECT_GT(_wtoi(cpu[L"NumberOfCores"].c_str()), 0);
    // No system property ("__CLASS" and the like) is read.
    for (const auto& [name, text] : cpu) {
        EXPECT_NE(name.find(L"__"), 0) << name.c_str();
    }
    // The hook sees each object first, labelled from 1, then each of its properties.
    ASSERT_FALSE(processor.calls.empty());
    EXPECT_EQ(processor.calls[0].label, L"ID (1)");
    EXPECT_EQ(processor.calls[0].text, cpu[L"Name"]);
    EXPECT_EQ(processor.calls[0].rowStart, 1);
    size_t firstRowCalls = 1;
    while (firstRowCalls < processor.calls.size() && processor.calls[firstRowCalls].rowStart == 0) {
        ++firstRowCalls;
    }
    EXPECT_EQ(firstRowCalls - 1, cpu.size());

    WmiQuery system(L"Win32_OperatingSystem");
    system.run();
    ASSERT_EQ(system.rowCount, 1);
    WmiRow& os = system.row(0);
    EXPECT_FALSE(os[L"Caption"].isEmpty());
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    EXPECT_EQ(os[L"BuildNumber"], WideString::format(L"%lu", version.dwBuildNumber));
    EXPECT_FALSE(os[L"Name"].isEmpty());
}

}  // namespace
