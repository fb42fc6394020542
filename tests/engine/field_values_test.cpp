// Every field type refuses a value it cannot hold, through statements and
// recordsets alike, and a file that holds one anyway still reads.
#include <gtest/gtest.h>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

class FieldValues : public NewDatabase {
protected:
    void SetUp() override {
        db->Execute("CREATE TABLE T (ID Counter, G GUID, C Currency, S Single, D Double, B YesNo, I Short, L Long, "
                    "N Text(5))");
        db->Execute("INSERT INTO T (N) VALUES ('row')");
    }
};

// A literal as a statement writes it, the value as a recordset gets it, and the error (0: stored).
struct ValueCase { const char* field; const char* literal; Variant value; int error; };

TEST_F(FieldValues, EveryTypeRefusesWhatItCannotHold) {
    const std::vector<ValueCase> cases = {
        {"G", "'not-a-guid'", Variant::text("not-a-guid"), err::ConversionError},
        {"G", "12345", Variant::longInt(12345), err::ConversionError},
        {"G", "'{12345678-ABCD-1234-1234-123456789ABC}'", Variant::text("{12345678-abcd-1234-1234-123456789abc}"), 0},
        {"C", "1E20", Variant::dbl(1e20), err::ValueOutOfRange},
        {"C", "922337203685477", Variant::dbl(922337203685477.0), 0},
        {"S", "1E300", Variant::dbl(1e300), err::ValueOutOfRange}, {"S", "3E38", Variant::dbl(3e38), 0},
        {"D", "1E308 * 10", Variant::dbl(1e308 * 10), err::ValueOutOfRange},
        {"I", "-32768", Variant::longInt(-32768), 0}, {"I", "32768", Variant::longInt(32768), err::ValueOutOfRange},
        {"L", "2147483648", Variant::dbl(2147483648.0), err::ValueOutOfRange},
        {"L", "-2147483648", Variant::dbl(-2147483648.0), 0},
    };
    auto rs = db->OpenRecordset("T");
    for (const auto& c : cases) {
        std::string before = rawQuery(path, std::string("SELECT quote(") + c.field + ") FROM T").at(0).at(0);
        int bySql = errorOf([&] { db->Execute(std::string("UPDATE T SET ") + c.field + " = " + c.literal); });
        std::string afterSql = rawQuery(path, std::string("SELECT quote(") + c.field + ") FROM T").at(0).at(0);
        int byRecordset = errorOf([&] {
            rs->MoveFirst();
            rs->Edit();
            rs->Fields(c.field).SetValue(c.value);
            rs->Update();
        });
        if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
        EXPECT_EQ(bySql, c.error) << c.field << " = " << c.literal;
        // A recordset may refuse while converting (before the file sees the value): same number.
        EXPECT_EQ(byRecordset, c.error) << c.field << " = " << c.literal << " through a recordset";
        if (c.error) {
            EXPECT_EQ(afterSql, before) << c.field << " changed by a refused statement";
        }
    }
    // An AutoNumber cannot be pushed past the Long range either.
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE T SET ID = 2147483648"); }), err::ValueOutOfRange);
}

TEST_F(FieldValues, YesNoTakesAnyNonZeroNumberAsYes) {
    db->Execute("UPDATE T SET B = 5");
    db->Execute("INSERT INTO T (B, N) VALUES (-7, 'two')");
    db->Execute("INSERT INTO T (B, N) VALUES (0, 'three')");
    db->Execute("INSERT INTO T (N, B) SELECT 'four', Len(N) + 3 FROM T WHERE N = 'row'");
    EXPECT_EQ(rawQuery(path, "SELECT B FROM T ORDER BY ID"),
              (std::vector<std::vector<std::string>>{{"-1"}, {"-1"}, {"0"}, {"-1"}}));
    const std::vector<std::string> yes{"row", "two", "four"};
    EXPECT_EQ(column(*db->OpenRecordset("SELECT N FROM T WHERE B = True"), "N"), yes);
    EXPECT_EQ(column(*db->OpenRecordset("SELECT N FROM T WHERE B"), "N"), yes);
}

// Written by another program that ignored the table's rules: each bad value
// reads as an error in its own cell; the row and the table still read.
TEST_F(FieldValues, BadValuesFromElsewhereReadAsErrorsInTheirCellOnly) {
    db->Close();
    rawExec(path, "PRAGMA ignore_check_constraints = 1;"
                  "UPDATE T SET G = 'not-a-guid', C = 1e20, S = 1e300, B = 5;"
                  "INSERT INTO T (N, C) VALUES ('good', 2.5)");
    db = DBEngine::OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT * FROM T ORDER BY ID");
    ASSERT_EQ(rs->RecordCount(), 2);
    rs->MoveFirst();
    for (const char* bad : {"G", "C", "S"}) EXPECT_EQ(rs->Fields(bad).Value().toText(), "#Error") << bad;
    EXPECT_EQ(rs->Fields("N").Value().toText(), "row");
    EXPECT_EQ(rs->Fields("B").Value().toText(), "True");
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("C").Value().toText(), "2.5");
}

}  // namespace
