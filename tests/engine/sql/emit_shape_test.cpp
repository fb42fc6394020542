// What emitSelect, emitAction and emitCondition hand to the engine beyond the
// SQL text: row addressing of single-table selects, linked-table references,
// index-friendly conditions and domain lookups, and the data-definition structures.
#include <gtest/gtest.h>

#include "engine/engine_helpers.h"
#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/sql.h"
#include "sample_db.h"
#include "support/case_file.h"

using namespace engine;
using namespace engine::sql;

namespace {

std::vector<std::string> column(const sqltest::Outcome& out, size_t i = 0) {
    std::vector<std::string> v;
    for (const auto& r : out.rows) v.push_back(r.at(i));
    return v;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + v[i];
    return s;
}

// The engine's keyset: rowids in order, then a page of rows read by rowid.
TEST(RowAddressing, KeysetAndPageReadsGiveTheSelectedRows) {
    sqltest::SampleDb db;
    EmittedSelect e = emitSelect(parse("SELECT OrderID, [Ship Name] AS Who, Freight * 2 FROM Orders AS o "
                                       "WHERE Freight > 50 ORDER BY Freight DESC"),
                                 db.catalog());
    ASSERT_EQ(e.baseTable, "Orders");
    auto keys = db.query("SELECT " + e.baseAlias + ".rowid FROM " + e.fromClause + " WHERE " + e.whereClause +
                         " ORDER BY " + e.orderBy);
    EXPECT_EQ(joined(column(keys)), "5,3,6");

    auto page = db.query("SELECT " + e.baseAlias + ".rowid, " + e.selectList + " FROM " + e.fromClause + " WHERE " +
                         e.baseAlias + ".rowid IN (3, 6) ORDER BY 1");
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0], (std::vector<std::string>{"3", "3", "Ana", "144.5"}));
    EXPECT_EQ(page.rows[1], (std::vector<std::string>{"6", "6", "Ernst 50%", "111"}));

    ASSERT_EQ(e.columns.size(), 3u);
    EXPECT_EQ(e.columns[0].baseColumn, "OrderID");
    EXPECT_EQ(e.columns[1].name, "Who");
    EXPECT_EQ(e.columns[1].baseColumn, "Ship Name");
    EXPECT_EQ(e.columns[2].baseColumn, "");

    // Without WHERE or ORDER BY both stay empty.
    e = emitSelect(parse("SELECT * FROM [Order Details]"), db.catalog());
    EXPECT_EQ(e.baseTable, "Order Details");
    EXPECT_EQ(e.whereClause, "");
    EXPECT_EQ(e.orderBy, "");
    EXPECT_EQ(db.query("SELECT " + e.baseAlias + ".rowid FROM " + e.fromClause).rows.size(), 7u);
}

std::vector<CaseLine> cases(const char* key) { return readCases(LEDGERLY_TEST_DATA "/emit_plans.txt", key); }

TEST(RowAddressing, SelectsWithoutABaseTableHaveNoneAndStillRun) {
    sqltest::SampleDb db;
    for (const auto& c : cases("unaddressable")) {
        SCOPED_TRACE(c.fields[0]);
        EmittedSelect e = emitSelect(parse(c.fields[0]), db.catalog());
        EXPECT_EQ(e.baseTable, "");
        EXPECT_EQ(e.selectList, "");
        for (const auto& col : e.columns) EXPECT_EQ(col.baseColumn, "") << col.name;
        auto out = db.query(e.sql);
        EXPECT_FALSE(out.runtimeFailure) << out.errorText;
    }
}

