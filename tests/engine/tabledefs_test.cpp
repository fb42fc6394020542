// Collections of the object model: table definitions with their fields and
// indexes, links to tables of other files, and saved queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

template <class C>
Strings names(const C& collection) {
    Strings out;
    for (const auto& item : collection) out.push_back(item->Name());
    return out;
}

class Collections : public NewDatabase {};

TEST_F(Collections, TableDefsInNameOrderWithEngineTablesListed) {
    for (const char* n : {"beta", "Alpha", "gamma", "Zulu", "delta"})
        addTable(*db, n, {{"x", dbLong}});
    Strings all = names(db->TableDefs());
    Strings sorted = all;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return lower(a) < lower(b); });
    EXPECT_EQ(all, sorted);

    Strings user;
    bool engineTable = false;
    for (const auto& td : db->TableDefs()) {
        if (lower(td->Name()).rfind("msys", 0) == 0) {
            engineTable = true;
            EXPECT_NE(td->Attributes(), 0) << td->Name();
        } else {
            user.push_back(td->Name());
            EXPECT_EQ(td->Attributes(), 0) << td->Name();
        }
    }
    EXPECT_TRUE(engineTable);
    EXPECT_EQ(user, (Strings{"Alpha", "beta", "delta", "gamma", "Zulu"}));
}

TEST_F(Collections, ItemsByNameIgnoreCaseAndMissingItemsAre3265) {
    addTable(*db, "Orders", {{"OrderID", dbLong}, {"Ship Name", dbText, 40}});
    db->CreateQueryDef("Big Orders", "SELECT * FROM Orders WHERE OrderID > 10");
    EXPECT_EQ(db->TableDefs()["oRDERS"].Name(), "Orders");
    EXPECT_EQ(db->TableDefs()["Orders"].Fields()["SHIP NAME"].Name(), "Ship Name");
    EXPECT_EQ(db->QueryDefs()["big orders"].Name(), "Big Orders");
    EXPECT_EQ(db->TableDefs().Find("nothing"), nullptr);

    const std::vector<std::pair<const char*, std::function<void()>>> missing = {
        {"table", [&] { db->TableDefs()["Customers"]; }}, {"table by number", [&] { db->TableDefs()[99]; }},
        {"field", [&] { db->TableDefs()["Orders"].Fields()["Freight"]; }},
        {"index", [&] { db->TableDefs()["Orders"].Indexes()["PrimaryKey"]; }},
        {"query", [&] { db->QueryDefs()["Small Orders"]; }},
        {"delete table", [&] { db->TableDefs().Delete("Customers"); }},
    };
    for (const auto& [what, f] : missing) EXPECT_EQ(errorOf(f), err::ItemNotFound) << what;
}

TEST_F(Collections, FieldsKeepColumnOrderAndTheirProperties) {
    addTable(*db, "T",
             {{"zeta", dbText, 12, 0, true, true},
              {"alpha", dbLong, 0, dbAutoIncrField},
              {"mid", dbCurrency},
              {"memo", dbMemo}},
             {{"PrimaryKey", {"alpha"}, true}});
    // A second Database reads what was stored, not what this one remembers.
    auto other = DBEngine::OpenDatabase(path);
    FieldCollection& f = other->TableDefs()["T"].Fields();
    // Name, position, type, size, Required, AllowZeroLength (fields made here refuse "" unless told), AutoNumber.
    Strings got;
    for (const auto& x : f)
        got.push_back(x->Name() + " " + std::to_string(x->OrdinalPosition()) + " " + std::to_string(x->Type()) + " " +
                      std::to_string(x->Size()) + (x->Required() ? " req" : "") + (x->AllowZeroLength() ? " azl" : "") +
                      (x->Attributes() & dbAutoIncrField ? " auto" : ""));
    EXPECT_EQ(got, (Strings{"zeta 0 10 12 req azl", "alpha 1 4 4 auto", "mid 2 5 8", "memo 3 12 0"}));
    EXPECT_EQ(other->TableDefs()["T"].Indexes()["PrimaryKey"].Primary(), true);
}

