// Engine operations timed next to raw SQLite doing the same work on the same
// file, in the same run, on a million-row Orders table; prints the ratio
// engine/raw of each pair at the end.
//
// The table comes from ledgerly-mksample (built beside this program) run once
// per run into a temporary folder: about 20 s for a million orders on one
// core. LEDGERLY_BENCH_ROWS=N makes a smaller table for a quick try. The
// whole run takes about four minutes. Destructive pairs work on fresh copies
// of the file, so engine and raw start from equal data. The DBF reader is
// timed on a million-row table written here, against plain read() calls over
// the same bytes, and imported through the ODBC workspace into a new table
// as the import dialog does it, against the reader and raw SQLite inserts.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "engine/dao.h"
#include "engine/dbf/dbffile.h"
#include "engine/jet/convert.h"
#include "engine/jet/jetfile.h"
#include "jetgrow.h"
#include "sample.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------------------ set-up

fs::path gDir;        // temporary folder of this run
fs::path gBase;       // the untouched sample file
long gRows = 1000000;

void makeBase() {
    gRows = bench::sampleRows();
    gDir = bench::makeSample(gRows);
    gBase = gDir / "Sales.mdb";
    // One freight above 999.5, ten rows from the end, so an unindexed find
    // scans nearly the whole table before it matches.
    sqlite3* db = nullptr;
    sqlite3_open(gBase.c_str(), &db);
    char* msg = nullptr;
    int rc = sqlite3_exec(db,
                          "UPDATE Orders SET Freight = 1000 WHERE OrderID = (SELECT Max(OrderID) - 10 FROM Orders);"
                          "PRAGMA wal_checkpoint(TRUNCATE);",
                          nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) throw std::runtime_error(std::string("set-up: ") + (msg ? msg : "?"));
    sqlite3_close(db);
}

// A fresh copy of the sample file for a destructive benchmark.
std::string freshCopy(const char* name) {
    fs::path p = gDir / (std::string(name) + ".mdb");
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(p.string() + suffix);
    fs::copy_file(gBase, p);
    return p.string();
}

// ------------------------------------------------------------ raw helpers

using RawValue = std::variant<std::monostate, std::int64_t, double, std::string>;
using RawRow = std::vector<RawValue>;

class Raw {
public:
    explicit Raw(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("raw open failed");
        // The engine's settings, so both pay the same for a commit.
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
    }
    ~Raw() { sqlite3_close_v2(db_); }
    void exec(const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            std::string m = msg ? msg : "?";
            sqlite3_free(msg);
            throw std::runtime_error("raw: " + m + " in " + sql);
        }
    }
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class Stmt {
public:
    Stmt(const Raw& raw, const std::string& sql) {
        if (sqlite3_prepare_v3(raw.handle(), sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st_, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("raw prepare: ") + sqlite3_errmsg(raw.handle()) + " in " + sql);
    }
    ~Stmt() { sqlite3_finalize(st_); }
    sqlite3_stmt* operator*() const { return st_; }
    bool step() {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw std::runtime_error(std::string("raw step: ") + sqlite3_errstr(rc));
        return false;
    }
    void reset() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }
    // Every column of the current row, read as stored.
    RawRow row() const {
        int n = sqlite3_column_count(st_);
        RawRow r;
        r.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            switch (sqlite3_column_type(st_, i)) {
            case SQLITE_INTEGER: r.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(st_, i))); break;
            case SQLITE_FLOAT: r.emplace_back(sqlite3_column_double(st_, i)); break;
            case SQLITE_NULL: r.emplace_back(std::monostate{}); break;
            default:
                r.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                                           static_cast<size_t>(sqlite3_column_bytes(st_, i))));
            }
        }
        return r;
    }

private:
    sqlite3_stmt* st_ = nullptr;
};

std::vector<std::int64_t> rawKeys(const Raw& raw, const std::string& sql) {
    std::vector<std::int64_t> keys;
    Stmt st(raw, sql);
    while (st.step()) keys.push_back(sqlite3_column_int64(*st, 0));
    return keys;
}

// --------------------------------------------------------- shared inputs

constexpr int kPageRows = 50;
constexpr int kWrites = 100000;  // at most half the table when LEDGERLY_BENCH_ROWS is small
constexpr int kSeeks = 10000;

const char* kFunctionHeavy = "Trim([Ship Name]) Like '*a*' And Year(OrderDate) = 2024";
const char* kFunctionHeavyRaw = "trim(\"Ship Name\") LIKE '%a%' AND strftime('%Y', OrderDate) = '2024'";

// Start positions of 50-row windows that never overlap, in random order.
const std::vector<long>& pagePositions() {
    static std::vector<long> positions = [] {
        std::vector<long> p;
        for (long start = 0; start + kPageRows <= gRows; start += kPageRows) p.push_back(start);
        std::shuffle(p.begin(), p.end(), std::mt19937_64(7));
        return p;
    }();
    return positions;
}

const std::vector<std::string>& seekKeys() {
    static std::vector<std::string> keys = [] {
        std::mt19937_64 rnd(11);
        std::vector<std::string> k;
        for (int i = 0; i < kSeeks; ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "C%04d", static_cast<int>(rnd() % 100) + 1);
            k.push_back(buf);
        }
        return k;
    }();
    return keys;
}

struct NewOrder {
    std::string customer, orderDateText, requiredDateText, shipName, city, country;
    double orderDate, requiredDate;
    int employee, shipVia;
    std::int64_t freightScaled;
    bool paid;
};

