#pragma once
// Connections of an ODBC workspace and the recordsets they open.
//
// Two kinds of data source answer a connect string:
//   - "ODBC;DSN=Visual FoxPro Tables;SourceDB=<folder>;SourceType=DBF" (or
//     SourceType=DBF with no DSN and no DRIVER) reads the folder's .dbf
//     tables with the engine's own DBF reader. The only statement it takes is
//     "Select * from <table>", the table named with or without ".dbf" in any
//     letter case; deleted records are left out. ";Encoding=<code page>"
//     (any iconv name, such as BIG5) reads tables whose header names no code
//     page; without it they are Windows-1252.
//   - any other DSN or DRIVER goes through the unixODBC driver manager, and
//     the statement is the driver's to run.
//
// A recordset is read-only and reads its rows forward as it moves, so a
// million-row source costs one row of memory. MoveFirst starts the reading
// over. RecordCount is exact at once for a DBF table; for a driver it counts
// the rows read so far and is exact once the end has been reached (MoveLast).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/variant.h"

namespace engine {

class OdbcRecordset;

namespace odbc {
class RowSource;
class DriverLink;
struct Cursor;
}  // namespace odbc

// A column of an ODBC recordset: its name, engine type code, size and, for
// Numeric and Decimal columns, its digits; Value reads the current record.
class OdbcField {
public:
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    int Size() const { return size_; }
    int Precision() const { return precision_; }
    int Scale() const { return scale_; }
    // 3021 when the recordset has no current record, 3420 once it is closed.
    const Variant& Value() const;

private:
    friend class OdbcRecordset;
    std::string name_;
    int type_ = 0, size_ = 0, precision_ = 0, scale_ = 0;
    int column_ = 0;
    std::shared_ptr<const odbc::Cursor> cursor_;
};

class OdbcFieldCollection {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    OdbcField& operator[](int i) const;               // 3265 out of range
    OdbcField& operator[](std::string_view name) const;  // any letter case; 3265 when absent
    OdbcField& Item(std::string_view name) const { return (*this)[name]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    friend class OdbcRecordset;
    std::vector<std::shared_ptr<OdbcField>> items_;
};

class OdbcRecordset {
public:
    ~OdbcRecordset();
    OdbcRecordset(const OdbcRecordset&) = delete;
    OdbcRecordset& operator=(const OdbcRecordset&) = delete;

    int Type() const;  // dbOpenForwardOnly
    const std::string& Name() const { return name_; }
    bool Updatable() const { return false; }
    long RecordCount() const;

    bool BOF() const;
    bool EOF_() const;
    // 3021 on an empty recordset.
    void MoveFirst();
    // 3021 at the end.
    void MoveNext();
    // Reads on to the last record; 3021 on an empty recordset.
    void MoveLast();
    // Zero-based position of the current record; -1 when there is none.
    long AbsolutePosition() const;

    OdbcFieldCollection& Fields() { return fields_; }
    OdbcField& Fields(std::string_view name) { return fields_[name]; }
    OdbcField& Fields(int i) { return fields_[i]; }

    void Close();
    bool IsOpen() const;

    // For the connection.
    OdbcRecordset(std::string name, std::unique_ptr<odbc::RowSource> source);

private:
    void requireOpen() const;
    void advance();

    std::string name_;
    std::unique_ptr<odbc::RowSource> source_;
    std::shared_ptr<odbc::Cursor> cursor_;
    OdbcFieldCollection fields_;
    long position_ = -1;   // of the current record; -1 before the first
    long rowsRead_ = 0;    // the most rows read in one pass
    bool atEnd_ = false;
    std::vector<Variant> lastRow_;  // the last record, held by MoveLast
};

class OdbcConnection {
public:
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Connect() const { return connect_; }
    // The rows of `source` (an SQL statement). The recordset is read-only and
    // forward-reading whatever `type` asks for.
    std::shared_ptr<OdbcRecordset> OpenRecordset(std::string_view source, int type = 0);
    // Runs a statement that returns no rows (3251 on the DBF data source,
    // which is only read); RecordsAffected then says how many rows it changed,
    // or -1 when the driver cannot tell.
    void Execute(std::string_view statement);
    long RecordsAffected() const { return recordsAffected_; }
    // Closes the connection and every recordset it opened. A connection let
    // go without Close leaves its recordsets open.
    void Close();
    bool IsOpen() const { return open_; }

    // Connects as the connect string says (see the top of this file). 3044 for
    // a DBF folder that is not there, 3151 with the driver manager's message
    // and SQLSTATE when a driver connection fails.
    static std::shared_ptr<OdbcConnection> open(std::string_view name, std::string_view connect);

private:
    OdbcConnection() = default;
    std::string name_, connect_;
    bool open_ = true;
    long recordsAffected_ = 0;
    // The DBF data source: its folder and the code page of tables that name none.
    bool dbf_ = false;
    std::string folder_, encoding_;
    std::shared_ptr<odbc::DriverLink> driver_;  // a driver manager's connection
    std::vector<std::weak_ptr<OdbcRecordset>> recordsets_;
};

}  // namespace engine
