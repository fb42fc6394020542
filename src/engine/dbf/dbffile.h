#pragma once
// Reads one DBF table (dBASE III, IV and 5, FoxPro 2.x, Visual FoxPro) with
// its memo file (.dbt or .fpt beside it): the field list with engine type
// codes, and the rows that are not deleted, decoded to UTF-8 Variants one row
// at a time from large chunks of the file. Read only; indexes (.cdx, .mdx,
// .ndx) are not used.
//
// Field types and the engine types they are reported as:
//   C Character          dbChar (size = length), trailing blanks removed
//   V Varchar            dbText (size = length)
//   N Numeric            dbNumeric, Double values
//   F Float              dbFloat, Double values
//   D Date               dbDate
//   T DateTime           dbDate (to the second)
//   L Logical            dbBoolean
//   M Memo               dbMemo
//   I Integer            dbLong
//   B Double             dbDouble
//   Y Currency           dbCurrency, exact (scaled by 10^4 in the file)
//   G General, P Picture, W Blob, Q Varbinary, and C, V and M fields marked
//   binary               dbLongBinary, Binary values
// Blank N, F, D and T values, L values '?' or ' ', and values whose bit is set
// in the hidden _NullFlags field read as Null.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace engine::dbf {

struct DbfField {
    std::string name;   // UTF-8, as stored (no case change)
    char dbfType = 0;   // the type letter in the file: 'C', 'N', ...
    int type = 0;       // engine type code (engine/fieldtypes.h)
    int size = 0;       // Char and Text: bytes in the record; others: the engine's size of the type
    int length = 0;     // bytes the field takes in a record
    int decimals = 0;
    bool nullable = false;  // a Visual FoxPro field that can hold Null
};

class DbfTable {
public:
    // Reads the header, the field list and the memo file's header. The code
    // page comes from the table's language-driver byte (Windows-1252 when it is
    // 0 or unknown) unless `encodingOverride` names one (any name iconv knows,
    // such as "BIG5" or "CP850"). Throws Error 3024 when the table or its memo
    // file is missing, 3343 when the file is no DBF table or is damaged, 3251
    // for a table level or field type this reader does not know, 3001 for an
    // unknown encoding.
    static std::unique_ptr<DbfTable> open(const std::string& path, const std::string& encodingOverride = "");
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    const std::string& path() const;
    std::uint8_t version() const;          // first byte of the file
    std::uint8_t languageDriver() const;   // byte 29
    const std::string& encoding() const;   // the iconv name in use
    const std::string& memoPath() const;   // empty when the table has no memo fields

    // The visible fields in record order (the _NullFlags field is hidden).
    const std::vector<DbfField>& fields() const;
    // Index of the field of that name, compared without regard to ASCII case; -1 when none.
    int fieldIndex(std::string_view name) const;

    // Records the file holds, deleted ones included (a header count larger
    // than the file is cut to the whole records present).
    std::int64_t fileRecordCount() const;
    // Records not deleted; the first call reads the deletion marks of the file.
    std::int64_t recordCount() const;

    // Forward reading: next() moves to the next record that is not deleted and
    // decodes it into row(); false at the end. rewind() starts over. A memo
    // that points outside the memo file throws Error 3343.
    void rewind();
    bool next();
    const std::vector<Variant>& row() const;
    std::int64_t recordNumber() const;  // 1-based record number of the current row in the file

private:
    DbfTable();
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The iconv name of the code page a language-driver byte stands for; empty
// for 0 and for bytes this reader does not know.
std::string encodingForLanguageDriver(std::uint8_t id);

}  // namespace engine::dbf
