// Grid windows on a million-row table, on the offscreen platform: the time
// until a grid window shows its first screen with the exact record count,
// against the engine's own open of the same table; jumps through the grid;
// the rows read while scrolling; and the process's peak memory.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fstream>
#include <iostream>
#include <map>

#include "dbwindow/frmView.h"
#include "engine/dao.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "relations/relationsmanager.h"
#include "ui_bench.h"

namespace fs = std::filesystem;

namespace {

std::string gPath;

// Shows what the grid would paint now.
void paint(frmGrid* grid) {
    grid->DBGrid1->viewport()->repaint();
    QApplication::processEvents();
}

frmGrid* openGrid() {
    moduleCreateGrid::CurrentWA = 0;
    moduleCreateGrid::CreateGrid(QString::fromStdString(gPath), "Orders", "Sales.Orders", 1, "Orders");
    frmGrid* grid = moduleCreateGrid::WorkAreas[0];
    paint(grid);
    return grid;
}

void closeGrid() {
    if (frmGrid* g = moduleCreateGrid::WorkAreas[0]) g->DoClose();
    moduleCreateGrid::WorkAreas[0] = nullptr;
    QApplication::processEvents();
}

void GridOpen(benchmark::State& state) {
    for (auto _ : state) {
        frmGrid* grid = openGrid();
        benchmark::DoNotOptimize(grid->rs1->RecordCount());
        state.PauseTiming();
        closeGrid();
        state.ResumeTiming();
    }
}

void EngineOpen(benchmark::State& state) {
    for (auto _ : state) {
        auto db = engine::DBEngine::OpenDatabase(gPath, true);
        auto rs = db->OpenRecordset("Orders");
        benchmark::DoNotOptimize(rs->RecordCount());
        for (long i = 0; i < 30; ++i) benchmark::DoNotOptimize(rs->RowAt(i));
        state.PauseTiming();
        rs->Close();
        db->Close();
        state.ResumeTiming();
    }
}

// Moving the current cell to a row and drawing the screen around it.
void jumpTo(frmGrid* grid, int row) {
    QModelIndex idx = grid->DBGrid1->model()->index(row, 0);
    grid->DBGrid1->setCurrentIndex(idx);
    grid->DBGrid1->scrollTo(idx);
    paint(grid);
}

void GridJumps(benchmark::State& state, int which) {
    frmGrid* grid = openGrid();
    int last = grid->DBGrid1->model()->rowCount() - 1;
    int target = which == 0 ? last : which == 1 ? last / 2 : 0;
    for (auto _ : state) {
        state.PauseTiming();
        jumpTo(grid, which == 2 ? last / 3 : 0);  // start elsewhere each time
        state.ResumeTiming();
        jumpTo(grid, target);
    }
    closeGrid();
}

void GridScrollPage(benchmark::State& state) {
    frmGrid* grid = openGrid();
    QScrollBar* bar = grid->DBGrid1->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep());
        paint(grid);
    }
    closeGrid();
}

// Parent and child grids: each parent move re-opens a query child (or seeks a
// table child) on an indexed field, and a chain re-opens a grandchild too.
frmGrid* openInto(int slot, const QString& source, int type, const QString& name) {
    return bench::openInto(gPath, slot, source, type, name);
}

void relate(frmGrid* parent, frmGrid* child, const char* type, const char* field) {
    auto* r = new ClassRelation;
    r->RelationType = type;
    r->Child = child;
    r->ChildField1 = r->ParentField1 = field;
    parent->ColRelations.append(r);
    RelationsManager::RefreshRelations();
}

void ParentMoves(benchmark::State& state, int kind) {
    frmGrid* parent = openInto(2, "Customers", 1, "Customers");
    std::vector<frmGrid*> shown{parent};
    if (kind == 1) {
        frmGrid* child = openInto(3, "Orders", 1, "Orders");
        child->rs1->SetIndex("CustomerID");
        relate(parent, child, "ChildIndex", "CustomerID");
        shown.push_back(child);
    } else {
        frmGrid* child = openInto(3, "SELECT * FROM Orders", 2, "Orders of the customer");
        relate(parent, child, "ChildQuery", "CustomerID");
        shown.push_back(child);
        if (kind == 2) {
            frmGrid* lines = openInto(4, "SELECT * FROM [Order Details]", 2, "Lines of the order");
            relate(child, lines, "ChildQuery", "OrderID");
            shown.push_back(lines);
        }
    }
    int rows = parent->DBGrid1->model()->rowCount(), row = 0;
    for (auto _ : state) {
        row = (row + 1) % rows;
        QModelIndex idx = parent->DBGrid1->model()->index(row, 0);
        parent->DBGrid1->setCurrentIndex(idx);
        for (frmGrid* g : shown) g->DBGrid1->viewport()->repaint();
        QApplication::processEvents();
    }
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) (*it)->DoClose();
    for (int slot = 2; slot <= 4; ++slot) moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] = nullptr;
    QApplication::processEvents();
}

void report(long rows) {
    auto ms = bench::milliseconds;
    double grid = ms("Grid window ready"), engineOpen = ms("Engine open");
    std::printf("\nGrid windows on %ld orders\n", rows);
    std::printf("%-44s %10.1f ms\n", "Engine open + count + first screen", engineOpen);
    std::printf("%-44s %10.1f ms   ratio %.2f (target <= 1.5, and <= 300 ms)%s\n", "Grid window ready", grid,
                grid / engineOpen, (grid / engineOpen <= 1.5 && grid <= 300) ? "" : "  MISSED");
    for (const char* j : {"Jump to the last row", "Jump to the middle row", "Jump back to the first row"}) {
        double t = ms(j);
        std::printf("%-44s %10.2f ms   (target < 20 ms)%s\n", j, t, t < 20 ? "" : "  MISSED");
    }
    std::printf("%-44s %10.2f ms\n", "Scroll one screen", ms("Scroll one screen"));
    for (const char* j : {"Parent move, query child", "Parent move, table child", "Parent move, three levels"}) {
        double t = ms(j);
        std::printf("%-44s %10.2f ms   (target < 20 ms)%s\n", j, t, t < 20 ? "" : "  MISSED");
    }
    double peak = bench::peakMegabytes();
    std::printf("%-44s %10.1f MB   (target < 150 MB)%s\n", "Peak memory of the process", peak, peak < 150 ? "" : "  MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    return bench::runProgram(argc, argv, [](const fs::path& dir) {
        gPath = (dir / "Sales.mdb").string();
        benchmark::RegisterBenchmark("Engine open", EngineOpen)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Grid window ready", GridOpen)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Jump to the last row", [](benchmark::State& s) { GridJumps(s, 0); })
            ->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Jump to the middle row", [](benchmark::State& s) { GridJumps(s, 1); })
            ->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Jump back to the first row", [](benchmark::State& s) { GridJumps(s, 2); })
            ->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Scroll one screen", GridScrollPage)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);
        const char* moves[] = {"Parent move, query child", "Parent move, table child", "Parent move, three levels"};
        for (int kind : {0, 1, 2})
            benchmark::RegisterBenchmark(moves[kind], [kind](benchmark::State& s) { ParentMoves(s, kind); })
                ->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);
    }, report);
}
