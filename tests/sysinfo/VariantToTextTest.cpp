// variantToText on real VARIANTs of every type WMI hands over, built with the OLE functions.
#include "sysinfo/ComRef.h"
#include "sysinfo/WmiQuery.h"

#include "tests/sysinfo/PrintWideString.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace {

// Owns a VARIANT of one type with one value.
struct Value {
    ScopedVariant held;
    explicit Value(VARTYPE type) { V_VT(&held.value) = type; }
    const VARIANT& get() const { return held.value; }
};

WideString textOf(const Value& value) { return variantToText(value.get()).value_or(WideString(L"<no text>")); }

// An array of two elements of `type`, as WMI hands over list properties.
struct ArrayValue : Value {
    explicit ArrayValue(VARTYPE type) : Value(static_cast<VARTYPE>(VT_ARRAY | type)) {
        V_ARRAY(&held.value) = SafeArrayCreateVector(type, 0, 2);
    }
};

TEST(VariantToText, NumbersUseTheirFormatsAndSignedShortsShowUnsigned) {
    Value minusOne(VT_I2);
    V_I2(&minusOne.held.value) = -1;
    EXPECT_EQ(textOf(minusOne), L"65535");  // a 16-bit unsigned property handed over as VT_I2

    Value negative(VT_I4);
    V_I4(&negative.held.value) = -123456;
    EXPECT_EQ(textOf(negative), L"-123456");

    Value single(VT_R4);
    V_R4(&single.held.value) = 2.5f;
    EXPECT_EQ(textOf(single), L"    2.5000");  // width 10, leading blanks kept

    Value real(VT_R8);
    V_R8(&real.held.value) = -1234.56789;
    EXPECT_EQ(textOf(real), L"-1234.5679");
}

TEST(VariantToText, LongNumbersAreCutTo31Characters) {
    Value huge(VT_R8);
    // 1048576 x 10^22 is exact in a double: "10485760000000000000000000000.0000" has 34 characters.
    V_R8(&huge.held.value) = 1048576e22;
    EXPECT_EQ(textOf(huge), L"10485760000000000000000000000.0");
}

TEST(VariantToText, BooleansBytesAndStrings) {
    Value yes(VT_BOOL);
    V_BOOL(&yes.held.value) = VARIANT_TRUE;
    EXPECT_EQ(textOf(yes), L"TRUE");
    Value no(VT_BOOL);
    V_BOOL(&no.held.value) = VARIANT_FALSE;
    EXPECT_EQ(textOf(no), L"FALSE");

    Value control(VT_UI1);
    V_UI1(&control.held.value) = 31;
    EXPECT_EQ(textOf(control), L"31");  // below 32: the number
    Value letter(VT_UI1);
    V_UI1(&letter.held.value) = 32;
    EXPECT_EQ(textOf(letter), L" ");    // from 32: the character itself
    Value high(VT_UI1);
    V_UI1(&high.held.value) = 0xE9;
    EXPECT_EQ(textOf(high), L"\u00E9");

    // A 64-bit integer arrives as its digits and is taken whole, past 31 characters too.
    const wchar_t* digits = L"18446744073709551615 and then some more characters";
    Value text(VT_BSTR);
    V_BSTR(&text.held.value) = SysAllocString(digits);
    EXPECT_EQ(textOf(text), digits);

    Value nothing(VT_NULL);
    EXPECT_EQ(textOf(nothing), L"<null>");
}

TEST(VariantToText, ArraysAndObjectsHaveNoTextOtherTypesAreErrors) {
    for (VARTYPE type : {VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_DISPATCH, VT_BOOL, VT_UI1}) {
        ArrayValue list(type);
        EXPECT_FALSE(variantToText(list.get()).has_value()) << "array of type " << type;
    }
    Value object(VT_DISPATCH);
    EXPECT_FALSE(variantToText(object.get()).has_value());

    Value wide(VT_I8);
    V_I8(&wide.held.value) = 5;
    EXPECT_EQ(textOf(wide), L"<conversion error>");
    for (VARTYPE type : {VT_EMPTY, VT_UI4, VT_DATE, VT_CY}) {
        Value other(type);
        EXPECT_EQ(textOf(other), L"<conversion error>") << "type " << type;
    }
    ArrayValue unsignedList(VT_UI4);
    EXPECT_EQ(textOf(unsignedList), L"<conversion error>");
}

}  // namespace
