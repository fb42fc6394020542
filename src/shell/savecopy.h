#pragma once
// "Save a Copy in Ledgerly Format": a file of the older Jet format, which the
// program only reads, written as a new database of its own that can be
// changed. The records go over with a progress bar; tables that could not
// be converted are named afterwards.
#include <QString>

namespace SaveCopy {
// Asks where to put the copy (beside the file by default) and writes it.
// Returns the new file's path, or an empty text when nothing was written.
QString Run(const QString& jetPath);
}  // namespace SaveCopy
