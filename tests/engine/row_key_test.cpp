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

}  // namespace
