// Edge cases of the engine: a recordset emptied from its end, bookmarks kept
// across changes of order, records another connection deleted, the limits of
// Integer fields, literal % and _ in Like patterns, comparisons with Null,
// primary keys made every way, the depth of nested transactions, and a writer
// killed in the middle of a statement.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

// Values of the first column of a statement, sorted.
Strings sortedColumn(Database& db, const std::string& sqlText) {
    auto rs = db.OpenRecordset(sqlText);
    Strings out;
    if (rs->RecordCount() > 0)
        for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext()) out.push_back(rs->Fields(0).Value().toText());
    std::sort(out.begin(), out.end());
    return out;
}

// ------------------------------------------------------ emptying from the end

TEST(Emptying, DeletingBackwardsFromTheLastLeavesNoRecordAtEitherEnd) {
    for (const char* source : {"T", "SELECT * FROM T WHERE N > 0"}) {
        SCOPED_TRACE(source);
        TempDir dir;
        std::string path = dir.file("empty.db");
        auto db = DBEngine::CreateDatabase(path);
        addTable(*db, "T", {{"N", dbLong}});
        const int rows = 70;  // more than one page of the recordset's cache
        db->BeginTrans();
        auto table = db->OpenRecordset("T");
        for (int n = 1; n <= rows; ++n) addRow(*table, {{"N", n}});
        db->CommitTrans();

        auto rs = db->OpenRecordset(source);
        rs->MoveLast();
        int deleted = 0;
        while (!rs->BOF() && deleted <= rows) {
            ASSERT_EQ(rs->Fields("N").Value().toText(), std::to_string(rows - deleted));
            rs->Delete();
            ++deleted;
            rs->MovePrevious();
        }
        EXPECT_EQ(deleted, rows);
        EXPECT_TRUE(rs->BOF());
        EXPECT_TRUE(rs->EOF_());
        EXPECT_EQ(rs->RecordCount(), 0);
        EXPECT_EQ(rs->AbsolutePosition(), -1);
        EXPECT_EQ(errorOf([&] { rs->MoveFirst(); }), err::NoCurrentRecord);
        EXPECT_EQ(errorOf([&] { rs->MoveNext(); }), err::NoCurrentRecord);

        for (const auto& fresh : {db->OpenRecordset(source), rs->OpenRecordset()}) {
            EXPECT_EQ(fresh->RecordCount(), 0);
            EXPECT_TRUE(fresh->BOF());
            EXPECT_TRUE(fresh->EOF_());
        }
        EXPECT_EQ(rawQuery(path, "SELECT count(*) FROM T"), (Rows{{"0"}}));
    }
}

// ------------------------------------------------- bookmarks and the order

class Ordered : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("ordered.db");
        db = DBEngine::CreateDatabase(path);
        addTable(*db, "People", {{"ID", dbLong, 0, dbAutoIncrField}, {"Name", dbText, 20}, {"Age", dbLong}},
                 {{"PrimaryKey", {"ID"}, true}, {"NameIdx", {"Name"}}, {"AgeDesc", {"-Age"}}});
        auto rs = db->OpenRecordset("People");
        for (const auto& [n, a] : people) addRow(*rs, {{"Name", n}, {"Age", a}});
    }
    // A bookmark of the record with that name.
    Bookmark markOf(Recordset& rs, const std::string& name) {
        rs.FindFirst("Name = '" + name + "'");
        EXPECT_FALSE(rs.NoMatch()) << name;
        return rs.Bookmark();
    }
    static std::string nameAt(Recordset& rs, const Bookmark& b) {
        rs.SetBookmark(b);
        return rs.Fields("Name").Value().toText();
    }
    const std::vector<std::pair<std::string, int>> people = {{"Eve", 30}, {"Bob", 25}, {"Dan", 41},
                                                             {"Ann", 35}, {"Cy", 28},  {"Fay", 19}};
    TempDir dir;
    std::string path;
    std::shared_ptr<Database> db;
};

