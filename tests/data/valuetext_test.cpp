#include "data/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tabulon {
namespace {

std::string text(const Value &v) { return v.toText(); }
std::string dbl(double d) { return Value::real(d).toText(); }

TEST(ValueText, PlainKinds)
{
    EXPECT_EQ(text(Value::empty()), "");
    EXPECT_EQ(text(Value::null()), "");
    EXPECT_EQ(text(Value::text("O'Neil \xE2\x82\xAC")), "O'Neil \xE2\x82\xAC");
    EXPECT_EQ(text(Value::integer(0)), "0");
    EXPECT_EQ(text(Value::integer(-42)), "-42");
    EXPECT_EQ(text(Value::integer(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(text(Value::boolean(true)), "True");
    EXPECT_EQ(text(Value::boolean(false)), "False");
    EXPECT_EQ(text(Value::bytes(std::string("\x00\x1f\xab\xff", 4))), "001FABFF");
    EXPECT_EQ(text(Value::bytes("")), "");
}

TEST(ValueText, DoublesPlainInsideTheSwitchPoints)
{
    EXPECT_EQ(dbl(0.0), "0");
    EXPECT_EQ(dbl(-0.0), "0");
    EXPECT_EQ(dbl(1.5), "1.5");
    EXPECT_EQ(dbl(-1234567.89), "-1234567.89");
    EXPECT_EQ(dbl(0.1), "0.1");
    EXPECT_EQ(dbl(1e-4), "0.0001");
    EXPECT_EQ(dbl(0.00012345), "0.00012345");
    EXPECT_EQ(dbl(100.0), "100");
    EXPECT_EQ(dbl(999999999999999.0), "999999999999999");
    EXPECT_EQ(dbl(123456789012345.6), "123456789012345.6");
}

TEST(ValueText, DoublesNeedingSeventeenDigitsReadBack)
{
    EXPECT_EQ(dbl(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(dbl(1.0 / 3.0), "0.3333333333333333");
    for (double d : {0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0 * 1e-7, 123456.789e200, 5e-324, std::numeric_limits<double>::max(),
                     -9007199254740993.0}) {
        const std::string s = dbl(d);
        EXPECT_EQ(std::strtod(s.c_str(), nullptr), d) << s;
        EXPECT_EQ(s.find(','), std::string::npos);
    }
}

TEST(ValueText, DoublesOutsideTheSwitchPointsUseExponents)
{
    EXPECT_EQ(dbl(1e15), "1E+15");
    EXPECT_EQ(dbl(-2.25e20), "-2.25E+20");
    EXPECT_EQ(dbl(1.5e-5), "1.5E-05");
    EXPECT_EQ(dbl(9.9999e-5), "9.9999E-05");
    EXPECT_EQ(dbl(1e100), "1E+100");
    EXPECT_EQ(dbl(5e-324), "5E-324");
    EXPECT_EQ(dbl(1.7976931348623157e308), "1.7976931348623157E+308");
}

TEST(ValueText, NonFiniteDoubles)
{
    EXPECT_EQ(dbl(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(dbl(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(dbl(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(ValueText, CurrencyAndDecimal)
{
    EXPECT_EQ(text(Value::currency(12345000)), "1234.5");
    EXPECT_EQ(text(Value::currency(-2500)), "-0.25");
    EXPECT_EQ(text(Value::currency(120000)), "12");
    EXPECT_EQ(text(Value::currency(1)), "0.0001");
    EXPECT_EQ(text(Value::currency(0)), "0");
    EXPECT_EQ(text(Value::currency(std::numeric_limits<int64_t>::min())), "-922337203685477.5808");

    EXPECT_EQ(text(Value::decimal("12.3400")), "12.34");
    EXPECT_EQ(text(Value::decimal("-0012.000")), "-12");
    EXPECT_EQ(text(Value::decimal("-0.000")), "0");
    EXPECT_EQ(text(Value::decimal(".5")), "0.5");
    EXPECT_EQ(text(Value::decimal("12345678901234567890123456789.123456789")),
              "12345678901234567890123456789.123456789");
    EXPECT_EQ(text(Value::decimal("1e5")), "1e5"); // not decimal text: kept as it is
}

TEST(ValueText, DateTimes)
{
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(1990, 3, 4))), "3/4/1990");
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(2021, 12, 31, 23, 5, 9))), "12/31/2021 11:05:09 PM");
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(2000, 1, 1, 0, 0, 1))), "1/1/2000 12:00:01 AM");
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(2000, 1, 1, 12, 0, 0))), "1/1/2000 12:00:00 PM");
    // The zero date shows the time alone, midnight included.
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(1899, 12, 30, 12, 30))), "12:30:00 PM");
    EXPECT_EQ(text(Value::dateTime(DateTime{})), "12:00:00 AM");
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(1, 1, 1))), "1/1/0001");
    EXPECT_EQ(text(Value::dateTime(DateTime::fromCivil(9999, 12, 31, 23, 59, 59, 999))), "12/31/9999 11:59:59 PM");
}

