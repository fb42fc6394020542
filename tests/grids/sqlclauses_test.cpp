// How a grid splits its SQL into the part before WHERE, the WHERE part and the
// ORDER BY / GROUP BY tail, and joins them again.
#include <gtest/gtest.h>

#include "grids/sqlclauses.h"

namespace {

struct SplitCase {
    const char* name;
    const char* source;
    const char* selectFrom;
    const char* where;
    const char* rest;
    const char* full;
};

const SplitCase kCases[] = {
    {"NoClauses", "SELECT * FROM Orders", "SELECT * FROM Orders", "", "", "SELECT * FROM Orders"},
    {"SemicolonCut", "SELECT * FROM Orders;", "SELECT * FROM Orders", "", "", "SELECT * FROM Orders"},
    {"TextAfterLastSemicolonDropped", "SELECT a FROM t; junk; more", "SELECT a FROM t; junk", "", "",
     "SELECT a FROM t; junk"},
    {"WhereOnly", "SELECT * FROM Orders WHERE Freight > 10", "SELECT * FROM Orders ", "WHERE Freight > 10 ", "",
     "SELECT * FROM Orders  WHERE Freight > 10"},
    {"WhereAndOrderBy", "SELECT * FROM Orders WHERE Freight > 10 ORDER BY OrderID", "SELECT * FROM Orders ",
     "WHERE Freight > 10 ", "ORDER BY OrderID ", "SELECT * FROM Orders  WHERE Freight > 10  ORDER BY OrderID"},
    {"OrderByOnly", "SELECT * FROM Orders ORDER BY OrderID DESC", "SELECT * FROM Orders ", "",
     "ORDER BY OrderID DESC ", "SELECT * FROM Orders   ORDER BY OrderID DESC"},
    {"GroupByOnly", "SELECT a, Count(*) FROM t GROUP BY a", "SELECT a, Count(*) FROM t ", "", "GROUP BY a ",
     "SELECT a, Count(*) FROM t   GROUP BY a"},
    {"WhereAndGroupBy", "SELECT a FROM t WHERE b = 1 GROUP BY a", "SELECT a FROM t ", "WHERE b = 1 ", "GROUP BY a ",
     "SELECT a FROM t  WHERE b = 1  GROUP BY a"},
    // ORDER BY decides the split; a GROUP BY after WHERE stays in the WHERE part.
    {"OrderByWinsOverGroupBy", "SELECT a FROM t WHERE b = 1 GROUP BY a ORDER BY a", "SELECT a FROM t ",
     "WHERE b = 1 GROUP BY a ", "ORDER BY a ", "SELECT a FROM t  WHERE b = 1 GROUP BY a  ORDER BY a"},
    {"LastWhereCounts", "SELECT * FROM t WHERE x IN (SELECT y FROM u WHERE z = 1)", "SELECT * FROM t WHERE x IN (SELECT y FROM u ",
     "WHERE z = 1) ", "", "SELECT * FROM t WHERE x IN (SELECT y FROM u  WHERE z = 1)"},
    {"LowerCaseKeywordFound", "select * from t where a = 1 order by a", "select * from t ", "where a = 1 ",
     "order by a ", "select * from t  where a = 1  order by a"},
    // A name containing the letters of the keyword is taken as the keyword.
    {"NameContainingWhere", "SELECT Somewhere FROM t", "SELECT Some", "where FROM t ", "",
     "SELECT Some where FROM t"},
    {"DoubleSpacesKept", "SELECT *  FROM t  WHERE a = 1", "SELECT *  FROM t  ", "WHERE a = 1 ", "",
     "SELECT *  FROM t   WHERE a = 1"},
    // Text typed with blanks, tabs or line breaks around it splits as the bare text does.
    {"LeadingBlanksWhere", "  SELECT * FROM Orders WHERE Qty > 5", "SELECT * FROM Orders ", "WHERE Qty > 5 ", "",
     "SELECT * FROM Orders  WHERE Qty > 5"},
    {"LeadingBlanksWhereAndOrderBy", "   SELECT * FROM Orders WHERE Qty > 5 ORDER BY Qty", "SELECT * FROM Orders ",
     "WHERE Qty > 5 ", "ORDER BY Qty ", "SELECT * FROM Orders  WHERE Qty > 5  ORDER BY Qty"},
    {"LeadingTabsGroupBy", "\t\tSELECT a, Count(*) FROM t GROUP BY a", "SELECT a, Count(*) FROM t ", "", "GROUP BY a ",
     "SELECT a, Count(*) FROM t   GROUP BY a"},
    {"LeadingLineBreakOrderBy", "\nSELECT * FROM Orders ORDER BY OrderID", "SELECT * FROM Orders ", "",
     "ORDER BY OrderID ", "SELECT * FROM Orders   ORDER BY OrderID"},
    {"LeadingLineBreakWhereAndGroupBy", "\r\nSELECT a FROM t WHERE b = 1 GROUP BY a", "SELECT a FROM t ",
     "WHERE b = 1 ", "GROUP BY a ", "SELECT a FROM t  WHERE b = 1  GROUP BY a"},
    {"LinesAroundAndBetween", "\n  SELECT *\nFROM Orders\nWHERE Qty > 5\nORDER BY Qty\n", "SELECT *\nFROM Orders\n",
     "WHERE Qty > 5 ", "ORDER BY Qty ", "SELECT *\nFROM Orders\n WHERE Qty > 5  ORDER BY Qty"},
    {"BlanksAfterSemicolonCut", " \t SELECT * FROM Orders WHERE Qty > 5; ", "SELECT * FROM Orders ", "WHERE Qty > 5 ",
     "", "SELECT * FROM Orders  WHERE Qty > 5"},
    {"TrailingBlanksWhere", "SELECT * FROM Orders WHERE Qty > 5   ", "SELECT * FROM Orders ", "WHERE Qty > 5 ", "",
     "SELECT * FROM Orders  WHERE Qty > 5"},
    {"LeadingBlanksNoClauses", "  \nSELECT * FROM Orders", "SELECT * FROM Orders", "", "", "SELECT * FROM Orders"},
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.source; }

class SqlClausesSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SqlClausesSplit, SplitsAndJoins) {
    const SplitCase& c = GetParam();
    SqlClauses parts = SqlClauses::parse(c.source);
    EXPECT_EQ(parts.selectFrom.toStdString(), c.selectFrom);
    EXPECT_EQ(parts.where.toStdString(), c.where);
    EXPECT_EQ(parts.rest.toStdString(), c.rest);
    EXPECT_EQ(SqlClauses::join(parts.selectFrom, parts.where, parts.rest).toStdString(), c.full);
}

INSTANTIATE_TEST_SUITE_P(Cases, SqlClausesSplit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SqlClauses, KeywordAfterOrderByDoesNotCrash) {
    // WHERE after ORDER BY (a field named "somewhere" in the sort) gives a
    // blank WHERE part instead of a negative-length cut.
    SqlClauses parts = SqlClauses::parse("SELECT a FROM t WHERE b = 1 ORDER BY Somewhere");
    EXPECT_EQ(parts.where.toStdString(), " ");
    EXPECT_EQ(parts.rest.toStdString(), "ORDER BY Somewhere ");
}

}  // namespace
