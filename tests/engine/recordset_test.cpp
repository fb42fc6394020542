// Recordsets: values checked against their fields, auto-numbers, moving,
// positions and bookmarks, deleting and adding under an open recordset,
// Find, Index and Seek, dynasets and closing.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

// Setting the bookmark either is refused or lands on the record named `name`, never another.
void expectRefusedOrOn(Recordset& rs, const Bookmark& b, const std::string& name) {
    int got = errorOf([&] { rs.SetBookmark(b); });
    if (got == 0) EXPECT_EQ(rs.Fields("Name").Value().toText(), name) << "the bookmark found another record";
    else EXPECT_EQ(got, err::BookmarkInvalid);
}

std::vector<CaseLine> cases(const char* key) { return readCases(LEDGERLY_TEST_DATA "/recordset_cases.txt", key); }

class Typed : public NewDatabase {
protected:
    void SetUp() override {
        addTable(*db, "T",
                 {{"ID", dbLong, 0, dbAutoIncrField}, {"Short", dbText, 5}, {"Req", dbText, 10, 0, true, true},
                  {"Strict", dbText, 10}, {"Num", dbLong}, {"Small", dbByte}, {"Money", dbCurrency}, {"When", dbDate},
                  {"Flag", dbBoolean}},
                 {{"PrimaryKey", {"ID"}, true}});
    }
};

TEST_F(Typed, ValuesAreCheckedAndConvertedOnTheWayIn) {
    auto rs = db->OpenRecordset("T");
    for (const auto& c : cases("set")) {
        SCOPED_TRACE("recordset_cases.txt line " + std::to_string(c.line));
        const std::string& field = c.fields[0];
        const bool refused = c.fields[2][0] != '"';
        rs->AddNew();
        if (field != "Req") rs->Fields("Req").SetValue("r");
        int got = errorOf([&] {
            rs->Fields(field).SetValue(variantOf(c.fields[1]));
            rs->Update();
        });
        EXPECT_EQ(got, refused ? std::stoi(c.fields[2]) : 0);
        if (got) {
            rs->CancelUpdate();
            continue;
        }
        rs->SetBookmark(rs->LastModified());
        EXPECT_EQ(rs->Fields(field).Value().toText(), unquoted(c.fields[2]));
    }
}

// Yes/No is stored as -1 and 0 (a new record starts False), dates keep their
// time, and Currency sums are exact.
TEST_F(Typed, StoredFormsOfYesNoDatesAndCurrency) {
    auto rs = db->OpenRecordset("T");
    addRow(*rs, {{"Req", "a"}, {"Flag", Variant(true)}, {"When", "2024-12-31 23:59:59"}, {"Money", 0.1}});
    addRow(*rs, {{"Req", "b"}, {"Flag", Variant(false)}, {"When", Variant::date(dates::fromParts(1999, 1, 2))},
                 {"Money", 0.2}});
    addRow(*rs, {{"Req", "c"}});
    EXPECT_EQ(rawQuery(path, "SELECT typeof(Flag), Flag, \"When\" FROM T ORDER BY ID"),
              (Rows{{"integer", "-1", "2024-12-31 23:59:59"}, {"integer", "0", "1999-01-02"}, {"integer", "0", "<null>"}}));
    EXPECT_EQ(column(*rs, "When"), (Strings{"2024-12-31 23:59:59", "1999-01-02", ""}));
    EXPECT_EQ(column(*db->OpenRecordset("SELECT Req FROM T WHERE When > #2024-12-31#"), "Req"), Strings{"a"});
    auto sum = [&](const char* where) {
        return db->OpenRecordset(std::string("SELECT Sum(Money) AS Total FROM T") + where)->Fields("Total").Value().toText();
    };
    EXPECT_EQ(sum(""), "0.3");
    for (int i = 0; i < 7; ++i) addRow(*rs, {{"Req", "x"}, {"Money", "0.1"}});
    EXPECT_EQ(sum(" WHERE Money < 0.15"), "0.8");
}

