// Connections of an ODBC workspace, their recordsets, and the DBF data source.
#include "engine/odbc/odbcconnection.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/dao.h"
#include "engine/dbf/dbffile.h"
#include "engine/error.h"
#include "engine/odbc/rowsource.h"

namespace engine {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}
bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

[[noreturn]] void noCurrentRecord() { throw Error(err::NoCurrentRecord, "No current record."); }
[[noreturn]] void closed() { throw Error(err::DatabaseClosed, "Object invalid or no longer set."); }

// The DSN that names the DBF data source.
constexpr std::string_view kDbfDsn = "Visual FoxPro Tables";

// A .dbf table read whole, forward, by the engine's reader.
class DbfSource : public odbc::RowSource {
public:
    explicit DbfSource(std::unique_ptr<dbf::DbfTable> table) : table_(std::move(table)) {
        for (const dbf::DbfField& f : table_->fields()) {
            odbc::Column c{f.name, f.type, f.size};
            if (f.type == dbNumeric || f.type == dbDecimal) {
                // The width of the text in the file bounds the digits.
                c.precision = std::clamp(f.length, 1, kMaxDecimalPrecision);
                c.scale = std::clamp(f.decimals, 0, c.precision);
            }
            columns_.push_back(std::move(c));
        }
    }
    const std::vector<Variant>* next() override { return table_->next() ? &table_->row() : nullptr; }
    void rewind() override { table_->rewind(); }
    std::int64_t knownCount() override { return table_->recordCount(); }

private:
    std::unique_ptr<dbf::DbfTable> table_;
};

}  // namespace

namespace odbc {

std::string selectAllTable(std::string_view sql) {
    std::string_view s = trimmed(sql);
    while (!s.empty() && s.back() == ';') s = trimmed(s.substr(0, s.size() - 1));
    auto word = [&s](std::string_view w) {
        if (!startsWithNoCase(s, w)) return false;
        std::string_view rest = s.substr(w.size());
        if (w != "*" && !rest.empty() && !std::isspace(static_cast<unsigned char>(rest.front()))) return false;
        s = trimmed(rest);
        return true;
    };
    if (!word("select") || !word("*") || !word("from"))
        throw Error(err::OperationNotSupported,
                    "Operation is not supported: the DBF data source answers only \"Select * from <table>\".");
    std::string name(s);
    if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') || (name.front() == '"' && name.back() == '"') ||
                             (name.front() == '`' && name.back() == '`')))
        name = std::string(trimmed(std::string_view(name).substr(1, name.size() - 2)));
    if (name.empty()) throw Error(err::SyntaxInFrom, "Syntax error in FROM clause.");
    return name;
}

std::unique_ptr<RowSource> openDbfTable(const std::string& folder, const std::string& table,
                                        const std::string& encoding) {
    namespace fs = std::filesystem;
    std::string found;
    if (table.find('/') == std::string::npos) {
        const std::string withExtension = table + ".dbf";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (equalsNoCase(name, table) || equalsNoCase(name, withExtension)) {
                found = entry.path().string();
                // The name as given wins over the name with ".dbf" added.
                if (equalsNoCase(name, table)) break;
            }
        }
    }
    if (found.empty())
        throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + table + "' in the folder '" +
                                          folder + "'. Make sure it exists and that its name is spelled correctly.");
    auto t = dbf::DbfTable::open(found);
    // A table whose header names no code page is read in the one the connection gives.
    if (!encoding.empty() && dbf::encodingForLanguageDriver(t->languageDriver()).empty())
        t = dbf::DbfTable::open(found, encoding);
    return std::make_unique<DbfSource>(std::move(t));
}

}  // namespace odbc

// ------------------------------------------------------------------ fields

const Variant& OdbcField::Value() const {
    if (!cursor_->open) closed();
    if (!cursor_->row) noCurrentRecord();
    return (*cursor_->row)[static_cast<size_t>(column_)];
}

OdbcField& OdbcFieldCollection::operator[](int i) const {
    if (i < 0 || i >= Count())
        throw Error(err::ItemNotFound, "Item not found in this collection: there is no item " + std::to_string(i) + ".");
    return *items_[static_cast<size_t>(i)];
}

OdbcField& OdbcFieldCollection::operator[](std::string_view name) const {
    for (const auto& f : items_)
        if (equalsNoCase(f->Name(), name)) return *f;
    throw Error(err::ItemNotFound, "Item not found in this collection: '" + std::string(name) + "'.");
}

// --------------------------------------------------------------- recordset

OdbcRecordset::OdbcRecordset(std::string name, std::unique_ptr<odbc::RowSource> source)
    : name_(std::move(name)), source_(std::move(source)), cursor_(std::make_shared<odbc::Cursor>()) {
    int column = 0;
    for (const odbc::Column& c : source_->columns()) {
        auto f = std::make_shared<OdbcField>();
        f->name_ = c.name;
        f->type_ = c.type;
        f->size_ = c.size;
        f->precision_ = c.precision;
        f->scale_ = c.scale;
        f->column_ = column++;
        f->cursor_ = cursor_;
        fields_.items_.push_back(std::move(f));
    }
    advance();
}

