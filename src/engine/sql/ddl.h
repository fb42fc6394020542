#pragma once
// Data-definition statements as the parser hands them to the engine's schema layer.
#include <string>
#include <vector>

namespace engine::sql {

struct ColumnDef {
    std::string name;
    int type = 0;               // engine field type code
    int size = 0;               // Text/Char: declared length (default 255); else 0
    int precision = 0;          // Decimal: total digits (default 18); else 0
    int scale = 0;              // Decimal: digits after the point (default 0)
    bool autoIncrement = false; // Counter / AutoIncrement
    bool notNull = false;
    bool primaryKey = false;    // column-level PRIMARY KEY
    bool unique = false;        // column-level UNIQUE
};

struct IndexColumn {
    std::string name;
    bool descending = false;
};

struct TableConstraint {        // CONSTRAINT name PRIMARY KEY (a, b) / UNIQUE (a)
    std::string name;           // may be empty
    bool primaryKey = false;    // else unique
    std::vector<IndexColumn> columns;
};

struct CreateTable {
    std::string table;
    std::vector<ColumnDef> columns;
    std::vector<TableConstraint> constraints;
};

struct DropTable {
    std::string table;
};

struct AlterTable {
    std::string table;
    bool add = true;            // ADD [COLUMN] column, or DROP [COLUMN] dropColumn
    ColumnDef column;           // for ADD
    std::string dropColumn;     // for DROP
    std::vector<TableConstraint> addConstraints;  // ADD CONSTRAINT ...
};

struct CreateIndex {
    std::string index;
    std::string table;
    bool unique = false;
    std::vector<IndexColumn> columns;
    bool primary = false;       // WITH PRIMARY
    bool disallowNull = false;  // WITH DISALLOW NULL
    bool ignoreNulls = false;   // WITH IGNORE NULL
};

struct DropIndex {
    std::string index;
    std::string table;
};

}  // namespace engine::sql
