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

TEST_F(FieldValues, EveryTypeRefusesWhatItCannotHold) {
    auto rs = db->OpenRecordset("T");
    for (const auto& line : readCases(LEDGERLY_TEST_DATA "/field_values.txt", "value")) {
        const std::string field = line.fields[0], literal = line.fields[1];
        const int error = line.fields[3] == "stored" ? 0 : std::stoi(line.fields[3]);
        std::string before = rawQuery(path, std::string("SELECT quote(") + field + ") FROM T").at(0).at(0);
        int bySql = errorOf([&] { db->Execute(std::string("UPDATE T SET ") + field + " = " + literal); });
        std::string afterSql = rawQuery(path, std::string("SELECT quote(") + field + ") FROM T").at(0).at(0);
        int byRecordset = errorOf([&] {
            rs->MoveFirst();
            rs->Edit();
            rs->Fields(field).SetValue(variantOf(line.fields[2]));
            rs->Update();
        });
        if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
        EXPECT_EQ(bySql, error) << field << " = " << literal;
        // A recordset may refuse while converting (before the file sees the value): same number.
        EXPECT_EQ(byRecordset, error) << field << " = " << literal << " through a recordset";
        if (error) {
            EXPECT_EQ(afterSql, before) << field << " changed by a refused statement";
        } else {
            // What was stored reads back as the value written.
            auto fresh = db->OpenRecordset("T");
            std::string read;
            EXPECT_EQ(errorOf([&] { read = fresh->Fields(field).Value().toText(); }), 0) << field << " = " << literal;
            EXPECT_EQ(read, variantOf(line.fields[2]).toText()) << field << " = " << literal;
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