OdbcRecordset::~OdbcRecordset() { Close(); }

int OdbcRecordset::Type() const { return dbOpenForwardOnly; }

void OdbcRecordset::requireOpen() const {
    if (!source_) closed();
}

void OdbcRecordset::advance() {
    const std::vector<Variant>* row = atEnd_ ? nullptr : source_->next();
    cursor_->row = row;
    if (row) {
        ++position_;
        rowsRead_ = std::max(rowsRead_, position_ + 1);
    } else {
        atEnd_ = true;
    }
}

long OdbcRecordset::RecordCount() const {
    requireOpen();
    const std::int64_t known = source_->knownCount();
    return known >= 0 ? static_cast<long>(known) : rowsRead_;
}

bool OdbcRecordset::BOF() const {
    requireOpen();
    return atEnd_ && rowsRead_ == 0;
}

bool OdbcRecordset::EOF_() const {
    requireOpen();
    return atEnd_;
}

void OdbcRecordset::MoveFirst() {
    requireOpen();
    source_->rewind();
    position_ = -1;
    atEnd_ = false;
    advance();
    if (atEnd_) noCurrentRecord();
}

void OdbcRecordset::MoveNext() {
    requireOpen();
    if (atEnd_) noCurrentRecord();
    advance();
}

void OdbcRecordset::MoveLast() {
    requireOpen();
    if (atEnd_) MoveFirst();
    // The source keeps only the row it read last: hold a copy of each until
    // the end shows which was the last.
    lastRow_ = *cursor_->row;
    while (const std::vector<Variant>* row = source_->next()) {
        lastRow_ = *row;
        ++position_;
    }
    rowsRead_ = std::max(rowsRead_, position_ + 1);
    cursor_->row = &lastRow_;
    atEnd_ = false;
}

long OdbcRecordset::AbsolutePosition() const {
    requireOpen();
    return atEnd_ ? -1 : position_;
}

void OdbcRecordset::Close() {
    cursor_->open = false;
    cursor_->row = nullptr;
    source_.reset();
}

bool OdbcRecordset::IsOpen() const { return source_ != nullptr; }

// -------------------------------------------------------------- connection

std::shared_ptr<OdbcConnection> OdbcConnection::open(std::string_view name, std::string_view connect) {
    std::shared_ptr<OdbcConnection> c(new OdbcConnection);
    c->name_ = std::string(name);
    c->connect_ = std::string(connect);
    std::string_view rest = trimmed(connect);
    if (startsWithNoCase(rest, "ODBC;")) rest.remove_prefix(5);
    const std::string dsn(trimmed(connectValue(rest, "DSN")));
    const std::string driver = connectValue(rest, "DRIVER");
    c->dbf_ = equalsNoCase(dsn, kDbfDsn) ||
              (dsn.empty() && driver.empty() && equalsNoCase(trimmed(connectValue(rest, "SourceType")), "DBF"));
    if (!c->dbf_) {
        c->driver_ = odbc::connectDriver(rest);
        return c;
    }
    c->folder_ = connectValue(rest, "SourceDB");
    struct stat st {};
    if (c->folder_.empty() || ::stat(c->folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error(3044, "'" + c->folder_ + "' is not a valid path. Make sure that the folder of the tables exists.");
    c->encoding_ = std::string(trimmed(connectValue(rest, "Encoding")));
    if (!c->encoding_.empty()) {
        iconv_t cd = iconv_open("UTF-8", c->encoding_.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw Error(err::InvalidArgument, "The code page '" + c->encoding_ + "' is not known.");
        iconv_close(cd);
    }
    return c;
}

// Recordsets outlive a connection that is let go without Close: each holds
// what it reads from.
OdbcConnection::~OdbcConnection() = default;

std::shared_ptr<OdbcRecordset> OdbcConnection::OpenRecordset(std::string_view source, int type) {
    if (!open_) closed();
    if (type != 0 && type != dbOpenDynaset && type != dbOpenSnapshot && type != dbOpenForwardOnly)
        throw Error(err::InvalidArgument, "Invalid argument: recordset type " + std::to_string(type) +
                                              " cannot be opened on an ODBC connection.");
    std::unique_ptr<odbc::RowSource> rows = dbf_ ? odbc::openDbfTable(folder_, odbc::selectAllTable(source), encoding_)
                                                 : odbc::runStatement(driver_, source);
    auto rs = std::make_shared<OdbcRecordset>(std::string(source), std::move(rows));
    std::erase_if(recordsets_, [](const std::weak_ptr<OdbcRecordset>& w) { return w.expired(); });
    recordsets_.push_back(rs);
    return rs;
}

void OdbcConnection::Execute(std::string_view statement) {
    if (!open_) closed();
    if (dbf_)
        throw Error(err::OperationNotSupported, "The FoxPro tables of '" + folder_ +
                                                    "' are only read: the statement was not run.");
    recordsAffected_ = odbc::executeStatement(driver_, statement);
}

void OdbcConnection::Close() {
    if (!open_) return;
    for (const auto& w : recordsets_)
        if (auto rs = w.lock()) rs->Close();
    recordsets_.clear();
    driver_.reset();
    open_ = false;
}

}  // namespace engine
