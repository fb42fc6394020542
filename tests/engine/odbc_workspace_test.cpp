// The ODBC workspace: the DBF data source over the shared sample tables and
// tables written here, and data sources of the unixODBC driver manager through
// the SQLite ODBC driver on a file made by the engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/dbf_writer.h"
#include "support/odbc_driver.h"
#include "support/tempdir.h"

using namespace engine;
using enginetest::errorOf;
using enginetest::raised;
using enginetest::Raised;
namespace fs = std::filesystem;

namespace {

const std::string kSamples = LEDGERLY_DBF_SAMPLES;

std::string foxProConnect(const std::string& folder, const std::string& encoding = "") {
    return "ODBC;DSN=Visual FoxPro Tables;SourceDB=" + folder + ";SourceType=DBF" +
           (encoding.empty() ? "" : ";Encoding=" + encoding);
}

std::shared_ptr<OdbcConnection> connect(const std::string& connectString) {
    auto ws = DBEngine::CreateWorkspace("", "", "", dbUseODBC);
    return ws->OpenConnection("", 1, false, connectString);
}

// Every value of every row, read forward to the end.
std::vector<std::vector<Variant>> readAll(OdbcRecordset& rs) {
    std::vector<std::vector<Variant>> rows;
    for (; !rs.EOF_(); rs.MoveNext()) {
        rows.emplace_back();
        for (const auto& f : rs.Fields()) rows.back().push_back(f->Value());
    }
    return rows;
}

class FoxProSamples : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSamples)) GTEST_SKIP() << "no sample tables in " << kSamples;
    }
};

TEST_F(FoxProSamples, TheEncodingKeyReadsOnlyTablesThatNameNoCodePage) {
    // A table whose byte is 0 reads by the key; one that names its code page keeps it.
    auto big5 = connect(foxProConnect(kSamples, "BIG5"))->OpenRecordset("Select * from dbase_not_latin1");
    EXPECT_EQ(big5->Fields(0).Name(), "畜主姓名");
    auto named = connect(foxProConnect(kSamples, "BIG5"))->OpenRecordset("Select * from dbase_31");
    named->MoveLast();
    EXPECT_EQ(named->AbsolutePosition(), 76);
    EXPECT_EQ(named->Fields("productnam").Value().toText(), "Original Frankfurter grüne Soáe");
    EXPECT_EQ(errorOf([] { connect(foxProConnect(kSamples, "NO-SUCH-CODEPAGE")); }), err::InvalidArgument);
}

// A folder of tables written here.
class FoxProFolder : public ::testing::Test {
protected:
    void write(const std::string& name, const std::vector<dbfwriter::Col>& cols, const std::vector<std::string>& rows) {
        dbfwriter::writeFile(dir.file(name), dbfwriter::dbfBytes(0x03, 0x03, cols, rows));
    }
    std::shared_ptr<OdbcConnection> con() { return connect(foxProConnect(dir.path().string())); }
    TempDir dir;
};