TEST_F(Ordered, BookmarksFollowTheirRecordAcrossIndexesAndEditsOfTheIndexedField) {
    auto rs = db->OpenRecordset("People");
    std::map<std::string, Bookmark> marks;
    for (const auto& p : people) marks[p.first] = markOf(*rs, p.first);
    for (const char* index : {"NameIdx", "AgeDesc", "", "NameIdx"}) {
        rs->SetIndex(index);
        rs->MoveLast();
        for (const auto& [name, b] : marks) EXPECT_EQ(nameAt(*rs, b), name) << "index '" << index << "'";
    }

    // Under NameIdx, Bob becomes Zoe and moves to the end; under AgeDesc, Fay
    // becomes the oldest and moves to the front.
    struct Edit {
        const char* index;
        const char* who;
        const char* field;
        Variant value;
        long position;  // of the edited record afterwards
    };
    const std::vector<Edit> edits = {{"NameIdx", "Bob", "Name", "Zoe", 5}, {"AgeDesc", "Fay", "Age", 99, 0}};
    for (const auto& e : edits) {
        SCOPED_TRACE(std::string(e.index) + " " + e.who);
        rs->SetIndex(e.index);
        rs->SetBookmark(marks[e.who]);
        rs->Edit();
        rs->Fields(e.field).SetValue(e.value);
        rs->Update();
        Bookmark afterEdit = rs->Bookmark();
        rs->MoveFirst();
        rs->MoveNext();
        rs->SetBookmark(marks[e.who]);
        EXPECT_EQ(rs->Fields(e.field).Value().toText(), e.value.toText());
        EXPECT_EQ(rs->AbsolutePosition(), e.position);
        rs->MoveFirst();
        rs->SetBookmark(afterEdit);
        EXPECT_EQ(rs->Fields(e.field).Value().toText(), e.value.toText());
        for (const char* other : {"Ann", "Cy", "Dan", "Eve"}) EXPECT_EQ(nameAt(*rs, marks[other]), other);
    }
}

TEST_F(Ordered, BookmarksAfterARefreshLandOnTheirRecordOrAreRefusedWhenItIsGone) {
    auto rs = db->OpenRecordset("People");
    rs->RefreshIfChangedElsewhere();  // as a grid does before it first paints
    rs->SetIndex("NameIdx");
    Bookmark eve = markOf(*rs, "Eve"), bob = markOf(*rs, "Bob"), dan = markOf(*rs, "Dan");
    column(*rs, "Name");  // every row is read and kept now

    auto other = DBEngine::OpenDatabase(path);
    other->Execute("UPDATE People SET Name = 'Evelyn', Age = 31 WHERE Name = 'Eve'");
    other->Execute("DELETE FROM People WHERE Name = 'Bob'");
    EXPECT_TRUE(rs->RefreshIfChangedElsewhere());
    EXPECT_EQ(nameAt(*rs, eve), "Evelyn");
    EXPECT_EQ(rs->Fields("Age").Value().toText(), "31");
    // Gone elsewhere: the bookmark is refused, or its record reads as deleted.
    int gone = errorOf([&] {
        rs->SetBookmark(bob);
        rs->Fields("Name").Value();
    });
    EXPECT_TRUE(gone == err::BookmarkInvalid || gone == 3167) << gone;

    // Gone through this recordset, or with a rollback that reads the keys again.
    rs->SetBookmark(dan);
    rs->Delete();
    EXPECT_EQ(errorOf([&] { rs->SetBookmark(dan); }), err::BookmarkInvalid);
    db->BeginTrans();
    addRow(*rs, {{"Name", "Gus"}, {"Age", 50}});
    Bookmark gus = rs->LastModified();
    EXPECT_EQ(nameAt(*rs, gus), "Gus");
    db->Rollback();
    EXPECT_EQ(errorOf([&] { rs->SetBookmark(gus); }), err::BookmarkInvalid);
    EXPECT_EQ(nameAt(*rs, eve), "Evelyn");

    // A fresh recordset on the same source: the old bookmark finds the same
    // record or is refused, never another record.
    auto fresh = rs->OpenRecordset();
    int got = errorOf([&] { fresh->SetBookmark(eve); });
    if (got == 0) EXPECT_EQ(fresh->Fields("Name").Value().toText(), "Evelyn");
    else EXPECT_EQ(got, err::BookmarkInvalid);
}