TEST_F(Collections, FieldsAppendAndDeleteOnAStoredTable) {
    addTable(*db, "T", {{"ID", dbLong}, {"Name", dbText, 20}, {"Old", dbText, 5}},
             {{"NameIdx", {"Name"}}});
    addRow(*db->OpenRecordset("T"), {{"ID", 1}, {"Name", "first"}, {"Old", "x"}});

    TableDef& t = db->TableDefs()["T"];
    t.Fields().Append(t.CreateField("Extra", dbLong));
    t.Fields().Delete("Old");
    EXPECT_EQ(names(t.Fields()), (Strings{"ID", "Name", "Extra"}));
    EXPECT_EQ(errorOf([&] { t.Fields().Delete("Name"); }), err::FieldUsedByIndex);

    auto other = DBEngine::OpenDatabase(path);
    EXPECT_EQ(names(other->TableDefs()["T"].Fields()), (Strings{"ID", "Name", "Extra"}));
    auto rs = other->OpenRecordset("T");
    EXPECT_TRUE(rs->Fields("Extra").Value().isNull());
    EXPECT_EQ(rs->Fields("Name").Value().toText(), "first");
    editField(*rs, "Extra", 5);
    EXPECT_EQ(rawQuery(path, "SELECT Extra FROM T"), (Rows{{"5"}}));
}

TEST_F(Collections, IndexesAppendDeleteAndDescendingFields) {
    addTable(*db, "A", {{"ID", dbLong}, {"Code", dbText, 10}, {"Rank", dbLong}}, {{"PrimaryKey", {"ID"}, true}});
    addTable(*db, "B", {{"ID", dbLong}}, {{"PrimaryKey", {"ID"}, true}});  // same index name, other table
    EXPECT_TRUE(db->TableDefs()["B"].Indexes()["PrimaryKey"].Primary());

    TableDef& a = db->TableDefs()["A"];
    auto ix = a.CreateIndex("CodeRank");
    ix->SetUnique(true);
    ix->Fields().Append(ix->CreateField("Code"));
    auto rank = ix->CreateField("Rank");
    rank->SetAttributes(dbDescending);
    ix->Fields().Append(rank);
    a.Indexes().Append(ix);

    auto other = DBEngine::OpenDatabase(path);
    Index& stored = other->TableDefs()["A"].Indexes()["coderank"];
    EXPECT_TRUE(stored.Unique());
    EXPECT_FALSE(stored.Primary());
    ASSERT_EQ(stored.Fields().Count(), 2);
    EXPECT_EQ(stored.Fields()[0].Attributes(), 0);
    EXPECT_EQ(stored.Fields()[1].Attributes(), dbDescending);
    EXPECT_EQ(errorOf([&] { a.Indexes().Append(ix); }), err::IndexExists);

    auto rs = db->OpenRecordset("A");
    addRow(*rs, {{"ID", 1}, {"Code", "k"}, {"Rank", 1}});
    EXPECT_EQ(errorOf([&] { addRow(*rs, {{"ID", 2}, {"Code", "K"}, {"Rank", 1}}); }), err::DuplicateKey);
    rs->CancelUpdate();
    a.Indexes().Delete("CodeRank");
    EXPECT_EQ(a.Indexes().Find("CodeRank"), nullptr);
    EXPECT_EQ(errorOf([&] { addRow(*rs, {{"ID", 2}, {"Code", "K"}, {"Rank", 1}}); }), 0);
}

TEST_F(Collections, StoredDefinitionsCannotBeChangedInPlace) {
    addTable(*db, "T", {{"Name", dbText, 10}});
    Field& f = db->TableDefs()["T"].Fields()["Name"];
    for (auto change : {std::function<void()>([&] { f.SetSize(20); }), std::function<void()>([&] { f.SetType(dbLong); })})
        EXPECT_EQ(errorOf(change), err::InvalidOperation);
    EXPECT_EQ(db->TableDefs()["T"].Fields()["Name"].Size(), 10);
    EXPECT_EQ(errorOf([&] { addTable(*db, "t", {{"x", dbLong}}); }), err::TableExists);
}


