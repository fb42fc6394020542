// Decimal fields keep their precision and scale: every write path rounds a value
// to the scale (halves away from zero) and refuses one whose whole part has too
// many digits (3349); the digits survive reopening the file, and a Decimal field
// of a file made before they were recorded keeps its values as given.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The ways a value reaches a field.
enum class Path { Insert, Update, InsertSelect, RecordsetAdd, RecordsetEditText };

const char* pathName(Path p) {
    switch (p) {
    case Path::Insert: return "INSERT";
    case Path::Update: return "UPDATE";
    case Path::InsertSelect: return "INSERT...SELECT";
    case Path::RecordsetAdd: return "AddNew";
    case Path::RecordsetEditText: return "Edit with text";
    }
    return "";
}

class DecimalField : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("d.db");
        db = DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE T (Tag Text(20), D Decimal(12,3))");
        db->Execute("CREATE TABLE Src (Tag Text(20), V Double)");
    }

    // Writes `literal` (or, for recordsets, `value`) to D of a new row tagged `tag`.
    int write(Path p, const std::string& tag, const std::string& literal, const Variant& value) {
        return errorOf([&] {
            switch (p) {
            case Path::Insert:
                db->Execute("INSERT INTO T (Tag, D) VALUES ('" + tag + "', " + literal + ")");
                break;
            case Path::Update:
                db->Execute("INSERT INTO T (Tag) VALUES ('" + tag + "')");
                db->Execute("UPDATE T SET D = " + literal + " WHERE Tag = '" + tag + "'");
                break;
            case Path::InsertSelect:
                db->Execute("INSERT INTO Src (Tag, V) VALUES ('" + tag + "', " + literal + ")");
                db->Execute("INSERT INTO T (Tag, D) SELECT Tag, V FROM Src WHERE Tag = '" + tag + "'");
                break;
            case Path::RecordsetAdd: {
                auto rs = db->OpenRecordset("T");
                addRow(*rs, {{"Tag", Variant(tag)}, {"D", value}});
                break;
            }
            case Path::RecordsetEditText: {
                db->Execute("INSERT INTO T (Tag) VALUES ('" + tag + "')");
                auto rs = db->OpenRecordset("SELECT Tag, D FROM T WHERE Tag = '" + tag + "'");
                rs->Edit();
                rs->Fields("D").SetValue(Variant(literal));
                rs->Update();
                break;
            }
            }
        });
    }

    // D of the row tagged `tag` as plain SQLite reads it ("<null>" for Null).
    std::string raw(const std::string& tag) {
        Rows r = rawQuery(path, "SELECT D FROM T WHERE Tag = '" + tag + "'");
        return r.empty() ? "<no row>" : r[0][0];
    }

    Variant read(const std::string& tag) {
        auto rs = db->OpenRecordset("SELECT D FROM T WHERE Tag = '" + tag + "'");
        return rs->Fields("D").Value();
    }

    TempDir dir;
    std::string path;
    std::shared_ptr<Database> db;
};

struct ValueCase {
    const char* literal;  // as a statement writes it, and as text typed into a grid
    double value;         // as a program gives it to a recordset
    const char* stored;   // as SQLite reads it back; nullptr when refused with 3349
};