TEST_F(Typed, StatementsCannotBreakTheTypesEither) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"INSERT INTO T (Req, Num) VALUES ('a', 'abc')", err::ConversionError},
        {"INSERT INTO T (Req, Short) VALUES ('a', 'toolong')", err::FieldTooSmall},
        {"INSERT INTO T (Short) VALUES ('a')", err::RequiredMissing},
        {"INSERT INTO T (Req, Strict) VALUES ('a', '')", err::ZeroLength},
        {"INSERT INTO T (Req, Num) VALUES ('a', '42')", 0},
    };
    for (const auto& [sql, error] : cases) EXPECT_EQ(errorOf([&] { db->Execute(sql); }), error) << sql;
    EXPECT_EQ(rawQuery(path, "SELECT typeof(Num), Num FROM T"), (Rows{{"integer", "42"}}));
}

class Fields : public NewDatabase {};

TEST_F(Fields, CreateTableAllowsEmptyTextAndObjectModelFieldsDoNot) {
    db->Execute("CREATE TABLE Notes (N Text(10))");
    addTable(*db, "Dao", {{"N", dbText, 10}});
    EXPECT_TRUE(db->TableDefs()["Notes"].Fields()["N"].AllowZeroLength());
    EXPECT_FALSE(db->TableDefs()["Dao"].Fields()["N"].AllowZeroLength());
    EXPECT_EQ(errorOf([&] { addRow(*db->OpenRecordset("Notes"), {{"N", ""}}); }), 0);
    EXPECT_EQ(errorOf([&] { addRow(*db->OpenRecordset("Dao"), {{"N", ""}}); }), err::ZeroLength);
}

TEST_F(Fields, UniqueAndPrimaryIndexesIgnoreCase) {
    addTable(*db, "P", {{"Code", dbText, 10}, {"Other", dbText, 10}},
             {{"PrimaryKey", {"Code"}, true}, {"OtherIdx", {"Other"}, false, true}});
    auto rs = db->OpenRecordset("P");
    addRow(*rs, {{"Code", "abc"}, {"Other", "x"}});
    const std::vector<std::pair<Row, int>> cases = {
        {{{"Code", "abc"}, {"Other", "y"}}, err::DuplicateKey}, {{{"Code", "ABC"}, {"Other", "y"}}, err::DuplicateKey},
        {{{"Code", "def"}, {"Other", "X"}}, err::DuplicateKey}, {{{"Code", "def"}, {"Other", "y"}}, 0},
    };
    for (const auto& [row, error] : cases) {
        EXPECT_EQ(errorOf([&] { addRow(*rs, row); }), error) << row[0].second.toText();
        if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
    }
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO P (Code) VALUES ('Abc')"); }), err::DuplicateKey);
    EXPECT_EQ(rs->RecordCount(), 2);
}

TEST_F(Fields, AutoNumbersAreGivenNotSetAndNeverReused) {
    addTable(*db, "C", {{"ID", dbLong, 0, dbAutoIncrField}, {"Name", dbText, 10}}, {{"PrimaryKey", {"ID"}, true}});
    auto rs = db->OpenRecordset("C");
    for (const char* n : {"a", "b", "c"}) addRow(*rs, {{"Name", n}});
    EXPECT_EQ(column(*rs, "ID"), (Strings{"1", "2", "3"}));

    rs->AddNew();
    EXPECT_EQ(errorOf([&] { rs->Fields("ID").SetValue(10); }), 3164);
    rs->CancelUpdate();
    rs->MoveFirst();
    rs->Edit();
    EXPECT_EQ(errorOf([&] { rs->Fields("ID").SetValue(10); }), 3164);
    rs->CancelUpdate();

    rs->MoveLast();
    rs->Delete();
    addRow(*rs, {{"Name", "d"}});
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("ID").Value().toText(), "4");
    EXPECT_EQ(column(*db->OpenRecordset("C"), "ID"), (Strings{"1", "2", "4"}));
}


