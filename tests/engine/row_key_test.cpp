// A user field may be called rowid, oid or _rowid_: it is an ordinary field,
// and the engine still finds its rows by their own key.
#include <gtest/gtest.h>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

TEST(RowKey, AFieldNamedLikeTheRowKeyIsAnOrdinaryField) {
    for (std::string key : {"rowid", "oid", "_rowid_"}) {
        SCOPED_TRACE(key);
        TempDir dir;
        auto db = DBEngine::CreateDatabase(dir.file("k.db"));
        // The field's values repeat and differ from the row numbers.
        db->Execute("CREATE TABLE T ([" + key + "] Long, Name Text(10))");
        db->Execute("CREATE TABLE Pick (Name Text(10))");
        for (auto [k, name] : std::vector<std::pair<int, std::string>>{{7, "a"}, {7, "b"}, {1, "c"}})
            db->Execute("INSERT INTO T VALUES (" + std::to_string(k) + ", '" + name + "')");
        db->Execute("INSERT INTO Pick VALUES ('b')");

        EXPECT_EQ(db->OpenRecordset("SELECT * FROM T")->RecordCount(), 3);
        EXPECT_EQ(column(*db->OpenRecordset("SELECT Name FROM T WHERE [" + key + "] = 7"), "Name"),
                  (std::vector<std::string>{"a", "b"}));

        // Edits through a table recordset and a dynaset reach the row under the cursor.
        auto rs = db->OpenRecordset("T");
        rs->MoveLast();
        rs->Edit();
        rs->Fields("Name").SetValue(Variant::text("c2"));
        rs->Update();
        rs->FindFirst("[" + key + "] = 7 And Name = 'b'");
        ASSERT_FALSE(rs->NoMatch());
        Bookmark b = rs->Bookmark();
        rs->MoveFirst();
        rs->SetBookmark(b);
        EXPECT_EQ(rs->Fields("Name").Value().toText(), "b");
        rs->Delete();
        EXPECT_EQ(column(*db->OpenRecordset("SELECT Name FROM T"), "Name"), (std::vector<std::string>{"a", "c2"}));

        // A joined delete removes the one row that matches.
        db->Execute("INSERT INTO T VALUES (7, 'b')");
        db->Execute("DELETE T.* FROM T INNER JOIN Pick ON T.Name = Pick.Name");
        EXPECT_EQ(db->RecordsAffected(), 1);
        EXPECT_EQ(column(*db->OpenRecordset("SELECT Name FROM T ORDER BY Name"), "Name"),
                  (std::vector<std::string>{"a", "c2"}));
    }
}

// A file of another program whose fields take every name of the row key opens
// read-only with its rows whole.
TEST(RowKey, ATableThatHidesEveryNameOfTheKeyIsReadOnly) {
    TempDir dir;
    std::string path = dir.file("other.db");
    rawExec(path, "CREATE TABLE T (rowid INTEGER, oid TEXT, _rowid_ REAL, Name TEXT);"
                  "INSERT INTO T VALUES (5, 'x', 1.5, 'first'); INSERT INTO T VALUES (5, 'y', 2.5, 'second')");
    auto db = DBEngine::OpenDatabase(path);
    auto rs = db->OpenRecordset("T");
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(column(*rs, "Name"), (std::vector<std::string>{"first", "second"}));
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(errorOf([&] { rs->AddNew(); }), err::ReadOnly);
    // Statements need no row key, except a delete through a join.
    db->Execute("UPDATE T SET Name = 'z' WHERE oid = 'y'");
    EXPECT_EQ(rawQuery(path, "SELECT Name FROM T ORDER BY oid"), (std::vector<std::vector<std::string>>{{"first"}, {"z"}}));
    db->Execute("CREATE TABLE Pick (Name Text(10))");
    EXPECT_EQ(errorOf([&] { db->Execute("DELETE T.* FROM T INNER JOIN Pick ON T.Name = Pick.Name"); }), err::ReadOnly);
}

// Tables of other programs keyed by text or by several fields have no row ids:
// they are read and written through their primary key.
TEST(RowKey, TablesKeyedByTextOrSeveralFieldsAreWrittenThroughTheirKey) {
    TempDir dir;
    std::string path = dir.file("other.db");
    rawExec(path, "CREATE TABLE Coded (Code TEXT PRIMARY KEY, V TEXT) WITHOUT ROWID;"
                  "INSERT INTO Coded VALUES ('b', '2'), ('a', '1'), ('c', '3');"
                  "CREATE TABLE Pairs (A TEXT, B INTEGER, V TEXT, PRIMARY KEY (A, B)) WITHOUT ROWID;"
                  "INSERT INTO Pairs VALUES ('x', 2, 'x2'), ('x', 1, 'x1'), ('y', 1, 'y1');");
    auto db = DBEngine::OpenDatabase(path);
    auto other = DBEngine::OpenDatabase(path);

    auto coded = db->OpenRecordset("Coded");
    EXPECT_TRUE(coded->Updatable());
    EXPECT_EQ(column(*coded, "Code"), (std::vector<std::string>{"a", "b", "c"}));
    coded->FindFirst("V = '2'");
    ASSERT_FALSE(coded->NoMatch());
    Bookmark b = coded->Bookmark();
    editField(*coded, "Code", Variant::text("bb"));  // a new key: the record stays reachable
    editField(*coded, "V", Variant::text("22"));
    addRow(*coded, {{"Code", Variant::text("d")}, {"V", Variant::text("4")}});
    coded->SetBookmark(coded->LastModified());
    EXPECT_EQ(coded->Fields("V").Value().toText(), "4");
    coded->SetBookmark(b);
    EXPECT_EQ(coded->Fields("V").Value().toText(), "22");
    coded->MoveFirst();
    coded->Delete();
    EXPECT_EQ(rawQuery(path, "SELECT Code, V FROM Coded ORDER BY Code"), (Rows{{"bb", "22"}, {"c", "3"}, {"d", "4"}}));
    other->Execute("DELETE FROM Coded WHERE Code = 'c'");
    coded->FindFirst("Code = 'c'");
    EXPECT_EQ(errorOf([&] { coded->Delete(); }), 3167);

    auto pairs = db->OpenRecordset("Pairs");
    EXPECT_EQ(column(*pairs, "V"), (std::vector<std::string>{"x1", "x2", "y1"}));
    pairs->MoveFirst();
    pairs->MoveNext();
    editField(*pairs, "B", Variant::longInt(5));
    pairs->MoveNext();
    pairs->Delete();
    EXPECT_EQ(rawQuery(path, "SELECT A, B, V FROM Pairs ORDER BY A, B"), (Rows{{"x", "1", "x1"}, {"x", "5", "x2"}}));
    EXPECT_EQ(column(*db->OpenRecordset("Pairs"), "V"), (std::vector<std::string>{"x1", "x2"}));
}

}  // namespace
