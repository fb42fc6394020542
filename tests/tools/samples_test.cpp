// The sample and scratch database makers, run as programs into a temporary
// folder and checked through the engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>

#include "engine/dao.h"
#include "engine/engine_helpers.h"
#include "support/run_tool.h"
#include "support/tempdir.h"

using namespace engine;
using enginetest::errorOf;

namespace {

long countOf(Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql);
    return static_cast<long>(rs->Fields(0).Value().toInt64());
}

// Every row of a table in its text form, for comparing two runs.
std::string dump(Database& db, const std::string& table) {
    std::string all;
    auto rs = db.OpenRecordset(table);
    for (; !rs->EOF_(); rs->MoveNext()) {
        for (int i = 0; i < rs->Fields().Count(); ++i) all += rs->Fields(i).Value().toText() + "|";
        all += "\n";
    }
    return all;
}

class SampleMaker : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp_ = new TempDir;
        result_ = new RunResult(runTool(*tmp_, "ledgerly-mksample", shellQuoted(tmp_->path().string())));
    }
    static void TearDownTestSuite() {
        delete result_;
        delete tmp_;
    }
    void SetUp() override {
        ASSERT_EQ(result_->exitCode, 0) << result_->err;
        db_ = DBEngine::OpenDatabase(tmp_->file("Sales.mdb"));
    }

    static TempDir* tmp_;
    static RunResult* result_;
    std::shared_ptr<Database> db_;
};
TempDir* SampleMaker::tmp_ = nullptr;
RunResult* SampleMaker::result_ = nullptr;

TEST_F(SampleMaker, PrintsOneLinePerDatabase) {
    std::istringstream lines(result_->out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), 2u) << result_->out;
    EXPECT_NE(got[0].find("Sales.mdb"), std::string::npos);
    EXPECT_NE(got[0].find("1,000 orders"), std::string::npos);
    EXPECT_NE(got[1].find("Secret.mdb"), std::string::npos);
    EXPECT_TRUE(result_->err.empty()) << result_->err;
}

TEST_F(SampleMaker, HasTheTablesAndEveryFieldType) {
    for (const char* t : {"Customers", "Products", "Orders", "Order Details"})
        EXPECT_NE(db_->TableDefs().Find(t), nullptr) << t;
    EXPECT_EQ(db_->TableDefs()["Orders"].Fields()["Ship Name"].Type(), dbText);

    std::set<int> types;
    for (const auto& td : db_->TableDefs())
        if (!(td->Attributes() & dbSystemObject))
            for (const auto& f : td->Fields()) types.insert(f->Type());
    for (int t : {dbText, dbMemo, dbLong, dbInteger, dbByte, dbCurrency, dbDouble, dbSingle, dbDate, dbBoolean, dbGUID})
        EXPECT_TRUE(types.count(t)) << "no field of type " << t;

    EXPECT_EQ(db_->TableDefs()["Orders"].RecordCount(), 1000);
    EXPECT_EQ(db_->TableDefs()["Customers"].RecordCount(), 100);
    EXPECT_EQ(db_->TableDefs()["Products"].RecordCount(), 50);
    EXPECT_GT(db_->TableDefs()["Order Details"].RecordCount(), 1000);
    // Every detail line belongs to an order and a product.
    EXPECT_EQ(countOf(*db_, "SELECT Count(*) FROM [Order Details] AS d LEFT JOIN Orders AS o ON d.OrderID = o.OrderID "
                            "WHERE o.OrderID Is Null"), 0);
    EXPECT_EQ(countOf(*db_, "SELECT Count(*) FROM [Order Details] AS d LEFT JOIN Products AS p ON d.ProductID = p.ProductID "
                            "WHERE p.ProductID Is Null"), 0);
}