class People : public NewDatabase {
protected:
    void SetUp() override {
        addTable(*db, "People",
                 {{"ID", dbLong, 0, dbAutoIncrField}, {"Name", dbText, 20}, {"City", dbText, 20}, {"Age", dbLong}},
                 {{"PrimaryKey", {"ID"}, true}, {"NameIdx", {"Name"}}, {"AgeDesc", {"-Age"}},
                  {"CityName", {"City", "Name"}}, {"CityAgeName", {"City", "Age", "Name"}}});
        auto rs = db->OpenRecordset("People");
        const std::vector<std::tuple<const char*, const char*, int>> rows = {
            {"Eve", "Oslo", 30}, {"Bob", "Rome", 25}, {"Dan", "Oslo", 41}, {"Ann", "Rome", 35},
            {"Cy", "Oslo", 30},  {"Fay", "Bern", 19}};
        for (const auto& [n, c, a] : rows) addRow(*rs, {{"Name", n}, {"City", c}, {"Age", a}});
    }
    static std::string name(Recordset& rs) { return rs.Fields("Name").Value().toText(); }
    static std::string text(Recordset& rs, const std::string& field) { return rs.Fields(field).Value().toText(); }
    Bookmark markOf(Recordset& rs, const std::string& who) {
        rs.FindFirst("Name = '" + who + "'");
        EXPECT_FALSE(rs.NoMatch()) << who;
        return rs.Bookmark();
    }
    static std::string nameAt(Recordset& rs, const Bookmark& b) { return rs.SetBookmark(b), name(rs); }
    const Strings names = {"Eve", "Bob", "Dan", "Ann", "Cy", "Fay"};
};

TEST_F(People, MovingThroughBothEndsAndPositions) {
    auto rs = db->OpenRecordset("People");
    EXPECT_EQ(rs->RecordCount(), 6);  // exact before any MoveLast
    EXPECT_FALSE(rs->BOF());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(name(*rs), "Eve");
    rs->MovePrevious();
    EXPECT_TRUE(rs->BOF());
    EXPECT_FALSE(rs->EOF_());
    EXPECT_EQ(errorOf([&] { rs->Fields("Name").Value(); }), err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs->MovePrevious(); }), err::NoCurrentRecord);
    rs->MoveNext();
    EXPECT_EQ(name(*rs), "Eve");
    rs->MoveLast();
    EXPECT_EQ(name(*rs), "Fay");
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(errorOf([&] { rs->MoveNext(); }), err::NoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(name(*rs), "Fay");
    rs->Move(-2);
    EXPECT_EQ(name(*rs), "Ann");
    // Absolute positions count from 0 and a bad one leaves the record current.
    EXPECT_EQ(rs->AbsolutePosition(), 3);
    for (long bad : {-1L, 6L, 1000L}) {
        EXPECT_EQ(errorOf([&] { rs->SetAbsolutePosition(bad); }), err::InvalidArgument) << bad;
        EXPECT_EQ(rs->AbsolutePosition(), 3);
    }
    rs->SetAbsolutePosition(0);
    EXPECT_EQ(name(*rs), "Eve");
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 5);
}

