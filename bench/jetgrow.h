#pragma once
// Large Jet files for the conversion benchmark, made from a small genuine one:
// no program on this machine writes the format, and the samples are small.
#include <string>

namespace bench {

// Writes a copy of the Jet 3/Jet 4 file `sample` in which `table` holds about
// `rows` records: the records of its first data page, repeated on new pages
// appended to the file and numbered in turn in the table's first fixed field
// (a Long Integer there), reached through a usage map of the reference kind.
// Returns the number of records the table then holds.
long growJetTable(const std::string& sample, const std::string& table, const std::string& out, long rows);

}  // namespace bench
