#pragma once
// The syntax tree of a statement of our dialect.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/ddl.h"

namespace engine::sql::ast {

struct Select;
struct Query;
using QueryPtr = std::unique_ptr<Query>;

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,   // value: litKind + text
        Column,    // [qualifier.]name
        Star,      // * or qualifier.* (select list and Count(*) only)
        Unary,     // op: "-" or "not"; args[0]
        Binary,    // op: ^ * / \ mod + - & = <> < > <= >= and or xor eqv imp; args[0], args[1]
        Like,      // args[0] Like args[1]; negated
        IsNull,    // args[0] Is [Not] Null; negated
        Between,   // args[0] Between args[1] And args[2]; negated
        InList,    // args[0] In (args[1..]); negated
        InQuery,   // args[0] In (query); negated
        Exists,    // Exists (query)
        Subquery,  // (query) as a value
        Call,      // name(args); star for Count(*); distinct for Count(Distinct x)
    };
    enum class Lit { Null, Integer, Real, Text, Date, Boolean };

    Kind kind = Kind::Literal;
    Lit lit = Lit::Null;
    std::string text;       // literal text (dates already in stored form), column or function name, operator
    std::string qualifier;  // Column / Star: table or alias, "" when none
    bool negated = false;
    bool star = false;
    bool distinct = false;
    std::vector<ExprPtr> args;
    QueryPtr query;
    size_t pos = 0, end = 0;  // span in the statement text
    int depth = 1;            // height of the tree below, to refuse absurd nesting
};

struct TableRef;
using TableRefPtr = std::unique_ptr<TableRef>;

struct TableRef {
    enum class Kind { Named, Subquery, Join };
    enum class JoinType { Inner, Left, Right, Cross };
    Kind kind = Kind::Named;
    std::string name;   // Named: table or query name
    std::string alias;  // "" when none
    QueryPtr query;     // Subquery
    JoinType join = JoinType::Inner;
    TableRefPtr left, right;  // Join
    ExprPtr on;               // Join (not for Cross)
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;  // "" when none
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false;
    bool distinctRow = false;
    std::optional<double> top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::string into;                  // SELECT ... INTO name
    std::vector<TableRefPtr> from;     // comma-separated; empty when there is no FROM
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
};

// One SELECT or several joined by UNION, with the ORDER BY of the whole.
struct Query {
    std::vector<std::unique_ptr<Select>> parts;
    std::vector<bool> unionAll;  // unionAll[i] joins parts[i] and parts[i + 1]
    std::vector<OrderItem> orderBy;
};

struct Parameter {
    std::string name;
    std::string type;
};

struct Assignment {
    std::string qualifier;
    std::string column;
    ExprPtr value;
};

struct Statement {
    enum class Kind {
        Select, Crosstab, Insert, Update, Delete, CreateTable, DropTable, AlterTable, CreateIndex, DropIndex
    };
    Kind kind = Kind::Select;
    std::string text;  // the statement as written, for error messages
    std::vector<Parameter> parameters;

    QueryPtr query;  // Select, Crosstab (the SELECT part), Insert ... SELECT

    // Crosstab
    ExprPtr transform, pivot;
    std::string transformAlias;

    // Insert
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> values;  // rows of VALUES

    // Update and Delete: the tables (a join is allowed) and the condition
    std::vector<TableRefPtr> from;
    std::vector<Assignment> assignments;
    std::string deleteTarget;  // DELETE t.* FROM ...: "t"; "" when not named
    ExprPtr where;

    // Data definition
    CreateTable createTable;
    DropTable dropTable;
    AlterTable alterTable;
    CreateIndex createIndex;
    DropIndex dropIndex;
};

}  // namespace engine::sql::ast
