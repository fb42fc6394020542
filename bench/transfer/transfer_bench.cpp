// Copy to Text and Append from Text on a million-row Orders table, on the
// offscreen platform, each against raw SQLite doing the same work in the same
// run: an export loop that pads (or quotes) the same columns the same way,
// and a parse-and-insert loop in one transaction. Copy to Table and Append
// from Table against the one INSERT ... SELECT they come down to.
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

#include "engine/dao.h"
#include "transfer/frmAppendTable.h"
#include "transfer/frmAppendText.h"
#include "transfer/frmCopytoTable.h"
#include "transfer/frmCopytoText.h"
#include "ui_bench.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir, gPristine, gWork;
constexpr int kSlot = 4;

// Every field of Orders, in definition order, with its size; and the
// columns of Shipments, the table the fixed-width files are appended to
// (values that fit their sizes, as fixed-width files need).
struct Column {
    std::string name;
    int size;
    int type;
};
std::vector<Column> gOrders;
const std::vector<Column> kShipments = {
    {"CustomerID", 5, engine::dbText}, {"EmployeeID", 2, engine::dbInteger}, {"ShipVia", 1, engine::dbByte},
    {"Freight", 8, engine::dbCurrency}, {"Weight", 8, engine::dbDouble}, {"ShipCity", 15, engine::dbText},
    {"ShipCountry", 15, engine::dbText}, {"Ship Name", 40, engine::dbText},
};

void freshCopy() {
    bench::closeArea(kSlot);
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(gWork.string() + end);
    fs::copy_file(gPristine, gWork);
}

