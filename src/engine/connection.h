#pragma once
// A thin RAII layer over one SQLite connection: prepared statements kept in a
// cache, values bound and read as Variants, SQLite failures turned into the
// engine's numbered errors (no SQLite text ever reaches a user).
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

class Connection;

// A file URI for SQLite ("file:" and the absolute path, escaped) with its
// query part, such as "mode=ro" or "immutable=1".
std::string fileUri(const std::string& path, std::string_view query);

// How long a writer waits for another connection's write to end before 3260.
constexpr int kBusyWaitMs = 30000;

class Statement {
public:
    Statement(Connection& conn, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const Variant& v);  // 1-based
    // As bind, without copying text or bytes: `v` must stay unchanged until
    // the statement is stepped and reset.
    Statement& bindKept(int index, const Variant& v);
    Statement& bindInt(int index, std::int64_t v);
    Statement& bindText(int index, std::string_view v);
    Statement& bindNull(int index);
    // Steps once: true while a row is available. Failures throw Error.
    bool step();
    void reset();  // also clears bindings

    int columnCount() const;
    bool isNull(int col) const;
    std::int64_t getInt(int col) const;
    double getDouble(int col) const;
    std::string getText(int col) const;
    std::string columnName(int col) const;
    std::string declaredType(int col) const;
    // The column read as a value of the given engine field type (0: as stored).
    Variant get(int col, int fieldType) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    Statement& bindValue(int index, const Variant& v, void (*lifetime)(void*));
    Variant getTyped(int col, int fieldType) const;
    Connection& conn_;
    sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
public:
    // Opens (or with `create`, creates) a SQLite file. Throws 3024, 3173, 3343.
    Connection(const std::string& path, bool readOnly, bool create);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }

    void exec(std::string_view sql);
    // A statement from the cache; reset and unbound, ready for binding.
    Statement& cached(const std::string& sql);
    // One value from a query with no parameters, or Null when it returns no row.
    Variant scalar(std::string_view sql);
    std::int64_t changes() const;
    std::int64_t totalChanges() const;
    std::int64_t lastInsertRowid() const;
    bool inTransaction() const;
    // Changes whenever another connection commits to the file.
    std::int64_t dataVersion();
    // Changes whenever table definitions may have changed: SQLite's schema
    // cookie, plus a count of this connection's own changes to the engine tables.
    std::int64_t definitionVersion();
    void definitionsChanged() { ++definitionChanges_; }
    // Rollbacks of this connection's transactions: what recordsets cached may be undone.
    std::int64_t rollbackCount() const { return rollbacks_; }
    void noteRollback() { ++rollbacks_; }
    // Transactions begun with the write lock (BeginTrans), and whether this
    // connection holds that lock now: while it does, no other can commit.
    std::int64_t beginCount() const { return begins_; }
    void noteBegin() { ++begins_; }
    bool holdsWriteLock() const;

    // Turns the current SQLite failure into an engine error.
    [[noreturn]] void fail(int rc, std::string_view context = {}) const;

private:
    // Opens `name` into db_ and reads its schema; the SQLite result code.
    int openAndCheck(const std::string& name, bool readOnly, bool create, bool uri = false);

    sqlite3* db_ = nullptr;
    std::chrono::steady_clock::time_point busySince_;
    std::string path_;
    bool readOnly_ = false;
    std::int64_t definitionChanges_ = 0;
    std::int64_t rollbacks_ = 0;
    std::int64_t begins_ = 0;
    std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
};

// A savepoint that rolls back unless committed: makes a group of statements
// atomic, also inside an open transaction.
class Savepoint {
public:
    explicit Savepoint(Connection& c);
    ~Savepoint();
    void commit();

private:
    Connection& conn_;
    bool done_ = false;
};

// Error text for a constraint that failed, from the constraint names the
// schema layer gives ("len|Field"...) and SQLite's report of them.
[[noreturn]] void throwConstraintError(std::string_view sqliteMessage, int extendedCode);
// Throws the engine error a dialect function reported, if the message is one.
void throwIfFunctionError(std::string_view sqliteMessage);

}  // namespace engine