// Rows read before the first look for changes elsewhere are not kept stale.
TEST_F(Ordered, TheFirstRefreshDropsRowsReadBeforeIt) {
    auto rs = db->OpenRecordset("People");
    Bookmark eve = markOf(*rs, "Eve");
    column(*rs, "Name");
    auto other = DBEngine::OpenDatabase(path);
    other->Execute("UPDATE People SET Name = 'Evelyn' WHERE Name = 'Eve'");
    EXPECT_TRUE(rs->RefreshIfChangedElsewhere());
    EXPECT_EQ(nameAt(*rs, eve), "Evelyn");
}

TEST_F(Ordered, BookmarkOfARolledBackRecordDoesNotFindTheNextNewOne) {
    // FAULT: the AutoNumber a rolled-back record took is given again, and the
    // old bookmark, which holds the row id, finds the new record.
    GTEST_SKIP() << "FAULT: after Rollback the bookmark of the undone record lands on the next record added";
    auto rs = db->OpenRecordset("People");
    db->BeginTrans();
    addRow(*rs, {{"Name", "Gus"}});
    Bookmark gus = rs->LastModified();
    db->Rollback();
    addRow(*rs, {{"Name", "Hal"}});
    int got = errorOf([&] { rs->SetBookmark(gus); });
    if (got == 0) EXPECT_EQ(rs->Fields("Name").Value().toText(), "Gus") << "the bookmark found another record";
    else EXPECT_EQ(got, err::BookmarkInvalid);
}

// ------------------------------------------------ records deleted elsewhere

TEST(DeletedElsewhere, DeletingOrUpdatingTheRecordAgainGives3167) {
    for (const char* source : {"T", "SELECT * FROM T"}) {
        SCOPED_TRACE(source);
        TempDir dir;
        std::string path = dir.file("gone.db");
        auto db = DBEngine::CreateDatabase(path);
        addTable(*db, "T", {{"Code", dbText, 10}});
        db->Execute("INSERT INTO T (Code) VALUES ('a')");
        db->Execute("INSERT INTO T (Code) VALUES ('b')");
        db->Execute("INSERT INTO T (Code) VALUES ('c')");
        auto other = DBEngine::OpenDatabase(path);

        auto rs = db->OpenRecordset(source);
        rs->MoveNext();
        ASSERT_EQ(rs->Fields("Code").Value().toText(), "b");  // its page is read now
        other->Execute("DELETE FROM T WHERE Code = 'b'");
        EXPECT_EQ(errorOf([&] { rs->Delete(); }), 3167);
        rs->MoveNext();
        ASSERT_EQ(rs->Fields("Code").Value().toText(), "c");

        rs->Edit();
        other->Execute("DELETE FROM T WHERE Code = 'c'");
        rs->Fields("Code").SetValue("z");
        EXPECT_EQ(errorOf([&] { rs->Update(); }), 3167);
        EXPECT_EQ(rawQuery(path, "SELECT Code FROM T"), (Rows{{"a"}}));
    }
}

