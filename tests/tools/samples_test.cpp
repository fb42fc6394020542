// The sample and scratch database makers, run as programs into a temporary
// folder and checked through the engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
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

TEST_F(SampleMaker, HasEveryFieldTypeAndNoOrphanDetails) {
    std::set<int> types;
    for (const auto& td : db_->TableDefs())
        if (!(td->Attributes() & dbSystemObject))
            for (const auto& f : td->Fields()) types.insert(f->Type());
    for (int t : {dbText, dbMemo, dbLong, dbInteger, dbByte, dbCurrency, dbDouble, dbSingle, dbDate, dbBoolean, dbGUID})
        EXPECT_TRUE(types.count(t)) << "no field of type " << t;
    EXPECT_EQ(db_->TableDefs()["Orders"].RecordCount(), 1000);
    // Every detail line belongs to an order and a product.
    for (const char* key : {"OrderID", "ProductID"}) {
        const std::string k = key, other = k == "OrderID" ? "Orders" : "Products";
        EXPECT_EQ(countOf(*db_, "SELECT Count(*) FROM [Order Details] AS d LEFT JOIN " + other + " AS o ON d." + k +
                                    " = o." + k + " WHERE o." + k + " Is Null"), 0) << key;
    }
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
