// How a grid splits its SQL into the part before WHERE, the WHERE part and the
// ORDER BY / GROUP BY tail, and joins them again.
#include <gtest/gtest.h>

#include "grids/sqlclauses.h"
#include "support/case_file.h"

namespace {

TEST(SqlClauses, SplitsAndJoins) {
    for (const auto& c : readCases(LEDGERLY_TEST_DATA "/sql_clauses.txt", "split")) {
        SCOPED_TRACE("sql_clauses.txt line " + std::to_string(c.line));
        SqlClauses parts = SqlClauses::parse(QString::fromStdString(unquoted(c.fields[0])));
        EXPECT_EQ(parts.selectFrom.toStdString(), unquoted(c.fields[1]));
        EXPECT_EQ(parts.where.toStdString(), unquoted(c.fields[2]));
        EXPECT_EQ(parts.rest.toStdString(), unquoted(c.fields[3]));
        EXPECT_EQ(SqlClauses::join(parts.selectFrom, parts.where, parts.rest).toStdString(), unquoted(c.fields[4]));
    }
}

TEST(SqlClauses, KeywordAfterOrderByDoesNotCrash) {
    // WHERE after ORDER BY (a field named "somewhere" in the sort) gives a
    // blank WHERE part instead of a negative-length cut.
    SqlClauses parts = SqlClauses::parse("SELECT a FROM t WHERE b = 1 ORDER BY Somewhere");
    EXPECT_EQ(parts.where.toStdString(), " ");
    EXPECT_EQ(parts.rest.toStdString(), "ORDER BY Somewhere ");
}

}  // namespace