TEST(DeletedElsewhere, ARecordAddedInItsPlaceIsNotDeletedInstead) {
    // FAULT: a recordset names its rows by SQLite row id only; a table without
    // an AutoNumber gives the id of a deleted last row to the next new row.
    GTEST_SKIP() << "FAULT: Delete removes the other connection's new row that took the deleted row's id";
    TempDir dir;
    std::string path = dir.file("reuse.db");
    auto db = DBEngine::CreateDatabase(path);
    addTable(*db, "T", {{"Code", dbText, 10}});
    db->Execute("INSERT INTO T (Code) VALUES ('a')");
    db->Execute("INSERT INTO T (Code) VALUES ('b')");
    auto rs = db->OpenRecordset("T");
    rs->MoveLast();
    ASSERT_EQ(rs->Fields("Code").Value().toText(), "b");

    auto other = DBEngine::OpenDatabase(path);
    other->Execute("DELETE FROM T WHERE Code = 'b'");
    other->Execute("INSERT INTO T (Code) VALUES ('new')");
    EXPECT_EQ(errorOf([&] { rs->Delete(); }), 3167);
    EXPECT_EQ(rawQuery(path, "SELECT Code FROM T ORDER BY Code"), (Rows{{"a"}, {"new"}}));
}

// ------------------------------------------------------------ Integer range

// Out of range is 3349 (numeric field overflow) from a recordset; a statement
// may report it as 3349 or as a conversion error.
bool isRangeError(int e) { return e == err::ValueOutOfRange || e == err::ConversionError; }

TEST(IntegerField, HoldsMinus32768To32767AndRefusesTheRest) {
    TempDir dir;
    std::string path = dir.file("int.db");
    auto db = DBEngine::CreateDatabase(path);
    addTable(*db, "T", {{"Tag", dbText, 20}, {"I", dbInteger}});

    struct Case {
        Variant value;
        const char* stored;  // nullptr: refused
    };
    const std::vector<Case> cases = {
        {-32768, "-32768"},   {32767, "32767"},      {-32769, nullptr},     {32768, nullptr},
        {"-32768", "-32768"}, {"32768", nullptr},    {65536, nullptr},      {-65536, nullptr},
        {32767.5, nullptr},   {-32768.5, "-32768"},  {32766.5, "32766"},
    };
    auto rs = db->OpenRecordset("T");
    Rows expected;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::string tag = "rs" + std::to_string(i);
        SCOPED_TRACE(tag + " <- " + c.value.toText());
        int got = errorOf([&] { addRow(*rs, {{"Tag", tag}, {"I", c.value}}); });
        if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
        EXPECT_EQ(got, c.stored ? 0 : err::ValueOutOfRange);
        if (c.stored) expected.push_back({tag, c.stored});
    }

    const std::vector<std::pair<const char*, const char*>> inserts = {
        {"-32768", "-32768"}, {"32767", "32767"}, {"-32769", nullptr}, {"32768", nullptr}, {"65536", nullptr}};
    for (size_t i = 0; i < inserts.size(); ++i) {
        const auto& [literal, stored] = inserts[i];
        std::string tag = "sql" + std::to_string(i);
        int got = errorOf([&] { db->Execute("INSERT INTO T (Tag, I) VALUES ('" + tag + "', " + literal + ")"); });
        if (stored) {
            EXPECT_EQ(got, 0) << literal;
            expected.push_back({tag, stored});
        } else {
            EXPECT_TRUE(isRangeError(got)) << literal << " gave " << got;
        }
    }
    // An update that would carry a value past the end changes no row.
    int got = errorOf([&] { db->Execute("UPDATE T SET I = I + 1 WHERE I > 0"); });
    EXPECT_TRUE(isRangeError(got)) << got;
    got = errorOf([&] { db->Execute("UPDATE T SET I = I - 1 WHERE I < 0"); });
    EXPECT_TRUE(isRangeError(got)) << got;

    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rawQuery(path, "SELECT Tag, I FROM T ORDER BY Tag"), expected);
}

// ----------------------------------------------------------- % and _ in Like

