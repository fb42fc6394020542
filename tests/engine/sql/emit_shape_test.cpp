// What emitSelect, emitAction and emitCondition hand to the engine beyond the
// SQL text: row addressing of single-table selects, linked-table references,
// index-friendly conditions and domain lookups, and the data-definition structures.
#include <gtest/gtest.h>

#include "engine/engine_helpers.h"
#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/sql.h"
#include "sample_db.h"

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

class NotAddressable : public ::testing::TestWithParam<const char*> {};

TEST_P(NotAddressable, HasNoBaseTable) {
    sqltest::SampleDb db;
    EmittedSelect e = emitSelect(parse(GetParam()), db.catalog());
    EXPECT_EQ(e.baseTable, "");
    EXPECT_EQ(e.selectList, "");
    for (const auto& c : e.columns) EXPECT_EQ(c.baseColumn, "") << c.name;
    auto out = db.query(e.sql);  // and it still runs
    EXPECT_FALSE(out.runtimeFailure) << out.errorText;
}

INSTANTIATE_TEST_SUITE_P(
    Selects, NotAddressable,
    ::testing::Values("SELECT o.OrderID FROM Orders AS o INNER JOIN Customers AS c ON o.CustomerID = c.CustomerID",
                      "SELECT OrderID FROM Orders, Customers",
                      "SELECT CustomerID FROM Orders GROUP BY CustomerID",
                      "SELECT Count(*) FROM Orders",
                      "SELECT DISTINCT CustomerID FROM Orders",
                      "SELECT TOP 2 OrderID FROM Orders",
                      "SELECT OrderID FROM Orders UNION SELECT ProductID FROM Products",
                      "SELECT OrderID FROM [Big Orders]",
                      "SELECT 1 + 1",
                      "SELECT t.OrderID FROM (SELECT OrderID FROM Orders) AS t"));

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

// Conditions on indexed fields must stay in a form SQLite serves from the index.
// index: text the query plan must show.
struct PlanCase { const char* where; const char* index; };

class IndexFriendly : public ::testing::TestWithParam<PlanCase> {};

TEST_P(IndexFriendly, ConditionUsesTheIndex) {
    sqltest::SampleDb db;
    ASSERT_EQ(sqlite3_exec(db.db(),
                           "CREATE INDEX OrderDate ON Orders (OrderDate);"
                           "CREATE INDEX ShipName ON Orders (\"Ship Name\");"
                           "CREATE INDEX Shipped ON Orders (Shipped);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EmittedSelect e = emitSelect(parse(std::string("SELECT OrderID FROM Orders WHERE ") + GetParam().where),
                                 db.catalog());
    auto plan = db.query("EXPLAIN QUERY PLAN " + e.sql);
    std::string text;
    for (const auto& r : plan.rows) text += r.back() + "\n";
    EXPECT_NE(text.find(GetParam().index), std::string::npos) << e.sql << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(Conditions, IndexFriendly,
                         ::testing::Values(PlanCase{"OrderID = 7", "INTEGER PRIMARY KEY"},
                                           PlanCase{"OrderID In (1, 2)", "INTEGER PRIMARY KEY"},
                                           PlanCase{"OrderDate >= #1/1/2024#", "INDEX OrderDate"},
                                           PlanCase{"OrderDate Between #1/1/2024# And #2/1/2024#", "INDEX OrderDate"},
                                           PlanCase{"[Ship Name] = 'ana'", "INDEX ShipName"},
                                           PlanCase{"[Ship Name] Like 'Ern*'", "INDEX ShipName"},
                                           PlanCase{"Shipped = True", "INDEX Shipped"},
                                           PlanCase{"[Ship Name] Is Null", "INDEX ShipName"}));

// A domain function whose criteria compares an indexed field with a value of
// the outer row costs one index search per outer row, never a scan of the domain.
class DomainLookup : public ::testing::TestWithParam<PlanCase> {};

TEST_P(DomainLookup, SearchesTheDomainThroughItsIndex) {
    sqltest::SampleDb db;
    ASSERT_EQ(sqlite3_exec(db.db(),
                           "CREATE INDEX ByOrder ON \"Order Details\" (OrderID);"
                           "CREATE INDEX ByCustomer ON Orders (CustomerID);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EmittedSelect e = emitSelect(parse(GetParam().where), db.catalog());
    auto plan = db.query("EXPLAIN QUERY PLAN " + e.sql);
    std::string text;
    int scans = 0;
    for (const auto& r : plan.rows) {
        text += r.back() + "\n";
        if (r.back().rfind("SCAN", 0) == 0) ++scans;
    }
    EXPECT_NE(text.find(GetParam().index), std::string::npos) << e.sql << "\n" << text;
    EXPECT_EQ(scans, 1) << "only the outer table is read whole\n" << e.sql << "\n" << text;
    EXPECT_EQ(text.find("TEMP B-TREE"), std::string::npos) << e.sql << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, DomainLookup,
    ::testing::Values(
        PlanCase{"SELECT OrderID, DSum(\"Quantity\", \"[Order Details]\", \"OrderID = \" & [OrderID]) FROM Orders",
                 "INDEX ByOrder"},
        PlanCase{"SELECT CustomerID, DCount(\"*\", \"Orders\", \"CustomerID = [Customers].[CustomerID]\") FROM Customers",
                 "INDEX ByCustomer"},
        PlanCase{"SELECT CustomerID FROM Customers WHERE DSum(\"Freight\", \"Orders\", \"CustomerID = '\" & "
                 "[CustomerID] & \"'\") > 10",
                 "INDEX ByCustomer"},
        PlanCase{"SELECT CustomerID, DLookup(\"OrderDate\", \"Orders\", \"CustomerID = '\" & CustomerID & \"'\"), "
                 "DLast(\"Freight\", \"Orders\", \"CustomerID = Customers.CustomerID\") FROM Customers",
                 "INDEX ByCustomer"}));

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