TEST(DateTimeCivil, RoundTripsAndKnownDays)
{
    EXPECT_EQ(DateTime::fromCivil(1899, 12, 30).days, 0);
    EXPECT_EQ(DateTime::fromCivil(1899, 12, 29).days, -1);
    EXPECT_EQ(DateTime::fromCivil(1900, 3, 1).days, 61); // 1900 is no leap year
    EXPECT_EQ(DateTime::fromCivil(2000, 1, 1).days, 36526);
    EXPECT_EQ(DateTime::fromCivil(1, 1, 1).days, -693593);
    EXPECT_EQ(DateTime::fromCivil(2000, 1, 1, 6, 30, 15, 250).msOfDay, ((6 * 60 + 30) * 60 + 15) * 1000 + 250);
    EXPECT_EQ(DateTime::fromCivil(2000, 1, 1, 24, 0, 0), DateTime::fromCivil(2000, 1, 2));

    for (int64_t days = -693593; days <= 2958465; days += 97) {
        int y, m, d;
        DateTime{days, 0}.toCivil(y, m, d);
        ASSERT_EQ(DateTime::fromCivil(y, m, d).days, days) << y << "-" << m << "-" << d;
    }
    int y, m, d;
    DateTime{2958465, 0}.toCivil(y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 99991231);
    DateTime::fromCivil(2024, 2, 29).toCivil(y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
}

TEST(ValueCompare, KindsAndPayloads)
{
    EXPECT_TRUE(Value::integer(5).isNumber());
    EXPECT_TRUE(Value::real(5).isNumber());
    EXPECT_TRUE(Value::currency(5).isNumber());
    EXPECT_TRUE(Value::decimal("5").isNumber());
    EXPECT_FALSE(Value::text("5").isNumber());
    EXPECT_FALSE(Value::boolean(true).isNumber());
    EXPECT_FALSE(Value::dateTime({}).isNumber());
    EXPECT_FALSE(Value::null().isNumber());

    EXPECT_EQ(Value::null(), Value::null());
    EXPECT_NE(Value::null(), Value::empty());
    EXPECT_NE(Value::integer(5), Value::currency(5));
    EXPECT_NE(Value::text("5"), Value::decimal("5"));
    EXPECT_EQ(Value::text("a"), Value::text("a"));
    EXPECT_NE(Value::dateTime({1, 0}), Value::dateTime({1, 1}));
    EXPECT_EQ(Value::dateTime({1, 5}), Value::dateTime({1, 5}));
    EXPECT_EQ(Value::real(std::nan("")), Value::real(std::nan("")));

    // Reused values keep no trace of the kind they had before.
    Value v = Value::text("abc");
    v.setInteger(7);
    EXPECT_EQ(v, Value::integer(7));
    EXPECT_EQ(v.toText(), "7");
}

TEST(ValueText, AppendsToTheCallersBuffer)
{
    std::string out = "x=";
    Value::real(2.5).appendText(out);
    out += ";";
    Value::dateTime(DateTime::fromCivil(1990, 3, 4)).appendText(out);
    EXPECT_EQ(out, "x=2.5;3/4/1990");
}

} // namespace
} // namespace tabulon
