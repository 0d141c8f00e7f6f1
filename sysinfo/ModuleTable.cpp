#include "sysinfo/ModuleTable.h"

#include <wbemidl.h>

#include "sysinfo/ComRef.h"
#include "sysinfo/WmiQuery.h"

namespace {

constexpr wchar_t kModuleQuery[] = L"SELECT * FROM Win32_PhysicalMemory";
constexpr const wchar_t* kTextProperties[] = {L"Manufacturer", L"SerialNumber", L"DeviceLocator", L"PartNumber", L"Capacity"};
constexpr const wchar_t* kNumberProperties[] = {L"ConfiguredClockSpeed", L"Speed"};

// Strings come as BSTR; Capacity, an unsigned 64-bit property, as its decimal digits. Anything
// else is converted rather than read through the wrong member of the union.
WideString textOf(VARIANT& value) {
    if (V_VT(&value) == VT_BSTR) {
        return V_BSTR(&value) ? WideString(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value)))) : WideString();
    }
    if (V_VT(&value) == VT_NULL || V_VT(&value) == VT_EMPTY ||
        FAILED(VariantChangeTypeEx(&value, &value, LOCALE_INVARIANT, 0, VT_BSTR))) {
        return WideString();
    }
    return textOf(value);
}

int32_t numberOf(VARIANT& value) {
    if (V_VT(&value) == VT_I4) {
        return V_I4(&value);
    }
    if (V_VT(&value) == VT_NULL || V_VT(&value) == VT_EMPTY ||
        FAILED(VariantChangeTypeEx(&value, &value, LOCALE_INVARIANT, 0, VT_I4))) {
        return 0;
    }
    return V_I4(&value);
}

}  // namespace

void ModuleTable::rowRead(int) {}

ModuleTable& moduleTable() {
    static ModuleTable table;
    return table;
}

void queryModules(ModuleTable& table) {
    WmiConnection wmi;
    if (!wmi.connect()) {
        return;
    }
    ScopedBstr language(L"WQL");
    ScopedBstr query(kModuleQuery);
    ComRef<IEnumWbemClassObject> objects;
    if (FAILED(wmi.services()->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                         nullptr, objects.receive())) ||
        !objects) {
        return;
    }
    readModuleRows(table, [&objects]() -> IWbemClassObject* {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        objects->Next(static_cast<long>(WBEM_INFINITE), 1, &object, &returned);
        if (returned == 0 && object) {
            object->Release();
            object = nullptr;
        }
        return object;
    });
}

void readModuleRows(ModuleTable& table, const std::function<IWbemClassObject*()>& nextObject) {
    int32_t count = 0;
    // A further module would have no row to go to: the table ends the reading.
    while (count < ModuleTable::kRowCapacity) {
        ComRef<IWbemClassObject> object;
        object.reset(nextObject());
        if (!object) {
            break;
        }
        ModuleRow& row = table.rows[static_cast<size_t>(count)];
        for (const wchar_t* name : kTextProperties) {
            ScopedVariant value;
            if (SUCCEEDED(object->Get(name, 0, value.receive(), nullptr, nullptr))) {
                row.textValues[name] = textOf(value.value);
            }
        }
        for (const wchar_t* name : kNumberProperties) {
            ScopedVariant value;
            if (SUCCEEDED(object->Get(name, 0, value.receive(), nullptr, nullptr))) {
                row.numberValues[name] = numberOf(value.value);
            }
        }
        table.rowRead(count);
        ++count;
    }
    table.moduleCount = count;
}
