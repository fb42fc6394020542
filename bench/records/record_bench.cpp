// The record dialogs on a million-row Orders table, on the offscreen platform,
// each against raw SQLite doing the same work in the same run: Delete and
// Update Table by one statement (All, Where) and record by record (Next),
// Add Records, and Find. Every run starts from a fresh copy of the sample.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <sqlite3.h>

#include <cstdio>
#include <iostream>
#include <map>

#include "engine/dao.h"
#include "records/frmAddRecord.h"
#include "records/frmDelete.h"
#include "records/frmFind.h"
#include "records/frmUpdateTable.h"
#include "ui_bench.h"

namespace fs = std::filesystem;

namespace {

fs::path gPristine, gWork;

// The dialogs take at most 32,767 records a run (a 16-bit count).
constexpr long kDialogRecords = 30000;
constexpr int kSlot = 5;

// A fresh copy of the sample for the next run; nothing holds it open.
void freshCopy() {
    bench::closeArea(kSlot);
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(gWork.string() + end);
    fs::copy_file(gPristine, gWork);
}

frmGrid* openOrders(const char* index = nullptr) {
    frmGrid* grid = bench::openInto(gWork.string(), kSlot, "Orders", 1, "Orders");
    if (index) grid->rs1->SetIndex(index);
    grid->rs1->MoveFirst();
    return grid;
}

// Runs `work` on a fresh copy with the Orders grid open; only `work` is timed.
template <class Work> void onFreshGrid(benchmark::State& state, const char* index, Work work) {
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        frmGrid* grid = openOrders(index);
        state.ResumeTiming();
        work(grid);
        state.PauseTiming();
        bench::closeArea(kSlot);
        state.ResumeTiming();
    }
}

// Runs `work` on a raw connection to a fresh copy; only `work` is timed.
template <class Work> void onFreshRaw(benchmark::State& state, Work work) {
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        sqlite3* db = nullptr;
        sqlite3_open(gWork.c_str(), &db);
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        work(db);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
}

