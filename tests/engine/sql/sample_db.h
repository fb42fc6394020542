#pragma once
// A small sample database in a temporary folder, stored the way the engine
// stores tables, with a catalog describing it, for the dialect tests.
#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/catalog.h"
#include "engine/sql/sql.h"
#include "support/tempdir.h"

namespace sqltest {

class SampleCatalog : public engine::sql::Catalog {
public:
    std::optional<engine::sql::SourceInfo> find(std::string_view name) const override;
    void add(engine::sql::SourceInfo info);
    void addQuery(const std::string& name, const std::string& sql);

private:
    std::map<std::string, engine::sql::SourceInfo> items_;  // by lower-case name
};

// Result of running a statement: rows as text, or the error.
struct Outcome {
    std::vector<std::vector<std::string>> rows;
    std::vector<engine::sql::OutputColumn> columns;
    int error = 0;              // engine error number, 0 when none
    std::string errorText;      // engine error text, or the text of a failure inside a function
    bool runtimeFailure = false;
    int changes = -1;           // rows changed by an action statement
};

class SampleDb {
public:
    SampleDb();  // creates the tables and rows
    ~SampleDb();
    SampleDb(const SampleDb&) = delete;
    SampleDb& operator=(const SampleDb&) = delete;

    sqlite3* db() const { return db_; }
    const SampleCatalog& catalog() const { return catalog_; }
    SampleCatalog& catalog() { return catalog_; }

    // Parses and emits `statement` and runs it. SQL that SQLite refuses to
    // prepare is a fault of the emitter: it is reported through ADD_FAILURE.
    Outcome run(const std::string& statement);
    // Runs emitted SQLite SQL directly and returns its rows.
    Outcome query(const std::string& sqliteSql);

private:
    TempDir dir_;
    sqlite3* db_ = nullptr;
    SampleCatalog catalog_;
};

// The default text form of one SQLite value: Null, 12, 3.5, text.
std::string cellText(sqlite3_stmt* st, int column);

}  // namespace sqltest