sqlite3* openRaw() {
    sqlite3* db = nullptr;
    sqlite3_open(gWork.c_str(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return db;
}

void rawExec(sqlite3* db, const std::string& sqlText) {
    char* error = nullptr;
    if (sqlite3_exec(db, sqlText.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(sqlText + ": " + text);
    }
}

std::string columnList(const std::vector<Column>& columns) {
    std::string out;
    for (const auto& c : columns) out += (out.empty() ? "[" : ", [") + c.name + "]";
    return out;
}

// ---------------------------------------------------------------- raw export

size_t characters(const unsigned char* s, int n) {
    size_t count = 0;
    for (int i = 0; i < n; ++i)
        if ((s[i] & 0xC0) != 0x80) ++count;
    return count;
}

// SELECT the columns, pad or quote each as the dialog does, write CR LF lines in 1 MB blocks.
void rawExport(const std::vector<Column>& columns, bool csv, const fs::path& file) {
    sqlite3* db = openRaw();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("SELECT " + columnList(columns) + " FROM Orders").c_str(), -1, &st, nullptr);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::string block, line;
    if (csv) {
        for (const auto& c : columns) block += (block.empty() ? "" : ",") + c.name;
        block += "\r\n";
    }
    const int n = static_cast<int>(columns.size());
    while (sqlite3_step(st) == SQLITE_ROW) {
        line.clear();
        for (int i = 0; i < n; ++i) {
            const auto* text = sqlite3_column_text(st, i);
            const int bytes = sqlite3_column_bytes(st, i);
            if (csv) {
                if (i) line += ',';
                if (!text) continue;
                const std::string_view v(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
                if (v.find_first_of(",\"\r\n") == std::string_view::npos) {
                    line += v;
                    continue;
                }
                line += '"';
                for (char ch : v) {
                    if (ch == '"') line += '"';
                    line += ch;
                }
                line += '"';
            } else {
                size_t written = 1;
                if (!text) line += ' ';
                else {
                    line.append(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
                    written = characters(text, bytes);
                }
                if (written < static_cast<size_t>(columns[static_cast<size_t>(i)].size))
                    line.append(static_cast<size_t>(columns[static_cast<size_t>(i)].size) - written, ' ');
            }
        }
        block += line;
        block += "\r\n";
        if (block.size() >= (1 << 20)) {
            std::fwrite(block.data(), 1, block.size(), out);
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), out);
    std::fclose(out);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// ---------------------------------------------------------------- raw append

// Binds a value of text to its column's storage, as the engine stores it.
void bindAs(sqlite3_stmt* st, int k, const Column& c, std::string_view v) {
    while (!v.empty() && v.back() == ' ' && c.type != engine::dbText) v.remove_suffix(1);
    if (v.empty()) {
        sqlite3_bind_null(st, k);
        return;
    }
    switch (c.type) {
    case engine::dbByte:
    case engine::dbInteger:
    case engine::dbLong: {
        long long n = 0;
        std::from_chars(v.data(), v.data() + v.size(), n);
        sqlite3_bind_int64(st, k, n);
        break;
    }
    case engine::dbBoolean: sqlite3_bind_int(st, k, v == "True" ? -1 : 0); break;
    case engine::dbCurrency:
    case engine::dbDouble: {
        double d = 0;
        std::from_chars(v.data(), v.data() + v.size(), d);
        sqlite3_bind_double(st, k, d);
        break;
    }
    default: sqlite3_bind_text(st, k, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
}

// Reads `file` line by line, cuts (fixed) or splits (CSV) each, binds and inserts, in one transaction.
void rawAppend(const std::vector<Column>& columns, bool csv, const char* table, const fs::path& file) {
    sqlite3* db = openRaw();
    std::string sqlText = "INSERT INTO [" + std::string(table) + "] (" + columnList(columns) + ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sqlText += i ? ",?" : "?";
    sqlText += ")";
    rawExec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sqlText.c_str(), -1, &st, nullptr);
    std::FILE* in = std::fopen(file.c_str(), "rb");
    std::string buffer(1 << 20, '\0'), pending, field;
    bool header = csv;
    auto handle = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (header) {
            header = false;
            return;
        }
        size_t p = 0;
        for (size_t k = 0; k < columns.size(); ++k) {
            std::string_view v;
            if (csv) {
                if (p < line.size() && line[p] == '"') {
                    field.clear();
                    size_t i = p + 1;
                    for (;;) {
                        const size_t q = line.find('"', i);
                        field.append(line.substr(i, q - i));
                        if (q + 1 < line.size() && line[q + 1] == '"') {
                            field += '"';
                            i = q + 2;
                        } else {
                            p = q + 2;
                            break;
                        }
                    }
                    v = field;
                } else {
                    const size_t comma = std::min(line.find(',', p), line.size());
                    v = line.substr(p, comma - p);
                    p = comma + 1;
                }
            } else {
                size_t end = p;
                for (int n = 0; n < columns[k].size && end < line.size(); ++n) {
                    ++end;
                    while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) ++end;
                }
                v = line.substr(std::min(p, line.size()), end - std::min(p, line.size()));
                p = end;
            }
            bindAs(st, static_cast<int>(k) + 1, columns[k], v);
        }
        if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error(std::string("raw insert: ") + sqlite3_errmsg(db));
        sqlite3_reset(st);
    };
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        std::string_view chunk(buffer.data(), got);
        size_t lf;
        while ((lf = chunk.find('\n')) != std::string_view::npos) {
            if (pending.empty()) handle(chunk.substr(0, lf));
            else {
                pending.append(chunk.substr(0, lf));
                handle(pending);
                pending.clear();
            }
            chunk.remove_prefix(lf + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty()) handle(pending);
    std::fclose(in);
    sqlite3_finalize(st);
    rawExec(db, "COMMIT");
    sqlite3_close(db);
}

// ------------------------------------------------------------------ dialogs

long gCopied = 0, gAppended = 0;

long countFromStatus(const char* suffix) {
    const QStringList words = frmMain::instance()->StatusText().split(' ', Qt::SkipEmptyParts);
    const QStringList tail = QString(suffix).split(' ');
    return words.size() > tail.size() ? words[words.size() - tail.size() - 1].toLong() : -1;
}

void copyDialog(bool csv, const fs::path& file) {
    frmCopytoText dialog(frmMain::instance());
    while (dialog.lstFields->count() > 0) {
        dialog.lstFields->setCurrentRow(0);
        dialog.cmdAdd_Click();
    }
    dialog.optScope[0]->setChecked(true);
    dialog.optFormat[csv ? 1 : 0]->setChecked(true);
    dialog.OutputFile = QString::fromStdString(file.string());
    dialog.cmdCopy_Click();
    gCopied = countFromStatus("Records copied");
}

void appendDialog(bool csv, const fs::path& file) {
    frmAppendText dialog(frmMain::instance());
    dialog.optFormat[csv ? 1 : 0]->setChecked(true);
    dialog.InputFile = QString::fromStdString(file.string());
    dialog.cmdAppend_Click();
    gAppended = countFromStatus("Records Appended");
}

// Every field of Orders into a new table, all records.
constexpr const char* kCopiedTable = "Orders Copied";
std::string gCopiedTableSql;  // the CREATE statement of the dialog's table, for the raw run

void copyTableDialog() {
    frmCopytoTable dialog(frmMain::instance());
    dialog.txtTableName->setText(kCopiedTable);
    dialog.cmdAddAll_Click();
    dialog.optScope[0]->setChecked(true);
    dialog.cmdCopy_Click();
}

// Orders (work area kSlot) appended to Orders Copy (the current work area).
void appendTableDialog() {
    frmAppendTable dialog(frmMain::instance());
    dialog.lstTable->setCurrentRow(kSlot);
    dialog.lstTable_Click();
    dialog.optScope[0]->setChecked(true);
    dialog.cmdAppend_Click();
}

std::string columnNames(const std::vector<Column>& columns) {
    std::string names;
    for (const auto& c : columns) names += (names.empty() ? "\"" : ", \"") + c.name + "\"";
    return names;
}

struct Pair {
    const char* name;
    const char* raw;
};
// Speeds: the dialog at least half as fast as raw SQLite.
const Pair kPairs[] = {
    {"Copy to Text All, fixed width", "Raw export, fixed width"},
    {"Copy to Text All, CSV", "Raw export, CSV"},
    {"Append from Text, fixed width", "Raw parse and insert, fixed width"},
    {"Append from Text, CSV", "Raw parse and insert, CSV"},
};
// Times: the dialog at most 1.2 times raw SQLite's.
const Pair kTablePairs[] = {
    {"Copy to Table All", "Raw CREATE and INSERT ... SELECT"},
    {"Append from Table All", "Raw INSERT ... SELECT"},
};

// The machine is shared: each benchmark runs three times and the fastest run counts.
constexpr int kRuns = 3;

void registerAll() {
    auto add = [](const char* name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)
            ->Iterations(1)
            ->Repetitions(kRuns)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    };
    // Exports change nothing: one copy for all of them.
    add("Copy to Text All, fixed width", [](benchmark::State& s) {
        bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
        for (auto _ : s) copyDialog(false, gDir / "dialog.txt");
    });
    add("Raw export, fixed width", [](benchmark::State& s) {
        for (auto _ : s) rawExport(gOrders, false, gDir / "raw.txt");
    });
    add("Copy to Text All, CSV", [](benchmark::State& s) {
        bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
        for (auto _ : s) copyDialog(true, gDir / "dialog.csv");
    });
    add("Raw export, CSV", [](benchmark::State& s) {
        for (auto _ : s) rawExport(gOrders, true, gDir / "raw.csv");
    });
    // Appends start from a fresh copy each.
    add("Append from Text, fixed width", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            bench::openInto(gWork.string(), kSlot, "Shipments", 1, "Shipments");
            s.ResumeTiming();
            appendDialog(false, gDir / "shipments.txt");
        }
    });
    add("Raw parse and insert, fixed width", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            s.ResumeTiming();
            rawAppend(kShipments, false, "Shipments", gDir / "shipments.txt");
        }
    });
    add("Append from Text, CSV", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            bench::openInto(gWork.string(), kSlot, "Orders Copy", 1, "Orders Copy");
            s.ResumeTiming();
            appendDialog(true, gDir / "orders.csv");
        }
    });
    add("Raw parse and insert, CSV", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            s.ResumeTiming();
            rawAppend(gOrders, true, "Orders Copy", gDir / "orders.csv");
        }
    });
    add("Copy to Table All", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
            s.ResumeTiming();
            copyTableDialog();
            s.PauseTiming();
            bench::closeArea(kSlot);
            sqlite3* db = openRaw();
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE name = ?", -1, &st, nullptr);
            sqlite3_bind_text(st, 1, kCopiedTable, -1, SQLITE_STATIC);
            if (sqlite3_step(st) == SQLITE_ROW) gCopiedTableSql = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            else s.SkipWithError("the dialog made no table");
            sqlite3_finalize(st);
            sqlite3_close(db);
            s.ResumeTiming();
        }
    });
    add("Raw CREATE and INSERT ... SELECT", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            sqlite3* db = openRaw();
            s.ResumeTiming();
            rawExec(db, "BEGIN");
            rawExec(db, gCopiedTableSql);
            rawExec(db, "INSERT INTO \"" + std::string(kCopiedTable) + "\" (" + columnNames(gOrders) + ") SELECT " +
                            columnNames(gOrders) + " FROM Orders");
            rawExec(db, "COMMIT");
            sqlite3_close(db);
        }
    });
    add("Append from Table All", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
            bench::openInto(gWork.string(), kSlot + 1, "Orders Copy", 1, "Orders Copy");
            s.ResumeTiming();
            appendTableDialog();
            s.PauseTiming();
            gAppended = countFromStatus("records inserted");
            bench::closeArea(kSlot + 1);
            s.ResumeTiming();
        }
    });
    add("Raw INSERT ... SELECT", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            sqlite3* db = openRaw();
            s.ResumeTiming();
            rawExec(db, "INSERT INTO \"Orders Copy\" (" + columnNames(gOrders) + ") SELECT " + columnNames(gOrders) +
                            " FROM Orders");
            sqlite3_close(db);
        }
    });
}

