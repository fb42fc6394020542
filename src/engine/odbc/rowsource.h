#pragma once
// What an ODBC recordset reads its rows from: a DBF table read by the
// engine's own reader, or a statement run by a driver of the unixODBC driver
// manager. Internal to the engine.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace engine::odbc {

struct Column {
    std::string name;
    int type = 0;  // engine type code
    int size = 0;
    int precision = 0, scale = 0;  // Numeric and Decimal columns
};

// The recordset's current row, shared with its fields.
struct Cursor {
    const std::vector<Variant>* row = nullptr;  // nullptr: no current record
    bool open = true;
};

class RowSource {
public:
    virtual ~RowSource() = default;
    const std::vector<Column>& columns() const { return columns_; }
    // The next row, or nullptr after the last. The row stays valid until the
    // next call of next() or rewind().
    virtual const std::vector<Variant>* next() = 0;
    // Starts the reading over.
    virtual void rewind() = 0;
    // The number of rows when the source knows it without reading them; -1 otherwise.
    virtual std::int64_t knownCount() { return -1; }

protected:
    std::vector<Column> columns_;
};

// The table a "Select * from <table>" statement names: 3251 for any other statement.
std::string selectAllTable(std::string_view sql);

// The .dbf table of `folder` named `table` (with or without ".dbf", any letter
// case); `encoding` reads it when its header names no code page.
std::unique_ptr<RowSource> openDbfTable(const std::string& folder, const std::string& table,
                                        const std::string& encoding);

// A connection of the unixODBC driver manager.
class DriverLink;
std::shared_ptr<DriverLink> connectDriver(std::string_view connect);
std::unique_ptr<RowSource> runStatement(const std::shared_ptr<DriverLink>& link, std::string_view sql);
// Runs a statement that returns no rows; the number of rows it changed (-1 when the driver cannot tell).
long executeStatement(const std::shared_ptr<DriverLink>& link, std::string_view sql);

}  // namespace engine::odbc
