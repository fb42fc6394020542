// Decimal fields keep their precision and scale: every write path rounds to the scale
// (halves away from zero) and refuses too many whole digits (3349); the digits survive
// reopening, and a Decimal field of a file made before they were recorded keeps its values.
#include <charconv>
#include <random>
#include <gtest/gtest.h>

#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

std::pair<int, int> digits(const Field& f) { return {f.Precision(), f.Scale()}; }

class DecimalDefinition : public NewDatabase {};

class DecimalField : public DecimalDefinition {
protected:
    void SetUp() override { db->Execute("CREATE TABLE T (Tag Text(20), D Decimal(12,3))"); }
    // D of the row tagged `tag` as plain SQLite reads it ("<null>" for Null).
    std::string raw(const std::string& tag) {
        Rows r = rawQuery(path, "SELECT D FROM T WHERE Tag = '" + tag + "'");
        return r.empty() ? "<no row>" : r[0][0];
    }
};

TEST_F(DecimalField, EveryWritePathRoundsToTheScaleAndRefusesTooManyWholeDigits) {
    // The literal as a statement writes it and as text typed into a grid, the Double a
    // program gives a recordset, and what SQLite reads back (nullptr: refused with 3349).
    struct Case { const char* literal; double value; const char* stored; };
    db->Execute("CREATE TABLE Src (Tag Text(20), V Double)");
    const std::vector<Case> cases = {
        {"-1110.55446", -1110.55446, "-1110.554"}, {"2.4994999", 2.4994999, "2.499"},
        {"0.0005", 0.0005, "0.001"}, {"-0.0005", -0.0005, "-0.001"},  // half away from zero
        {"1.0005", 1.0005, "1.001"},  // rounded as written, not as its nearest binary value
        {"-0.0004", -0.0004, "0"}, {"999999999.9994", 999999999.9994, "999999999.999"},
        {"123456789.5", 123456789.5, "123456789.5"},  // nine whole digits fit 12 - 3
        {"999999999.9995", 999999999.9995, nullptr},  // rounds up to ten whole digits
        {"1234567890.5", 1234567890.5, nullptr}, {"-1234567890", -1234567890.0, nullptr},
    };
    // Statements with $t for the row's tag and $v for the literal, then what a program does.
    struct Path { const char* name; std::vector<std::string> statements; std::function<void(std::string, Case)> then = nullptr; };
    const std::vector<Path> paths = {
        {"INSERT", {"INSERT INTO T (Tag, D) VALUES ('$t', $v)"}},
        {"UPDATE", {"INSERT INTO T (Tag) VALUES ('$t')", "UPDATE T SET D = $v WHERE Tag = '$t'"}},
        {"INSERT...SELECT",
         {"INSERT INTO Src (Tag, V) VALUES ('$t', $v)", "INSERT INTO T (Tag, D) SELECT Tag, V FROM Src WHERE Tag = '$t'"}},
        {"AddNew", {}, [&](auto t, auto c) { addRow(*db->OpenRecordset("T"), {{"Tag", t}, {"D", Variant::dbl(c.value)}}); }},
        {"Edit with text", {"INSERT INTO T (Tag) VALUES ('$t')"}, [&](auto t, auto c) {
             auto rs = db->OpenRecordset("SELECT Tag, D FROM T WHERE Tag = '" + t + "'");
             rs->Edit();
             rs->Fields("D").SetValue(Variant(c.literal));
             rs->Update();
         }},
    };
    auto fill = [](std::string s, const std::string& key, const std::string& value) {
        for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), value);
        return s;
    };
    int n = 0;
    for (const auto& p : paths) {
        for (const auto& c : cases) {
            std::string tag = "r" + std::to_string(++n);
            SCOPED_TRACE(std::string(p.name) + " " + c.literal);
            ASSERT_EQ(errorOf([&] {
                          for (const auto& s : p.statements) db->Execute(fill(fill(s, "$t", tag), "$v", c.literal));
                          if (p.then) p.then(tag, c);
                      }), c.stored ? 0 : err::ValueOutOfRange);
            if (!c.stored) { EXPECT_TRUE(raw(tag) == "<null>" || raw(tag) == "<no row>") << raw(tag); continue; }
            EXPECT_EQ(raw(tag), c.stored);
            EXPECT_EQ(db->OpenRecordset("SELECT D FROM T WHERE Tag = '" + tag + "'")->Fields("D").Value(),
                      Variant::dbl(std::stod(c.stored)));
        }
    }
}

