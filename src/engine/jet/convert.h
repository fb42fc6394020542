#pragma once
// Converting a Jet 3 / Jet 4 file into a new database of this program's own
// format: tables with their fields, indexes and records, and relationships.
#include <functional>
#include <string>
#include <vector>

namespace engine::jet {

struct ConvertResult {
    int tables = 0;                     // tables converted whole
    long records = 0;
    int queries = 0;                    // saved queries converted
    std::vector<std::string> problems;  // one sentence per table that could not be converted
    std::vector<std::string> notes;     // tables converted with a setting left off, queries left out
};

// The property (schema::property) of a converted copy that lists, one per
// line, the tables and relationships that could not be converted, then the notes.
inline constexpr const char* kProblemsProperty = "ConversionProblems";

// Called now and then while a table's records are copied.
using Progress = std::function<void(const std::string& table, long done, long total)>;

// Writes `out` (which must not exist) from the Jet file `in`, which is only
// read. All records go in one transaction; a table that fails is left out,
// named in the result, and the others are still converted. Throws
// engine::Error when `in` cannot be read at all or `out` cannot be made
// (then no file is left at `out`).
ConvertResult convert(const std::string& in, const std::string& out, const Progress& progress = {});

// The converted copy of a Jet file in the cache folder ($XDG_CACHE_HOME/ledgerly,
// else ~/.cache/ledgerly), made on first use and made again when the file's
// size or modification time changes. `converted` tells whether this call made it.
std::string cachedCopy(const std::string& in, bool* converted = nullptr);

}  // namespace engine::jet
