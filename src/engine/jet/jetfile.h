#pragma once
// Reading files of the older Jet 3 / Jet 4 format: their user tables, columns,
// indexes, rows and relationships. libmdb finds the pages; the values are
// decoded here from the stored bytes, because libmdb's text forms lose data
// (dates before 1899, the last digits of floating-point numbers, binary data
// and text after a zero byte, some Windows-1252 characters). Only reads: the
// file is opened without write access.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/variant.h"

namespace engine::jet {

// Column types as the file stores them.
enum ColumnType : int {
    Bool = 0x01, Byte = 0x02, Int = 0x03, Long = 0x04, Money = 0x05, Float = 0x06, Double = 0x07,
    DateTime = 0x08, Binary = 0x09, Text = 0x0a, Ole = 0x0b, Memo = 0x0c, RepId = 0x0f, Numeric = 0x10,
};

struct Column {
    std::string name;
    int type = 0;         // ColumnType
    int size = 0;         // Text: characters; Binary: bytes
    int precision = 0;    // Numeric only
    int scale = 0;
    bool autoNumber = false;  // a Long AutoNumber
    bool autoGuid = false;    // a Replication ID given by the engine
    bool required = false;
    bool allowZeroLength = false;
};

struct IndexField {
    std::string column;
    bool descending = false;
};

struct Index {
    std::string name;
    std::vector<IndexField> fields;
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
};

struct Relationship {
    std::string name;
    std::string table, column;                     // the many side
    std::string referencedTable, referencedColumn; // the one side
    int position = 0;                              // column's place in a many-column relationship
    long flags = 0;                                // grbit as stored
};

// A saved query as MSysQueries keeps it: one row per part (table, column,
// join, condition...), in the order the file has them.
struct QueryPart {
    int attribute = 0;  // 1 kind, 2 parameter, 3 options, 5 table, 6 column, 7 join, 8 where, 9 group by, 10 having, 11 order by
    int flag = 0;
    std::string name1, name2, expression;
};

struct SavedQuery {
    std::string name;
    int kind = 0;  // the flag of part 1: 1 select, 2 make-table, 3 append, 4 update, 5 delete, 6 crosstab, 7 data definition, 8 pass-through, 9 union
    std::vector<QueryPart> parts;
};

class File;

class Table {
public:
    ~Table();
    const std::string& name() const { return name_; }
    const std::vector<Column>& columns() const { return columns_; }
    const std::vector<Index>& indexes() const { return indexes_; }
    // Rows the table header counts (deleted ones excluded).
    long rowCount() const { return rowCount_; }
    // The page its definition starts on.
    unsigned long definitionPage() const { return definitionPage_; }
    // Calls `row` with each record's values, in column order, in the order
    // the file keeps them (a record moved to another page keeps its place).
    // Stops early when `row` returns false. Throws engine::Error 3343 when
    // the table's pages are damaged.
    void readRows(const std::function<bool(std::vector<Variant>&)>& row);

private:
    friend class File;
    Table() = default;
    File* file_ = nullptr;
    void* def_ = nullptr;  // MdbTableDef
    std::string name_;
    std::vector<Column> columns_;
    std::vector<Index> indexes_;
    long rowCount_ = 0;
    unsigned long definitionPage_ = 0;
};

class File {
public:
    // Opens a Jet file for reading. Throws engine::Error 3343 when libmdb
    // cannot read it.
    explicit File(const std::string& path);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool jet3() const;
    // User tables in catalog order.
    std::vector<std::string> tableNames() const;
    std::unique_ptr<Table> table(const std::string& name);
    std::vector<Relationship> relationships();
    std::vector<SavedQuery> queries();

    // Decoding helpers, public for the tests.
    static std::string windows1252ToUtf8(const std::string& bytes);
    static std::string ucs2ToUtf8(const unsigned char* p, size_t n);
    static std::string guidText(const unsigned char* p);
    // Jet's Decimal: sign byte and a 96-bit magnitude (four little-endian
    // words, most significant first, the top one unused) scaled by `scale`.
    static std::string decimalText(const unsigned char* p, int scale);

private:
    friend class Table;
    void* mdb_ = nullptr;  // MdbHandle
    std::string path_;
    std::string text(const unsigned char* p, size_t n) const;
    std::string definition(unsigned long firstPage) const;
    std::vector<Index> indexes(void* tableDef) const;
    std::string longValue(const unsigned char* p, size_t n);
    Variant value(const Column& c, int colType, const unsigned char* p, size_t n, bool isNull);
};

// True when the file starts like a Jet 3/Jet 4 (or ACE) database.
bool isJetFile(const std::string& path);

}  // namespace engine::jet
