#pragma once
// What the SQL emitter needs to know about the names a statement uses.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

struct ColumnInfo {
    std::string name;  // as stored, case kept
    int type = 0;      // engine field type code (fieldtypes.h); 0 when unknown
    int precision = 0; // a Decimal's digits and scale; 0 when not recorded
    int scale = 0;
};

struct SourceInfo {
    enum class Kind { Table, Query };
    Kind kind = Kind::Table;
    std::string name;       // engine name, case kept ("Order Details")
    std::string sqliteRef;  // quoted SQLite reference: "Orders" or "link_1"."Orders"
    std::vector<ColumnInfo> columns;  // in column order
    std::string querySql;   // Kind::Query: the saved query's SQL in our dialect
    std::string rowid = "rowid";  // how SQLite names the table's row key ("" when none can)
    bool readOnly = false;  // statements may read but never change it (engine tables)
    bool noRead = false;    // statements may not even read it (the password table)
};

// Name lookups are case-insensitive.
class Catalog {
public:
    virtual ~Catalog() = default;
    virtual std::optional<SourceInfo> find(std::string_view name) const = 0;
};

}  // namespace engine::sql