TEST_F(DecimalField, EveryWritePathRoundsToTheScaleAndRefusesTooManyWholeDigits) {
    const std::vector<ValueCase> cases = {
        {"-1110.55446", -1110.55446, "-1110.554"},
        {"0.0005", 0.0005, "0.001"},        // half away from zero
        {"-0.0005", -0.0005, "-0.001"},
        {"1.0005", 1.0005, "1.001"},         // rounded as written, not as its nearest binary value
        {"2.4994999", 2.4994999, "2.499"},
        {"-0.0004", -0.0004, "0"},
        {"123456789.5", 123456789.5, "123456789.5"},        // nine whole digits fit 12 - 3
        {"999999999.9994", 999999999.9994, "999999999.999"},
        {"999999999.9995", 999999999.9995, nullptr},        // rounds up to ten whole digits
        {"1234567890.5", 1234567890.5, nullptr},
        {"-1234567890", -1234567890.0, nullptr},
    };
    const Path paths[] = {Path::Insert, Path::Update, Path::InsertSelect, Path::RecordsetAdd,
                          Path::RecordsetEditText};
    int n = 0;
    for (Path p : paths) {
        for (const auto& c : cases) {
            std::string tag = "r" + std::to_string(++n);
            SCOPED_TRACE(std::string(pathName(p)) + " " + c.literal);
            int error = write(p, tag, c.literal, Variant::dbl(c.value));
            if (!c.stored) {
                EXPECT_EQ(error, err::ValueOutOfRange);
                std::string left = raw(tag);
                EXPECT_TRUE(left == "<null>" || left == "<no row>") << left;
                continue;
            }
            ASSERT_EQ(error, 0);
            EXPECT_EQ(raw(tag), c.stored);
            EXPECT_EQ(read(tag), Variant::dbl(std::strtod(c.stored, nullptr)));
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
    struct Case {
        Variant in;
        int precision, scale;
        const char* text;  // of the Double it gives; nullptr when refused
        int error = 0;
    };
    const std::vector<Case> cases = {
        {Variant::currencyScaled(12345), 5, 3, "1.235"},  // 1.2345 exactly, not its binary neighbour
        {Variant::longInt(-42), 4, 2, "-42"},
        {Variant::longInt(100), 4, 2, nullptr, err::ValueOutOfRange},
        {Variant::boolean(true), 1, 0, "-1"},
        {Variant::single(0.1f), 12, 9, "0.1"},  // a Single's own digits, not those of the Double it widens to
        {Variant::text(" 2.5e-2 "), 3, 2, "0.03"},
        {Variant::text("1e400"), 28, 0, nullptr, err::ValueOutOfRange},
        {Variant::text("12abc"), 5, 0, nullptr, err::ConversionError},
        {Variant::guid("{12345678-ABCD-1234-1234-123456789ABC}"), 5, 0, nullptr, err::ConversionError},
        {Variant::dbl(0.5), 1, 0, "1"},
        {Variant::dbl(-0.5), 1, 0, "-1"},
        {Variant::dbl(9.5), 1, 0, nullptr, err::ValueOutOfRange},
        {Variant::dbl(-9.994), 3, 2, "-9.99"},
        {Variant::dbl(9.995), 3, 2, nullptr, err::ValueOutOfRange},
        {Variant::dbl(1e-30), 28, 28, "0"},
        {Variant::dbl(0.123456789), 28, 28, "0.123456789"},
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

// ---------------------------------------------------------------- definitions

struct DefinitionCase {
    const char* ddl;     // a field F of table X
    int precision, scale;
};

TEST(DecimalDefinition, PrecisionAndScaleSurviveReopeningTheFile) {
    const std::vector<DefinitionCase> cases = {
        {"CREATE TABLE X (F Decimal(12,3))", 12, 3},
        {"CREATE TABLE X (F DECIMAL(7))", 7, 0},
        {"CREATE TABLE X (F Numeric(10, 2))", 10, 2},
        {"CREATE TABLE X (F Dec)", 18, 0},
        {"CREATE TABLE X (F Decimal(28,28))", 28, 28},
        {"CREATE TABLE X (F Decimal(1))", 1, 0},
        {"CREATE TABLE X (ID Long); ALTER TABLE X ADD COLUMN F Decimal(6,2)", 6, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ddl);
        TempDir dir;
        std::string path = dir.file("def.db");
        {
            auto db = DBEngine::CreateDatabase(path);
            std::string ddl = c.ddl;
            for (size_t start = 0; start < ddl.size();) {
                size_t end = ddl.find(';', start);
                if (end == std::string::npos) end = ddl.size();
                db->Execute(ddl.substr(start, end - start));
                start = end + 1;
            }
            db->Close();
        }
        auto db = DBEngine::OpenDatabase(path);
        Field& f = db->TableDefs()["X"].Fields()["F"];
        EXPECT_EQ(f.Type(), dbDecimal);
        EXPECT_EQ(f.Precision(), c.precision);
        EXPECT_EQ(f.Scale(), c.scale);
        // ... and still govern what is written.
        auto rs = db->OpenRecordset("X");
        rs->AddNew();
        rs->Fields("F").SetValue(Variant::dbl(0.55));
        rs->Update();
        rs->MoveFirst();
        double expected = c.scale >= 2 ? 0.55 : c.scale == 1 ? 0.6 : 1;
        EXPECT_EQ(rs->Fields("F").Value(), Variant::dbl(expected));
    }
}

TEST(DecimalDefinition, ObjectModelFieldsKeepTheirDigits) {
    TempDir dir;
    std::string path = dir.file("om.db");
    {
        auto db = DBEngine::CreateDatabase(path);
        auto td = db->CreateTableDef("X");
        auto f = td->CreateField("F", dbDecimal);
        EXPECT_EQ(f->Precision(), 18);
        EXPECT_EQ(f->Scale(), 0);
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
        db->Close();
    }
    auto db = DBEngine::OpenDatabase(path);
    TableDef& td = db->TableDefs()["X"];
    EXPECT_EQ(td.Fields()["F"].Precision(), 9);
    EXPECT_EQ(td.Fields()["F"].Scale(), 4);
    EXPECT_EQ(td.Fields()["G"].Precision(), 5);
    EXPECT_EQ(td.Fields()["G"].Scale(), 1);
    db->Execute("INSERT INTO X (F, G) VALUES (12345.123456, 1234.56)");
    EXPECT_EQ(rawQuery(path, "SELECT F, G FROM X"), (Rows{{"12345.1235", "1234.6"}}));
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO X (F) VALUES (123456)"); }), err::ValueOutOfRange);
}

TEST(DecimalDefinition, SelectIntoKeepsTheDigitsOfItsSourceWhenKnown) {
    TempDir dir;
    std::string path = dir.file("into.db");
    auto db = DBEngine::CreateDatabase(path);
    db->Execute("CREATE TABLE T (ID Long, D Decimal(12,3))");
    db->Execute("CREATE TABLE S (ID Long, E Decimal(5,2))");
    db->Execute("INSERT INTO T (ID, D) VALUES (1, 2.5)");
    db->Execute("INSERT INTO S (ID, E) VALUES (1, 1.25)");
    db->CreateQueryDef("Q", "SELECT D FROM T");
    struct Case {
        const char* statement;  // makes table C with field F
        int precision, scale;
    };
    const std::vector<Case> cases = {
        {"SELECT D AS F INTO C FROM T", 12, 3},
        {"SELECT T.D AS F, S.E INTO C FROM T INNER JOIN S ON T.ID = S.ID", 12, 3},
        {"SELECT D AS F INTO C FROM Q", 12, 3},
        {"SELECT F INTO C FROM (SELECT E AS F FROM S)", 5, 2},
        {"SELECT D * 2 AS F INTO C FROM T", 0, 0},  // computed: not known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        db->Execute(c.statement);
        Field& f = db->TableDefs()["C"].Fields()["F"];
        EXPECT_EQ(f.Precision(), c.precision);
        EXPECT_EQ(f.Scale(), c.scale);
        db->Execute("DROP TABLE C");
    }
    db->Execute("SELECT D INTO C FROM T");
    db->Execute("INSERT INTO C (D) VALUES (1.23456)");
    EXPECT_EQ(rawQuery(path, "SELECT D FROM C ORDER BY D"), (Rows{{"1.235"}, {"2.5"}}));
}

// A Decimal field as files made before this kept it: plain DECIMAL, no digits.
constexpr const char* kOlderTable =
    "CREATE TABLE \"Old\" (\"D\" DECIMAL CONSTRAINT \"type|D\" CHECK (typeof(\"D\") IN ('real','integer','null')) "
    "CONSTRAINT \"range|D\" CHECK (\"D\" IS NULL OR \"D\" BETWEEN -1.7976931348623157e308 AND "
    "1.7976931348623157e308));"
    "INSERT INTO MSysColumns (TableName, FieldName, Type, Size, Required, AllowZeroLength, AutoNumber) "
    "VALUES ('Old', 'D', 20, 17, 0, 1, 0);"
    "INSERT INTO \"Old\" (D) VALUES (-1110.55446);";

TEST(DecimalDefinition, AFieldOfAnOlderFileKeepsItsDigits) {
    TempDir dir;
    std::string path = dir.file("old.db");
    DBEngine::CreateDatabase(path)->Close();
    rawExec(path, kOlderTable);
    Rows schemaBefore = rawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name");

    auto db = DBEngine::OpenDatabase(path);
    Field& f = db->TableDefs()["Old"].Fields()["D"];
    EXPECT_EQ(f.Type(), dbDecimal);
    EXPECT_EQ(f.Precision(), 0);
    db->Execute("INSERT INTO Old (D) VALUES (2.71828182)");
    db->Execute("UPDATE Old SET D = D * 10 WHERE D > 0");
    auto rs = db->OpenRecordset("Old");
    addRow(*rs, {{"D", Variant::dbl(0.0005)}});
    EXPECT_EQ(rawQuery(path, "SELECT D FROM Old ORDER BY rowid"),
              (Rows{{"-1110.55446"}, {"27.1828182"}, {"0.0005"}}));
    rs.reset();
    db->Close();
    EXPECT_EQ(rawQuery(path, "SELECT sql FROM sqlite_master ORDER BY name"), schemaBefore);
}

// A file made by another program that declares DECIMAL(5,2) gets those digits
// too; its table has no range check of ours, so the engine alone refuses.
TEST(DecimalDefinition, ADeclaredDecimalOfAnotherProgramsFileIsKeptToo) {
    TempDir dir;
    std::string path = dir.file("foreign.db");
    rawExec(path, "CREATE TABLE Prices (Item TEXT, Amount DECIMAL(5,2)); INSERT INTO Prices VALUES ('a', 1.005)");
    auto db = DBEngine::OpenDatabase(path);
    Field& f = db->TableDefs()["Prices"].Fields()["Amount"];
    EXPECT_EQ(f.Precision(), 5);
    EXPECT_EQ(f.Scale(), 2);
    db->Execute("INSERT INTO Prices (Item, Amount) VALUES ('b', 2.345)");
    auto rs = db->OpenRecordset("Prices");
    addRow(*rs, {{"Item", Variant("c")}, {"Amount", Variant::dbl(-123.456)}});
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO Prices (Item, Amount) VALUES ('d', 1000)"); }),
              err::ValueOutOfRange);
    EXPECT_EQ(errorOf([&] { addRow(*rs, {{"Item", Variant("e")}, {"Amount", Variant::dbl(999.995)}}); }),
              err::ValueOutOfRange);
    rs->CancelUpdate();
    EXPECT_EQ(rawQuery(path, "SELECT Item, Amount FROM Prices ORDER BY Item"),
              (Rows{{"a", "1.005"}, {"b", "2.35"}, {"c", "-123.46"}}));
}

}  // namespace