TEST_F(DecimalField, ValuesFromAnotherDecimalAreRoundedToTheTargetsScale) {
    db->Execute("CREATE TABLE Narrow (Tag Text(20), N Numeric(4,1))");
    db->Execute("INSERT INTO T (Tag, D) VALUES ('a', 12.345), ('b', -0.05), ('c', 999.95)");
    db->Execute("INSERT INTO Narrow (Tag, N) SELECT Tag, D FROM T WHERE Tag <> 'c'");
    EXPECT_EQ(rawQuery(path, "SELECT Tag, N FROM Narrow ORDER BY Tag"), (Rows{{"a", "12.3"}, {"b", "-0.1"}}));
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO Narrow (Tag, N) SELECT Tag, D FROM T WHERE Tag = 'c'"); }),
              err::ValueOutOfRange);
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Narrow SET N = N * 100"); }), err::ValueOutOfRange);
    EXPECT_EQ(rawQuery(path, "SELECT N FROM Narrow ORDER BY Tag"), (Rows{{"12.3"}, {"-0.1"}}));
}

// Another program writing to the file meets the same limit on whole digits.
TEST_F(DecimalField, TheFileItselfRefusesTooManyWholeDigits) {
    rawExec(path, "INSERT INTO T (Tag, D) VALUES ('max', -999999999.999)");
    EXPECT_THROW(rawExec(path, "INSERT INTO T (Tag, D) VALUES ('over', 1e9)"), std::runtime_error);
    EXPECT_EQ(rawQuery(path, "SELECT Tag FROM T"), (Rows{{"max"}}));
}

