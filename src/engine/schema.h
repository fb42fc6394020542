#pragma once
// The object model's properties kept beside the user's tables: field types and
// sizes, Required and AllowZeroLength, auto-numbers, indexes with their own
// per-table names, saved queries, links to tables of other files and the
// password. All of it lives in engine tables named "MSys…".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/catalog.h"
#include "engine/sql/ddl.h"

namespace engine {

class Connection;

struct ColumnMeta {
    std::string name;
    int type = 0;
    int size = 0;
    bool required = false;
    bool allowZeroLength = false;
    bool autoIncrement = false;
    bool generated = false;  // computed by the table (a generated column of another program): read-only
    // A Decimal's total digits and digits after the point. Precision 0: not
    // recorded (fields made before these were kept), values are kept as given.
    int precision = 0;
    int scale = 0;
};

struct IndexMeta {
    std::string name;
    std::string sqliteName;               // "" for the row-id primary key
    std::vector<sql::IndexColumn> fields;
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
};

struct TableMeta {
    std::string name;        // engine name
    std::string schema;      // SQLite schema: "main" or the alias of an attached file
    std::string sqliteName;  // the table's name in that schema
    std::vector<ColumnMeta> columns;
    std::vector<IndexMeta> indexes;
    bool system = false;     // an engine table ("MSys…"): read-only through statements and recordsets
    bool noRead = false;     // the table of the password hash: not readable through the program
    std::string rowid = "rowid";  // SQLite's name for the row key that no user field hides ("" when all are taken)
    bool view = false;          // a view of another program: its rows can only be read
    bool withoutRowid = false;  // keyed by its primary key; rowid then names that integer field
    bool linked = false;
    std::string connect;     // ";DATABASE=path" for a link
    std::string sourceTable;

    std::string ref() const;  // "main"."Orders"
    int columnIndex(std::string_view name) const;  // -1 when absent
    const IndexMeta* index(std::string_view name) const;
};

struct QueryMeta {
    std::string name;
    std::string sql;
    int type = 0;
    std::string connect;  // a pass-through query's ODBC connect string
};

// A relationship between two tables: each field of `table` refers to the
// field at the same place of `foreignTable` (the "one" side).
struct RelationMeta {
    std::string name;
    std::string table;
    std::string foreignTable;
    std::vector<std::string> fields;
    std::vector<std::string> foreignFields;
    long attributes = 0;  // as the file that defined it kept them
};

struct LinkMeta {
    std::string name;
    std::string connect;
    std::string sourceTable;
};

namespace schema {

bool iequals(std::string_view a, std::string_view b);
// Engine tables ("MSys…") are written only by the object model.
bool isSystemName(std::string_view name);
// The engine table that holds the file's properties, the password hash among them.
inline constexpr const char* kAccessTable = "MSysAccess";
// 3027 for an engine table: statements, recordsets and DDL never change one.
void refuseSystemWrite(std::string_view table);
// 3112 for the table that holds the password hash.
[[noreturn]] void refuseRead(std::string_view table);

// Creates the engine tables when they are missing (not on read-only files).
void ensureSystemTables(Connection& c);
bool hasSystemTables(Connection& c);

// Tables of a schema in name order (engine tables included, SQLite's own not).
std::vector<std::string> tableNames(Connection& c, const std::string& schemaName = "main");
// The stored name of a table, found case-insensitively; nothing when absent.
std::optional<std::string> findTable(Connection& c, std::string_view name, const std::string& schemaName = "main");
TableMeta loadTable(Connection& c, const std::string& storedName, const std::string& schemaName = "main");

std::vector<QueryMeta> queries(Connection& c);
// 3251: a pass-through query's rows come from its data source, not from here.
[[noreturn]] void refusePassThroughRows(std::string_view query);
std::optional<QueryMeta> findQuery(Connection& c, std::string_view name);
void saveQuery(Connection& c, const QueryMeta& q, bool replace);
void deleteQuery(Connection& c, std::string_view name);

std::vector<LinkMeta> links(Connection& c);
void saveLink(Connection& c, const LinkMeta& l);
void deleteLink(Connection& c, std::string_view name);

// Relationships, kept in MSysRelations (made when the first one is saved).
std::vector<RelationMeta> relations(Connection& c);
void saveRelation(Connection& c, const RelationMeta& r);

std::optional<std::string> property(Connection& c, std::string_view name);
void setProperty(Connection& c, std::string_view name, const std::optional<std::string>& value);

// Data definition, each in one savepoint.
void createTable(Connection& c, const sql::CreateTable& def);
void createTable(Connection& c, const std::string& table, const std::vector<ColumnMeta>& columns,
                 const std::vector<sql::CreateIndex>& indexes);
void dropTable(Connection& c, std::string_view name);
void addColumn(Connection& c, std::string_view table, const ColumnMeta& column);
void dropColumn(Connection& c, std::string_view table, std::string_view column);
void createIndex(Connection& c, const sql::CreateIndex& def);
void dropIndex(Connection& c, std::string_view table, std::string_view index);
void alterTable(Connection& c, const sql::AlterTable& def);

// SQLite column definition text for a field.
std::string columnDefinition(const ColumnMeta& col, bool rowidAlias);

sql::SourceInfo sourceInfo(const TableMeta& t);

}  // namespace schema
}  // namespace engine
