#include "sample_db.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/engine_helpers.h"

using namespace engine;
using namespace engine::sql;

namespace sqltest {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Declared types as the engine stores each field type.
std::string declared(int type) {
    switch (type) {
    case dbText: case dbMemo: return "TEXT COLLATE NOCASE";
    case dbDate: case dbGUID: return "TEXT";
    case dbCurrency: case dbSingle: case dbDouble: return "REAL";
    case dbLongBinary: case dbBinary: return "BLOB";
    default: return "INTEGER";
    }
}

}  // namespace

std::optional<SourceInfo> SampleCatalog::find(std::string_view name) const {
    auto it = items_.find(lower(name));
    if (it == items_.end()) return std::nullopt;
    return it->second;
}

void SampleCatalog::add(SourceInfo info) { items_[lower(info.name)] = std::move(info); }

void SampleCatalog::addQuery(const std::string& name, const std::string& sql) {
    SourceInfo q;
    q.kind = SourceInfo::Kind::Query;
    q.name = name;
    q.querySql = sql;
    add(std::move(q));
}

std::string cellText(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL: return "Null";
    case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: {
        char b[40];
        snprintf(b, sizeof b, "%.15g", sqlite3_column_double(st, i));
        return b;
    }
    default: {
        const unsigned char* t = sqlite3_column_text(st, i);
        return std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, i)));
    }
    }
}

SampleDb::SampleDb() {
    if (sqlite3_open(dir_.file("sample.db").c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot open");
    registerFunctions(db_);
    std::string ddl;
    const std::string data = LEDGERLY_TEST_DATA "/sample_db.txt";
    const auto rows = readCases(data, "row");
    for (const auto& t : readCases(data, "table")) {
        SourceInfo info;
        info.name = t.fields[0];
        info.sqliteRef = quoteIdent(info.name);
        std::string cols;
        for (const std::string& col : splitList(t.fields[1])) {
            const bool key = col[0] == '*';
            const size_t colon = col.find(':');
            info.columns.push_back(ColumnInfo{col.substr(key, colon - key), enginetest::typeCode(col.substr(colon + 1))});
            cols += (cols.empty() ? "" : ", ") + quoteIdent(info.columns.back().name) + " " +
                    declared(info.columns.back().type) + (key ? " PRIMARY KEY" : "");
        }
        ddl += "CREATE TABLE " + info.sqliteRef + " (" + cols + ");\n";
        for (const auto& r : rows)
            if (r.fields[0] == info.name) ddl += "INSERT INTO " + info.sqliteRef + " VALUES (" + r.fields[1] + ");\n";
        catalog_.add(std::move(info));
    }
    char* msg = nullptr;
    if (sqlite3_exec(db_, ddl.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        std::string m = msg ? msg : "";
        sqlite3_free(msg);
        throw std::runtime_error("sample schema: " + m);
    }
    catalog_.addQuery("Big Orders", "SELECT OrderID, Freight AS Cost FROM Orders WHERE Freight > 50");
    catalog_.addQuery("Customer Totals",
                      "SELECT CustomerID, Sum(Freight) AS Total, Count(*) AS N FROM Orders GROUP BY CustomerID");
    catalog_.addQuery("Asks", "SELECT * FROM Orders WHERE OrderID = [Which order]");
    catalog_.addQuery("Declares", "PARAMETERS [Lowest] Currency; SELECT * FROM Orders WHERE Freight > [Lowest]");
    catalog_.addQuery("Loop", "SELECT * FROM [Loop Back]");
    catalog_.addQuery("Loop Back", "SELECT * FROM Loop");
}

SampleDb::~SampleDb() { sqlite3_close(db_); }

Outcome SampleDb::query(const std::string& sql) {
    Outcome out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQLite refused the emitted SQL: " << sqlite3_errmsg(db_) << "\n  " << sql;
        sqlite3_finalize(st);
        out.error = -1;
        return out;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) row.push_back(cellText(st, i));
        out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        out.runtimeFailure = true;
        out.errorText = sqlite3_errmsg(db_);
    }
    sqlite3_finalize(st);
    out.changes = sqlite3_changes(db_);
    return out;
}

Outcome SampleDb::run(const std::string& statement) {
    Outcome out;
    try {
        Parsed p = parse(statement);
        StatementKind k = p.kind();
        if (k == StatementKind::Select || k == StatementKind::Union || k == StatementKind::MakeTable ||
            k == StatementKind::Crosstab) {
            EmittedSelect e = emitSelect(p, catalog_);
            out = query(e.sql);
            out.columns = e.columns;
            return out;
        }
        if (k == StatementKind::DataDefinition) return out;
        EmittedAction a = emitAction(p, catalog_);
        out = query(a.sql);
    } catch (const Error& e) {
        out.error = e.number();
        out.errorText = e.what();
    }
    return out;
}

}  // namespace sqltest