TEST(DecimalValue, EveryKindOfValueRoundsToTheScale) {
    struct Case { Variant in; int precision, scale; const char* text; int error = 0; };  // text nullptr: refused
    const int range = err::ValueOutOfRange, conversion = err::ConversionError;
    const std::vector<Case> cases = {
        {Variant::currencyScaled(12345), 5, 3, "1.235"},  // 1.2345 exactly, not its binary neighbour
        {Variant::single(0.1f), 12, 9, "0.1"},  // a Single's own digits, not those of the Double it widens to
        {Variant::longInt(-42), 4, 2, "-42"}, {Variant::longInt(100), 4, 2, nullptr, range},
        {Variant::boolean(true), 1, 0, "-1"}, {Variant::text(" 2.5e-2 "), 3, 2, "0.03"},
        {Variant::text("1e400"), 28, 0, nullptr, range}, {Variant::text("12abc"), 5, 0, nullptr, conversion},
        {Variant::guid("{12345678-ABCD-1234-1234-123456789ABC}"), 5, 0, nullptr, conversion},
        {Variant::dbl(0.5), 1, 0, "1"}, {Variant::dbl(-0.5), 1, 0, "-1"}, {Variant::dbl(9.5), 1, 0, nullptr, range},
        {Variant::dbl(-9.994), 3, 2, "-9.99"}, {Variant::dbl(9.995), 3, 2, nullptr, range},
        {Variant::dbl(1e-30), 28, 28, "0"}, {Variant::dbl(0.123456789), 28, 28, "0.123456789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.toText() + " as Decimal(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")");
        Variant out;
        EXPECT_EQ(errorOf([&] { out = c.in.toDecimal(c.precision, c.scale); }), c.error);
        if (!c.text) continue;
        EXPECT_EQ(out.kind(), Variant::Kind::Double);
        EXPECT_EQ(out.toText(), c.text);
    }
    EXPECT_TRUE(Variant().toDecimal(5, 2).isNull());
}

// The value kept is the double nearest the decimal, whether it has few digits
// (computed) or many (read back from text).
TEST(DecimalValue, KeepsTheNearestDouble) {
    std::mt19937_64 rnd(7);
    for (int i = 0; i < 20000; ++i) {
        const int scale = static_cast<int>(rnd() % 12), digits = 1 + static_cast<int>(rnd() % 18);
        std::string text = std::to_string(rnd() % 1000000000000000000ULL).substr(0, static_cast<size_t>(digits));
        if (scale > 0) text = std::string(static_cast<size_t>(std::max(0, scale + 1 - digits)), '0') + text,
                       text.insert(text.size() - static_cast<size_t>(scale), ".");
        if (rnd() % 2) text = "-" + text;
        double nearest = 0;
        std::from_chars(text.data(), text.data() + text.size(), nearest);
        const Variant out = Variant::text(text).toDecimal(28, scale);
        ASSERT_EQ(out.realValue(), nearest) << text;
    }
}

TEST_F(DecimalDefinition, PrecisionAndScaleSurviveReopeningTheFile) {
    struct Case { std::vector<std::string> ddl; int precision, scale; };  // ddl makes field F of table X
    const std::vector<Case> cases = {
        {{"CREATE TABLE X (F Decimal(12,3))"}, 12, 3},   {{"CREATE TABLE X (F DECIMAL(7))"}, 7, 0},
        {{"CREATE TABLE X (F Numeric(10, 2))"}, 10, 2},  {{"CREATE TABLE X (F Dec)"}, 18, 0},
        {{"CREATE TABLE X (F Decimal(28,28))"}, 28, 28}, {{"CREATE TABLE X (F Decimal(1))"}, 1, 0},
        {{"CREATE TABLE X (ID Long)", "ALTER TABLE X ADD COLUMN F Decimal(6,2)"}, 6, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ddl.back());
        for (const auto& statement : c.ddl) db->Execute(statement);
        reopen();
        Field& f = db->TableDefs()["X"].Fields()["F"];
        EXPECT_EQ(f.Type(), dbDecimal);
        EXPECT_EQ(digits(f), std::pair(c.precision, c.scale));
        // ... and still govern what is written.
        addRow(*db->OpenRecordset("X"), {{"F", Variant::dbl(0.55)}});
        EXPECT_EQ(db->OpenRecordset("X")->Fields("F").Value(), Variant::dbl(c.scale >= 2 ? 0.55 : c.scale == 1 ? 0.6 : 1));
        db->Execute("DROP TABLE X");
    }
}

TEST_F(DecimalDefinition, ObjectModelFieldsKeepTheirDigits) {
    auto td = db->CreateTableDef("X");
    auto f = td->CreateField("F", dbDecimal);
    EXPECT_EQ(digits(*f), std::pair(18, 0));
    f->SetPrecision(9);
    f->SetScale(4);
    EXPECT_EQ(errorOf([&] { f->SetScale(10); }), err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { f->SetPrecision(29); }), err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { f->SetPrecision(3); }), err::InvalidArgument);  // below the scale
    td->Fields().Append(f);
    db->TableDefs().Append(td);
    auto g = td->CreateField("G", dbDecimal);
    g->SetPrecision(5);
    g->SetScale(1);
    td->Fields().Append(g);  // added to the stored table
    reopen();
    EXPECT_EQ(digits(db->TableDefs()["X"].Fields()["F"]), std::pair(9, 4));
    EXPECT_EQ(digits(db->TableDefs()["X"].Fields()["G"]), std::pair(5, 1));
    db->Execute("INSERT INTO X (F, G) VALUES (12345.123456, 1234.56)");
    EXPECT_EQ(rawQuery(path, "SELECT F, G FROM X"), (Rows{{"12345.1235", "1234.6"}}));
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO X (F) VALUES (123456)"); }), err::ValueOutOfRange);
}