const std::vector<NewOrder>& newOrders() {
    static std::vector<NewOrder> rows = [] {
        std::mt19937_64 rnd(13);
        std::vector<NewOrder> v;
        v.reserve(kWrites);
        for (int i = 0; i < kWrites; ++i) {
            NewOrder o;
            char buf[8];
            std::snprintf(buf, sizeof buf, "C%04d", static_cast<int>(rnd() % 100) + 1);
            o.customer = buf;
            o.orderDate = dates::fromParts(2025, 1 + static_cast<int>(rnd() % 12), 1 + static_cast<int>(rnd() % 28),
                                           8 + static_cast<int>(rnd() % 10), static_cast<int>(rnd() % 60), 0);
            o.requiredDate = static_cast<double>(static_cast<long long>(o.orderDate)) + 14;
            o.orderDateText = dates::format(o.orderDate);
            o.requiredDateText = dates::format(o.requiredDate);
            o.employee = 1 + static_cast<int>(rnd() % 9);
            o.shipVia = 1 + static_cast<int>(rnd() % 3);
            o.freightScaled = static_cast<std::int64_t>(rnd() % 90000) * 100;
            o.shipName = "New Customer " + std::to_string(i % 977);
            o.city = "Bergamo";
            o.country = "Italy";
            o.paid = rnd() % 2;
            v.push_back(std::move(o));
        }
        return v;
    }();
    return rows;
}

std::shared_ptr<Database> gEngineDb;  // the base file, for the read-only pairs
std::unique_ptr<Raw> gRaw;

void setCommon(benchmark::State& state, long items) {
    state.SetItemsProcessed(state.iterations() * items);
}

// ------------------------------------------------------------ open

void OpenEngine(benchmark::State& state) {
    for (auto _ : state) {
        auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
        long n = rs->RecordCount();
        for (long i = 0; i < kPageRows && i < n; ++i) benchmark::DoNotOptimize(rs->RowAt(i));
        benchmark::DoNotOptimize(n);
    }
}

void OpenRaw(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::int64_t> keys = rawKeys(*gRaw, "SELECT rowid FROM Orders ORDER BY rowid");
        long n = static_cast<long>(keys.size());
        Stmt page(*gRaw, "SELECT rowid, * FROM Orders WHERE rowid BETWEEN ? AND ?");
        sqlite3_bind_int64(*page, 1, keys[0]);
        sqlite3_bind_int64(*page, 2, keys[std::min<long>(kPageRows, n) - 1]);
        std::vector<RawRow> rows;
        while (page.step()) rows.push_back(page.row());
        benchmark::DoNotOptimize(rows.data());
        benchmark::DoNotOptimize(n);
    }
}

// ------------------------------------------------------- random page

void PageEngine(benchmark::State& state) {
    auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
    const auto& positions = pagePositions();
    size_t next = 0;
    for (auto _ : state) {
        long start = positions[next++ % positions.size()];
        for (long i = start; i < start + kPageRows; ++i) benchmark::DoNotOptimize(rs->RowAt(i));
    }
}

void PageRaw(benchmark::State& state) {
    std::vector<std::int64_t> keys = rawKeys(*gRaw, "SELECT rowid FROM Orders ORDER BY rowid");
    Stmt page(*gRaw, "SELECT rowid, * FROM Orders WHERE rowid BETWEEN ? AND ?");
    const auto& positions = pagePositions();
    size_t next = 0;
    for (auto _ : state) {
        long start = positions[next++ % positions.size()];
        sqlite3_bind_int64(*page, 1, keys[static_cast<size_t>(start)]);
        sqlite3_bind_int64(*page, 2, keys[static_cast<size_t>(start + kPageRows - 1)]);
        std::vector<RawRow> rows;
        rows.reserve(kPageRows);
        while (page.step()) rows.push_back(page.row());
        page.reset();
        benchmark::DoNotOptimize(rows.data());
    }
}

// -------------------------------------------------- last and first

// Each round starts from a recordset with nothing read yet (opened while the
// clock is stopped), then reads every field of the last and the first record.
void LastFirstEngine(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
        state.ResumeTiming();
        rs->MoveLast();
        for (auto& f : rs->Fields()) benchmark::DoNotOptimize(f->Value());
        rs->MoveFirst();
        for (auto& f : rs->Fields()) benchmark::DoNotOptimize(f->Value());
        state.PauseTiming();
        rs.reset();
        state.ResumeTiming();
    }
}

void LastFirstRaw(benchmark::State& state) {
    Stmt last(*gRaw, "SELECT rowid, * FROM Orders ORDER BY rowid DESC LIMIT 1");
    Stmt first(*gRaw, "SELECT rowid, * FROM Orders ORDER BY rowid LIMIT 1");
    for (auto _ : state) {
        // Like the engine's fresh recordset, read the row ids first (clock
        // stopped): the scan leaves the same pages in the cache for both.
        state.PauseTiming();
        benchmark::DoNotOptimize(rawKeys(*gRaw, "SELECT rowid FROM Orders ORDER BY rowid").size());
        state.ResumeTiming();
        last.step();
        benchmark::DoNotOptimize(last.row());
        last.reset();
        first.step();
        benchmark::DoNotOptimize(first.row());
        first.reset();
        state.PauseTiming();
        state.ResumeTiming();
    }
}

// ------------------------------------------------------------ finds

void FindEngine(benchmark::State& state, const char* criteria) {
    auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
    for (auto _ : state) {
        rs->FindFirst(criteria);
        if (rs->NoMatch()) state.SkipWithError("no match");
        benchmark::DoNotOptimize(rs->AbsolutePosition());
    }
}

void FindRaw(benchmark::State& state, const char* condition) {
    Stmt st(*gRaw, std::string("SELECT rowid FROM Orders WHERE ") + condition + " ORDER BY rowid LIMIT 1");
    for (auto _ : state) {
        if (!st.step()) state.SkipWithError("no match");
        benchmark::DoNotOptimize(sqlite3_column_int64(*st, 0));
        st.reset();
    }
}

void WhereEngine(benchmark::State& state) {
    for (auto _ : state) {
        auto rs = gEngineDb->OpenRecordset(std::string("SELECT * FROM Orders WHERE ") + kFunctionHeavy, dbOpenDynaset);
        benchmark::DoNotOptimize(rs->RecordCount());
    }
}

void WhereRaw(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::int64_t> keys = rawKeys(*gRaw, std::string("SELECT rowid FROM Orders WHERE ") + kFunctionHeavyRaw);
        benchmark::DoNotOptimize(keys.size());
    }
}