TEST_F(FoxProFolder, MovingThroughRowsAndWhatClosingEnds) {
    write("Three.DBF", {{"NAME", 'C', 5}, {"QTY", 'N', 6, 2}},
          {"Ann  " + dbfwriter::rightAligned("1.50", 6), "*Bob  " + dbfwriter::rightAligned("2.00", 6),
           "Cy   " + dbfwriter::rightAligned("3.25", 6), "Di   " + dbfwriter::rightAligned("", 6)});
    write("empty.dbf", {{"NAME", 'C', 5}}, {});
    auto ws = DBEngine::CreateWorkspace("", "", "", dbUseODBC);
    auto c = ws->OpenConnection("", 1, false, foxProConnect(dir.path().string()));
    for (const char* spelled : {"Three.DBF", "THREE.dbf", "three", "[Three]  ;"}) {
        auto named = c->OpenRecordset(std::string("Select * from ") + spelled, dbOpenDynaset);
        EXPECT_EQ(named->Type(), dbOpenForwardOnly) << spelled;
        EXPECT_FALSE(named->Updatable()) << spelled;
        EXPECT_EQ(readAll(*named).size(), 3u) << spelled;
    }
    auto rs = c->OpenRecordset("SELECT * FROM three");
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_FALSE(rs->BOF());
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->Fields("name").Value().toText(), "Ann");
    // Numeric fields carry their width and decimals, so a new table keeps the digits.
    EXPECT_EQ(rs->Fields("QTY").Type(), dbNumeric);
    EXPECT_EQ(rs->Fields("QTY").Precision(), 6);
    EXPECT_EQ(rs->Fields("QTY").Scale(), 2);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("NAME").Value().toText(), "Cy");  // Bob is deleted
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    EXPECT_TRUE(rs->Fields("QTY").Value().isNull());
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_EQ(errorOf([&] { rs->Fields(0).Value(); }), err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs->MoveNext(); }), err::NoCurrentRecord);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields("NAME").Value().toText(), "Di");
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("NAME").Value().toText(), "Ann");

    auto empty = c->OpenRecordset("Select * from empty.dbf");
    EXPECT_TRUE(empty->EOF_());
    EXPECT_TRUE(empty->BOF());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_EQ(errorOf([&] { empty->MoveFirst(); }), err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { empty->MoveLast(); }), err::NoCurrentRecord);

    // Closing the workspace closes its connections and their recordsets.
    OdbcField& name = rs->Fields("NAME");
    ws->Close();
    EXPECT_FALSE(c->IsOpen());
    EXPECT_FALSE(rs->IsOpen());
    EXPECT_EQ(errorOf([&] { name.Value(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { rs->MoveFirst(); }), err::DatabaseClosed);
    EXPECT_EQ(errorOf([&] { c->OpenRecordset("Select * from three"); }), err::DatabaseClosed);
}

TEST_F(FoxProFolder, Refusals) {
    write("t.dbf", {{"A", 'C', 1}}, {"x"});
    const std::string folder = dir.path().string();
    struct Case { const char* what; std::function<void()> run; int error; };
    const std::vector<Case> cases = {
        {"a Jet workspace", [&] { DBEngine::CreateWorkspace("", "", "", dbUseJet)->OpenConnection("", 1, false, foxProConnect(folder)); }, err::OperationNotSupported},
        {"no such folder", [&] { connect(foxProConnect(folder + "/none")); }, 3044},
        {"no folder given", [&] { connect("ODBC;DSN=Visual FoxPro Tables;SourceType=DBF"); }, 3044},
        {"no such table", [&] { con()->OpenRecordset("Select * from u"); }, err::NoSuchTable},
        {"a path for a table", [&] { con()->OpenRecordset("Select * from ../t"); }, err::NoSuchTable},
        {"a field list", [&] { con()->OpenRecordset("Select A from t"); }, err::OperationNotSupported},
        {"no table named", [&] { con()->OpenRecordset("Select * from  "); }, err::SyntaxInFrom},
        {"a table-type recordset", [&] { con()->OpenRecordset("Select * from t", dbOpenTable); }, err::InvalidArgument},
        {"not a table", [&] {
             dbfwriter::writeFile(dir.file("junk.dbf"), "not a table at all");
             con()->OpenRecordset("Select * from junk");
         }, err::NotADatabase},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf(c.run), c.error) << c.what;
    // SourceType=DBF alone, without the DSN, is the same data source.
    EXPECT_EQ(connect("ODBC;SourceDB=" + folder + ";SourceType=DBF")->OpenRecordset("Select * from T")->RecordCount(), 1);
}

// ------------------------------------------------------------ unixODBC

// A database made by the engine, reached through a DSN that an odbc.ini of
// this suite's own defines: the driver manager reads no file of the machine's.
class DriverManager : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        driver = sqliteOdbcDriver();
        if (driver.empty()) return;
        database = folder->file("source.db");
        auto db = DBEngine::CreateDatabase(database);
        db->Execute("CREATE TABLE Orders (ID Long, Customer Text(20), Amount Double, Ordered Date, Notes Memo)");
        db->Execute("INSERT INTO Orders VALUES (1, 'Zürich AG', 12.5, #2024-03-01#, 'first')");
        db->Execute("INSERT INTO Orders VALUES (2, '台北', -3.25, #1999-12-31#, Null)");
        db->Execute("INSERT INTO Orders VALUES (3, Null, Null, Null, '" + std::string(5000, 'm') + "')");
        db->Close();
        std::ofstream(folder->file("odbc.ini")) << "[LedgerlyOrders]\nDriver=" << driver << "\nDatabase=" << database
                                                << "\n";
        std::ofstream(folder->file("odbcinst.ini")) << "";
        setenv("ODBCSYSINI", folder->path().c_str(), 1);
        setenv("ODBCINI", folder->file("odbc.ini").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (package libsqliteodbc) is not installed";
    }
    static inline TempDir* folder = nullptr;
    static inline std::string driver, database;
};