// The tables and files the appends start from.
std::string createTable(const std::string& name, const std::vector<Column>& columns) {
    std::string sqlText = "CREATE TABLE [" + name + "] (";
    for (const auto& c : columns)
        sqlText += "[" + c.name + "] " + engine::typeWord(c.type) +
                   (c.type == engine::dbText ? "(" + std::to_string(c.size) + ")" : "") + ", ";
    return sqlText.substr(0, sqlText.size() - 2) + ")";
}

void prepare() {
    auto db = engine::DBEngine::OpenDatabase(gPristine.string());
    for (const auto& f : db->TableDefs()["Orders"].Fields()) gOrders.push_back({f->Name(), f->Size(), f->Type()});
    db->Execute(createTable("Shipments", kShipments));
    db->Execute(createTable("Orders Copy", gOrders));  // OrderID without its counter
    db->Close();
    fs::copy_file(gPristine, gWork);
    rawExport(kShipments, false, gDir / "shipments.txt");
    // The CSV to append is the dialog's own, so values are in the default text form.
    bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
    copyDialog(true, gDir / "orders.csv");
    bench::closeArea(kSlot);
}

void report(long rows) {
    std::printf("\nText transfer on %ld orders, fastest of %d runs (dialog speed / raw speed)\n", rows, kRuns);
    for (const Pair& p : kPairs) {
        const double mine = bench::milliseconds(p.name), raw = bench::milliseconds(p.raw);
        if (mine < 0 && raw < 0) continue;  // filtered out of this run
        const double ratio = mine > 0 && raw > 0 ? raw / mine : 0;
        std::printf("%-32s %7.0f ms (%6.0f rows/ms)  raw %7.0f ms (%6.0f rows/ms)  %3.0f%% (target >= 50%%)%s\n", p.name,
                    mine, rows / mine, raw, rows / raw, ratio * 100, ratio >= 0.5 ? "" : "  MISSED");
    }
    for (const Pair& p : kTablePairs) {
        const double mine = bench::milliseconds(p.name), raw = bench::milliseconds(p.raw);
        if (mine < 0 && raw < 0) continue;
        const double ratio = mine > 0 && raw > 0 ? mine / raw : 0;
        std::printf("%-32s %7.0f ms  raw %7.0f ms  ratio %4.2f (target <= 1.2)%s\n", p.name, mine, raw, ratio,
                    ratio > 0 && ratio <= 1.2 ? "" : "  MISSED");
    }
    std::printf("Records copied by the last copy: %ld; appended by the last append: %ld\n", gCopied, gAppended);
}

}  // namespace

int main(int argc, char** argv) {
    return bench::runProgram(argc, argv, [](const fs::path& dir) {
        gDir = dir;
        gPristine = dir / "Sales.mdb";
        gWork = dir / "Work.mdb";
        prepare();
        registerAll();
    }, report);
}