TEST_F(SampleMaker, ValuesIncludeNullsDatesWithAndWithoutTimeAndGuids) {
    for (const char* some : {"Orders WHERE ShippedDate Is Null", "Orders WHERE [Ship Name] Is Null",
                             "Customers WHERE Phone Is Null", "Customers WHERE Notes Is Not Null",
                             "Orders WHERE [Ship Name] <> Trim([Ship Name])"})  // stray blanks, for Trim
        EXPECT_GT(countOf(*db_, std::string("SELECT Count(*) FROM ") + some), 0) << some;

    auto rs = db_->OpenRecordset("Orders");
    Variant ordered = rs->Fields("OrderDate").Value();
    Variant required = rs->Fields("RequiredDate").Value();
    ASSERT_EQ(ordered.kind(), Variant::Kind::Date);
    ASSERT_EQ(required.kind(), Variant::Kind::Date);
    EXPECT_EQ(ordered.toText().size(), 19u) << ordered.toText();  // has a time of day
    EXPECT_EQ(required.toText().size(), 10u) << required.toText();
    Variant guid = rs->Fields("TrackingID").Value();
    EXPECT_EQ(guid.kind(), Variant::Kind::GUID);
    EXPECT_EQ(guid.toText().size(), 38u);
    EXPECT_EQ(rs->Fields("Paid").Value().kind(), Variant::Kind::Boolean);
    EXPECT_EQ(rs->Fields("Freight").Value().kind(), Variant::Kind::Currency);
    // Orders span six years in date order.
    EXPECT_EQ(countOf(*db_, "SELECT Min(Year(OrderDate)) FROM Orders"), 2019);
    EXPECT_EQ(countOf(*db_, "SELECT Max(Year(OrderDate)) FROM Orders"), 2024);
}

TEST_F(SampleMaker, HasPrimaryUniqueAndMultiFieldIndexes) {
    auto& orders = db_->TableDefs()["Orders"];
    Index& pk = orders.Indexes()["PrimaryKey"];
    EXPECT_TRUE(pk.Primary());
    ASSERT_EQ(pk.Fields().Count(), 1);
    EXPECT_EQ(pk.Fields()[0].Name(), "OrderID");
    EXPECT_EQ(orders.Indexes()["CustomerDates"].Fields().Count(), 3);
    Index& shipTo = orders.Indexes()["ShipTo"];
    ASSERT_EQ(shipTo.Fields().Count(), 4);
    EXPECT_EQ(shipTo.Fields()[2].Name(), "Ship Name");
    EXPECT_FALSE(shipTo.Unique());

    Index& company = db_->TableDefs()["Customers"].Indexes()["CompanyName"];
    EXPECT_TRUE(company.Unique());
    EXPECT_FALSE(company.Primary());
    EXPECT_EQ(db_->TableDefs()["Order Details"].Indexes()["PrimaryKey"].Fields().Count(), 2);
}

TEST_F(SampleMaker, HasQueriesOfEveryKindThatRun) {
    std::map<int, std::vector<std::string>> byType;
    for (const auto& q : db_->QueryDefs()) byType[q->Type()].push_back(q->Name());
    for (int t : {0, 128, 64, 48, 32, 80}) EXPECT_TRUE(byType.count(t)) << "no query of type " << t;

    EXPECT_EQ(errorOf([&] { db_->OpenRecordset("Orders for Customer"); }), err::TooFewParameters);
    EXPECT_NE(db_->QueryDefs()["Orders for Customer"].SQL().find("PARAMETERS"), std::string::npos);

    for (int t : {0, 128})
        for (const auto& name : byType[t]) {
            if (name == "Orders for Customer") continue;
            std::shared_ptr<Recordset> rs;
            ASSERT_EQ(errorOf([&] { rs = db_->OpenRecordset(name); }), 0) << name;
            EXPECT_GT(rs->RecordCount(), 0) << name;
        }

    // The action queries run in their natural order and each changes something;
    // on a copy, so the other tests see the file as made.
    std::string copy = tmp_->file("Actions.mdb");
    std::filesystem::copy_file(tmp_->file("Sales.mdb"), copy, std::filesystem::copy_options::overwrite_existing);
    auto db = DBEngine::OpenDatabase(copy);
    for (const char* name : {"Archive Old Orders", "Raise Prices", "Delete Archived Orders", "Make Shipping List"}) {
        QueryDef& q = db->QueryDefs()[name];
        ASSERT_EQ(errorOf([&] { q.Execute(dbFailOnError); }), 0) << name;
        EXPECT_GT(q.RecordsAffected(), 0) << name;
    }
    long archived = db->TableDefs()["Orders Archive"].RecordCount();
    EXPECT_GT(archived, 0);
    EXPECT_EQ(db->TableDefs()["Orders"].RecordCount(), 1000 - archived);
    ASSERT_NE(db->TableDefs().Find("Shipping List"), nullptr);
    EXPECT_EQ(db->TableDefs()["Shipping List"].RecordCount(),
              countOf(*db, "SELECT Count(*) FROM Orders WHERE ShippedDate Is Null"));
}

