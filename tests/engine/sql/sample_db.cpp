#include "sample_db.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/error.h"
#include "engine/fieldtypes.h"

using namespace engine;
using namespace engine::sql;

namespace sqltest {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct Col { const char* name; int type; };

// key: column that is the rowid, or nullptr; rows: INSERT values.
struct Table { const char* name; std::vector<Col> cols; const char* key; const char* rows; };

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

const std::vector<Table>& tables() {
    static const std::vector<Table> t = {
        {"Customers",
         {{"CustomerID", dbText}, {"CompanyName", dbText}, {"City", dbText}, {"Country", dbText}},
         nullptr,
         "('ALFKI','Alfreds Futterkiste','Berlin','Germany'),"
         "('ANATR','Ana Trujillo','México D.F.','Mexico'),"
         "('BONAP','Bon app''','Marseille','France'),"
         "('ERNSH','Ernst Handel','Graz','Austria'),"
         "('WOLZA','Wolski  Zajazd',NULL,'Poland')"},
        {"Orders",
         {{"OrderID", dbLong}, {"CustomerID", dbText}, {"OrderDate", dbDate}, {"Freight", dbCurrency},
          {"Shipped", dbBoolean}, {"Ship Name", dbText}},
         "OrderID",
         "(1,'ALFKI','2024-01-05',10.5,-1,'Alfreds'),"
         "(2,'ALFKI','2024-01-31 14:05:00',0.1,0,'alfreds annex'),"
         "(3,'ANATR','2024-02-29',72.25,-1,'Ana'),"
         "(4,'BONAP','2023-12-31',0.2,0,NULL),"
         "(5,'ERNSH','2024-03-15',140,-1,'Ernst [Graz]'),"
         "(6,'ERNSH','2024-03-16',55.5,-1,'Ernst 50%')"},
        {"Order Details",
         {{"OrderID", dbLong}, {"ProductID", dbLong}, {"Unit Price", dbCurrency}, {"Quantity", dbInteger},
          {"Discount", dbSingle}},
         nullptr,
         "(1,1,18,10,0),(1,2,19,5,0.1),(2,1,18,1,0),(3,3,10,20,0.25),(5,2,19,2,0),(5,3,10,30,0),(6,1,18,7,0)"},
        {"Products",
         {{"ProductID", dbLong}, {"ProductName", dbText}, {"Price", dbDouble}, {"Discontinued", dbBoolean},
          {"Notes", dbMemo}},
         "ProductID",
         "(1,'Chai',18,0,'Tea'),(2,'Chang',19,-1,NULL),(3,'Aniseed Syrup',10,0,'')"},
        {"Empty", {{"ID", dbLong}, {"Label", dbText}}, "ID", nullptr},
    };
    return t;
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
    for (const auto& t : tables()) {
        SourceInfo info;
        info.name = t.name;
        info.sqliteRef = quoteIdent(t.name);
        ddl += "CREATE TABLE " + quoteIdent(t.name) + " (";
        for (size_t i = 0; i < t.cols.size(); ++i) {
            ddl += (i ? ", " : "") + quoteIdent(t.cols[i].name) + " " + declared(t.cols[i].type);
            if (t.key && std::string(t.key) == t.cols[i].name) ddl += " PRIMARY KEY";
            info.columns.push_back(ColumnInfo{t.cols[i].name, t.cols[i].type});
        }
        ddl += ");\n";
        if (t.rows) ddl += "INSERT INTO " + quoteIdent(t.name) + " VALUES " + t.rows + ";\n";
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
