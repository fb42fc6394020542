#pragma once
// Saved queries of Jet files are not kept as text: each is a set of rows of
// MSysQueries (a start row, its type, parameters, flags, tables, columns,
// joins, conditions, grouping, sorting and an end row). This rebuilds the
// statement those rows stand for, laid out as the file's own product shows
// it: one clause a line (CR LF between them) and a closing semicolon.
#include <string>
#include <vector>

namespace engine::jet {

// One row of MSysQueries.
struct QueryRow {
    int attribute = 0;
    int flag = 0;
    std::string name1, name2, expression;
    std::string order;  // the stored sort bytes: rows of one attribute go in this order
    long lvExtra = 0;   // a Text parameter's size
};

// The query types as a QueryDef reports them; pass-through queries have
// their own number.
enum QueryKind {
    kSelectQuery = 0, kCrosstabQuery = 16, kDeleteQuery = 32, kUpdateQuery = 48, kAppendQuery = 64,
    kMakeTableQuery = 80, kDataDefinitionQuery = 96, kPassThroughQuery = 112, kUnionQuery = 128,
};

struct RebuiltQuery {
    std::string sql;
    int kind = kSelectQuery;
    std::string connect;  // a pass-through query's connect text
};

// The statement of one query from its rows (in any order). Throws
// engine::Error 3343 when the rows do not make a statement.
RebuiltQuery rebuildQuery(std::vector<QueryRow> rows);

}  // namespace engine::jet
