#pragma once
// What the window benchmarks share: the program started on the sample without
// a person to answer it, the times the runs took, and the peak memory.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "sample.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"

namespace bench {

// A benchmark never waits for a person: a message ends the run with its text.
class NoPrompts : public Prompts::Service {
public:
    Prompts::Answer message(const QString& text, const QString&, Prompts::Icon, Prompts::Buttons) override {
        throw std::runtime_error("message: " + text.toStdString());
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> password(const QString&, const QString&) override { return {}; }
    std::optional<QString> openFile(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QFont> chooseFont(const QFont&) override { return {}; }
    bool pageSetup(QPrinter&, const QString&) override { return false; }
    bool print(QPrinter&, const QString&, bool) override { return false; }
    int showModal(QDialog&) override { return 0; }
};

// Seconds per iteration of each benchmark, by name: the fastest repetition.
inline std::map<std::string, double>& seconds() {
    static std::map<std::string, double> s;
    return s;
}

inline double milliseconds(const char* name) { return seconds().count(name) ? seconds()[name] * 1e3 : -1.0; }

class Collecting : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
                const double each = r.real_accumulated_time / static_cast<double>(r.iterations);
                auto [it, fresh] = seconds().try_emplace(r.run_name.function_name, each);
                if (!fresh) it->second = std::min(it->second, each);
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

inline double peakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Makes the sample and its scratch database in a new folder and starts the
// main window on them; the folder.
inline std::filesystem::path startProgram(long rows) {
    std::filesystem::path dir = makeSample(rows);
    std::string scratch = "'" + (programDir() / "ledgerly-mkscratch").string() + "' '" + dir.string() + "'";
    if (std::system(scratch.c_str()) != 0) throw std::runtime_error("ledgerly-mkscratch failed");
    qputenv("LEDGERLY_HOME", QByteArray::fromStdString(dir.string()));
    moduleCreateGrid::Main();
    frmMain::instance()->resize(1200, 800);
    Prompts::install(std::make_unique<NoPrompts>());
    return dir;
}

// Opens a table (type 1) or a statement (type 2) of `path` into a work area.
inline frmGrid* openInto(const std::string& path, int slot, const QString& source, int type, const QString& name) {
    moduleCreateGrid::CurrentWA = static_cast<short>(slot);
    moduleCreateGrid::CreateGrid(QString::fromStdString(path), source, name, type, name);
    return moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)];
}

inline void closeArea(int slot) {
    if (frmGrid* g = moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)]) g->DoClose();
    moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] = nullptr;
    QApplication::processEvents();
}

// The whole run of a window benchmark program: starts the program on a sample
// of LEDGERLY_BENCH_ROWS orders, lets `setup` register the benchmarks, runs
// them, prints `report` and removes the sample again.
inline int runProgram(int argc, char** argv, const std::function<void(const std::filesystem::path& dir)>& setup,
                      const std::function<void(long rows)>& report) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const long rows = sampleRows();
    std::filesystem::path dir;
    try {
        dir = startProgram(rows);
        setup(dir);
        Collecting reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        report(rows);
        frmMain::instance()->close();
    } catch (const engine::Error& e) {
        std::cerr << "Error " << e.number() << ": " << e.description() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << "\n";
    }
    benchmark::Shutdown();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    return 0;
}

}  // namespace bench