TEST_F(People, DeleteMarksTheRecordAndDeletingAllEmpties) {
    auto rs = db->OpenRecordset("People");
    rs->SetAbsolutePosition(1);
    rs->Delete();
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(errorOf([&] { rs->Fields("Name").Value(); }), 3167);
    EXPECT_EQ(errorOf([&] { rs->Edit(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(name(*rs), "Dan");
    rs->MovePrevious();
    EXPECT_EQ(name(*rs), "Eve");
    EXPECT_EQ(column(*rs, "Name"), (Strings{"Eve", "Dan", "Ann", "Cy", "Fay"}));
    EXPECT_EQ(db->OpenRecordset("People")->RecordCount(), 5);

    // Positions stay right when records are added after a delete.
    addRow(*rs, {{"Name", "Gus"}});
    addRow(*rs, {{"Name", "Hal"}});
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 6);
    rs->SetAbsolutePosition(5);
    EXPECT_EQ(name(*rs), "Gus");
    rs->SetAbsolutePosition(1);
    rs->Delete();
    rs->SetAbsolutePosition(4);
    EXPECT_EQ(name(*rs), "Gus");
}

TEST_F(People, RowDeletedElsewhereReadsBackAsDeleted) {
    auto rs = db->OpenRecordset("People");
    auto other = DBEngine::OpenDatabase(path);
    other->Execute("DELETE FROM People WHERE Name = 'Dan'");
    EXPECT_EQ(rs->RowAt(2), nullptr);
    ASSERT_NE(rs->RowAt(3), nullptr);
    EXPECT_EQ((*rs->RowAt(3))[1].toText(), "Ann");
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(errorOf([&] { rs->Fields("Name").Value(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(name(*rs), "Ann");
}

TEST_F(People, AddNewKeepsTheCurrentRecordAndAppends) {
    auto rs = db->OpenRecordset("People");
    rs->SetIndex("NameIdx");
    rs->SetIndex("");  // natural order again
    rs->SetAbsolutePosition(2);
    addRow(*rs, {{"Name", "Abe"}, {"Age", 50}});
    EXPECT_EQ(name(*rs), "Dan");
    EXPECT_EQ(rs->RecordCount(), 7);
    rs->MoveLast();
    EXPECT_EQ(name(*rs), "Abe");
    EXPECT_EQ(rs->Bookmark(), rs->LastModified());

    rs->MoveFirst();
    rs->AddNew();
    rs->Fields("Name").SetValue("Never");
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 7);
    EXPECT_EQ(name(*rs), "Eve");
    EXPECT_EQ(errorOf([&] { rs->Update(); }), err::UpdateWithoutEdit);
    EXPECT_EQ(errorOf([&] { rs->Fields("Name").SetValue("x"); }), err::UpdateWithoutEdit);
    EXPECT_EQ(errorOf([&] { rs->CancelUpdate(); }), err::UpdateWithoutEdit);
}


TEST_F(People, FindMovesOrLeavesTheRecordAlone) {
    auto rs = db->OpenRecordset("People");
    for (const auto& c : cases("find")) {
        const std::string &op = c.fields[0], &criteria = c.fields[1];
        if (op == "first") rs->FindFirst(criteria);
        else if (op == "next") rs->FindNext(criteria);
        else if (op == "previous") rs->FindPrevious(criteria);
        else rs->FindLast(criteria);
        EXPECT_EQ(rs->NoMatch(), c.fields[2] == "none") << "line " << c.line;
        EXPECT_EQ(name(*rs), c.fields[3]) << "line " << c.line;
    }
    // Deleted records are not found.
    rs->FindFirst("Name = 'Dan'");
    rs->Delete();
    rs->FindFirst("Name = 'Dan'");
    EXPECT_TRUE(rs->NoMatch());
}


TEST_F(People, IndexOrdersAtOnceAndKeepsTheCurrentRecord) {
    auto rs = db->OpenRecordset("People");
    rs->SetAbsolutePosition(2);  // Dan
    struct Case { const char* index; Strings names; };
    const std::vector<Case> orders = {
        {"NameIdx", {"Ann", "Bob", "Cy", "Dan", "Eve", "Fay"}}, {"ageDesc", {"Dan", "Ann", "Eve", "Cy", "Bob", "Fay"}},
        {"CityName", {"Fay", "Cy", "Dan", "Eve", "Ann", "Bob"}}, {"", {"Eve", "Bob", "Dan", "Ann", "Cy", "Fay"}},
    };
    for (const auto& c : orders) {
        rs->SetIndex(c.index);
        EXPECT_EQ(name(*rs), "Dan") << c.index;
        long pos = rs->AbsolutePosition();
        EXPECT_EQ(c.names[size_t(pos)], "Dan") << c.index;
        EXPECT_EQ(column(*rs, "Name"), c.names) << c.index;
        rs->SetAbsolutePosition(pos);
    }
    EXPECT_EQ(errorOf([&] { rs->SetIndex("NoSuchIndex"); }), err::NoSuchIndex);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT * FROM People")->SetIndex("NameIdx"); }),
              err::OperationNotSupported);

    // Find follows the index order.
    rs->SetIndex("NameIdx");
    rs->FindFirst("City = 'Oslo'");
    EXPECT_EQ(name(*rs), "Cy");
    rs->FindNext("City = 'Oslo'");
    EXPECT_EQ(name(*rs), "Dan");
    rs->FindLast("City = 'Rome'");
    EXPECT_EQ(name(*rs), "Bob");

    // A record added under an index takes its place in the order.
    rs->SetIndex("NameIdx");
    addRow(*rs, {{"Name", "Bea"}});
    EXPECT_EQ(column(*rs, "Name"), (Strings{"Ann", "Bea", "Bob", "Cy", "Dan", "Eve", "Fay"}));
}

TEST_F(People, SeekOnOneTwoAndThreeKeysAndDescendingFields) {
    db->Execute("CREATE INDEX CityAgeDesc ON People (City, Age DESC)");  // Fay; Dan 41, Eve 30, Cy 30; Ann 35, Bob 25
    auto rs = db->OpenRecordset("People");
    for (const auto& c : cases("seek")) {
        std::vector<Variant> keys;
        for (const std::string& key : splitList(c.fields[2])) keys.push_back(variantOf(key));
        rs->SetIndex(c.fields[0]);
        rs->MoveLast();
        std::string before = name(*rs);
        rs->Seek(c.fields[1], keys);
        EXPECT_EQ(rs->NoMatch(), c.fields[3] == "none") << "line " << c.line;
        EXPECT_EQ(name(*rs), c.fields[3] == "none" ? before : c.fields[3]) << "line " << c.line;
    }
    rs->SetIndex("AgeDesc");
    EXPECT_EQ(errorOf([&] { rs->Seek("=", "old"); }), err::TypeMismatch);
    EXPECT_EQ(errorOf([&] { rs->Seek("=", 1, 2); }), err::InvalidArgument);
    rs->SetIndex("");
    EXPECT_EQ(errorOf([&] { rs->Seek("=", 1); }), 3019);
    // A row added by another connection is not in this recordset's keys.
    rs->SetIndex("NameIdx");
    DBEngine::OpenDatabase(path)->Execute("INSERT INTO People (Name, City, Age) VALUES ('Aaron', 'Oslo', 50)");
    rs->Seek(">=", Variant("A"));
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(name(*rs), "Ann");
}

TEST_F(People, RollbackUndoesWhatOpenRecordsetsShow) {
    auto rs = db->OpenRecordset("People");
    auto dyn = db->OpenRecordset("SELECT Name FROM People ORDER BY Name");
    std::string first = name(*rs);
    db->BeginTrans();
    editField(*rs, "Name", Variant("Zed"));
    addRow(*rs, {{"Name", Variant("Newcomer")}});
    EXPECT_EQ(rs->RecordCount(), 7);
    EXPECT_EQ(name(*rs), "Zed");
    db->Rollback();
    EXPECT_EQ(rs->RecordCount(), 6);
    EXPECT_EQ(name(*rs), first);
    EXPECT_EQ((*rs->RowAt(0))[1].toText(), first);
    rs->FindFirst("Name = 'Zed'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(dyn->RecordCount(), 6);
}


TEST_F(People, DynasetOverOneTableIsUpdatable) {
    auto rs = db->OpenRecordset("SELECT Name, Age FROM People WHERE City = 'Oslo' ORDER BY Age DESC, Name");
    EXPECT_TRUE(rs->Updatable());
    EXPECT_EQ(rs->Type(), dbOpenDynaset);
    EXPECT_EQ(column(*rs, "Name"), (Strings{"Dan", "Cy", "Eve"}));
    rs->MoveLast();
    editField(*rs, "Age", 60);
    addRow(*rs, {{"Name", "Hal"}, {"Age", 1}});
    EXPECT_EQ(rawQuery(path, "SELECT Name, Age, City FROM People WHERE Name IN ('Eve', 'Hal') ORDER BY Name"),
              (Rows{{"Eve", "60", "Oslo"}, {"Hal", "1", "<null>"}}));
}

TEST_F(People, JoinsAndGroupsAreReadOnly) {
    addTable(*db, "Cities", {{"City", dbText, 20}, {"Country", dbText, 20}});
    addRow(*db->OpenRecordset("Cities"), {{"City", "Oslo"}, {"Country", "Norway"}});
    const std::vector<std::string> sources = {
        "SELECT People.Name, Cities.Country FROM People INNER JOIN Cities ON People.City = Cities.City",
        "SELECT City, Count(*) AS N FROM People GROUP BY City",
    };
    for (const auto& s : sources) {
        auto rs = db->OpenRecordset(s);
        EXPECT_FALSE(rs->Updatable()) << s;
        ASSERT_GT(rs->RecordCount(), 0) << s;
        EXPECT_EQ(errorOf([&] { rs->Edit(); }), err::ReadOnly) << s;
        EXPECT_EQ(errorOf([&] { rs->AddNew(); }), err::ReadOnly) << s;
        EXPECT_EQ(errorOf([&] { rs->Delete(); }), err::ReadOnly) << s;
    }
    auto groups = db->OpenRecordset("SELECT City, Count(*) AS N FROM People GROUP BY City ORDER BY City");
    EXPECT_EQ(column(*groups, "N"), (Strings{"1", "3", "2"}));
}

TEST_F(People, OpenRecordsetGivesAFreshRecordsetOnTheSameSource) {
    auto rs = db->OpenRecordset("People");
    rs->SetIndex("NameIdx");
    rs->MoveLast();
    rs->Delete();
    auto fresh = rs->OpenRecordset();
    EXPECT_EQ(fresh->RecordCount(), 5);
    EXPECT_EQ(fresh->Index(), "NameIdx");
    EXPECT_EQ(name(*fresh), "Ann");
    EXPECT_EQ(fresh->Type(), dbOpenTable);
}

TEST_F(People, ClosedRecordsetOrDatabaseOrAFieldOfAGoneRecordsetRaises3420) {
    std::shared_ptr<Field> kept;
    {
        auto gone = db->OpenRecordset("People");
        kept = gone->Fields().Find("Name");
        EXPECT_EQ(kept->Value().toText(), "Eve");
    }
    EXPECT_EQ(errorOf([&] { kept->Value(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { kept->SetValue(Variant("x")); }), err::DatabaseClosed);
    auto rs = db->OpenRecordset("People");
    auto rs2 = db->OpenRecordset("SELECT * FROM People");
    rs->Close();
    const std::vector<std::pair<const char*, std::function<void()>>> uses = {
        {"MoveNext", [&] { rs->MoveNext(); }}, {"RecordCount", [&] { rs->RecordCount(); }},
        {"Value", [&] { rs->Fields("Name").Value(); }}, {"AddNew", [&] { rs->AddNew(); }},
    };
    for (const auto& [what, f] : uses) EXPECT_EQ(errorOf(f), err::DatabaseClosed) << what;
    db->Close();
    EXPECT_EQ(errorOf([&] { rs2->MoveFirst(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { rs2->Fields("Name").Value(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("People"); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { db->TableDefs(); }), err::DatabaseClosed);
}

TEST_F(People, BookmarksFollowTheirRecordAcrossIndexesAndEditsOfTheIndexedField) {
    auto rs = db->OpenRecordset("People");
    std::map<std::string, Bookmark> marks;
    for (const auto& who : names) marks[who] = markOf(*rs, who);
    for (const char* index : {"NameIdx", "AgeDesc", "", "NameIdx"}) {
        rs->SetIndex(index);
        rs->MoveLast();
        for (const auto& [name, b] : marks) EXPECT_EQ(nameAt(*rs, b), name) << "index '" << index << "'";
    }
    EXPECT_EQ(errorOf([&] { rs->SetBookmark("nonsense"); }), err::BookmarkInvalid);
    EXPECT_EQ(name(*rs), "Fay") << "a refused bookmark leaves the record current";
    // Bob becomes Zoe, the last by NameIdx; Fay becomes the oldest, the first by AgeDesc.
    struct Edit { const char *index, *who, *field; Variant value; long position; /* afterwards */ };
    for (const auto& e : std::vector<Edit>{{"NameIdx", "Bob", "Name", "Zoe", 5}, {"AgeDesc", "Fay", "Age", 99, 0}}) {
        SCOPED_TRACE(std::string(e.index) + " " + e.who);
        rs->SetIndex(e.index);
        rs->SetBookmark(marks[e.who]);
        rs->Edit();
        rs->Fields(e.field).SetValue(e.value);
        rs->Update();
        for (const Bookmark& b : {marks[e.who], rs->Bookmark()}) {
            rs->MoveFirst();
            rs->MoveNext();
            rs->SetBookmark(b);
            EXPECT_EQ(text(*rs, e.field), e.value.toText());
            EXPECT_EQ(rs->AbsolutePosition(), e.position);
        }
        for (const char* other : {"Ann", "Cy", "Dan", "Eve"}) EXPECT_EQ(nameAt(*rs, marks[other]), other);
    }
}

// Edits of indexed fields, adds and deletes in a loop: the record moves to its
// place at once, stays the current one, and the order is the one a fresh
// recordset reads (case-blind text, ties by id, Nulls first, a descending field).
TEST_F(People, RecordsWhoseIndexedFieldsChangeTakeTheirPlaceAsAFreshReadWouldHaveThem) {
    db->Execute("CREATE INDEX NameAge ON People (Name, Age)");
    db->Execute("CREATE INDEX NameDesc ON People (Name DESC)");
    const Strings names = {"ann", "Bob", "bob", "Cy", "Zed", "eve", "EVE"};
    std::mt19937 rng(11);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (const char* index : {"NameAge", "NameIdx", "NameDesc"}) {
        auto rs = db->OpenRecordset("People");
        rs->SetIndex(index);
        for (int step = 0; step < 60; ++step) {
            SCOPED_TRACE(std::string(index) + " step " + std::to_string(step));
            const int op = pick(10);
            std::string id;
            if (op < 7) {  // edit one or both fields of the index of a random record
                rs->SetAbsolutePosition(pick(static_cast<int>(rs->RecordCount())));
                id = text(*rs, "ID");
                rs->Edit();
                if (op < 5) rs->Fields("Name").SetValue(op == 0 ? Variant() : Variant(names[static_cast<size_t>(pick(7))]));
                if (op >= 3) rs->Fields("Age").SetValue(op == 4 ? Variant() : Variant(pick(5)));
                rs->Update();
                EXPECT_EQ(text(*rs, "ID"), id) << "the edited record stays the current one";
            } else if (op < 9) {
                rs->MoveFirst();
                addRow(*rs, {{"Name", names[static_cast<size_t>(pick(7))]}, {"Age", pick(5)}});
            } else if (rs->RecordCount() > 1) {
                rs->SetAbsolutePosition(pick(static_cast<int>(rs->RecordCount())));
                rs->Delete();
            }
            auto fresh = db->OpenRecordset("People");
            fresh->SetIndex(index);
            ASSERT_EQ(column(*rs, "ID"), column(*fresh, "ID"));
            if (!id.empty()) {  // from the edited record on, both walk the same way
                rs->FindFirst("ID = " + id);
                fresh->FindFirst("ID = " + id);
                EXPECT_EQ(rs->AbsolutePosition(), fresh->AbsolutePosition());
            }
        }
    }
}

TEST_F(People, RefreshesSeeChangesElsewhereBookmarksOfGoneRecordsAreRefusedAndRolledBackIdsNotReused) {
    // rs looks for changes before it reads, as a grid does; unrefreshed's first look must drop what it read.
    auto rs = db->OpenRecordset("People"), unrefreshed = db->OpenRecordset("People");
    rs->RefreshIfChangedElsewhere();
    rs->SetIndex("NameIdx");
    Bookmark eve = markOf(*rs, "Eve"), bob = markOf(*rs, "Bob"), dan = markOf(*rs, "Dan");
    Bookmark unrefreshedEve = markOf(*unrefreshed, "Eve");
    for (auto* r : {rs.get(), unrefreshed.get()}) column(*r, "Name");  // every row is read and kept now
    auto other = DBEngine::OpenDatabase(path);
    other->Execute("UPDATE People SET Name = 'Evelyn', Age = 31 WHERE Name = 'Eve'");
    other->Execute("DELETE FROM People WHERE Name = 'Bob'");
    EXPECT_TRUE(unrefreshed->RefreshIfChangedElsewhere());
    EXPECT_EQ(nameAt(*unrefreshed, unrefreshedEve), "Evelyn");
    EXPECT_TRUE(rs->RefreshIfChangedElsewhere());
    EXPECT_EQ(nameAt(*rs, eve), "Evelyn");
    EXPECT_EQ(text(*rs, "Age"), "31");
    // Gone elsewhere: the bookmark is refused, or its record reads as deleted.
    int gone = errorOf([&] { nameAt(*rs, bob); });
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
    expectRefusedOrOn(*rs->OpenRecordset(), eve, "Evelyn");
    // The rolled-back record's AutoNumber is not given again.
    addRow(*rs, {{"Name", "Hal"}});
    EXPECT_EQ(rawQuery(path, "SELECT ID FROM People WHERE Name = 'Hal'"), (Rows{{"8"}}));
}

}  // namespace