TEST(LikePatterns, PercentAndUnderscoreAreOrdinaryCharacters) {
    TempDir dir;
    auto db = DBEngine::CreateDatabase(dir.file("like.db"));
    addTable(*db, "V", {{"S", dbText, 20}});
    auto rs = db->OpenRecordset("V");
    for (const char* s : {"a%b", "axb", "ab", "a_b", "100%", "1000", "é%b", "éxb"}) addRow(*rs, {{"S", s}});

    struct Case {
        const char* pattern;
        Strings matches;
    };
    // Were % or _ wildcards, each of these would match more rows.
    const std::vector<Case> cases = {
        {"*%*", {"100%", "a%b", "é%b"}},
        {"a%b", {"a%b"}},
        {"100%", {"100%"}},
        {"*_*", {"a_b"}},
        {"a_b", {"a_b"}},
        {"a?b", {"a%b", "a_b", "axb"}},
        {"[a]%b", {"a%b"}},  // a class sends the pattern down the general matcher
        {"#0%", {}},
        {"#00%", {"100%"}},
        {"[a]_b", {"a_b"}},
        {"é%b", {"é%b"}},   // so does a letter outside ASCII
        {"*[%]*", {"100%", "a%b", "é%b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::string like = std::string("S Like '") + c.pattern + "'";
        EXPECT_EQ(sortedColumn(*db, "SELECT S FROM V WHERE " + like), c.matches);
        Strings found;
        for (rs->FindFirst(like); !rs->NoMatch(); rs->FindNext(like)) found.push_back(rs->Fields("S").Value().toText());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.matches);
    }
    EXPECT_EQ(sortedColumn(*db, "SELECT S FROM V WHERE S Not Like '*%*'"),
              (Strings{"1000", "a_b", "ab", "axb", "éxb"}));
    db->Execute("DELETE FROM V WHERE S Like 'a%b' Or S Like 'a_b'");
    EXPECT_EQ(db->RecordsAffected(), 2);
}

// ---------------------------------------------------------- Null compared

TEST(NullComparisons, EqualsOrNotEqualsNullSelectsNothingAndIsNullDoes) {
    TempDir dir;
    auto db = DBEngine::CreateDatabase(dir.file("null.db"));
    addTable(*db, "N", {{"Tag", dbText, 10}, {"V", dbLong}, {"S", dbText, 10}});
    db->Execute("INSERT INTO N (Tag, V, S) VALUES ('one', 1, 'x')");
    db->Execute("INSERT INTO N (Tag) VALUES ('none')");
    db->Execute("INSERT INTO N (Tag, V, S) VALUES ('three', 3, 'y')");

    struct Case {
        const char* where;
        Strings tags;
    };
    const std::vector<Case> cases = {
        {"V = Null", {}},
        {"V <> Null", {}},
        {"S = Null", {}},
        {"S <> Null", {}},
        {"Null = Null", {}},
        {"Not (V = Null)", {}},
        {"V <> 1", {"three"}},
        {"S <> 'x'", {"three"}},
        {"V Is Null", {"none"}},
        {"S Is Null", {"none"}},
        {"V Is Not Null", {"one", "three"}},
        {"Not V Is Null", {"one", "three"}},
        {"IsNull(V)", {"none"}},
    };
    auto rs = db->OpenRecordset("N");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        EXPECT_EQ(sortedColumn(*db, std::string("SELECT Tag FROM N WHERE ") + c.where), c.tags);
        rs->FindFirst(c.where);
        EXPECT_EQ(rs->NoMatch(), c.tags.empty());
    }
    db->Execute("UPDATE N SET Tag = 'hit' WHERE V = Null Or S <> Null");
    EXPECT_EQ(db->RecordsAffected(), 0);
    db->Execute("DELETE FROM N WHERE V <> Null");
    EXPECT_EQ(db->RecordsAffected(), 0);
    db->Execute("DELETE FROM N WHERE V Is Null");
    EXPECT_EQ(db->RecordsAffected(), 1);
}

// ------------------------------------------------------------- primary keys

std::shared_ptr<Index> primaryOn(TableDef& td, const std::string& name, const std::string& field, bool unique) {
    auto ix = td.CreateIndex(name);
    ix->SetPrimary(true);
    if (!unique) ix->SetUnique(false);
    ix->Fields().Append(ix->CreateField(field));
    return ix;
}