TEST_F(DriverManager, ADsnGivesTheRowsWithEngineTypes) {
    auto con = connect("ODBC;DSN=LedgerlyOrders");
    auto rs = con->OpenRecordset("SELECT * FROM Orders ORDER BY ID");
    std::vector<std::tuple<std::string, int>> fields;
    for (const auto& f : rs->Fields()) fields.emplace_back(f->Name(), f->Type());
    EXPECT_EQ(fields, (std::vector<std::tuple<std::string, int>>{
                          {"ID", dbLong}, {"Customer", dbText}, {"Amount", dbDouble}, {"Ordered", dbDate}, {"Notes", dbMemo}}));
    EXPECT_EQ(rs->Fields("Customer").Size(), 20);
    const auto rows = readAll(*rs);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<Variant>{Variant::longInt(1), Variant::text("Zürich AG"), Variant::dbl(12.5),
                                              Variant::date(dates::fromParts(2024, 3, 1)), Variant::text("first")}));
    EXPECT_EQ(rows[1][1].toText(), "台北");
    EXPECT_EQ(rows[1][3].toText(), "1999-12-31");
    EXPECT_TRUE(rows[1][4].isNull());
    EXPECT_TRUE(rows[2][1].isNull() && rows[2][2].isNull() && rows[2][3].isNull());
    EXPECT_EQ(rows[2][4].toText(), std::string(5000, 'm')) << "a long value comes whole";
    EXPECT_EQ(rs->RecordCount(), 3) << "exact once the end was read";
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("ID").Value().toText(), "1");
    rs->MoveLast();
    EXPECT_EQ(rs->Fields("ID").Value().toText(), "3");
}

TEST_F(DriverManager, ADriverByPathNeedsNoDsn) {
    auto con = connect("DRIVER=" + driver + ";Database=" + database);
    auto rs = con->OpenRecordset("SELECT Count(*) AS N FROM Orders WHERE Amount > 0");
    EXPECT_EQ(rs->Fields("N").Value().toText(), "1");
}

TEST_F(DriverManager, FailuresCarryTheDriverManagersWordsAndSqlstate) {
    const Raised noDsn = raised([] { connect("ODBC;DSN=NoSuchSource"); });
    EXPECT_EQ(noDsn.number, 3151);
    for (const char* words : {"NoSuchSource", "Data source name not found", "IM002"})
        EXPECT_NE(noDsn.text.find(words), std::string::npos) << noDsn.text;
    const Raised noTable = raised([] { connect("DSN=LedgerlyOrders")->OpenRecordset("SELECT * FROM NoSuchTable"); });
    EXPECT_EQ(noTable.number, 3146);
    EXPECT_NE(noTable.text.find("SQLSTATE"), std::string::npos) << noTable.text;
}

}  // namespace

// A saved pass-through query keeps its connect string and sends its text,
// unparsed, to that data source; its own database is not where it runs.
TEST_F(DriverManager, APassThroughQueryRunsAtItsSource) {
    TempDir here;
    const std::string file = here.file("Queries.mdb");
    {
        auto db = DBEngine::CreateDatabase(file);
        auto q = db->CreateQueryDef("Push");
        q->SetConnect("ODBC;DSN=LedgerlyOrders");
        q->SetSQL("UPDATE Orders SET Amount = Amount * 2 WHERE ID = 1");  // the driver's statement, not ours
        EXPECT_THROW(db->CreateQueryDef("Bad")->SetConnect("Text;Database=/tmp"), Error);
    }
    auto db = DBEngine::OpenDatabase(file);
    QueryDef& push = db->QueryDefs()["Push"];
    EXPECT_EQ(push.Type(), 112);
    EXPECT_EQ(push.Connect(), "ODBC;DSN=LedgerlyOrders");
    for (auto open : std::vector<std::function<void()>>{[&] { push.OpenRecordset(); },
                                                        [&] { db->OpenRecordset("Push"); },
                                                        [&] { db->OpenRecordset("SELECT * FROM Push"); }})
        EXPECT_EQ(errorOf(open), 3251) << "a pass-through query's rows were read here";
    push.Execute();
    EXPECT_EQ(push.RecordsAffected(), 1);
    auto amount = [] {
        return connect("DSN=LedgerlyOrders")->OpenRecordset("SELECT Amount FROM Orders WHERE ID = 1")->Fields(0).Value();
    };
    EXPECT_EQ(amount().toText(), "25");
    push.SetConnect("");  // back to the dialect: its text must now be ours
    EXPECT_EQ(db->QueryDefs()["Push"].Type(), 48);
    push.SetConnect("ODBC;DSN=NoSuchSource");
    EXPECT_EQ(errorOf([&] { push.Execute(); }), 3151) << "ran without its source";
    // Deleting it takes its connect string along: a new query of that name is ours.
    db->QueryDefs().Delete("Push");
    EXPECT_EQ(db->CreateQueryDef("Push", "SELECT 1 AS One")->Connect(), "");
    db->QueryDefs().Refresh();
    EXPECT_EQ(db->QueryDefs()["Push"].Connect(), "");
    EXPECT_EQ(db->QueryDefs()["Push"].Type(), 0);
    // Opened as a recordset, a statement that returns no rows runs and gives none.
    auto rs = connect("DSN=LedgerlyOrders")->OpenRecordset("UPDATE Orders SET Amount = 12.5 WHERE ID = 1");
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(amount().toText(), "12.5");
}
