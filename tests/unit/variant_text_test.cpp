#include "Wmioperationsunit/variant_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/com.h"
#include "tests/case_name.h"
#include "tests/fakes/scripted_wmi.h"

namespace hwid {
namespace {

using fakes::PropertyValue;

struct VariantCase {
  const char* name;
  PropertyValue value;
  const char* expected;
};

class VariantTextTest : public ::testing::TestWithParam<VariantCase> {};

TEST_P(VariantTextTest, ConvertsByTheTypeTable) {
  unique_variant value;
  fakes::WriteVariant(GetParam().value, *value.put());

  EXPECT_EQ(VariantText(value.get()), GetParam().expected);
}

// Dates here have no fraction, so the locale's decimal separator plays no part.
INSTANTIATE_TEST_SUITE_P(
    TypeTable, VariantTextTest,
    ::testing::Values(
        VariantCase{"NullIsSkipped", PropertyValue::Null(), ""},
        VariantCase{"EmptyIsSkipped", PropertyValue::Integer(VT_EMPTY, 0), ""},
        VariantCase{"String", PropertyValue::Bstr(L"00:1A:2B:3C:4D:5E"), "00:1A:2B:3C:4D:5E"},
        VariantCase{"EmptyString", PropertyValue::Bstr(L""), ""},
        VariantCase{"StringAboveAscii", PropertyValue::Bstr(L"caf\u00e9"), "caf\xe9"},
        VariantCase{"DateWholeDays", PropertyValue::Date(41215), "41215"},
        VariantCase{"DateScientific", PropertyValue::Date(1e15), "1E15"},
        VariantCase{"DateZero", PropertyValue::Date(0), "0"},
        VariantCase{"DateNaNIsSkipped",
                    PropertyValue::Date(std::numeric_limits<double>::quiet_NaN()), ""},
        VariantCase{"DateInfinityIsSkipped",
                    PropertyValue::Date(std::numeric_limits<double>::infinity()), ""},
        VariantCase{"UintZero", PropertyValue::Uint(0), "0"},
        VariantCase{"UintLargest", PropertyValue::Uint(4294967295U), "4294967295"},
        VariantCase{"I4Positive", PropertyValue::I4(12), "12"},
        VariantCase{"I4MinusOneIsUnsigned", PropertyValue::I4(-1), "4294967295"},
        VariantCase{"I4Smallest", PropertyValue::I4(-2147483647 - 1), "2147483648"},
        VariantCase{"I2IsSkipped", PropertyValue::Integer(VT_I2, 5), ""},
        VariantCase{"Ui4IsSkipped", PropertyValue::Integer(VT_UI4, 5), ""},
        VariantCase{"IntIsSkipped", PropertyValue::Integer(VT_INT, 5), ""},
        VariantCase{"I8IsSkipped", PropertyValue::Integer(VT_I8, 5), ""},
        VariantCase{"BoolIsSkipped", PropertyValue::Integer(VT_BOOL, -1), ""},
        VariantCase{"R8IsSkipped", PropertyValue::Real(VT_R8, 1.5), ""},
        VariantCase{"R4IsSkipped", PropertyValue::Real(VT_R4, 1.5), ""}),
    ::hwid::testing::CaseName());

TEST(VariantText, NullStringPointerIsSkipped) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = nullptr;

  EXPECT_EQ(VariantText(value), "");
}

struct DateCase {
  const char* name;
  double dayNumber;
  const char* expected;
};

class GeneralDateTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(GeneralDateTextTest, UsesFifteenSignificantDigits) {
  EXPECT_EQ(GeneralDateText(GetParam().dayNumber, '.'), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Notations, GeneralDateTextTest,
    ::testing::Values(
        DateCase{"HalfDay", 41215.5, "41215.5"}, DateCase{"Hundred", 100, "100"},
        DateCase{"SmallestFixedExponent", 0.0001, "0.0001"},
        DateCase{"FixedWithLeadingZeros", 0.000123, "0.000123"},
        DateCase{"BelowFixedRange", 0.00001, "1E-5"}, DateCase{"SmallFraction", 1.5e-7, "1.5E-7"},
        DateCase{"LargestFixed", 999999999999999.0, "999999999999999"},
        DateCase{"AboveFixedRange", 1e15, "1E15"},
        DateCase{"SixteenDigitsRoundToFifteen", 1234567890123456.0, "1.23456789012346E15"},
        DateCase{"RoundsUpIntoNextExponent", 999999999999999.7, "1E15"},
        DateCase{"BinaryFractionRoundsAway", 0.1 + 0.2, "0.3"},
        DateCase{"OneThird", 1.0 / 3, "0.333333333333333"},
        DateCase{"TwoThirdsRoundUp", 2.0 / 3, "0.666666666666667"},
        DateCase{"NegativeFixed", -41215.5, "-41215.5"},
        DateCase{"NegativeScientific", -1.5e-7, "-1.5E-7"}, DateCase{"NegativeZero", -0.0, "0"},
        DateCase{"HugeExponent", 1.5e300, "1.5E300"},
        DateCase{"Subnormal", 5e-324, "4.94065645841247E-324"}),
    ::hwid::testing::CaseName());

TEST(GeneralDateText, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(GeneralDateText(41215.5, ','), "41215,5");
  EXPECT_EQ(GeneralDateText(1.5e-7, ','), "1,5E-7");
}

TEST(GeneralDateText, NaNAndInfinitiesHaveNoText) {
  EXPECT_EQ(GeneralDateText(std::nan(""), '.'), "");
  EXPECT_EQ(GeneralDateText(std::numeric_limits<double>::infinity(), '.'), "");
  EXPECT_EQ(GeneralDateText(-std::numeric_limits<double>::infinity(), '.'), "");
}

}  // namespace
}  // namespace hwid