// Ways to give table P (A Long, B Text) a primary key on A.
struct KeyMaker {
    const char* how;
    std::function<void(Database&)> make;
};

std::vector<KeyMaker> keyMakers() {
    auto plain = [](Database& db) { db.Execute("CREATE TABLE P (A Long, B Text(10))"); };
    return {
        {"table constraint", [](Database& db) { db.Execute("CREATE TABLE P (A Long, B Text(10), CONSTRAINT pk PRIMARY KEY (A))"); }},
        {"field constraint", [](Database& db) { db.Execute("CREATE TABLE P (A Long PRIMARY KEY, B Text(10))"); }},
        {"CREATE INDEX WITH PRIMARY",
         [=](Database& db) {
             plain(db);
             db.Execute("CREATE INDEX pk ON P (A) WITH PRIMARY");
         }},
        {"ALTER TABLE ADD CONSTRAINT",
         [=](Database& db) {
             plain(db);
             db.Execute("ALTER TABLE P ADD CONSTRAINT pk PRIMARY KEY (A)");
         }},
        {"new TableDef, Primary only",
         [](Database& db) {
             auto td = db.CreateTableDef("P");
             td->Fields().Append(td->CreateField("A", dbLong));
             td->Fields().Append(td->CreateField("B", dbText, 10));
             td->Indexes().Append(primaryOn(*td, "pk", "A", false));
             db.TableDefs().Append(td);
         }},
        {"Indexes().Append on a stored table, Primary only",
         [=](Database& db) {
             plain(db);
             auto& td = db.TableDefs()["P"];
             td.Indexes().Append(primaryOn(td, "pk", "A", false));
         }},
    };
}

TEST(PrimaryKey, RefusesDuplicatesHoweverItWasMade) {
    for (const auto& maker : keyMakers()) {
        SCOPED_TRACE(maker.how);
        TempDir dir;
        std::string path = dir.file("pk.db");
        auto db = DBEngine::CreateDatabase(path);
        maker.make(*db);
        auto& ix = db->TableDefs()["P"].Indexes()[0];
        EXPECT_TRUE(ix.Primary());
        EXPECT_TRUE(ix.Unique());

        EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO P (A, B) VALUES (1, 'first')"); }), 0);
        EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO P (A, B) VALUES (1, 'again')"); }), err::DuplicateKey);
        auto rs = db->OpenRecordset("P");
        EXPECT_EQ(errorOf([&] { addRow(*rs, {{"A", 1}, {"B", "rs"}}); }), err::DuplicateKey);
        rs->CancelUpdate();
        EXPECT_EQ(errorOf([&] { addRow(*rs, {{"A", 2}, {"B", "two"}}); }), 0);
        rs->SetBookmark(rs->LastModified());
        rs->Edit();
        rs->Fields("A").SetValue(1);
        EXPECT_EQ(errorOf([&] { rs->Update(); }), err::DuplicateKey);
        rs->CancelUpdate();
        EXPECT_EQ(errorOf([&] { db->Execute("UPDATE P SET A = 1 WHERE A = 2"); }), err::DuplicateKey);
        EXPECT_EQ(rawQuery(path, "SELECT A, B FROM P ORDER BY A"), (Rows{{"1", "first"}, {"2", "two"}}));
    }
}

TEST(PrimaryKey, RefusesNullHoweverItWasMade) {
    for (const auto& maker : keyMakers()) {
        SCOPED_TRACE(maker.how);
        TempDir dir;
        std::string path = dir.file("pknull.db");
        auto db = DBEngine::CreateDatabase(path);
        maker.make(*db);
        EXPECT_EQ(errorOf([&] { addRow(*db->OpenRecordset("P"), {{"B", "rs"}}); }), err::NullInPrimaryKey);
        EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO P (B) VALUES ('sql')"); }), err::NullInPrimaryKey);
        EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO P (A, B) VALUES (Null, 'sql')"); }), err::NullInPrimaryKey);
        EXPECT_EQ(rawQuery(path, "SELECT count(*) FROM P"), (Rows{{"0"}}));
    }
}

