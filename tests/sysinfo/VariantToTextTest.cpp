// variantToText on real VARIANTs of every type WMI hands over.
#include "sysinfo/ComRef.h"
#include "sysinfo/WmiQuery.h"
#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

namespace {

// The text of a VARIANT of `type` whose value `fill` sets; "<no text>" for no text.
template <typename Fill>
WideString textOf(VARTYPE type, Fill fill) {
    ScopedVariant held;
    V_VT(&held.value) = type;
    fill(held.value);
    return variantToText(held.value).value_or(WideString(L"<no text>"));
}

WideString textOf(VARTYPE type) {
    return textOf(type, [](VARIANT&) {});
}

// An array of two elements, as WMI hands over list properties.
WideString arrayText(VARTYPE elementType) {
    return textOf(static_cast<VARTYPE>(VT_ARRAY | elementType),
                  [elementType](VARIANT& v) { V_ARRAY(&v) = SafeArrayCreateVector(elementType, 0, 2); });
}

TEST(VariantToText, NumbersBooleansBytesAndStrings) {
    // A 16-bit unsigned property arrives as VT_I2.
    EXPECT_EQ(textOf(VT_I2, [](VARIANT& v) { V_I2(&v) = -1; }), L"65535");
    EXPECT_EQ(textOf(VT_I4, [](VARIANT& v) { V_I4(&v) = -123456; }), L"-123456");
    EXPECT_EQ(textOf(VT_R4, [](VARIANT& v) { V_R4(&v) = 2.5f; }), L"    2.5000");  // width 10 kept
    EXPECT_EQ(textOf(VT_R8, [](VARIANT& v) { V_R8(&v) = -1234.56789; }), L"-1234.5679");
    // 1048576 x 10^22 is exact in a double; "%10.4f" gives 34 characters, cut to 31.
    EXPECT_EQ(textOf(VT_R8, [](VARIANT& v) { V_R8(&v) = 1048576e22; }), L"10485760000000000000000000000.0");

    EXPECT_EQ(textOf(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }), L"TRUE");
    EXPECT_EQ(textOf(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_FALSE; }), L"FALSE");
    EXPECT_EQ(textOf(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 31; }), L"31");  // below 32: the number
    EXPECT_EQ(textOf(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 32; }), L" ");   // from 32: the character
    EXPECT_EQ(textOf(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 0xE9; }), L"\u00E9");

    // A 64-bit integer arrives as its digits; strings are taken whole, past 31 characters too.
    const wchar_t* digits = L"18446744073709551615 and then some more characters";
    EXPECT_EQ(textOf(VT_BSTR, [digits](VARIANT& v) { V_BSTR(&v) = SysAllocString(digits); }), digits);
    EXPECT_EQ(textOf(VT_NULL), L"<null>");
}

TEST(VariantToText, ArraysAndObjectsHaveNoTextOtherTypesAreErrors) {
    for (VARTYPE type : {VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_DISPATCH, VT_BOOL, VT_UI1}) {
        EXPECT_EQ(arrayText(type), L"<no text>") << "array of type " << type;
    }
    EXPECT_EQ(textOf(VT_DISPATCH), L"<no text>");
    EXPECT_EQ(textOf(VT_I8, [](VARIANT& v) { V_I8(&v) = 5; }), L"<conversion error>");
    for (VARTYPE type : {VT_EMPTY, VT_UI4, VT_DATE, VT_CY}) {
        EXPECT_EQ(textOf(type), L"<conversion error>") << "type " << type;
    }
    EXPECT_EQ(arrayText(VT_UI4), L"<conversion error>");
}

}  // namespace
