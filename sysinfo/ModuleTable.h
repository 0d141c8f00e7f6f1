#pragma once
// The installed memory modules as the module query last found them (Win32_PhysicalMemory).

#include "base/WideString.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>

struct IWbemClassObject;

struct ModuleRow {
    // Manufacturer, SerialNumber, DeviceLocator, PartNumber, Capacity (decimal bytes).
    std::map<WideString, WideString> textValues;
    // ConfiguredClockSpeed, Speed.
    std::map<WideString, int32_t> numberValues;
};

class ModuleTable {
public:
    // More modules than this are not read.
    static constexpr int kRowCapacity = 255;

    ModuleTable() = default;
    ModuleTable(const ModuleTable&) = delete;
    ModuleTable& operator=(const ModuleTable&) = delete;

    // Called with the row's index after each row is read; nothing to do here.
    virtual void rowRead(int index);
    virtual ~ModuleTable() = default;

    std::array<ModuleRow, kRowCapacity> rows;
    // Rows filled by the last query that ran; 0 until then.
    int32_t moduleCount = 0;
};

// The process's table: made empty on first use, kept until the process ends.
ModuleTable& moduleTable();

// Runs "SELECT * FROM Win32_PhysicalMemory" on the calling thread, which must already be in a
// COM apartment, and refills `table` from row 0; blocks until WMI answers. When COM, WMI or the
// query fail, the table is left as it was.
void queryModules(ModuleTable& table);

// The reading behind queryModules: takes objects from `nextObject` (each a new reference, null
// when there are no more) into rows 0, 1, ... until it has none or the table is full, then sets
// moduleCount.
void readModuleRows(ModuleTable& table, const std::function<IWbemClassObject*()>& nextObject);
