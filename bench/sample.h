#pragma once
// The benchmarks' database: a Sales sample with many orders, made once per run
// in a temporary folder by ledgerly-mksample from the same bin folder.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

namespace bench {

inline std::filesystem::path programDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

// Orders to make: LEDGERLY_BENCH_ROWS, else a million.
inline long sampleRows() {
    const char* n = std::getenv("LEDGERLY_BENCH_ROWS");
    return n ? std::atol(n) : 1000000;
}

// Makes DIR/Sales.mdb with `rows` orders in a fresh temporary folder and returns the folder.
inline std::filesystem::path makeSample(long rows) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ledgerly-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    std::filesystem::path dir = pattern;
    std::filesystem::path tool = programDir() / "ledgerly-mksample";
    std::string cmd = "'" + tool.string() + "' '" + dir.string() + "' --rows " + std::to_string(rows) + " >/dev/null";
    std::cerr << "Making " << rows << " orders with " << tool.filename().string() << " (about 20 s for a million)...\n";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("ledgerly-mksample failed (is it built?)");
    return dir;
}

}  // namespace bench
