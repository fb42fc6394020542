#include "engine/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine_helpers.h"
#include "support/case_file.h"

using engine::Error;
using engine::Variant;
namespace dates = engine::dates;
namespace err = engine::err;
using namespace enginetest;

namespace {

std::string show(const Variant& v) {
    return "kind " + std::to_string(int(v.kind())) + " '" + v.toText() + "'";
}

std::vector<CaseLine> cases(const char* key) { return readCases(LEDGERLY_TEST_DATA "/variant_cases.txt", key); }

TEST(VariantText, DefaultTextFormOfEveryKind) {
    for (const auto& c : cases("text")) EXPECT_EQ(variantOf(c.fields[0]).toText(), unquoted(c.fields[1])) << "line " << c.line;
}

TEST(VariantText, DoubleTextReadsBackExactly) {
    for (double v : {0.1, 1.0 / 3, 2.0 / 3 * 1e10, 123.456, 1e-7, 9.87654321e200, -4.9e-324}) {
        const Variant back = Variant::fromText(Variant::dbl(v).toText(), engine::dbDouble);
        EXPECT_EQ(back.realValue(), v) << Variant::dbl(v).toText();
    }
}

TEST(VariantCurrency, RoundsToFourPlaces) {
    for (const auto& c : cases("currency")) {
        const Variant in = variantOf(c.fields[0]);
        const Variant got = in.isText() ? Variant::fromText(in.toText(), engine::dbCurrency) : Variant::currency(in.realValue());
        EXPECT_EQ(got.intValue(), std::stoll(c.fields[1])) << "line " << c.line;
    }
}

TEST(VariantConvert, SucceedsWithTheExpectedValue) {
    for (const auto& c : cases("convert")) {
        Variant got;
        EXPECT_EQ(errorOf([&] { got = variantOf(c.fields[0]).convertTo(typeCode(c.fields[1])); }), 0) << "line " << c.line;
        EXPECT_EQ(got, variantOf(c.fields[2])) << "line " << c.line << ": gave " << show(got);
    }
}

TEST(VariantConvert, FailsWithTheEngineErrorNumber) {
    for (const auto& c : cases("fails"))
        EXPECT_EQ(errorOf([&] { variantOf(c.fields[0]).convertTo(typeCode(c.fields[1])); }),
                  c.fields[2] == "range" ? err::ValueOutOfRange : err::ConversionError)
            << "line " << c.line;
}

TEST(VariantConvert, NullStaysNullAndEmptyTextIsNullExceptForText) {
    using namespace engine;
    for (int type : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23}) {
        EXPECT_TRUE(Variant::null().convertTo(type).isNull()) << type;
        const bool text = type == dbText || type == dbMemo || type == dbChar;
        EXPECT_EQ(Variant::fromText("", type), text ? Variant("") : Variant()) << type;
    }

    EXPECT_EQ(Variant::fromText(" 3.25 ", dbCurrency), Variant::currencyScaled(32500));
    EXPECT_EQ(Variant::fromText("1/2/2024", dbDate), Variant::date(dates::fromParts(2024, 1, 2)));
    EXPECT_EQ(Variant::fromText(" keep blanks ", dbText), Variant(" keep blanks "));
    EXPECT_EQ(errorOf([] { Variant::fromText("abc", dbLong); }), err::ConversionError);
}

TEST(VariantReadings, NumbersDatesAndNumericText) {
    for (const auto& c : cases("reading")) {
        const Variant v = variantOf(c.fields[0]);
        EXPECT_EQ(v.toDouble(), std::stod(c.fields[1])) << "line " << c.line;
        EXPECT_EQ(v.toInt64(), std::stoll(c.fields[2])) << "line " << c.line;
        EXPECT_EQ(v.toBool(), c.fields[3] == "True") << "line " << c.line;
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

TEST(Dates, PartsAndDayNumbers) {
    for (const auto& c : cases("day")) {
        const double days = std::stod(c.fields[1]);
        EXPECT_EQ(dayOf(c.fields[0]), days) << "line " << c.line;
        const dates::Parts p = dates::toParts(days);
        char text[40];
        std::snprintf(text, sizeof text, "%d-%d-%d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
        EXPECT_EQ(text, c.fields[0]) << "line " << c.line;
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
    for (const auto& c : cases("parse")) {
        const auto got = dates::parse(unquoted(c.fields[0]));
        ASSERT_EQ(got.has_value(), c.fields[1] != "none") << "line " << c.line;
        if (got) {
            EXPECT_EQ(dates::format(*got), c.fields[1]) << "line " << c.line;
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