void rawExec(sqlite3* db, const char* sqlText) {
    char* error = nullptr;
    if (sqlite3_exec(db, sqlText, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(std::string(sqlText) + ": " + text);
    }
}

// One prepared statement stepped `n` times in one transaction; `bind` sets its parameters.
template <class Bind> void rawLoop(sqlite3* db, const char* sqlText, long n, Bind bind) {
    rawExec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sqlText, -1, &st, nullptr);
    for (long i = 0; i < n; ++i) {
        bind(st, i);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    rawExec(db, "COMMIT");
}

void deleteDialog(frmGrid*, int scope, const char* where = "") {
    frmDelete dialog(frmMain::instance());
    dialog.optScope[static_cast<size_t>(scope)]->setChecked(true);
    dialog.txtRestNumber->setText(QString::number(kDialogRecords));
    dialog.txtWhere->setPlainText(where);
    dialog.cmdDelete_Click();
}

// Records a Next run updated, from its status text "  Orders  N  Updates".
std::map<std::string, long> gUpdated;

void updateDialog(frmGrid*, int scope, const char* field, const char* with, const char* where = "") {
    frmUpdateTable dialog(frmMain::instance());
    dialog.lstFields->setCurrentRow(dialog.lstFields->row(dialog.lstFields->findItems(field, Qt::MatchExactly).at(0)));
    dialog.TextWith->setPlainText(with);
    dialog.optScope[static_cast<size_t>(scope)]->setChecked(true);
    dialog.txtRestNumber->setText(QString::number(kDialogRecords));
    dialog.txtWhere->setPlainText(where);
    dialog.cmdReplace_Click();
    const QStringList words = frmMain::instance()->StatusText().split(' ', Qt::SkipEmptyParts);
    if (scope == 1 && words.size() >= 2) gUpdated[field] = words[words.size() - 2].toLong();
}

void addDialog(int option) {
    frmAddRecord dialog(frmMain::instance());
    dialog.OptValues[static_cast<size_t>(option)]->setChecked(true);
    dialog.TxtNumber->setText(QString::number(kDialogRecords));
    dialog.cmdCopy_Click();
}

const char* kWhere = "ShipVia = 2 And Freight < 300";
const char* kRawWhere = "ShipVia = 2 AND Freight < 300";
const char* kNowhere = "EmployeeID * 1000 + ShipVia = -1";  // read every record, find none

const char* kCopyColumns = "CustomerID, EmployeeID, OrderDate, RequiredDate, ShippedDate, ShipVia, Freight, Weight, "
                           "[Ship Name], ShipCity, ShipCountry, Paid, TrackingID, Comments";

struct Pair {
    const char* name;
    const char* raw;
    double target;     // dialog time / raw time at most
};
const Pair kPairs[] = {
    {"Delete All", "Raw DELETE all", 1.2},
    {"Delete Where", "Raw DELETE WHERE", 1.2},
    {"Update Table All", "Raw UPDATE all", 1.2},
    {"Update Table Where", "Raw UPDATE WHERE", 1.2},
    {"Delete Next 30,000", "Raw delete loop 30,000", 2.5},
    {"Add Records 30,000 blank", "Raw blank insert loop 30,000", 2.5},
    {"Add Records 30,000 copies", "Raw copy insert loop 30,000", 2.5},
    {"Find, no match", "Engine FindFirst, no match", 1.5},
};

void registerAll() {
    auto add = [](const char* name, auto fn) {
        // One run each, three times over: the fastest counts, so a moment's load elsewhere does not.
        benchmark::RegisterBenchmark(name, fn)->Iterations(1)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);
    };
    add("Delete All", [](benchmark::State& s) { onFreshGrid(s, nullptr, [](frmGrid* g) { deleteDialog(g, 0); }); });
    add("Raw DELETE all", [](benchmark::State& s) { onFreshRaw(s, [](sqlite3* db) { rawExec(db, "DELETE FROM Orders"); }); });
    add("Delete Where", [](benchmark::State& s) { onFreshGrid(s, nullptr, [](frmGrid* g) { deleteDialog(g, 3, kWhere); }); });
    add("Raw DELETE WHERE", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) { rawExec(db, (std::string("DELETE FROM Orders WHERE ") + kRawWhere).c_str()); });
    });
    add("Update Table All", [](benchmark::State& s) {
        onFreshGrid(s, nullptr, [](frmGrid* g) { updateDialog(g, 0, "Freight", "Freight + 1"); });
    });
    add("Raw UPDATE all", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) { rawExec(db, "UPDATE Orders SET Freight = Freight + 1"); });
    });
    add("Update Table Where", [](benchmark::State& s) {
        onFreshGrid(s, nullptr, [](frmGrid* g) { updateDialog(g, 3, "Freight", "Freight + 1", kWhere); });
    });
    add("Raw UPDATE WHERE", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) {
            rawExec(db, (std::string("UPDATE Orders SET Freight = Freight + 1 WHERE ") + kRawWhere).c_str());
        });
    });
    add("Delete Next 30,000", [](benchmark::State& s) { onFreshGrid(s, nullptr, [](frmGrid* g) { deleteDialog(g, 1); }); });
    add("Raw delete loop 30,000", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) {
            rawLoop(db, "DELETE FROM Orders WHERE rowid = (SELECT min(rowid) FROM Orders)", kDialogRecords,
                    [](sqlite3_stmt*, long) {});
        });
    });
    add("Add Records 30,000 blank", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            freshCopy();
            bench::openInto(gWork.string(), kSlot, "Notes", 1, "Notes");
            s.ResumeTiming();
            addDialog(0);
        }
    });
    add("Raw blank insert loop 30,000", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) {
            rawLoop(db, "INSERT INTO Notes (Note) VALUES (NULL)", kDialogRecords, [](sqlite3_stmt*, long) {});
        });
    });
    add("Add Records 30,000 copies", [](benchmark::State& s) { onFreshGrid(s, nullptr, [](frmGrid*) { addDialog(1); }); });
    add("Raw copy insert loop 30,000", [](benchmark::State& s) {
        onFreshRaw(s, [](sqlite3* db) {
            const std::string copy = std::string("INSERT INTO Orders (") + kCopyColumns + ") SELECT " + kCopyColumns +
                                     " FROM Orders WHERE OrderID = (SELECT min(OrderID) FROM Orders)";
            rawLoop(db, copy.c_str(), kDialogRecords, [](sqlite3_stmt*, long) {});
        });
    });
    // Find changes nothing: one copy, five runs each.
    benchmark::RegisterBenchmark("Find, no match", [](benchmark::State& s) {
        freshCopy();
        openOrders();
        for (auto _ : s) {
            frmFind dialog(frmMain::instance());
            dialog.txtWhere->setPlainText(kNowhere);
            dialog.cmdFind_Click();
        }
        bench::closeArea(kSlot);
    })->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Engine FindFirst, no match", [](benchmark::State& s) {
        freshCopy();
        auto db = engine::DBEngine::OpenDatabase(gWork.string());
        auto rs = db->OpenRecordset("Orders");
        for (auto _ : s) {
            rs->FindFirst(kNowhere);
            benchmark::DoNotOptimize(rs->NoMatch());
        }
    })->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
    add("Update Table Next 30,000", [](benchmark::State& s) {
        onFreshGrid(s, nullptr, [](frmGrid* g) { updateDialog(g, 1, "Freight", "EmployeeID * 2 + 0.5"); });
    });
    add("Update Table Next 30,000, indexed field", [](benchmark::State& s) {
        onFreshGrid(s, "OrderDate", [](frmGrid* g) { updateDialog(g, 1, "OrderDate", "OrderDate - 1"); });
    });
}