TEST_F(DecimalDefinition, SelectIntoKeepsTheDigitsOfItsSourceWhenKnown) {
    for (const char* s : {"CREATE TABLE T (ID Long, D Decimal(12,3))", "CREATE TABLE S (ID Long, E Decimal(5,2))",
                          "INSERT INTO T (ID, D) VALUES (1, 2.5)", "INSERT INTO S (ID, E) VALUES (1, 1.25)"})
        db->Execute(s);
    db->CreateQueryDef("Q", "SELECT D FROM T");
    struct Case { const char* statement; int precision, scale; };  // the statement makes table C with field F
    const std::vector<Case> cases = {
        {"SELECT D AS F INTO C FROM T", 12, 3},
        {"SELECT T.D AS F, S.E INTO C FROM T INNER JOIN S ON T.ID = S.ID", 12, 3},
        {"SELECT D AS F INTO C FROM Q", 12, 3}, {"SELECT F INTO C FROM (SELECT E AS F FROM S)", 5, 2},
        {"SELECT D * 2 AS F INTO C FROM T", 0, 0},  // computed: not known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        db->Execute(c.statement);
        Field& f = db->TableDefs()["C"].Fields()["F"];
        EXPECT_EQ(digits(f), std::pair(c.precision, c.scale));
        db->Execute("DROP TABLE C");
    }
    db->Execute("SELECT D INTO C FROM T");
    db->Execute("INSERT INTO C (D) VALUES (1.23456)");
    EXPECT_EQ(rawQuery(path, "SELECT D FROM C ORDER BY D"), (Rows{{"1.235"}, {"2.5"}}));
}

TEST_F(DecimalDefinition, FieldsOfOlderAndOtherProgramsFilesKeepTheirDigits) {
    db->Close();
    // A Decimal field as files made before this kept it: plain DECIMAL, no digits.
    rawExec(path, R"(CREATE TABLE "Old" ("D" DECIMAL CONSTRAINT "type|D" CHECK (typeof("D") IN ('real','integer','null'))
        CONSTRAINT "range|D" CHECK ("D" IS NULL OR "D" BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308));
        INSERT INTO MSysColumns (TableName, FieldName, Type, Size, Required, AllowZeroLength, AutoNumber)
        VALUES ('Old', 'D', 20, 17, 0, 1, 0); INSERT INTO "Old" (D) VALUES (-1110.55446);)");
    Rows schemaBefore = rawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name");
    db = DBEngine::OpenDatabase(path);
    Field& f = db->TableDefs()["Old"].Fields()["D"];
    EXPECT_EQ(f.Type(), dbDecimal);
    EXPECT_EQ(f.Precision(), 0);
    db->Execute("INSERT INTO Old (D) VALUES (2.71828182)");
    db->Execute("UPDATE Old SET D = D * 10 WHERE D > 0");
    addRow(*db->OpenRecordset("Old"), {{"D", Variant::dbl(0.0005)}});
    EXPECT_EQ(rawQuery(path, "SELECT D FROM Old ORDER BY rowid"), (Rows{{"-1110.55446"}, {"27.1828182"}, {"0.0005"}}));
    db->Close();
    EXPECT_EQ(rawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name"), schemaBefore);

    // Another program's DECIMAL(5,2) gets those digits too; with no range check of ours there, the engine refuses.
    path = dir.file("foreign.db");
    rawExec(path, "CREATE TABLE Prices (Item TEXT, Amount DECIMAL(5,2)); INSERT INTO Prices VALUES ('a', 1.005)");
    db = DBEngine::OpenDatabase(path);
    EXPECT_EQ(digits(db->TableDefs()["Prices"].Fields()["Amount"]), std::pair(5, 2));
    db->Execute("INSERT INTO Prices (Item, Amount) VALUES ('b', 2.345)");
    auto rs = db->OpenRecordset("Prices");
    addRow(*rs, {{"Item", "c"}, {"Amount", Variant::dbl(-123.456)}});
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO Prices (Item, Amount) VALUES ('d', 1000)"); }), err::ValueOutOfRange);
    EXPECT_EQ(errorOf([&] { addRow(*rs, {{"Item", "e"}, {"Amount", Variant::dbl(999.995)}}); }), err::ValueOutOfRange);
    rs->CancelUpdate();
    EXPECT_EQ(rawQuery(path, "SELECT Item, Amount FROM Prices ORDER BY Item"),
              (Rows{{"a", "1.005"}, {"b", "2.35"}, {"c", "-123.46"}}));
}

}  // namespace