TEST(PrimaryKey, ASecondPrimaryKeyIsRefusedWith3283) {
    struct Case {
        const char* what;
        const char* table;  // statement that makes the table first, or nullptr for T
        std::function<void(Database&)> second;
        int indexesAfter;   // on T; -1 when the table must not exist
    };
    auto objectModel = [](Database& db) {
        auto& td = db.TableDefs()["T"];
        td.Indexes().Append(primaryOn(td, "pk2", "B", true));
    };
    const std::vector<Case> cases = {
        {"Indexes().Append", nullptr, objectModel, 1},
        {"CREATE INDEX WITH PRIMARY", nullptr, [](Database& db) { db.Execute("CREATE INDEX pk2 ON T (B) WITH PRIMARY"); }, 1},
        {"CREATE UNIQUE INDEX WITH PRIMARY", nullptr,
         [](Database& db) { db.Execute("CREATE UNIQUE INDEX pk2 ON T (B) WITH PRIMARY"); }, 1},
        {"ALTER TABLE ADD CONSTRAINT", nullptr,
         [](Database& db) { db.Execute("ALTER TABLE T ADD CONSTRAINT pk2 PRIMARY KEY (B)"); }, 1},
        {"on an AutoNumber key", "CREATE TABLE T (A Counter PRIMARY KEY, B Long)", objectModel, 1},
        {"two in CREATE TABLE", "",
         [](Database& db) { db.Execute("CREATE TABLE T (A Long PRIMARY KEY, B Long, CONSTRAINT pk2 PRIMARY KEY (B))"); }, -1},
        {"two in a new TableDef", "",
         [](Database& db) {
             auto td = db.CreateTableDef("T");
             td->Fields().Append(td->CreateField("A", dbLong));
             td->Fields().Append(td->CreateField("B", dbLong));
             td->Indexes().Append(primaryOn(*td, "pk1", "A", true));
             td->Indexes().Append(primaryOn(*td, "pk2", "B", true));
             db.TableDefs().Append(td);
         },
         -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string path = dir.file("twopk.db");
        auto db = DBEngine::CreateDatabase(path);
        if (!c.table) db->Execute("CREATE TABLE T (A Long, B Long, CONSTRAINT pk PRIMARY KEY (A))");
        else if (*c.table) db->Execute(c.table);
        EXPECT_EQ(errorOf([&] { c.second(*db); }), 3283);

        auto fresh = DBEngine::OpenDatabase(path);
        if (c.indexesAfter < 0) {
            EXPECT_EQ(fresh->TableDefs().Find("T"), nullptr);
            continue;
        }
        EXPECT_EQ(fresh->TableDefs()["T"].Indexes().Count(), c.indexesAfter);
        // Nothing of the refused key is left: B takes duplicates and the name is free.
        fresh->Execute("INSERT INTO T (A, B) VALUES (1, 5)");
        EXPECT_EQ(errorOf([&] { fresh->Execute("INSERT INTO T (A, B) VALUES (2, 5)"); }), 0);
        EXPECT_EQ(errorOf([&] { fresh->Execute("CREATE INDEX pk2 ON T (B)"); }), 0);
    }
}

// ------------------------------------------------------------ transactions

TEST(Transactions, ASixthLevelIsRefusedAndTheFiveStillWork) {
    TempDir dir;
    std::string path = dir.file("deep.db");
    auto db = DBEngine::CreateDatabase(path);
    addTable(*db, "T", {{"Code", dbText, 10}});
    auto other = DBEngine::OpenDatabase(path);
    auto codes = [&] { return sortedColumn(*other, "SELECT Code FROM T"); };
    auto add = [&](const std::string& code) { db->Execute("INSERT INTO T (Code) VALUES ('" + code + "')"); };

    for (int level = 1; level <= 5; ++level) {
        db->BeginTrans();
        add("L" + std::to_string(level));
    }
    EXPECT_EQ(errorOf([&] { db->BeginTrans(); }), err::TooManyTransactions);
    add("L5b");  // still inside level five
    db->Rollback();     // 5: L5, L5b
    db->CommitTrans();  // 4
    db->CommitTrans();  // 3
    db->Rollback();     // 2: L2, L3, L4
    EXPECT_EQ(codes(), Strings{});
    db->CommitTrans();  // 1
    EXPECT_EQ(codes(), (Strings{"L1"}));
    EXPECT_EQ(errorOf([&] { db->CommitTrans(); }), err::CommitWithoutBegin);

    // The refused level left the count of levels right: five deep works again.
    for (int level = 1; level <= 5; ++level) {
        db->BeginTrans();
        add("M" + std::to_string(level));
    }
    EXPECT_EQ(errorOf([&] { db->BeginTrans(); }), err::TooManyTransactions);
    for (int level = 1; level <= 5; ++level) db->CommitTrans();
    EXPECT_EQ(codes(), (Strings{"L1", "M1", "M2", "M3", "M4", "M5"}));
}

// ------------------------------------------------------------ a killed writer

TEST(Crash, KilledDuringABulkUpdateLeavesTheFileWholeAndTheStatementAllOrNothing) {
    TempDir dir;
    std::string path = dir.file("crash.db");
    {
        auto db = DBEngine::CreateDatabase(path);
        addTable(*db, "T", {{"V", dbLong}, {"Pad", dbText, 60}});
        db->BeginTrans();
        db->Execute("INSERT INTO T (V, Pad) VALUES (0, '" + std::string(50, 'p') + "')");
        for (int i = 0; i < 18; ++i) db->Execute("INSERT INTO T (V, Pad) SELECT V, Pad FROM T");  // 262,144 rows
        db->CommitTrans();
    }
    const long rows = 262144;
    ASSERT_EQ(rawQuery(path, "SELECT count(*), sum(V) FROM T"), (Rows{{std::to_string(rows), "0"}}));
    // The update has written part of its pages once the file or its journal
    // changed: the WAL grew by a megabyte, or pages went to the file itself.
    auto fileTime = [&] { return std::filesystem::last_write_time(path); };
    auto walSize = [&] {
        std::error_code ec;
        auto n = std::filesystem::file_size(path + "-wal", ec);
        return ec ? std::uintmax_t(0) : n;
    };
    const auto timeBefore = fileTime();
    const std::uintmax_t walBefore = walSize();
    auto partlyWritten = [&] { return walSize() > walBefore + (1u << 20) || fileTime() != timeBefore; };

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        try {
            auto db = DBEngine::OpenDatabase(path);
            if (write(ready[1], "u", 1) != 1) _exit(3);
            db->Execute("UPDATE T SET V = V + 1");
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    // Kill it once it has written part of its pages (or when it is stuck).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    bool finished = !started;
    while (started && !partlyWritten() && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            finished = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!finished) ::kill(pid, SIGKILL);
    if (!finished || !started) waitpid(pid, &status, 0);
    ASSERT_TRUE(started) << "the child could not open the database";
    if (finished) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the update failed on its own";
    }

    EXPECT_EQ(rawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    auto got = rawQuery(path, "SELECT count(*), min(V), max(V) FROM T");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], std::to_string(rows));
    EXPECT_EQ(got[0][1], got[0][2]) << "part of the update was kept";
    EXPECT_TRUE(got[0][1] == "0" || got[0][1] == "1") << got[0][1];
    // The engine opens the file afterwards and sees the same.
    auto db = DBEngine::OpenDatabase(path);
    EXPECT_EQ(db->OpenRecordset("T")->RecordCount(), rows);
}

}  // namespace