TEST_F(Collections, LinkedTableReadsAndWritesTheOtherFileAndNeedsItsSource) {
    std::string otherPath = dir.file("other.db");
    {
        auto src = DBEngine::CreateDatabase(otherPath);
        addTable(*src, "Source", {{"ID", dbLong}, {"Name", dbText, 20}}, {{"PrimaryKey", {"ID"}, true}});
        addRow(*src->OpenRecordset("Source"), {{"ID", 1}, {"Name", "remote"}});
    }
    auto link = db->CreateTableDef("Linked");
    link->SetConnect(";DATABASE=" + otherPath);
    link->SetSourceTableName("Source");
    db->TableDefs().Append(link);

    TableDef& td = db->TableDefs()["linked"];
    EXPECT_EQ(td.Attributes(), dbAttachedTable);
    EXPECT_EQ(td.SourceTableName(), "Source");
    EXPECT_EQ(names(td.Fields()), (Strings{"ID", "Name"}));

    auto rs = db->OpenRecordset("Linked");
    EXPECT_EQ(column(*rs, "Name"), Strings{"remote"});
    addRow(*rs, {{"ID", 2}, {"Name", "added here"}});
    EXPECT_EQ(errorOf([&] { addRow(*rs, {{"ID", 2}, {"Name", "twice"}}); }), err::DuplicateKey);
    rs->CancelUpdate();
    rs->MoveFirst();
    editField(*rs, "Name", "changed");
    EXPECT_EQ(rawQuery(otherPath, "SELECT ID, Name FROM Source ORDER BY ID"),
              (Rows{{"1", "changed"}, {"2", "added here"}}));
    // The link survives closing and reopening the database.
    rs.reset();
    db->Close();
    db = DBEngine::OpenDatabase(path);
    EXPECT_EQ(db->OpenRecordset("Linked")->RecordCount(), 2);

    db->TableDefs().Delete("Linked");
    EXPECT_EQ(db->TableDefs().Find("Linked"), nullptr);
    EXPECT_EQ(rawQuery(otherPath, "SELECT count(*) FROM Source"), (Rows{{"2"}}));

    // A link to a missing table or file is refused.
    auto nowhere = db->CreateTableDef("L", 0, "Nowhere", ";DATABASE=" + otherPath);
    EXPECT_EQ(errorOf([&] { db->TableDefs().Append(nowhere); }), err::NoSuchTable);
    auto noFile = db->CreateTableDef("M", 0, "Source", ";DATABASE=" + dir.file("none.db"));
    EXPECT_EQ(errorOf([&] { db->TableDefs().Append(noFile); }), err::FileNotFound);
    EXPECT_EQ(db->TableDefs().Find("L"), nullptr);
}


class Queries : public Collections {
protected:
    void SetUp() override {
        Collections::SetUp();
        addTable(*db, "Orders", {{"ID", dbLong}, {"Customer", dbText, 20}, {"Amount", dbCurrency}},
                 {{"PrimaryKey", {"ID"}, true}});
        auto rs = db->OpenRecordset("Orders");
        addRow(*rs, {{"ID", 1}, {"Customer", "ann"}, {"Amount", 10}});
        addRow(*rs, {{"ID", 2}, {"Customer", "bob"}, {"Amount", 20}});
        addRow(*rs, {{"ID", 3}, {"Customer", "ann"}, {"Amount", 5}});
    }
};

TEST_F(Queries, TypeFollowsTheStatement) {
    struct Case { const char* sql; int type; };
    const std::vector<Case> cases = {
        {"SELECT * FROM Orders", 0}, {"SELECT ID FROM Orders UNION SELECT ID FROM Orders", 128},
        {"DELETE * FROM Orders WHERE ID = 1", 32}, {"UPDATE Orders SET Amount = 0", 48},
        {"INSERT INTO Orders (ID, Customer) VALUES (9, 'x')", 64}, {"SELECT * INTO Archive FROM Orders", 80},
        {"CREATE TABLE Extra (A Long)", 96},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string name = "Q" + std::to_string(n++);
        EXPECT_EQ(db->CreateQueryDef(name, c.sql)->Type(), c.type) << c.sql;
        EXPECT_EQ(DBEngine::OpenDatabase(path)->QueryDefs()[name].Type(), c.type) << c.sql;
    }
}

TEST_F(Queries, SavedAtOnceEnumeratedByNameAndNamesAreUnique) {
    db->CreateQueryDef("beta", "SELECT * FROM Orders");
    db->CreateQueryDef("Alpha", "SELECT ID FROM Orders");
    auto other = DBEngine::OpenDatabase(path);
    EXPECT_EQ(names(other->QueryDefs()), (Strings{"Alpha", "beta"}));
    EXPECT_EQ(other->QueryDefs()["ALPHA"].SQL(), "SELECT ID FROM Orders");
    for (const char* taken : {"BETA", "orders"})
        EXPECT_EQ(errorOf([&] { db->CreateQueryDef(taken, "SELECT 1 FROM Orders"); }), err::ObjectExists) << taken;

    db->QueryDefs().Delete("beta");
    EXPECT_EQ(names(DBEngine::OpenDatabase(path)->QueryDefs()), Strings{"Alpha"});
}