TEST_F(SampleMaker, PasswordDatabaseNeedsItsPassword) {
    std::string file = tmp_->file("Secret.mdb");
    EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(file); }), err::BadPassword);
    EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(file, false, false, ";pwd=Ledgerly"); }), err::BadPassword);
    auto db = DBEngine::OpenDatabase(file, false, false, ";pwd=ledgerly");
    int tables = 0;
    for (const auto& td : db->TableDefs())
        if (!(td->Attributes() & dbSystemObject)) {
            ++tables;
            EXPECT_GT(td->RecordCount(), 0) << td->Name();
        }
    EXPECT_EQ(tables, 1);
}

TEST(SampleMakerRuns, RepeatReplaceAndHonourRows) {
    TempDir a, b;
    ASSERT_EQ(runTool(a, "ledgerly-mksample", shellQuoted(a.path().string()) + " --rows 40").exitCode, 0);
    // A second run replaces the files of the first instead of adding to them.
    ASSERT_EQ(runTool(b, "ledgerly-mksample", shellQuoted(b.path().string()) + " --rows 40").exitCode, 0);
    RunResult again = runTool(b, "ledgerly-mksample", shellQuoted(b.path().string()) + " --rows 40");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    auto da = DBEngine::OpenDatabase(a.file("Sales.mdb"));
    auto db = DBEngine::OpenDatabase(b.file("Sales.mdb"));
    EXPECT_EQ(da->TableDefs()["Orders"].RecordCount(), 40);
    EXPECT_EQ(db->QueryDefs().Count(), da->QueryDefs().Count());
    for (const char* t : {"Customers", "Products", "Orders", "Order Details"}) EXPECT_EQ(dump(*da, t), dump(*db, t)) << t;
}

TEST(SampleMakerRuns, ReportsErrors) {
    TempDir tmp;
    for (auto [args, start] : {std::pair{shellQuoted(tmp.file("no such folder")), "Error 3044: "},
                               {shellQuoted(tmp.path().string()) + " --rows many", "Error "}}) {
        RunResult r = runTool(tmp, "ledgerly-mksample", args);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_EQ(r.err.rfind(start, 0), 0u) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(tmp.file("Sales.mdb")));
}

TEST(ScratchMaker, WritesTheRecentFilesTable) {
    TempDir tmp;
    RunResult r = runTool(tmp, "ledgerly-mkscratch", shellQuoted(tmp.path().string()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto db = DBEngine::OpenDatabase(tmp.file("TempTables.mdb"));
    TableDef& td = db->TableDefs()["RecentFiles"];
    const std::pair<const char*, int> fields[] = {
        {"MIndex", dbInteger}, {"DBPath", -1},        {"StatusName", dbText}, {"RSetType", dbInteger},
        {"TableName", dbText}, {"PTop", dbSingle},    {"PLeft", dbSingle},    {"PWidth", dbSingle},
        {"PHeigth", dbSingle}, {"MenuIndex", dbInteger}};
    ASSERT_EQ(td.Fields().Count(), 10);
    for (int i = 0; i < 10; ++i) {
        const int type = td.Fields()[i].Type();
        EXPECT_EQ(td.Fields()[i].Name(), fields[i].first);
        EXPECT_TRUE(fields[i].second >= 0 ? type == fields[i].second : type == dbText || type == dbMemo) << fields[i].first;
    }

    for (auto [index, unique, field] : {std::tuple{"MIndex", true, "MIndex"}, {"Recordsets", false, "StatusName"}}) {
        Index& ix = td.Indexes()[index];
        EXPECT_EQ(ix.Unique(), unique) << index;
        ASSERT_EQ(ix.Fields().Count(), 1);
        EXPECT_EQ(ix.Fields()[0].Name(), field);
    }

    auto rs = db->OpenRecordset("RecentFiles");
    rs->SetIndex("MIndex");
    ASSERT_EQ(rs->RecordCount(), 6);
    int expected = 1;
    for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext(), ++expected) {
        EXPECT_EQ(rs->Fields("MIndex").Value().toInt64(), expected);
        for (const char* f : {"StatusName", "TableName"}) {
            Variant v = rs->Fields(f).Value();
            EXPECT_TRUE(v.isText()) << f << " is Null in row " << expected;
            EXPECT_EQ(v.toText(), "") << f;
        }
        for (const char* f : {"PTop", "PLeft", "PWidth", "PHeigth"}) EXPECT_EQ(rs->Fields(f).Value().toDouble(), 0) << f;
    }
    // Empty display names share "" in the non-unique index.
    rs->SetIndex("Recordsets");
    rs->Seek("=", Variant::text(""));
    EXPECT_FALSE(rs->NoMatch());
}

}  // namespace
