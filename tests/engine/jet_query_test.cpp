// Saved queries of Jet files rebuilt from their MSysQueries rows. The rows
// are those of the sample queryTest files (in the order the file keeps them);
// the texts are laid out as the file's own product shows them.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "engine/jet/querytext.h"

using engine::jet::QueryRow;
using engine::jet::rebuildQuery;

namespace {

QueryRow row(int attribute, int flag, std::string name1 = {}, std::string name2 = {}, std::string expression = {}) {
    QueryRow r;
    r.attribute = attribute;
    r.flag = flag;
    r.name1 = std::move(name1);
    r.name2 = std::move(name2);
    r.expression = std::move(expression);
    return r;
}

struct Case {
    const char* name;
    std::vector<QueryRow> rows;
    int kind;
    std::string sql;
};

TEST(JetQueries, RebuiltAsTheirProductShowsThem) {
    const std::vector<Case> cases = {
        {"select with joins, distinct and a sort",
         {row(0, 0), row(255, 0), row(1, 1), row(3, 2), row(5, 0, "Table1"), row(5, 0, "Table2"), row(5, 0, "Table3"),
          row(6, 0, "", "", "Table1.*"), row(6, 0, "", "", "Table2.col1"), row(6, 0, "", "", "Table2.col2"),
          row(6, 0, "", "", "Table3.col3"), row(7, 2, "Table1", "Table3", "Table1.col1 = Table3.col1"),
          row(7, 1, "Table3", "Table2", "Table3.col1 = Table2.col1"),
          row(7, 1, "Table3", "Table2", "Table3.col1 = Table2.col2"), row(11, 0, "", "", "Table2.col1"),
          row(8, 0, "", "", "(((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))")},
         engine::jet::kSelectQuery,
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
         "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
         "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\r\n"
         "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\n"
         "ORDER BY Table2.col1;"},
        {"update with a parameter",
         {row(1, 4), row(3, 0), row(5, 0, "Table1"), row(6, 0, "", "Table1.col1", "\"foo\""),
          row(6, 0, "", "Table1.col2", "[Table2].[col3]"), row(6, 0, "", "[Table2].[col1]", "[User Name]"),
          row(8, 0, "", "", "((([Table2].[col1]) Is Not Null))"), row(2, 10, "User Name")},
         engine::jet::kUpdateQuery,
         "PARAMETERS [User Name] Text ( 255 );\r\n"
         "UPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User Name]\r\n"
         "WHERE ((([Table2].[col1]) Is Not Null));"},
        {"append into named fields",
         {row(1, 3, "Table3"), row(6, 0, "", "col2", "[Table1].[col2]"), row(6, 0, "", "col2", "[Table2].[col2]"),
          row(6, 0, "", "col3", "[Table2].[col3]"), row(5, 0, "Table3"),
          row(7, 1, "Table1", "Table2", "[Table1].[col1]=[Table2].[col1]"), row(5, 0, "Table1"), row(5, 0, "Table2")},
         engine::jet::kAppendQuery,
         "INSERT INTO Table3 ( col2, col2, col3 )\r\n"
         "SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\n"
         "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
        {"delete of chosen fields",
         {row(1, 5), row(3, 0), row(5, 0, "Table1"), row(6, 0, "", "", "Table1.col1"), row(6, 0, "", "", "Table1.col2"),
          row(6, 0, "", "", "Table1.col3"), row(8, 0, "", "", "(((Table1.col1)>\"blah\"))")},
         engine::jet::kDeleteQuery,
         "DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE (((Table1.col1)>\"blah\"));"},
        {"make-table with grouping",
         {row(1, 2, "Table4"), row(3, 0), row(5, 0, "Table2"), row(5, 0, "Table1"), row(5, 0, "Table3"),
          row(6, 0, "MaxOfcol1", "", "Max(Table2.col1)"), row(9, 0, "", "", "Table2.col2"),
          row(6, 0, "", "", "Table2.col2"), row(9, 0, "", "", "Table3.col2"), row(6, 0, "", "", "Table3.col2"),
          row(7, 1, "Table2", "Table1", "Table2.col1 = Table1.col2"),
          row(7, 3, "Table1", "Table3", "Table1.col2 = Table3.col3"),
          row(10, 0, "", "", "(((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"))")},
         engine::jet::kMakeTableQuery,
         "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\n"
         "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3\r\n"
         "GROUP BY Table2.col2, Table3.col2\r\n"
         "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
        {"crosstab over a table twice",
         {row(1, 6), row(6, 0, "CountOfcol2", "", "Count([Table2].[col2])"), row(6, 2, "", "", "Table2_1.col1"),
          row(6, 2, "", "", "[Table2].[col3]"), row(6, 2, "AvgOfcol2", "", "Avg(Table2_1.col2)"),
          row(7, 1, "Table1", "Table2", "[Table1].[col1]=[Table2].[col1]"),
          row(7, 1, "Table2", "Table2_1", "[Table2].[col1]=Table2_1.col3"), row(5, 0, "Table1"), row(5, 0, "Table2"),
          row(5, 0, "Table2", "Table2_1"),
          row(8, 0, "", "", "((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))"),
          row(9, 2, "", "", "Table2_1.col1"), row(9, 2, "", "", "[Table2].[col3]"), row(11, 0, "", "", "[Table2].[col3]"),
          row(9, 1, "", "", "[Table1].[col1]"), row(6, 1, "", "", "[Table1].[col1]")},
         engine::jet::kCrosstabQuery,
         "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\n"
         "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\r\n"
         "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 ON "
         "[Table2].[col1]=Table2_1.col3\r\n"
         "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))\r\n"
         "GROUP BY Table2_1.col1, [Table2].[col3]\r\n"
         "ORDER BY [Table2].[col3]\r\n"
         "PIVOT [Table1].[col1];"},
        {"union of a union and a select",
         {row(5, 0, "", "X7YZ_____1",
              "Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect Table2.col1, Table2.col2\r\n"),
          row(1, 9), row(5, 0, "", "X7YZ_____2", "Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > \"blah\""),
          row(3, 1)},
         engine::jet::kUnionQuery,
         "Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect Table2.col1, Table2.col2\r\n"
         "UNION ALL Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > \"blah\";"},
        {"data definition kept as typed",
         {row(1, 7, "", "", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);")},
         engine::jet::kDataDefinitionQuery, "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
        {"top percent, distinctrow and owner access",
         [] {
             QueryRow flags = row(3, 0x10 | 0x20 | 0x08 | 0x04, "25");
             return std::vector<QueryRow>{row(1, 1), flags, row(5, 0, "Orders"), row(6, 0, "", "", "Orders.Freight"),
                                          row(11, 0, "D", "", "Orders.Freight")};
         }(),
         engine::jet::kSelectQuery,
         "SELECT DISTINCTROW TOP 25 PERCENT Orders.Freight\r\nFROM Orders\r\nORDER BY Orders.Freight DESC\r\n"
         "WITH OWNERACCESS OPTION;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rebuilt = rebuildQuery(c.rows);
        EXPECT_EQ(rebuilt.kind, c.kind);
        EXPECT_EQ(rebuilt.sql, c.sql);
    }
}

// Rows that do not make a statement are refused with the file's error, and a
// pass-through query keeps its connect text beside its statement.
TEST(JetQueries, BrokenRowsAreRefusedAndPassThroughKeepsItsConnection) {
    const auto passThrough = rebuildQuery({row(1, 8, "ODBC;", "", "ALTER TABLE Table4 DROP COLUMN col5;")});
    EXPECT_EQ(passThrough.kind, engine::jet::kPassThroughQuery);
    EXPECT_EQ(passThrough.connect, "ODBC;");
    for (const auto& rows : std::vector<std::vector<QueryRow>>{
             {row(0, 0), row(255, 0)},
             {row(1, 42)},
             {row(1, 1), row(5, 0, "A"), row(7, 1, "A", "B", "A.x = B.x")},
             {row(1, 9), row(5, 0, "", "X7YZ_____1", "Select 1")},
         }) {
        try {
            rebuildQuery(rows);
            ADD_FAILURE() << "accepted";
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.number(), engine::err::NotADatabase);
        }
    }
}

}  // namespace
