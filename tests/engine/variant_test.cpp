#include "engine/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine_helpers.h"

using engine::Error;
using engine::Variant;
namespace dates = engine::dates;
namespace err = engine::err;
using enginetest::errorOf;

namespace {

std::string show(const Variant& v) {
    return "kind " + std::to_string(int(v.kind())) + " '" + v.toText() + "'";
}

// ---- text form ----

struct TextCase { Variant value; std::string text; };

TEST(VariantText, DefaultTextFormOfEveryKind) {
    const std::vector<TextCase> cases = {
        {Variant::null(), ""}, {Variant::boolean(true), "True"}, {Variant::boolean(false), "False"},
        {Variant::byte(255), "255"}, {Variant::integer(-32768), "-32768"}, {Variant::longInt(2147483647), "2147483647"},
        {Variant::bigInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {Variant::currencyScaled(125000), "12.5"}, {Variant::currencyScaled(30000), "3"},
        {Variant::currencyScaled(-1), "-0.0001"}, {Variant::currencyScaled(-123456789), "-12345.6789"},
        {Variant::currencyScaled(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808"},
        {Variant::single(0.1f), "0.1"}, {Variant::single(3.5f), "3.5"}, {Variant::single(16777216.0f), "16777216"},
        {Variant::dbl(0.1), "0.1"}, {Variant::dbl(-2), "-2"}, {Variant::dbl(0.1 + 0.2), "0.30000000000000004"},
        {Variant::dbl(123456789012345.0), "123456789012345"}, {Variant::dbl(1e15), "1E+15"},
        {Variant::dbl(1.5e20), "1.5E+20"}, {Variant::dbl(0.0001), "0.0001"}, {Variant::dbl(-1e-5), "-1E-05"},
        {Variant::dbl(-0.0), "0"}, {Variant::date(45000), "2023-03-15"},
        {Variant::date(45000.5), "2023-03-15 12:00:00"}, {Variant::date(0), "1899-12-30"},
        {Variant::date(-1.25), "1899-12-29 06:00:00"}, {Variant::text("h\xC3\xA9llo"), "h\xC3\xA9llo"},
        {Variant::binary(std::string("\x01\x00\xFF", 3)), std::string("\x01\x00\xFF", 3)},
        {Variant::guid("0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"), "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value.toText(), c.text) << show(c.value);
}

TEST(VariantText, DoubleTextReadsBackExactly) {
    for (double v : {0.1, 1.0 / 3, 2.0 / 3 * 1e10, 123.456, 1e-7, 9.87654321e200, -4.9e-324}) {
        const Variant back = Variant::fromText(Variant::dbl(v).toText(), engine::dbDouble);
        EXPECT_EQ(back.realValue(), v) << Variant::dbl(v).toText();
    }
}

// ---- Currency ----

TEST(VariantCurrency, SumsAreExact) {
    const auto sum = Variant::currency(0.1).intValue() + Variant::currency(0.2).intValue();
    EXPECT_EQ(Variant::currencyScaled(sum), Variant::currency(0.3));
    EXPECT_EQ(Variant::currencyScaled(sum).toText(), "0.3");
}

TEST(VariantCurrency, RoundsToFourPlaces) {
    const std::vector<std::pair<double, std::int64_t>> fromDouble = {
        {1.00005, 10001}, {-1.00005, -10001}, {1.00004999, 10000}, {0.000025, 0},
        {2.5, 25000},     {1e14, 1000000000000000000}, {-0.00015, -2},
    };
    for (auto [v, scaled] : fromDouble) EXPECT_EQ(Variant::currency(v).intValue(), scaled) << v;

    const std::vector<std::pair<std::string, std::int64_t>> fromText = {
        {"0.00005", 1}, {"-0.00005", -1}, {"0.00004999999999999999999", 0}, {" 12.5 ", 125000}, {"1e-4", 1},
        {"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
        {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
    };
    for (const auto& [t, scaled] : fromText)
        EXPECT_EQ(Variant::fromText(t, engine::dbCurrency).intValue(), scaled) << t;
}

// ---- conversions ----

struct ConvertCase { Variant from; int type; Variant to; };

TEST(VariantConvert, SucceedsWithTheExpectedValue) {
    using namespace engine;
    const std::string guid = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
    const std::vector<ConvertCase> cases = {
        // whole numbers: blanks allowed, halves to even
        {Variant("12"), dbByte, Variant::byte(12)}, {Variant(" 42 "), dbInteger, Variant::integer(42)},
        {Variant("2.5"), dbLong, Variant::longInt(2)}, {Variant("3.5"), dbLong, Variant::longInt(4)},
        {Variant("-2.5"), dbInteger, Variant::integer(-2)}, {Variant("+7"), dbLong, Variant::longInt(7)},
        {Variant("1e3"), dbLong, Variant::longInt(1000)}, {Variant(2.5), dbLong, Variant::longInt(2)},
        {Variant(-3.5), dbLong, Variant::longInt(-4)}, {Variant::currencyScaled(25000), dbInteger, Variant::integer(2)},
        {Variant::currencyScaled(-35000), dbInteger, Variant::integer(-4)},
        {Variant("9223372036854775807"), dbBigInt, Variant::bigInt(INT64_MAX)},
        {Variant::boolean(true), dbInteger, Variant::integer(-1)},
        {Variant::date(45000.75), dbLong, Variant::longInt(45001)},
        // Boolean
        {Variant("True"), dbBoolean, Variant::boolean(true)}, {Variant("off"), dbBoolean, Variant::boolean(false)},
        {Variant(" YES "), dbBoolean, Variant::boolean(true)}, {Variant("no"), dbBoolean, Variant::boolean(false)},
        {Variant("0"), dbBoolean, Variant::boolean(false)}, {Variant("-0.5"), dbBoolean, Variant::boolean(true)},
        {Variant(0.0), dbBoolean, Variant::boolean(false)}, {Variant(7), dbBoolean, Variant::boolean(true)},
        // Currency, Single, Double
        {Variant("0.1"), dbCurrency, Variant::currencyScaled(1000)},
        {Variant(0.1), dbCurrency, Variant::currencyScaled(1000)},
        {Variant::single(0.1f), dbCurrency, Variant::currencyScaled(1000)},
        {Variant(5), dbCurrency, Variant::currencyScaled(50000)},
        {Variant::boolean(true), dbCurrency, Variant::currencyScaled(-10000)},
        {Variant("0.1"), dbSingle, Variant::single(0.1f)},
        {Variant::single(0.1f), dbDouble, Variant::dbl(double(0.1f))},
        {Variant::currencyScaled(3000), dbDouble, Variant::dbl(0.3)},
        {Variant(" -1.5e3 "), dbDouble, Variant::dbl(-1500)}, {Variant(".5"), dbDouble, Variant::dbl(0.5)},
        {Variant("1e-400"), dbDouble, Variant::dbl(0)}, {Variant(1.5), dbNumeric, Variant::dbl(1.5)},
        {Variant(1.5), dbDecimal, Variant::dbl(1.5)}, {Variant(1.5), dbFloat, Variant::dbl(1.5)},
        {Variant::date(45000.5), dbDouble, Variant::dbl(45000.5)},
        // Date
        {Variant("2024-02-29"), dbDate, Variant::date(dates::fromParts(2024, 2, 29))},
        {Variant("1899-12-30 06:00"), dbTime, Variant::date(0.25)},
        {Variant("12/31/1999 11:59:59 PM"), dbTimeStamp,
         Variant::date(dates::fromParts(1999, 12, 31, 23, 59, 59))},
        {Variant(45000.25), dbDate, Variant::date(45000.25)}, {Variant(2), dbDate, Variant::date(2)},
        // Text
        {Variant::boolean(true), dbText, Variant("True")}, {Variant::currencyScaled(125000), dbMemo, Variant("12.5")},
        {Variant::date(45000), dbChar, Variant("2023-03-15")}, {Variant::binary("ab"), dbText, Variant("ab")},
        // GUID and binary
        {Variant("0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"), dbGUID, Variant::guid(guid)},
        {Variant(" {0a1b2c3d-4e5f-6071-8293-A4B5C6D7E8F9} "), dbGUID, Variant::guid(guid)},
        {Variant("abc"), dbBinary, Variant::binary("abc")}, {Variant("abc"), dbLongBinary, Variant::binary("abc")},
        {Variant(12), dbVarBinary, Variant::binary("12")},
    };
    for (const auto& c : cases) {
        try {
            const Variant got = c.from.convertTo(c.type);
            EXPECT_EQ(got, c.to) << show(c.from) << " to type " << c.type << " gave " << show(got);
        } catch (const Error& e) {
            ADD_FAILURE() << show(c.from) << " to type " << c.type << " threw " << e.number();
        }
    }
}

TEST(VariantConvert, NullStaysNullForEveryType) {
    for (int type : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23})
        EXPECT_TRUE(Variant::null().convertTo(type).isNull()) << type;
}

struct FailCase { Variant from; int type; int error; };

TEST(VariantConvert, FailsWithTheEngineErrorNumber) {
    using namespace engine;
    const std::vector<FailCase> cases = {
        {Variant("abc"), dbLong, err::ConversionError}, {Variant(""), dbLong, err::ConversionError},
        {Variant("1,000"), dbLong, err::ConversionError}, {Variant("12abc"), dbInteger, err::ConversionError},
        {Variant("1.2.3"), dbDouble, err::ConversionError}, {Variant("-"), dbDouble, err::ConversionError},
        {Variant("1e"), dbDouble, err::ConversionError}, {Variant("inf"), dbDouble, err::ConversionError},
        {Variant("nan"), dbDouble, err::ConversionError}, {Variant("0x10"), dbLong, err::ConversionError},
        {Variant("maybe"), dbBoolean, err::ConversionError}, {Variant("2024-02-30"), dbDate, err::ConversionError},
        {Variant("13/1/2024"), dbDate, err::ConversionError}, {Variant("45000"), dbDate, err::ConversionError},
        {Variant("xyz"), dbGUID, err::ConversionError},
        {Variant("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F}"), dbGUID, err::ConversionError},
        {Variant("0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG"), dbGUID, err::ConversionError},
        {Variant(5), dbGUID, err::ConversionError}, {Variant::binary("12"), dbLong, err::ConversionError},
        {Variant::guid("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"), dbDouble, err::ConversionError},
        {Variant(1), 99, err::ConversionError}, {Variant("256"), dbByte, err::ValueOutOfRange},
        {Variant("-1"), dbByte, err::ValueOutOfRange}, {Variant("255.5"), dbByte, err::ValueOutOfRange},
        {Variant::boolean(true), dbByte, err::ValueOutOfRange}, {Variant("32768"), dbInteger, err::ValueOutOfRange},
        {Variant(2147483647.5), dbLong, err::ValueOutOfRange},
        {Variant("9223372036854775808"), dbBigInt, err::ValueOutOfRange},
        {Variant(1e19), dbBigInt, err::ValueOutOfRange}, {Variant("1e400"), dbDouble, err::ValueOutOfRange},
        {Variant(1e300), dbSingle, err::ValueOutOfRange}, {Variant(1e16), dbCurrency, err::ValueOutOfRange},
        {Variant("922337203685477.5808"), dbCurrency, err::ValueOutOfRange},
        {Variant::bigInt(INT64_MAX), dbCurrency, err::ValueOutOfRange}, {Variant(3e6), dbDate, err::ValueOutOfRange},
        {Variant(-700000), dbDate, err::ValueOutOfRange},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf([&] { c.from.convertTo(c.type); }), c.error)
            << show(c.from) << " to type " << c.type;
}

TEST(VariantConvert, FromTextTreatsEmptyAsNullExceptForText) {
    using namespace engine;
    for (int type : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 15, 16, 17, 19, 20, 21, 22, 23})
        EXPECT_TRUE(Variant::fromText("", type).isNull()) << type;
    for (int type : {dbText, dbMemo, dbChar}) EXPECT_EQ(Variant::fromText("", type), Variant("")) << type;

    EXPECT_EQ(Variant::fromText(" 3.25 ", dbCurrency), Variant::currencyScaled(32500));
    EXPECT_EQ(Variant::fromText("1/2/2024", dbDate), Variant::date(dates::fromParts(2024, 1, 2)));
    EXPECT_EQ(Variant::fromText(" keep blanks ", dbText), Variant(" keep blanks "));
    EXPECT_EQ(errorOf([] { Variant::fromText("abc", dbLong); }), err::ConversionError);
}

// ---- loose readings ----

TEST(VariantReadings, NumbersDatesAndNumericText) {
    struct Case { Variant v; double asDouble; std::int64_t asInt; bool asBool; };
    const std::vector<Case> cases = {
        {Variant::null(), 0, 0, false}, {Variant::boolean(true), -1, -1, true},
        {Variant::currencyScaled(25000), 2.5, 2, true}, {Variant::currencyScaled(35000), 3.5, 4, true},
        {Variant::currencyScaled(-35000), -3.5, -4, true}, {Variant::single(0.5f), 0.5, 0, true},
        {Variant(1.5), 1.5, 2, true}, {Variant::date(45000.75), 45000.75, 45001, true},
        {Variant(" 2.5 "), 2.5, 2, true}, {Variant("-0"), 0, 0, false}, {Variant("1e2"), 100, 100, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.toDouble(), c.asDouble) << show(c.v);
        EXPECT_EQ(c.v.toInt64(), c.asInt) << show(c.v);
        EXPECT_EQ(c.v.toBool(), c.asBool) << show(c.v);
    }
}

TEST(VariantReadings, ValuesWithoutNumericReadingThrow) {
    for (const Variant& v : {Variant("abc"), Variant(""), Variant::binary("1"),
                             Variant::guid("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}")}) {
        EXPECT_EQ(errorOf([&] { v.toDouble(); }), err::ConversionError) << show(v);
        EXPECT_EQ(errorOf([&] { v.toInt64(); }), err::ConversionError) << show(v);
    }
    EXPECT_EQ(errorOf([] { Variant(1e19).toInt64(); }), err::ValueOutOfRange);
}

TEST(VariantEquality, NeedsSameKindAndValue) {
    EXPECT_EQ(Variant::null(), Variant());
    EXPECT_EQ(Variant("a"), Variant::text("a"));
    EXPECT_FALSE(Variant("a") == Variant("A"));
    EXPECT_FALSE(Variant(1) == Variant::integer(1));
    EXPECT_FALSE(Variant("x") == Variant::binary("x"));
    EXPECT_FALSE(Variant::single(0.5f) == Variant(0.5));
    EXPECT_FALSE(Variant(0.0) == Variant::null());
    EXPECT_TRUE(Variant(static_cast<const char*>(nullptr)).isNull());
}

// ---- dates ----

TEST(Dates, PartsAndDayNumbers) {
    struct Case { int y, m, d, h, mi, s; double days; };
    const std::vector<Case> cases = {
        {1899, 12, 30, 0, 0, 0, 0},        {1899, 12, 31, 0, 0, 0, 1},
        {1900, 1, 1, 0, 0, 0, 2},          {1900, 3, 1, 0, 0, 0, 61},
        {2000, 1, 1, 0, 0, 0, 36526},      {2024, 2, 29, 0, 0, 0, 45351},
        {1899, 12, 30, 6, 0, 0, 0.25},     {1899, 12, 29, 0, 0, 0, -1},
        {1899, 12, 29, 6, 0, 0, -1.25},    {1899, 12, 28, 12, 0, 0, -2.5},
        {100, 1, 1, 0, 0, 0, -657434},     {9999, 12, 31, 0, 0, 0, 2958465},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dates::fromParts(c.y, c.m, c.d, c.h, c.mi, c.s), c.days) << c.y << "-" << c.m << "-" << c.d;
        const dates::Parts p = dates::toParts(c.days);
        EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second}),
                  (std::vector<int>{c.y, c.m, c.d, c.h, c.mi, c.s}))
            << c.days;
    }
}

TEST(Dates, PartsOutOfRangeCarryOver) {
    EXPECT_EQ(dates::fromParts(2024, 13, 1), dates::fromParts(2025, 1, 1));
    EXPECT_EQ(dates::fromParts(2024, 3, 0), dates::fromParts(2024, 2, 29));
    EXPECT_EQ(dates::fromParts(2024, 0, 1), dates::fromParts(2023, 12, 1));
    EXPECT_EQ(dates::fromParts(2024, 1, 1, 24, 0, 0), dates::fromParts(2024, 1, 2));
    EXPECT_EQ(dates::fromParts(2024, 1, 1, 0, 0, -1), dates::fromParts(2023, 12, 31, 23, 59, 59));
}

TEST(Dates, FormatRoundsToTheNearestSecond) {
    const double day = dates::fromParts(2024, 12, 31);
    const double sec = 1.0 / 86400;
    EXPECT_EQ(dates::format(day + 10 * sec + 0.4 * sec), "2024-12-31 00:00:10");
    EXPECT_EQ(dates::format(day + 10 * sec + 0.6 * sec), "2024-12-31 00:00:11");
    EXPECT_EQ(dates::format(day + 1 - 0.2 * sec), "2025-01-01");
    // Before the epoch the fraction is still the time of day.
    EXPECT_EQ(dates::format(-1 - (1 - 0.2 * sec)), "1899-12-30");
}

TEST(Dates, ParseAcceptsTheUsualForms) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"2024-02-29", "2024-02-29"}, {"  2024-01-02  ", "2024-01-02"}, {"2024-1-5", "2024-01-05"},
        {"2024-01-02 13:45", "2024-01-02 13:45:00"}, {"2024-01-02 13:45:30", "2024-01-02 13:45:30"},
        {"2024-01-02T13:45:30", "2024-01-02 13:45:30"}, {"2024-01-02 10:00:00.6", "2024-01-02 10:00:01"},
        {"2024-12-31 23:59:59.5", "2025-01-01"}, {"2000-02-29", "2000-02-29"}, {"0100-01-01", "0100-01-01"},
        {"9999-12-31 23:59:59", "9999-12-31 23:59:59"}, {"1/2/2024", "2024-01-02"}, {"2024/03/04", "2024-03-04"},
        {"12/31/99", "1999-12-31"}, {"1/1/29", "2029-01-01"}, {"1/1/30", "1930-01-01"}, {"1/1/00", "2000-01-01"},
        {"3/4/2024 12:00 AM", "2024-03-04"}, {"3/4/2024 12:00 PM", "2024-03-04 12:00:00"},
        {"3/4/2024 12:30:15 am", "2024-03-04 00:30:15"}, {"3/4/2024 1:05:09 pm", "2024-03-04 13:05:09"},
        {"3/4/2024 11:59PM", "2024-03-04 23:59:00"}, {"3/4/2024 17:20", "2024-03-04 17:20:00"},
        {"11:30 PM", "1899-12-30 23:30:00"}, {"0:00", "1899-12-30"}, {"23:59:59", "1899-12-30 23:59:59"},
        // not dates
        {"", std::nullopt}, {"abc", std::nullopt}, {"2024", std::nullopt}, {"2023-02-29", std::nullopt},
        {"1900-02-29", std::nullopt}, {"2/30/2024", std::nullopt}, {"13/1/2024", std::nullopt},
        {"2024-13-01", std::nullopt}, {"2024-00-10", std::nullopt}, {"0099-01-01", std::nullopt},
        {"24-01-02", std::nullopt}, {"2024-01-02x", std::nullopt}, {"2024-01-02 ", "2024-01-02"},
        {"25:00", std::nullopt}, {"10:60", std::nullopt}, {"10:00:60", std::nullopt}, {"13:00 PM", std::nullopt},
        {"0:30 AM", std::nullopt}, {"10:00 XM", std::nullopt}, {"1/2/2024 10", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto got = dates::parse(text);
        ASSERT_EQ(got.has_value(), expected.has_value()) << "'" << text << "'";
        if (got) {
            EXPECT_EQ(dates::format(*got), *expected) << "'" << text << "'";
        }
    }
}

TEST(Dates, FormatAndParseRoundTripOverTheWholeRange) {
    int checked = 0;
    for (long long n = -657434; n <= 2958465; n += 97) {
        const long long secs = ((n * 7919) % 86400 + 86400) % 86400;
        const double frac = static_cast<double>(secs) / 86400.0;
        const double v = n >= 0 ? n + frac : n - frac;
        const auto back = dates::parse(dates::format(v));
        ASSERT_TRUE(back.has_value()) << dates::format(v);
        ASSERT_EQ(*back, v) << dates::format(v);
        ++checked;
    }
    EXPECT_GT(checked, 37000);
}

}  // namespace