void report(long rows) {
    std::printf("\nRecord dialogs on %ld orders (dialog time / raw time, fastest of three)\n", rows);
    for (const Pair& p : kPairs) {
        const double mine = bench::milliseconds(p.name), raw = bench::milliseconds(p.raw);
        if (mine < 0 && raw < 0) continue;  // filtered out of this run
        const double ratio = mine > 0 && raw > 0 ? mine / raw : 0;
        std::printf("%-44s %9.0f ms  raw %7.0f ms  ratio %5.2f (target <= %.1f)%s\n", p.name, mine, raw, ratio, p.target,
                    ratio > 0 && ratio <= p.target ? "" : "  MISSED");
    }
    for (const auto& [name, field] : {std::pair{"Update Table Next 30,000", "Freight"},
                                      std::pair{"Update Table Next 30,000, indexed field", "OrderDate"}}) {
        const double ms = bench::milliseconds(name);
        if (ms < 0) continue;
        const double rate = ms > 0 ? gUpdated[field] / (ms / 1e3) : 0;
        std::printf("%-44s %9.0f records/s   %ld records (target >= 20,000)%s\n", name, rate, gUpdated[field],
                    rate >= 20000 ? "" : "  MISSED");
    }
    const double peak = bench::peakMegabytes();
    std::printf("%-44s %9.1f MB   (target < 150 MB)%s\n", "Peak memory of the process", peak, peak < 150 ? "" : "  MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    return bench::runProgram(argc, argv, [](const fs::path& dir) {
        gPristine = dir / "Sales.mdb";
        gWork = dir / "Work.mdb";
        // A table without required fields, for blank records.
        auto db = engine::DBEngine::OpenDatabase(gPristine.string());
        db->Execute("CREATE TABLE Notes (ID Counter, Note Text(50), Amount Currency, Day DateTime)");
        db->Close();
        registerAll();
    }, report);
}