// A linked table lives in another (attached) database; its reference is
// schema-qualified and the statement still names it by its own name.
TEST(LinkedTables, AreReadThroughTheirReference) {
    sqltest::SampleDb db;
    TempDir other;
    std::string path = other.file("linked.db");
    std::string setup = "ATTACH DATABASE " + quoteText(path) +
                        " AS link_1; CREATE TABLE link_1.Remote (Code TEXT COLLATE NOCASE, Amount REAL);"
                        "INSERT INTO link_1.Remote VALUES ('a', 1.5), ('B', 2), ('c', 3);";
    ASSERT_EQ(sqlite3_exec(db.db(), setup.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    SourceInfo remote;
    remote.name = "Remote Stock";
    remote.sqliteRef = "\"link_1\".\"Remote\"";
    remote.columns = {{"Code", dbText}, {"Amount", dbDouble}};
    db.catalog().add(remote);

    EmittedSelect e =
        emitSelect(parse("SELECT [Remote Stock].Code FROM [Remote Stock] WHERE [Remote Stock].Amount > 1.6 "
                         "ORDER BY Code DESC"),
                   db.catalog());
    EXPECT_EQ(joined(column(db.query(e.sql))), "c,B");
    EXPECT_EQ(e.baseTable, "Remote Stock");

    std::string cond = emitCondition("Code = 'b' Or Amount = 3", remote);
    EXPECT_EQ(joined(column(db.query("SELECT Code FROM " + remote.sqliteRef + " WHERE " + cond + " ORDER BY rowid"))),
              "B,c");

    EmittedAction a = emitAction(parse("UPDATE [Remote Stock] SET Amount = Amount + 1 WHERE Code = 'A'"), db.catalog());
    EXPECT_EQ(a.targetTable, "Remote Stock");
    db.query(a.sql);
    EXPECT_EQ(joined(column(db.query("SELECT Amount FROM link_1.Remote WHERE Code = 'a'"))), "2.5");
}

// Conditions on indexed fields, and domain functions searching their domain
// through its index: the query plan shows the index, and a domain is never scanned.
TEST(QueryPlans, IndexedConditionsAndDomainCriteriaUseTheIndex) {
    sqltest::SampleDb db;
    ASSERT_EQ(sqlite3_exec(db.db(),
                           "CREATE INDEX OrderDate ON Orders (OrderDate); CREATE INDEX ShipName ON Orders (\"Ship Name\");"
                           "CREATE INDEX Shipped ON Orders (Shipped); CREATE INDEX ByOrder ON \"Order Details\" (OrderID);"
                           "CREATE INDEX ByCustomer ON Orders (CustomerID);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    for (const char* key : {"indexed", "domain"})
        for (const auto& c : cases(key)) {
            const std::string sql = key == std::string("indexed") ? "SELECT OrderID FROM Orders WHERE " + c.fields[0] : c.fields[0];
            EmittedSelect e = emitSelect(parse(sql), db.catalog());
            std::string text;
            int scans = 0;
            for (const auto& r : db.query("EXPLAIN QUERY PLAN " + e.sql).rows) {
                text += r.back() + "\n";
                if (r.back().rfind("SCAN", 0) == 0) ++scans;
            }
            SCOPED_TRACE(e.sql + "\n" + text);
            EXPECT_NE(text.find(c.fields[1]), std::string::npos);
            if (key == std::string("indexed")) continue;
            EXPECT_EQ(scans, 1) << "only the outer table is read whole";
            EXPECT_EQ(text.find("TEMP B-TREE"), std::string::npos);
        }
}

// DFirst, DLast and DLookup take the domain's rows in stored order, also when
// an index on the criteria field hands them over in another order.
TEST(DomainOrder, FirstLastAndLookupFollowStoredOrderWhateverIndexServesTheCriteria) {
    sqltest::SampleDb db;
    ASSERT_EQ(sqlite3_exec(db.db(), "CREATE INDEX ByFreight ON Orders (Freight);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    auto stored = db.query("SELECT OrderID FROM Orders WHERE Freight > 0 ORDER BY rowid");
    ASSERT_EQ(stored.rows.size(), 6u);
    auto out = db.run("SELECT DFirst(\"OrderID\", \"Orders\", \"Freight > 0\"), "
                      "DLast(\"OrderID\", \"Orders\", \"Freight > 0\"), DLookup(\"OrderID\", \"Orders\", \"Freight > 0\")");
    ASSERT_EQ(out.error, 0) << out.errorText;
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0], (std::vector<std::string>{stored.rows.front()[0], stored.rows.back()[0],
                                                     stored.rows.front()[0]}));
}

// SELECT INTO names its new table, parameters are reported, a select is no
// action, and quoting doubles inner quotes.
TEST(Statements, TargetsParametersActionsAndQuoting) {
    EXPECT_EQ(makeTableTarget(parse("SELECT * INTO [New Orders] FROM Orders")), "New Orders");
    EXPECT_EQ(makeTableTarget(parse("SELECT * FROM Orders")), "");
    EXPECT_TRUE(parse("PARAMETERS [Start] DateTime, Who Text (20); SELECT * FROM Orders").hasParameters());
    EXPECT_FALSE(parse("SELECT * FROM Orders").hasParameters());
    sqltest::SampleDb db;
    EXPECT_EQ(enginetest::errorOf([&] { emitAction(parse("SELECT * FROM Orders"), db.catalog()); }), 3065);
    auto out = db.query("SELECT " + quoteText("it's \"x\"") + " AS " + quoteIdent("a \"b\""));
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0][0], "it's \"x\"");
}

}  // namespace