// ------------------------------------------------------------- seek

void SeekEngine(benchmark::State& state) {
    auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
    rs->SetIndex("CustomerID");
    const auto& keys = seekKeys();
    for (auto _ : state) {
        for (const auto& k : keys) {
            rs->Seek("=", Variant::text(k));
            if (rs->NoMatch()) state.SkipWithError("no match");
        }
    }
    setCommon(state, kSeeks);
}

void SeekRaw(benchmark::State& state) {
    Stmt st(*gRaw, "SELECT rowid FROM Orders WHERE CustomerID = ? LIMIT 1");
    const auto& keys = seekKeys();
    for (auto _ : state) {
        for (const auto& k : keys) {
            sqlite3_bind_text(*st, 1, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
            if (!st.step()) state.SkipWithError("no match");
            benchmark::DoNotOptimize(sqlite3_column_int64(*st, 0));
            st.reset();
        }
    }
    setCommon(state, kSeeks);
}

// ----------------------------------------------- record-at-a-time writes

void AddNewEngine(benchmark::State& state) {
    const auto& rows = newOrders();
    for (auto _ : state) {
        state.PauseTiming();
        auto db = DBEngine::OpenDatabase(freshCopy("addnew-engine"));
        auto rs = db->OpenRecordset("Orders", dbOpenTable);
        Field& customer = rs->Fields("CustomerID");
        Field& employee = rs->Fields("EmployeeID");
        Field& orderDate = rs->Fields("OrderDate");
        Field& requiredDate = rs->Fields("RequiredDate");
        Field& shipVia = rs->Fields("ShipVia");
        Field& freight = rs->Fields("Freight");
        Field& shipName = rs->Fields("Ship Name");
        Field& city = rs->Fields("ShipCity");
        Field& country = rs->Fields("ShipCountry");
        Field& paid = rs->Fields("Paid");
        state.ResumeTiming();
        db->BeginTrans();
        for (const auto& o : rows) {
            rs->AddNew();
            customer.SetValue(Variant::text(o.customer));
            employee.SetValue(Variant::integer(static_cast<std::int16_t>(o.employee)));
            orderDate.SetValue(Variant::date(o.orderDate));
            requiredDate.SetValue(Variant::date(o.requiredDate));
            shipVia.SetValue(Variant::byte(static_cast<std::uint8_t>(o.shipVia)));
            freight.SetValue(Variant::currencyScaled(o.freightScaled));
            shipName.SetValue(Variant::text(o.shipName));
            city.SetValue(Variant::text(o.city));
            country.SetValue(Variant::text(o.country));
            paid.SetValue(Variant::boolean(o.paid));
            rs->Update();
        }
        db->CommitTrans();
        state.PauseTiming();
        rs.reset();
        db->Close();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

void AddNewRaw(benchmark::State& state) {
    const auto& rows = newOrders();
    for (auto _ : state) {
        state.PauseTiming();
        auto raw = std::make_unique<Raw>(freshCopy("addnew-raw"));
        state.ResumeTiming();
        raw->exec("BEGIN");
        {
            Stmt ins(*raw, "INSERT INTO Orders (CustomerID, EmployeeID, OrderDate, RequiredDate, ShipVia, Freight, "
                           "\"Ship Name\", ShipCity, ShipCountry, Paid) VALUES (?,?,?,?,?,?,?,?,?,?)");
            for (const auto& o : rows) {
                sqlite3_bind_text(*ins, 1, o.customer.data(), static_cast<int>(o.customer.size()), SQLITE_STATIC);
                sqlite3_bind_int(*ins, 2, o.employee);
                sqlite3_bind_text(*ins, 3, o.orderDateText.data(), static_cast<int>(o.orderDateText.size()), SQLITE_STATIC);
                sqlite3_bind_text(*ins, 4, o.requiredDateText.data(), static_cast<int>(o.requiredDateText.size()), SQLITE_STATIC);
                sqlite3_bind_int(*ins, 5, o.shipVia);
                sqlite3_bind_double(*ins, 6, static_cast<double>(o.freightScaled) / 10000.0);
                sqlite3_bind_text(*ins, 7, o.shipName.data(), static_cast<int>(o.shipName.size()), SQLITE_STATIC);
                sqlite3_bind_text(*ins, 8, o.city.data(), static_cast<int>(o.city.size()), SQLITE_STATIC);
                sqlite3_bind_text(*ins, 9, o.country.data(), static_cast<int>(o.country.size()), SQLITE_STATIC);
                sqlite3_bind_int(*ins, 10, o.paid ? -1 : 0);
                ins.step();
                ins.reset();
            }
        }
        raw->exec("COMMIT");
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

// Changes the freight and ship name of the first 100,000 orders.
void EditEngine(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto db = DBEngine::OpenDatabase(freshCopy("edit-engine"));
        auto rs = db->OpenRecordset("Orders", dbOpenTable);
        Field& freight = rs->Fields("Freight");
        Field& shipName = rs->Fields("Ship Name");
        state.ResumeTiming();
        db->BeginTrans();
        rs->MoveFirst();
        for (int i = 0; i < kWrites && !rs->EOF_(); ++i, rs->MoveNext()) {
            rs->Edit();
            freight.SetValue(Variant::currencyScaled(i * 100LL));
            shipName.SetValue(Variant::text("Renamed"));
            rs->Update();
        }
        db->CommitTrans();
        state.PauseTiming();
        rs.reset();
        db->Close();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

void EditRaw(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto raw = std::make_unique<Raw>(freshCopy("edit-raw"));
        std::vector<std::int64_t> keys = rawKeys(*raw, "SELECT rowid FROM Orders ORDER BY rowid");
        state.ResumeTiming();
        raw->exec("BEGIN");
        {
            Stmt upd(*raw, "UPDATE Orders SET Freight = ?, \"Ship Name\" = ? WHERE rowid = ?");
            for (int i = 0; i < kWrites && i < static_cast<int>(keys.size()); ++i) {
                sqlite3_bind_double(*upd, 1, i / 100.0);
                sqlite3_bind_text(*upd, 2, "Renamed", -1, SQLITE_STATIC);
                sqlite3_bind_int64(*upd, 3, keys[static_cast<size_t>(i)]);
                upd.step();
                upd.reset();
            }
        }
        raw->exec("COMMIT");
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

// Deletes the first 100,000 orders one by one.
void DeleteEngine(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto db = DBEngine::OpenDatabase(freshCopy("delete-engine"));
        auto rs = db->OpenRecordset("Orders", dbOpenTable);
        state.ResumeTiming();
        db->BeginTrans();
        rs->MoveFirst();
        for (long i = 0; i < std::min<long>(kWrites, gRows / 2); ++i) {
            rs->Delete();
            rs->MoveNext();
        }
        db->CommitTrans();
        state.PauseTiming();
        rs.reset();
        db->Close();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

void DeleteRaw(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto raw = std::make_unique<Raw>(freshCopy("delete-raw"));
        std::vector<std::int64_t> keys = rawKeys(*raw, "SELECT rowid FROM Orders ORDER BY rowid");
        state.ResumeTiming();
        raw->exec("BEGIN");
        {
            Stmt del(*raw, "DELETE FROM Orders WHERE rowid = ?");
            for (long i = 0; i < std::min<long>(kWrites, gRows / 2); ++i) {
                sqlite3_bind_int64(*del, 1, keys[static_cast<size_t>(i)]);
                del.step();
                del.reset();
            }
        }
        raw->exec("COMMIT");
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
    setCommon(state, kWrites);
}

// --------------------------------------------------------- statements

struct StatementPair {
    const char* name;
    const char* dialect;
    const char* sqlite;
};
const StatementPair kStatements[] = {
    {"Execute UPDATE all rows", "UPDATE Orders SET Freight = Freight + 1, Paid = True",
     "UPDATE Orders SET Freight = Freight + 1, Paid = -1"},
    {"Execute DELETE WHERE", "DELETE FROM Orders WHERE ShipVia = 2 And Freight < 300",
     "DELETE FROM Orders WHERE ShipVia = 2 AND Freight < 300"},
    {"Execute INSERT SELECT",
     "INSERT INTO [Orders Archive] (OrderID, CustomerID, OrderDate, Freight) "
     "SELECT OrderID, CustomerID, OrderDate, Freight FROM Orders WHERE OrderDate < #1/1/2021#",
     "INSERT INTO \"Orders Archive\" (OrderID, CustomerID, OrderDate, Freight) "
     "SELECT OrderID, CustomerID, OrderDate, Freight FROM Orders WHERE OrderDate < '2021-01-01'"},
};

void ExecuteEngine(benchmark::State& state, const StatementPair* p) {
    for (auto _ : state) {
        state.PauseTiming();
        auto db = DBEngine::OpenDatabase(freshCopy("execute-engine"));
        state.ResumeTiming();
        db->Execute(p->dialect, dbFailOnError);
        benchmark::DoNotOptimize(db->RecordsAffected());
        state.PauseTiming();
        db->Close();
        state.ResumeTiming();
    }
}

void ExecuteRaw(benchmark::State& state, const StatementPair* p) {
    for (auto _ : state) {
        state.PauseTiming();
        auto raw = std::make_unique<Raw>(freshCopy("execute-raw"));
        state.ResumeTiming();
        raw->exec(p->sqlite);
        benchmark::DoNotOptimize(sqlite3_changes(raw->handle()));
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
}

// ------------------------------------------------------------ DBF reading

constexpr long kDbfRows = 1000000;
constexpr double kDbfRowsPerSecond = 200000;  // the least the reader must do

// A Visual FoxPro table of kDbfRows orders with ten fields of mixed types,
// written on first use beside the sample database.
const std::string& dbfTable() {
    static const std::string path = [] {
        struct Col {
            const char* name;
            char type;
            int length, decimals;
        };
        const Col cols[] = {{"CUSTOMER", 'C', 20, 0}, {"CITY", 'C', 15, 0}, {"AMOUNT", 'N', 12, 2}, {"QTY", 'N', 6, 0},
                            {"ORDERED", 'D', 8, 0},   {"PAID", 'L', 1, 0},   {"ID", 'I', 4, 0},     {"PRICE", 'Y', 8, 4},
                            {"STAMP", 'T', 8, 0},     {"RATE", 'B', 8, 0}};
        auto le = [](std::string& s, std::uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
        };
        int recordLength = 1;
        for (const auto& c : cols) recordLength += c.length;
        const int nCols = static_cast<int>(std::size(cols));
        std::string h = "\x30\x7C\x0B\x1E";
        le(h, kDbfRows, 4), le(h, 32 + 32 * nCols + 1 + 263, 2), le(h, recordLength, 2);
        h += std::string(17, '\0') + "\x03" + std::string(2, '\0');
        for (int offset = 1; const auto& c : cols) {
            std::string name = c.name;
            name.resize(11, '\0');
            h += name + c.type;
            le(h, offset, 4);
            h += {static_cast<char>(c.length), static_cast<char>(c.decimals)};
            h += std::string(14, '\0');
            offset += c.length;
        }
        h += '\x0D' + std::string(263, '\0');
        const std::string file = (gDir / "Orders.dbf").string();
        std::ofstream out(file, std::ios::binary);
        out << h;
        const char* cities[] = {"Bergamo", "M\xFCnchen", "Z\xFCrich", "Lyon", "Porto"};  // Windows-1252
        std::mt19937_64 rnd(17);
        std::string r;
        char buf[64];
        for (long i = 0; i < kDbfRows; ++i) {
            r.assign(1, i % 100 == 0 ? '*' : ' ');
            std::snprintf(buf, sizeof buf, "%-20s", ("Customer " + std::to_string(i % 977)).c_str());
            r += buf;
            std::snprintf(buf, sizeof buf, "%-15s", cities[i % 5]);
            r += buf;
            std::snprintf(buf, sizeof buf, "%12.2f%6d%04d%02d%02d%c", static_cast<double>(rnd() % 10000000) / 100,
                          static_cast<int>(rnd() % 1000), 2000 + static_cast<int>(rnd() % 25),
                          1 + static_cast<int>(rnd() % 12), 1 + static_cast<int>(rnd() % 28), rnd() % 2 ? 'T' : 'F');
            r += buf;
            le(r, static_cast<std::uint64_t>(i), 4);
            le(r, rnd() % 100000000, 8);
            le(r, 2451545 + rnd() % 9000, 4), le(r, rnd() % 86400000, 4);
            const double rate = static_cast<double>(rnd() % 1000) / 7;
            std::uint64_t bits;
            std::memcpy(&bits, &rate, 8);
            le(r, bits, 8);
            r.resize(static_cast<size_t>(recordLength), ' ');
            out << r;
        }
        out << '\x1A';
        return file;
    }();
    return path;
}

void DbfEngine(benchmark::State& state) {
    const std::string& path = dbfTable();
    for (auto _ : state) {
        auto table = dbf::DbfTable::open(path);
        long rows = 0;
        while (table->next()) {
            benchmark::DoNotOptimize(table->row().data());
            ++rows;
        }
        if (rows != table->recordCount()) state.SkipWithError("rows lost");
    }
    setCommon(state, kDbfRows);
}

void DbfRaw(benchmark::State& state) {
    const std::string& path = dbfTable();
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
        while (::read(fd, buf.data(), buf.size()) > 0) benchmark::DoNotOptimize(buf.data());
        ::close(fd);
    }
    setCommon(state, kDbfRows);
}

// ------------------------------------------------------------ FoxPro import

constexpr double kImportRowsPerSecond = 200000;  // the least the import must do
long gImportedRows = 0;                          // rows of the DBF table not deleted

// A fresh, empty database for an import.
std::shared_ptr<Database> freshTarget(const char* name) {
    const fs::path p = gDir / (std::string(name) + ".mdb");
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(p.string() + suffix);
    return DBEngine::CreateDatabase(p.string());
}

// The import dialog's work: the DBF table through the ODBC workspace, a new
// table made from its fields, and the rows copied record by record in one
// transaction.
void ImportEngine(benchmark::State& state) {
    const std::string& path = dbfTable();
    const std::string folder = fs::path(path).parent_path().string();
    for (auto _ : state) {
        state.PauseTiming();
        auto db = freshTarget("import-engine");
        state.ResumeTiming();
        auto ws = DBEngine::CreateWorkspace("", "", "", dbUseODBC);
        auto con = ws->OpenConnection("", 1, false, "ODBC;DSN=Visual FoxPro Tables;SourceDB=" + folder + ";SourceType=DBF");
        auto source = con->OpenRecordset("Select * from Orders.dbf", dbOpenDynaset);
        std::string create = " CREATE TABLE Imported (";
        for (const auto& f : source->Fields()) {
            create += "[" + f->Name() + "] " + typeWord(f->Type());
            if (f->Type() == dbChar) create += " (" + std::to_string(f->Size()) + ")";
            if (f->Type() == dbNumeric && f->Scale() > 0)
                create += " (" + std::to_string(f->Precision()) + ", " + std::to_string(f->Scale()) + ")";
            create += ", ";
        }
        create.resize(create.size() - 2);
        db->Execute(create + ")");
        auto rs = db->OpenRecordset("Imported");
        std::vector<std::pair<OdbcField*, Field*>> pairs;
        for (int i = 0; i < source->Fields().Count(); ++i)
            pairs.emplace_back(&source->Fields(i), &rs->Fields(source->Fields(i).Name()));
        long rows = 0;
        db->BeginTrans();
        for (source->MoveFirst(); !source->EOF_(); source->MoveNext()) {
            rs->AddNew();
            for (const auto& [from, to] : pairs) to->SetValue(from->Value());
            rs->Update();
            ++rows;
        }
        db->CommitTrans();
        if (rows != source->RecordCount()) state.SkipWithError("rows lost");
        gImportedRows = rows;
        state.PauseTiming();
        rs.reset();
        db->Close();
        state.ResumeTiming();
    }
    setCommon(state, kDbfRows);
}

// The same rows read by the DBF reader and inserted by raw SQLite in one transaction.
void ImportRaw(benchmark::State& state) {
    const std::string& path = dbfTable();
    for (auto _ : state) {
        state.PauseTiming();
        freshTarget("import-raw")->Close();
        auto raw = std::make_unique<Raw>((gDir / "import-raw.mdb").string());
        state.ResumeTiming();
        auto table = dbf::DbfTable::open(path);
        std::string create = "CREATE TABLE Imported (", insert = "INSERT INTO Imported VALUES (";
        for (const auto& f : table->fields()) {
            create += "\"" + f.name + "\" " + (f.type == dbChar || f.type == dbDate ? "TEXT" : "NUMERIC") + ", ";
            insert += "?,";
        }
        create.resize(create.size() - 2);
        insert.back() = ')';
        raw->exec(create + ")");
        raw->exec("BEGIN");
        {
            Stmt ins(*raw, insert);
            std::string date;
            while (table->next()) {
                int col = 1;
                for (const Variant& v : table->row()) {
                    switch (v.kind()) {
                    case Variant::Kind::Null: sqlite3_bind_null(*ins, col); break;
                    case Variant::Kind::Text:
                        sqlite3_bind_text(*ins, col, v.bytes().data(), static_cast<int>(v.bytes().size()), SQLITE_STATIC);
                        break;
                    case Variant::Kind::Double: sqlite3_bind_double(*ins, col, v.realValue()); break;
                    case Variant::Kind::Date:
                        date = dates::format(v.realValue());
                        sqlite3_bind_text(*ins, col, date.data(), static_cast<int>(date.size()), SQLITE_TRANSIENT);
                        break;
                    case Variant::Kind::Currency: sqlite3_bind_double(*ins, col, static_cast<double>(v.intValue()) / 1e4); break;
                    default: sqlite3_bind_int64(*ins, col, v.intValue()); break;
                    }
                    ++col;
                }
                ins.step();
                ins.reset();
            }
        }
        raw->exec("COMMIT");
        state.PauseTiming();
        raw.reset();
        state.ResumeTiming();
    }
    setCommon(state, kDbfRows);
}

// ------------------------------------------------------------ report

struct Pair {
    std::string operation;
    double target;
};
std::vector<Pair> gPairs;
std::map<std::string, double> gSeconds;  // benchmark name -> seconds per iteration

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    CollectingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (!r.error_occurred && r.iterations > 0)
                gSeconds[r.run_name.function_name] = r.real_accumulated_time / static_cast<double>(r.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

template <class F>
void addPair(const std::string& operation, double target, int iterations, F engineFn, F rawFn) {
    gPairs.push_back({operation, target});
    benchmark::RegisterBenchmark((operation + "/engine").c_str(), engineFn)
        ->Iterations(iterations)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((operation + "/raw").c_str(), rawFn)
        ->Iterations(iterations)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
}

// ------------------------------------------------------------ Jet files

// A path as one word of a shell command.
std::string shellWord(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The genuine Jet files of the test data: every one converted into a new
// database, against mdb-export writing each of their tables as CSV.
std::vector<std::string> jetSamples() {
    const char* env = std::getenv("LEDGERLY_JET_SAMPLES");
    const fs::path folder = env ? env : "/work/shared/testdata/jet";
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec))
        if (e.path().extension() == ".mdb") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

void JetConvertEngine(benchmark::State& state) {
    const auto files = jetSamples();
    if (files.empty()) return state.SkipWithError("no Jet samples (set LEDGERLY_JET_SAMPLES)");
    for (auto _ : state) {
        for (size_t i = 0; i < files.size(); ++i) {
            state.PauseTiming();
            const fs::path out = gDir / ("jet-" + std::to_string(i) + ".mdb");
            fs::remove(out);
            state.ResumeTiming();
            jet::convert(files[i], out.string());
        }
    }
}

void JetConvertRaw(benchmark::State& state) {
    const auto files = jetSamples();
    if (files.empty() || std::system("command -v mdb-export >/dev/null") != 0)
        return state.SkipWithError("mdb-export is not installed");
    std::vector<std::pair<std::string, std::vector<std::string>>> tables;
    for (const auto& f : files) tables.emplace_back(f, jet::File(f).tableNames());
    for (auto _ : state)
        for (const auto& [file, names] : tables)
            for (const auto& t : names) {
                const std::string cmd = "mdb-export " + shellWord(file) + " " + shellWord(t) + " > /dev/null 2>&1";
                benchmark::DoNotOptimize(std::system(cmd.c_str()));
            }
}

// A table of each version grown to the run's row count from a sample's own
// records (Table1 of compIndexTest: a Long Integer and two texts), converted
// whole against mdb-export writing it as CSV. The peak memory of the whole
// conversion program stays that of a few pages, whatever the table's size.
struct BigJet {
    std::string file;
    long rows = 0;
    double peakMb = 0;       // 0 when the measure failed
    bool measured = false;
};
std::map<std::string, BigJet> gBigJet;

BigJet& bigJet(const std::string& version) {
    BigJet& big = gBigJet[version];
    if (big.file.empty()) {
        const auto files = jetSamples();
        auto sample = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
            return fs::path(f).filename() == "compIndexTest" + version + ".mdb";
        });
        if (sample == files.end()) return big;
        big.file = (gDir / ("big" + version + ".mdb")).string();
        big.rows = bench::growJetTable(*sample, "Table1", big.file, gRows);
        // Written out before any timing: the kernel's write-back must not run during the first run.
        const int fd = ::open(big.file.c_str(), O_RDONLY);
        if (fd >= 0) ::fsync(fd), ::close(fd);
    }
    return big;
}

// Runs the programs whose peak memory is measured. It is forked at start,
// while this process is small: a program forked later would count this
// process's pages, copied at the fork, in its peak.
class Spawner {
public:
    Spawner() {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            ::close(down[1]);
            ::close(up[0]);
            serve(down[0], up[1]);
            _exit(0);
        }
        ::close(down[0]);
        ::close(up[1]);
        requests_ = down[1];
        answers_ = up[0];
    }
    ~Spawner() {
        if (pid_ <= 0) return;
        ::close(requests_);
        ::close(answers_);
        waitpid(pid_, nullptr, 0);
    }
    // The peak resident megabytes of `command` run by the shell; 0 when it failed.
    double peakMb(const std::string& command) {
        const std::uint32_t size = static_cast<std::uint32_t>(command.size());
        double peak = 0;
        if (pid_ <= 0 || ::write(requests_, &size, sizeof size) != sizeof size ||
            ::write(requests_, command.data(), size) != static_cast<ssize_t>(size) ||
            ::read(answers_, &peak, sizeof peak) != sizeof peak)
            return 0;
        return peak;
    }

private:
    static void serve(int requests, int answers) {
        std::uint32_t size = 0;
        while (::read(requests, &size, sizeof size) == sizeof size) {
            std::string command(size, '\0');
            if (::read(requests, command.data(), size) != static_cast<ssize_t>(size)) return;
            double peak = 0;
            const pid_t pid = fork();
            if (pid == 0) {
                execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            struct rusage usage {};
            if (pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
                peak = static_cast<double>(usage.ru_maxrss) / 1024.0;
            if (::write(answers, &peak, sizeof peak) != sizeof peak) return;
        }
    }
    pid_t pid_ = -1;
    int requests_ = -1, answers_ = -1;
};
std::unique_ptr<Spawner> gSpawner;

void JetBigEngine(benchmark::State& state, const std::string& version) {
    BigJet& big = bigJet(version);
    if (big.file.empty()) return state.SkipWithError("no compIndexTest sample (set LEDGERLY_JET_SAMPLES)");
    const fs::path out = gDir / ("big" + version + "-converted.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(out);
        state.ResumeTiming();
        jet::ConvertResult r = jet::convert(big.file, out.string());
        if (r.records != big.rows) state.SkipWithError("the grown table did not convert whole");
    }
    // The whole conversion program's peak, once, in a process of its own.
    fs::remove(out);
    big.peakMb = gSpawner->peakMb(shellWord((bench::programDir() / "ledgerly-sql").string()) + " --convert " +
                                  shellWord(big.file) + " " + shellWord(out.string()) + " 2>/dev/null");
    big.measured = true;
}

void JetBigRaw(benchmark::State& state, const std::string& version) {
    BigJet& big = bigJet(version);
    if (big.file.empty() || std::system("command -v mdb-export >/dev/null") != 0)
        return state.SkipWithError("mdb-export or the sample is missing");
    const std::string cmd = "mdb-export " + shellWord(big.file) + " Table1 > /dev/null";
    for (auto _ : state) benchmark::DoNotOptimize(std::system(cmd.c_str()));
}

// The same records, read by the same reader, written by raw SQLite into a
// table of the engine copy's definition, its index made after: what the
// conversion costs beyond reading the file and SQLite's own writing.
void JetBigRawSqlite(benchmark::State& state, const std::string& version) {
    BigJet& big = bigJet(version);
    const fs::path engineCopy = gDir / ("big" + version + "-converted.mdb");
    if (big.file.empty() || !fs::exists(engineCopy)) return state.SkipWithError("the engine's conversion did not run");
    std::vector<std::string> definitions;  // the table's, then its indexes'
    {
        sqlite3* copy = nullptr;
        sqlite3_stmt* st = nullptr;
        sqlite3_open_v2(engineCopy.c_str(), &copy, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_prepare_v2(copy,
                           "SELECT sql FROM sqlite_master WHERE tbl_name = 'Table1' AND sql IS NOT NULL ORDER BY type DESC",
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            definitions.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close_v2(copy);
    }
    if (definitions.empty()) return state.SkipWithError("the engine's copy has no Table1");
    const fs::path out = gDir / ("big" + version + "-raw.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(out);
        sqlite3* db = nullptr;
        sqlite3_open_v2(out.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(db, "PRAGMA journal_mode=MEMORY; PRAGMA cache_size=-8192; BEGIN", nullptr, nullptr, nullptr);
        sqlite3_exec(db, definitions[0].c_str(), nullptr, nullptr, nullptr);
        // Fifty records a statement, as the engine writes them; the last few one by one.
        constexpr int kBatch = 50;
        std::string many = "INSERT INTO Table1 VALUES (?, ?, ?)";
        for (int r = 1; r < kBatch; ++r) many += ", (?, ?, ?)";
        sqlite3_stmt* batch = nullptr;
        sqlite3_stmt* single = nullptr;
        sqlite3_prepare_v2(db, many.c_str(), -1, &batch, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO Table1 VALUES (?, ?, ?)", -1, &single, nullptr);
        state.ResumeTiming();
        std::vector<std::vector<Variant>> held(kBatch);
        int waiting = 0;
        auto run = [&](sqlite3_stmt* st, int records) {
            for (int r = 0; r < records; ++r)
                for (int i = 0; i < 3; ++i) {
                    const Variant& v = held[static_cast<size_t>(r)][static_cast<size_t>(i)];
                    const int at = r * 3 + i + 1;
                    if (v.isNull()) sqlite3_bind_null(st, at);
                    else if (v.kind() == Variant::Kind::Text)
                        sqlite3_bind_text(st, at, v.bytes().data(), static_cast<int>(v.bytes().size()), SQLITE_STATIC);
                    else sqlite3_bind_int64(st, at, v.toInt64());
                }
            sqlite3_step(st);
            sqlite3_reset(st);
        };
        jet::File file(big.file);
        file.table("Table1")->readRows([&](std::vector<Variant>& values) {
            held[static_cast<size_t>(waiting++)] = values;
            if (waiting == kBatch) run(batch, kBatch), waiting = 0;
            return true;
        });
        for (int r = 0; r < waiting; ++r) held[0] = held[static_cast<size_t>(r)], run(single, 1);
        sqlite3_finalize(batch);
        sqlite3_finalize(single);
        for (size_t i = 1; i < definitions.size(); ++i) sqlite3_exec(db, definitions[i].c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        long written = 0;
        sqlite3_exec(db, "SELECT count(*) FROM Table1", [](void* n, int, char** v, char**) {
            *static_cast<long*>(n) = std::atol(v[0]);
            return 0;
        }, &written, nullptr);
        sqlite3_close_v2(db);
        if (written != big.rows) state.SkipWithError("raw SQLite did not write every record");
    }
}

using Fn = std::function<void(benchmark::State&)>;

void registerAll() {
    addPair<Fn>("Open table + count + first page", 1.5, 10, OpenEngine, OpenRaw);
    addPair<Fn>("Read 50 rows at a random position", 4, 2000, PageEngine, PageRaw);
    // Moving to a record and reading it is record-at-a-time work.
    addPair<Fn>("MoveLast + MoveFirst (cold)", 2.5, 30, LastFirstEngine, LastFirstRaw);
    addPair<Fn>("FindFirst Freight > 999.5", 1.5, 5,
                [](benchmark::State& s) { FindEngine(s, "Freight > 999.5"); },
                [](benchmark::State& s) { FindRaw(s, "Freight > 999.5"); });
    addPair<Fn>("Seek x 10,000", 2, 3, SeekEngine, SeekRaw);
    addPair<Fn>("AddNew/Update x 100,000", 2.5, 2, AddNewEngine, AddNewRaw);
    addPair<Fn>("Edit/Update x 100,000", 2.5, 2, EditEngine, EditRaw);
    addPair<Fn>("Delete x 100,000", 2.5, 2, DeleteEngine, DeleteRaw);
    for (const auto& p : kStatements)
        addPair<Fn>(p.name, 1.2, 2, [&p](benchmark::State& s) { ExecuteEngine(s, &p); },
                    [&p](benchmark::State& s) { ExecuteRaw(s, &p); });
    addPair<Fn>("FindFirst Trim/Like/Year", 2, 3,
                [](benchmark::State& s) { FindEngine(s, kFunctionHeavy); },
                [](benchmark::State& s) { FindRaw(s, kFunctionHeavyRaw); });
    addPair<Fn>("WHERE Trim/Like/Year", 2, 3, WhereEngine, WhereRaw);
    addPair<Fn>("Read a 1M-row DBF table", 30, 3, DbfEngine, DbfRaw);
    addPair<Fn>("Import a 1M-row DBF table", 4, 2, ImportEngine, ImportRaw);
    addPair<Fn>("Convert the Jet samples", 1.0, 2, JetConvertEngine, JetConvertRaw);
    for (const char* version : {"V1997", "V2000"}) {
        addPair<Fn>(std::string("Convert a 1M-record Jet table ") + version, 1.0, 2,
                    [version](benchmark::State& s) { JetBigEngine(s, version); },
                    [version](benchmark::State& s) { JetBigRaw(s, version); });
        addPair<Fn>(std::string("... against raw SQLite ") + version, 1.2, 2,
                    [version](benchmark::State& s) { JetBigEngine(s, version); },
                    [version](benchmark::State& s) { JetBigRawSqlite(s, version); });
    }
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// What an open million-row recordset with its first page read adds to the process.
double recordsetMegabytes() {
    long before = residentBytes();
    auto rs = gEngineDb->OpenRecordset("Orders", dbOpenTable);
    for (long i = 0; i < kPageRows; ++i) benchmark::DoNotOptimize(rs->RowAt(i));
    long after = residentBytes();
    return static_cast<double>(after - before) / (1024.0 * 1024.0);
}

std::string formatTime(double seconds) {
    char buf[32];
    if (seconds >= 1) std::snprintf(buf, sizeof buf, "%.3f s", seconds);
    else if (seconds >= 1e-3) std::snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
    else std::snprintf(buf, sizeof buf, "%.1f us", seconds * 1e6);
    return buf;
}

void printTable(double memoryMb) {
    std::printf("\nEngine against raw SQLite, %ld orders\n", gRows);
    std::printf("%-36s %12s %12s %8s %8s\n", "operation", "engine", "raw", "ratio", "target");
    std::printf("%s\n", std::string(36 + 4 * 13 - 8, '-').c_str());
    int missed = 0;
    size_t targets = gPairs.size() + 1;  // the pairs and the memory
    for (const auto& p : gPairs) {
        auto e = gSeconds.find(p.operation + "/engine");
        auto r = gSeconds.find(p.operation + "/raw");
        if (e == gSeconds.end() && r == gSeconds.end()) {
            std::printf("%-36s %12s\n", p.operation.c_str(), "(not run)");
            continue;
        }
        if (e == gSeconds.end() || r == gSeconds.end()) {
            std::printf("%-36s %12s\n", p.operation.c_str(), "(failed)");
            ++missed;
            continue;
        }
        double ratio = e->second / r->second;
        bool ok = ratio <= p.target;
        if (!ok) ++missed;
        std::printf("%-36s %12s %12s %8.2f %6s%-2.1f%s\n", p.operation.c_str(), formatTime(e->second).c_str(),
                    formatTime(r->second).c_str(), ratio, "<= ", p.target, ok ? "" : "  MISSED");
    }
    if (auto d = gSeconds.find("Read a 1M-row DBF table/engine"); d != gSeconds.end()) {
        const double perSecond = static_cast<double>(kDbfRows) / d->second;
        const bool ok = perSecond >= kDbfRowsPerSecond;
        std::printf("%-36s %12.0f rows/s %17s %.0f%s\n", "DBF reader", perSecond, ">=", kDbfRowsPerSecond,
                    ok ? "" : "  MISSED");
        if (!ok) ++missed;
        ++targets;
    }
    if (auto d = gSeconds.find("Import a 1M-row DBF table/engine"); d != gSeconds.end()) {
        const double perSecond = static_cast<double>(gImportedRows) / d->second;
        const bool ok = perSecond >= kImportRowsPerSecond;
        std::printf("%-36s %12.0f rows/s %17s %.0f%s\n", "FoxPro import", perSecond, ">=", kImportRowsPerSecond,
                    ok ? "" : "  MISSED");
        if (!ok) ++missed;
        ++targets;
    }
    std::printf("%-36s %12.1f MB %21s %s\n", "Memory of an open recordset", memoryMb, "< 32 MB",
                memoryMb < 32 ? "" : "  MISSED");
    if (memoryMb >= 32) ++missed;
    for (const auto& [version, big] : gBigJet) {
        if (!big.measured) continue;
        if (big.peakMb <= 0) {
            std::printf("%-36s %12s\n", ("Peak memory converting " + version).c_str(), "(failed)");
            ++missed;
            ++targets;
            continue;
        }
        const double fileMb = static_cast<double>(fs::file_size(big.file)) / (1024.0 * 1024.0);
        const bool ok = big.peakMb < 32;
        std::printf("%-36s %12.1f MB %21s (a %.0f MB file)%s\n", ("Peak memory converting " + version).c_str(),
                    big.peakMb, "< 32 MB", fileMb, ok ? "" : "  MISSED");
        if (!ok) ++missed;
        ++targets;
    }
    std::printf("%d of %zu targets missed\n", missed, targets);
}

}  // namespace

int main(int argc, char** argv) {
    gSpawner = std::make_unique<Spawner>();
    benchmark::Initialize(&argc, argv);
    int status = 0;
    try {
        makeBase();
        gEngineDb = DBEngine::OpenDatabase(gBase.string());
        double memoryMb = recordsetMegabytes();
        gRaw = std::make_unique<Raw>(gBase.string());
        registerAll();
        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        gRaw.reset();
        gEngineDb->Close();
        printTable(memoryMb);
    } catch (const Error& e) {
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
        status = 1;
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << "\n";
        status = 1;
    }
    benchmark::Shutdown();
    gSpawner.reset();
    std::error_code ec;
    if (!gDir.empty()) fs::remove_all(gDir, ec);
    return status;
}
