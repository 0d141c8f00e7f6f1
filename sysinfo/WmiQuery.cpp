#include "sysinfo/WmiQuery.h"

#include <wbemidl.h>

#include "sysinfo/ComRef.h"

#include <cstdarg>

namespace {

// The WbemLocator class and its IWbemLocator interface; spelled out here so that no GUID
// library is needed.
constexpr CLSID kWbemLocatorClass = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
constexpr IID kWbemLocatorInterface = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

constexpr wchar_t kNamespace[] = L"ROOT\\CIMV2";
constexpr wchar_t kQueryLanguage[] = L"WQL";
constexpr wchar_t kSelectAllFrom[] = L"SELECT * FROM ";

WideString formattedNumber(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    WideString text = WideString::formatV(format, args);
    va_end(args);
    return text.left(kVariantNumberChars);
}

WideString bstrText(BSTR text) { return text ? WideString(text, static_cast<int>(SysStringLen(text))) : WideString(); }

bool isArrayWithoutText(VARTYPE type) {
    switch (type & VT_TYPEMASK) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_BOOL:
    case VT_UI1:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::optional<WideString> variantToText(const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    if ((type & ~VT_TYPEMASK) == VT_ARRAY && isArrayWithoutText(type)) {
        return std::nullopt;
    }
    switch (type) {
    case VT_NULL:
        return WideString(L"<null>");
    case VT_I2:
        // Unsigned on purpose: WMI hands 16-bit unsigned properties over in this type.
        return formattedNumber(L"%hu", static_cast<unsigned short>(V_I2(&value)));
    case VT_I4:
        return formattedNumber(L"%d", static_cast<int>(V_I4(&value)));
    case VT_R4:
        return formattedNumber(L"%10.4f", static_cast<double>(V_R4(&value)));
    case VT_R8:
        return formattedNumber(L"%10.4f", V_R8(&value));
    case VT_BSTR:
        return bstrText(V_BSTR(&value));
    case VT_BOOL:
        return WideString(V_BOOL(&value) ? L"TRUE" : L"FALSE");
    case VT_UI1:
        if (V_UI1(&value) < 32) {
            return formattedNumber(L"%hu", static_cast<unsigned short>(V_UI1(&value)));
        }
        return WideString(static_cast<wchar_t>(V_UI1(&value)));
    case VT_DISPATCH:
        return std::nullopt;
    default:
        return WideString(L"<conversion error>");
    }
}

WmiConnection::~WmiConnection() { release(); }

void WmiConnection::release() {
    if (services_) {
        services_->Release();
        services_ = nullptr;
    }
    if (locator_) {
        locator_->Release();
        locator_ = nullptr;
    }
}

bool WmiConnection::connect() {
    release();
    // Fails harmlessly once the process has its security settings.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, kWbemLocatorInterface,
                                reinterpret_cast<void**>(locator.receive())))) {
        return false;
    }
    ScopedBstr space(kNamespace);
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.receive()))) {
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        return false;
    }
    locator_ = locator.release();
    services_ = services.release();
    return true;
}

void WmiQuery::onValue(const WideString&, const WideString&, int) {}

WmiRow& WmiQuery::row(int32_t index) { return rows[index]; }

int WmiQuery::run() {
    // The result does not matter: a thread already in an apartment keeps it and can still query.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    rowCount = 0;
    WmiConnection wmi;
    if (!wmi.connect()) {
        return 1;
    }
    ScopedBstr language(kQueryLanguage);
    ScopedBstr query((WideString(kSelectAllFrom) + className).c_str());
    OutputDebugStringW(kWmiQueryDebugLine);
    ComRef<IEnumWbemClassObject> objects;
    int32_t count = 0;
    if (wmi.services()->ExecQuery(language.get(), query.get(), 0, nullptr, objects.receive()) == S_OK && objects) {
        for (;;) {
            ComRef<IWbemClassObject> object;
            ULONG returned = 0;
            if (objects->Next(static_cast<long>(WBEM_INFINITE), 1, object.receive(), &returned) != S_OK || returned < 1) {
                break;
            }
            WideString name = L"??";
            ScopedVariant nameValue;
            if (SUCCEEDED(object->Get(L"Name", 0, nameValue.receive(), nullptr, nullptr))) {
                name = variantToText(nameValue.value).value_or(WideString());
            }
            WmiRow& current = row(count);
            ++count;
            onValue(WideString::format(L"ID (%d)", count), name, 1);
            if (FAILED(object->BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY))) {
                continue;
            }
            for (;;) {
                ScopedBstr propertyName;
                ScopedVariant value;
                if (object->Next(0, propertyName.receive(), value.receive(), nullptr, nullptr) != S_OK) {
                    break;
                }
                WideString property = bstrText(propertyName.get());
                WideString text = variantToText(value.value).value_or(WideString());
                current[property] = text;
                onValue(property, text, 0);
            }
        }
    }
    rowCount = count;
    return rowCount;
}
