#pragma once
// The SQL dialect: parse a statement of our dialect, classify it, and emit it as
// SQLite SQL against a catalog of names. The syntax tree lives in ast.h.
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/sql/catalog.h"
#include "engine/sql/ddl.h"

struct sqlite3;

namespace engine::sql {

namespace ast { struct Statement; }

// Query types, as QueryDef.Type reports them. A pass-through query's text is
// its data source's, never parsed here.
enum class StatementKind {
    Select = 0, Union = 128, Crosstab = 16, Delete = 32, Update = 48,
    Append = 64, MakeTable = 80, DataDefinition = 96, PassThrough = 112,
};

// A parsed statement. Owns its tree; cheap to move.
class Parsed {
public:
    Parsed();
    Parsed(Parsed&&) noexcept;
    Parsed& operator=(Parsed&&) noexcept;
    ~Parsed();
    explicit Parsed(std::unique_ptr<ast::Statement> tree);

    StatementKind kind() const;
    bool hasParameters() const;  // a PARAMETERS declaration
    const ast::Statement& tree() const { return *tree_; }

    // Set for data-definition statements: what the schema layer carries out.
    using Ddl = std::variant<std::monostate, CreateTable, DropTable, AlterTable, CreateIndex, DropIndex>;
    Ddl ddl() const;

private:
    std::unique_ptr<ast::Statement> tree_;
};

// Throws Error (3075, 3129, 3131, 3134, 3141, 3144, 3128, 3292...) naming the
// text around the fault.
Parsed parse(std::string_view text);

struct OutputColumn {
    std::string name;       // the column's name in the result
    int type = 0;           // engine field type code; 0 when the type is not known
    std::string baseColumn; // when the output is a column of the single base table unchanged: its name
    int precision = 0;      // a Decimal column read unchanged: its digits and scale, when recorded
    int scale = 0;
};

struct EmittedSelect {
    std::string sql;                    // the whole statement for SQLite
    std::vector<OutputColumn> columns;
    // Set only when the select reads one table (no join, grouping, aggregate,
    // DISTINCT, TOP or UNION): then rows can be addressed by that table's rowid.
    std::string baseTable;              // engine name of that table, else ""
    std::string baseAlias;              // how the select list and clauses name it
    std::string selectList;             // emitted select list
    std::string fromClause;             // emitted FROM text, without the keyword
    std::string whereClause;            // emitted condition, without the keyword, or ""
    std::string orderBy;                // emitted ORDER BY list, without the keywords, or ""
};

// Throws 3061 "Too few parameters. Expected N." for unknown names, 3078 for an
// unknown table or query, 3141 and others for what SQLite would refuse.
EmittedSelect emitSelect(const Parsed& statement, const Catalog& catalog);

struct EmittedAction {
    std::string sql;          // INSERT / UPDATE / DELETE for SQLite
    std::string targetTable;  // engine name of the table changed
};
// INSERT, UPDATE and DELETE. (SELECT ... INTO is carried out by the engine:
// it creates the table from emitSelect's columns and fills it.)
EmittedAction emitAction(const Parsed& statement, const Catalog& catalog);

// A SELECT whose output columns go, in order, to `fields`: values bound for a
// Decimal field with a recorded scale are rounded to it (3349 when too large).
// The SELECT itself when no field needs that.
std::string fitToFields(const std::string& selectSql, const std::vector<ColumnInfo>& fields);

// For SELECT ... INTO: the new table's name.
std::string makeTableTarget(const Parsed& statement);

// A criteria text (as given to FindFirst or typed after WHERE) emitted as a
// SQLite condition over the columns of `source`, which the caller's statement
// names by `source.sqliteRef`. Domain functions in it (DCount...) find their
// tables through `catalog`.
std::string emitCondition(std::string_view criteria, const SourceInfo& source, const Catalog* catalog = nullptr);

// Quote a name for SQLite: "Order Details" (doubling any inner quote).
std::string quoteIdent(std::string_view name);
// A SQLite string literal: 'it''s'.
std::string quoteText(std::string_view text);

// Registers the dialect's functions (Like matching, string, number and date
// functions, aggregates) on a connection. Called once per connection.
void registerFunctions(sqlite3* db);

}  // namespace engine::sql