TEST_F(Queries, SelectParameterAndActionQueries) {
    auto q = db->CreateQueryDef("Totals", "SELECT Customer, Sum(Amount) AS Total FROM Orders GROUP BY Customer ORDER BY Customer");
    EXPECT_EQ(names(q->Fields()), (Strings{"Customer", "Total"}));
    auto rs = db->OpenRecordset("totals");
    EXPECT_EQ(column(*rs, "Customer"), (Strings{"ann", "bob"}));
    EXPECT_EQ(column(*rs, "Total"), (Strings{"15", "20"}));
    EXPECT_EQ(q->OpenRecordset()->RecordCount(), 2);

    // A changed statement is saved at once as well.
    q->SetSQL("SELECT ID FROM Orders WHERE Customer = 'ann'");
    EXPECT_EQ(DBEngine::OpenDatabase(path)->OpenRecordset("Totals")->RecordCount(), 2);
    EXPECT_EQ(names(q->Fields()), Strings{"ID"});

    // A parameter query cannot be opened; an action query runs and counts its rows.
    db->CreateQueryDef("Ask", "PARAMETERS [Which] Text; SELECT * FROM Orders WHERE Customer = [Which]");
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("Ask"); }), err::TooFewParameters);
    EXPECT_EQ(errorOf([&] { db->QueryDefs()["Ask"].OpenRecordset(); }), err::TooFewParameters);
    auto clear = db->CreateQueryDef("Clear", "DELETE FROM Orders WHERE Customer = 'ANN'");
    clear->Execute();
    EXPECT_EQ(clear->RecordsAffected(), 2);
    EXPECT_EQ(db->OpenRecordset("Orders")->RecordCount(), 1);
}

// References handed out by the collections stay good across every re-read;
// an object whose table or query was deleted says so (3420) when used.
TEST(HeldObjects, SurviveRefreshesAndSayWhenTheirObjectIsGone) {
    TempDir dir;
    auto db = DBEngine::CreateDatabase(dir.file("held.db"));
    db->Execute("CREATE TABLE Orders (ID Long, Qty Long, Note Text(10))");
    db->Execute("CREATE TABLE Scrap (A Long)");
    db->CreateQueryDef("Big", "SELECT * FROM Orders WHERE Qty > 5");
    TableDef& orders = db->TableDefs()["Orders"];
    TableDef& scrap = db->TableDefs()["Scrap"];
    Field& note = orders.Fields()["Note"];
    QueryDef& big = db->QueryDefs()["Big"];

    // Every kind of re-read: explicit, by Append, by Delete, by DDL.
    db->TableDefs().Refresh();
    addTable(*db, "Extra", {{"X", dbLong}});
    db->Execute("CREATE INDEX ByQty ON Orders (Qty)");
    db->Execute("DROP TABLE Scrap");
    db->QueryDefs().Refresh();
    db->CreateQueryDef("Other", "SELECT ID FROM Orders");

    EXPECT_EQ(&db->TableDefs()["Orders"], &orders) << "a table that stays keeps its object";
    EXPECT_EQ(note.Name(), "Note");
    orders.Fields().Delete("Note");  // the held collection still works
    EXPECT_EQ(db->TableDefs()["Orders"].Fields().Count(), 2);
    EXPECT_EQ(note.Name(), "Note") << "a field that went is still readable, not freed";
    EXPECT_NE(db->TableDefs()["Orders"].Indexes().Find("ByQty"), nullptr);

    EXPECT_EQ(errorOf([&] { scrap.OpenRecordset(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { scrap.Fields().Append(scrap.CreateField("B", dbLong)); }), err::DatabaseClosed);
    EXPECT_EQ(big.SQL(), "SELECT * FROM Orders WHERE Qty > 5");
    db->QueryDefs().Delete("Big");
    EXPECT_EQ(errorOf([&] { big.OpenRecordset(); }), err::DatabaseClosed);

    db->Close();
    EXPECT_EQ(errorOf([&] { orders.OpenRecordset(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { orders.Fields().Append(orders.CreateField("C", dbLong)); }), err::DatabaseClosed);
}

}  // namespace

// Another program writing into a table of ours: each column keeps to its type.
TEST(StoredTypes, OtherProgramsCannotWriteTheWrongKindOfValue) {
    TempDir dir;
    const std::string path = dir.file("t.db");
    DBEngine::CreateDatabase(path)->Execute(
        "CREATE TABLE T (C Currency, S Single, D Double, N Numeric (8, 2), F Float, B LongBinary)");
    struct Case { const char* column; const char* value; bool accepted; };
    std::vector<Case> cases;
    for (const char* number : {"C", "S", "D", "N", "F"})
        for (const auto& [value, accepted] : {std::pair{"1", true}, {"1.5", true}, {"NULL", true}, {"'abc'", false},
                                              {"x'00'", false}})
            cases.push_back({number, value, accepted});
    for (const auto& [value, accepted] : {std::pair{"x'00'", true}, {"'abc'", true}, {"NULL", true}, {"1", false},
                                          {"1.5", false}})
        cases.push_back({"B", value, accepted});
    for (const auto& c : cases) {
        bool accepted = true;
        try {
            rawExec(path, std::string("INSERT INTO T (") + c.column + ") VALUES (" + c.value + ")");
        } catch (const std::runtime_error&) {
            accepted = false;
        }
        EXPECT_EQ(accepted, c.accepted) << c.column << " = " << c.value;
    }
}
