#include "engine/connection.h"

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/jet/jetfile.h"
#include "engine/sql/sql.h"

namespace engine {

namespace {

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Writers take turns: a busy connection waits in short, jittered steps (so
// that two writers in loops both get in) for up to kBusyWaitMs before 3260.
int busyHandler(void* start, int attempt) {
    using clock = std::chrono::steady_clock;
    auto& since = *static_cast<clock::time_point*>(start);
    if (attempt == 0) since = clock::now();
    if (clock::now() - since > std::chrono::milliseconds(kBusyWaitMs)) return 0;
    thread_local std::minstd_rand jitter(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(attempt));
    int ceiling = std::min(2 << std::min(attempt, 5), 50);  // 2, 4 ... 50 ms
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + static_cast<int>(jitter() % static_cast<unsigned>(ceiling))));
    return 1;
}

// The field named in "UNIQUE constraint failed: T.a, T.b" or "NOT NULL constraint failed: T.a".
std::string fieldsFromMessage(std::string_view msg) {
    auto colon = msg.find(": ");
    if (colon == std::string_view::npos) return {};
    std::string_view list = msg.substr(colon + 2);
    std::string out;
    while (!list.empty()) {
        auto comma = list.find(", ");
        std::string_view item = list.substr(0, comma);
        auto dot = item.find('.');
        if (dot != std::string_view::npos) item = item.substr(dot + 1);
        if (!out.empty()) out += ", ";
        out += item;
        if (comma == std::string_view::npos) break;
        list = list.substr(comma + 2);
    }
    return out;
}

}  // namespace

// Our functions report failures as "\x01<number>\x01<sentence>".
void throwIfFunctionError(std::string_view msg) {
    if (msg.size() < 3 || msg[0] != '\x01') return;
    auto second = msg.find('\x01', 1);
    if (second == std::string_view::npos) return;
    int number = std::atoi(std::string(msg.substr(1, second - 1)).c_str());
    throw Error(number ? number : err::Generic, std::string(msg.substr(second + 1)));
}

void throwConstraintError(std::string_view msg, int ext) {
    switch (ext) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
        throw Error(err::DuplicateKey,
                    "The changes were not made because they would create duplicate values in the index or "
                    "primary key on '" + fieldsFromMessage(msg) +
                    "'. Change the data in that field, or remove or redefine the index to permit duplicate entries.");
    case SQLITE_CONSTRAINT_TRIGGER:
        if (msg.rfind("pk|", 0) == 0)
            throw Error(err::NullInPrimaryKey, "Index or primary key cannot contain a Null value (field " +
                                                   std::string(msg.substr(3)) + ").");
        throw Error(err::Generic, "The changes were refused by a rule of the table.");
    case SQLITE_CONSTRAINT_NOTNULL:
        throw Error(err::RequiredMissing, "The field '" + fieldsFromMessage(msg) +
                                              "' cannot contain a Null value because its Required property is "
                                              "set to True. Enter a value in this field.");
    case SQLITE_CONSTRAINT_CHECK: {
        // Our checks are named "kind|Field".
        auto colon = msg.find(": ");
        std::string name(colon == std::string_view::npos ? std::string_view{} : msg.substr(colon + 2));
        auto bar = name.find('|');
        std::string kind = bar == std::string::npos ? "" : name.substr(0, bar);
        std::string field = bar == std::string::npos ? name : name.substr(bar + 1);
        if (kind == "len")
            throw Error(err::FieldTooSmall, "The field '" + field +
                                                "' is too small to accept the amount of data you attempted to add. "
                                                "Try inserting or pasting less data.");
        if (kind == "req")
            throw Error(err::RequiredMissing, "The field '" + field +
                                                  "' cannot contain a Null value because its Required property is "
                                                  "set to True. Enter a value in this field.");
        if (kind == "range")
            throw Error(err::ValueOutOfRange, "Numeric field overflow: the value does not fit field '" + field + "'.");
        if (kind == "zls")
            throw Error(err::ZeroLength, "Field '" + field + "' cannot be a zero-length string.");
        throw Error(err::ConversionError, "Data type conversion error: the value does not fit field '" + field + "'.");
    }
    default:
        throw Error(err::Generic, "The changes were refused by a rule of the table.");
    }
}

// ---------------------------------------------------------------- Statement

std::string fileUri(const std::string& path, std::string_view query) {
    std::string uri = "file:";
    for (unsigned char ch : std::filesystem::absolute(path).string()) {
        if (ch == '%' || ch == '?' || ch == '#' || ch < 0x20) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", ch);
            uri += buf;
        } else {
            uri += static_cast<char>(ch);
        }
    }
    return uri + "?" + std::string(query);
}

Statement::Statement(Connection& conn, std::string_view sql) : conn_(conn) {
    int rc = sqlite3_prepare_v3(conn.handle(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        conn.fail(rc);
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int i, const Variant& v) { return bindValue(i, v, SQLITE_TRANSIENT); }

Statement& Statement::bindKept(int i, const Variant& v) { return bindValue(i, v, SQLITE_STATIC); }

Statement& Statement::bindValue(int i, const Variant& v, void (*lifetime)(void*)) {
    using K = Variant::Kind;
    switch (v.kind()) {
    case K::Null: sqlite3_bind_null(stmt_, i); break;
    case K::Boolean:
    case K::Byte:
    case K::Integer:
    case K::Long:
    case K::BigInt: sqlite3_bind_int64(stmt_, i, v.intValue()); break;
    case K::Currency: sqlite3_bind_double(stmt_, i, static_cast<double>(v.intValue()) / 10000.0); break;
    case K::Single:
    case K::Double: sqlite3_bind_double(stmt_, i, v.realValue()); break;
    case K::Date: {
        std::string t = dates::format(v.realValue());
        sqlite3_bind_text(stmt_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
    }
    case K::Text:
    case K::GUID:
        sqlite3_bind_text(stmt_, i, v.bytes().data(), static_cast<int>(v.bytes().size()), lifetime);
        break;
    case K::Binary:
        sqlite3_bind_blob(stmt_, i, v.bytes().data(), static_cast<int>(v.bytes().size()), lifetime);
        break;
    }
    return *this;
}

Statement& Statement::bindInt(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
}

Statement& Statement::bindText(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindNull(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    int ext = sqlite3_extended_errcode(conn_.handle());
    std::string msg = sqlite3_errmsg(conn_.handle());
    sqlite3_reset(stmt_);
    throwIfFunctionError(msg);
    if ((ext & 0xff) == SQLITE_CONSTRAINT) throwConstraintError(msg, ext);
    conn_.fail(rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }
bool Statement::isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
std::int64_t Statement::getInt(int c) const { return sqlite3_column_int64(stmt_, c); }
double Statement::getDouble(int c) const { return sqlite3_column_double(stmt_, c); }

std::string Statement::getText(int c) const {
    const unsigned char* p = sqlite3_column_text(stmt_, c);
    int n = sqlite3_column_bytes(stmt_, c);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

std::string Statement::columnName(int c) const {
    const char* n = sqlite3_column_name(stmt_, c);
    return n ? n : "";
}

std::string Statement::declaredType(int c) const {
    const char* n = sqlite3_column_decltype(stmt_, c);
    return n ? n : "";
}

// A value its field's type cannot hold (written by another program) reads as
// "#Error" in its cell alone; the rest of the row and the table still read.
Variant Statement::get(int c, int fieldType) const {
    try {
        return getTyped(c, fieldType);
    } catch (const Error&) {
        return Variant::text("#Error");
    }
}

Variant Statement::getTyped(int c, int fieldType) const {
    int st = sqlite3_column_type(stmt_, c);
    if (st == SQLITE_NULL) return {};
    auto asStored = [&]() -> Variant {
        switch (st) {
        case SQLITE_INTEGER: {
            std::int64_t v = sqlite3_column_int64(stmt_, c);
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant::longInt(static_cast<std::int32_t>(v));
            return Variant::bigInt(v);
        }
        case SQLITE_FLOAT: return Variant::dbl(sqlite3_column_double(stmt_, c));
        case SQLITE_BLOB: {
            const void* p = sqlite3_column_blob(stmt_, c);
            int n = sqlite3_column_bytes(stmt_, c);
            return Variant::binary(p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string());
        }
        default: return Variant::text(getText(c));
        }
    };
    switch (fieldType) {
    case dbBoolean:
        if (st == SQLITE_INTEGER) return Variant::boolean(sqlite3_column_int64(stmt_, c) != 0);
        break;
    case dbByte:
        if (st == SQLITE_INTEGER) return Variant::byte(static_cast<std::uint8_t>(sqlite3_column_int64(stmt_, c)));
        break;
    case dbInteger:
        if (st == SQLITE_INTEGER) return Variant::integer(static_cast<std::int16_t>(sqlite3_column_int64(stmt_, c)));
        break;
    case dbLong:
        if (st == SQLITE_INTEGER) {
            std::int64_t v = sqlite3_column_int64(stmt_, c);
            if (v >= INT32_MIN && v <= INT32_MAX) return Variant::longInt(static_cast<std::int32_t>(v));
            return Variant::bigInt(v);
        }
        break;
    case dbBigInt:
        if (st == SQLITE_INTEGER) return Variant::bigInt(sqlite3_column_int64(stmt_, c));
        break;
    case dbCurrency:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant::currency(sqlite3_column_double(stmt_, c));
        break;
    case dbSingle:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
            double d = sqlite3_column_double(stmt_, c);
            if (!(std::fabs(d) <= 3.402823466e38)) throw Error(err::ValueOutOfRange, "Numeric field overflow.");
            return Variant::single(static_cast<float>(d));
        }
        break;
    case dbDouble:
    case dbFloat:
    case dbNumeric:
    case dbDecimal:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) return Variant::dbl(sqlite3_column_double(stmt_, c));
        break;
    case dbDate:
    case dbTime:
    case dbTimeStamp:
        if (st == SQLITE_TEXT) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
            const std::string_view text(p ? p : "", p ? static_cast<size_t>(sqlite3_column_bytes(stmt_, c)) : 0);
            if (auto d = dates::parse(text)) return Variant::date(*d);
        } else if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
            return Variant::date(sqlite3_column_double(stmt_, c));
        }
        break;
    case dbText:
    case dbMemo:
    case dbChar:
        if (st == SQLITE_TEXT) return Variant::text(getText(c));
        if (st != SQLITE_BLOB) return Variant::text(asStored().toText());
        break;
    case dbGUID:
        if (st == SQLITE_TEXT) return Variant::guid(getText(c));
        break;
    default: break;
    }
    return asStored();
}

// ---------------------------------------------------------------- Connection

Connection::Connection(const std::string& path, bool readOnly, bool create) : path_(path), readOnly_(readOnly) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && !create) throw Error(err::FileNotFound, "Could not find file '" + path + "'.");
    if (exists && S_ISDIR(st.st_mode))
        throw Error(err::NotADatabase, "'" + fileName(path) + "' is a folder, not a database file.");
    if (exists) {
        int mode = readOnly ? R_OK : (R_OK | W_OK);
        if (::access(path.c_str(), mode) != 0)
            throw Error(err::NotPermitted, "The file '" + path +
                                               "' cannot be opened: you do not have permission to " +
                                               (::access(path.c_str(), R_OK) != 0 ? "read" : "change") + " it. ");
        if (st.st_size == 0 && !create)
            throw Error(err::NotADatabase, "Unrecognized database format '" + path + "': the file is empty.");
        if (!create && jet::isJetFile(path))  // the engine opens these through a converted copy
            throw Error(err::NotADatabase, "'" + fileName(path) + "' is a database of an older format, which is only "
                                           "read through a converted copy. The file was left unchanged.");
    }
    // Opening changes nothing in the file: its journal mode stays what its
    // maker chose (files this program makes use WAL from their creation).
    int rc = openAndCheck(path, readOnly, create);
    if (rc != SQLITE_OK && readOnly && ((rc & 0xff) == SQLITE_CANTOPEN || (rc & 0xff) == SQLITE_READONLY))
        // A file nothing may change (read-only media): no lock files, no journal.
        rc = openAndCheck(fileUri(path, "immutable=1"), readOnly, false, true);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT)
            throw Error(err::NotADatabase, "Unrecognized database format '" + path +
                                               "'. The file is not a database or it is damaged.");
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw Error(err::FileInUse, "The file '" + path + "' is in use by another program.");
        throw Error(err::NotPermitted, "The file '" + path + "' cannot be opened. ");
    }
    if (!readOnly) sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA temp_store=FILE", nullptr, nullptr, nullptr);
    // 8 MB of page cache: large write transactions stay off the disk while an
    // open million-row recordset still costs the process little.
    sqlite3_exec(db_, "PRAGMA cache_size=-8192", nullptr, nullptr, nullptr);
    sql::registerFunctions(db_);
}

int Connection::openAndCheck(const std::string& name, bool readOnly, bool create, bool uri) {
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create) flags |= SQLITE_OPEN_CREATE;
    if (uri) flags |= SQLITE_OPEN_URI;
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_handler(db_, busyHandler, &busySince_);
        // Reading the schema tells a database from any other file.
        rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
    return rc;
}

Connection::~Connection() {
    cache_.clear();
    if (db_) sqlite3_close_v2(db_);
}

void Connection::exec(std::string_view sqlText) {
    std::string s(sqlText);
    char* msg = nullptr;
    int rc = sqlite3_exec(db_, s.c_str(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        std::string m = msg ? msg : "";
        sqlite3_free(msg);
        throwIfFunctionError(m);
        int ext = sqlite3_extended_errcode(db_);
        if ((ext & 0xff) == SQLITE_CONSTRAINT) throwConstraintError(m, ext);
        fail(rc);
    }
}

Statement& Connection::cached(const std::string& sqlText) {
    auto it = cache_.find(sqlText);
    if (it != cache_.end()) {
        it->second->reset();
        return *it->second;
    }
    if (cache_.size() > 200) cache_.clear();
    auto st = std::make_unique<Statement>(*this, sqlText);
    auto& ref = *st;
    cache_.emplace(sqlText, std::move(st));
    return ref;
}

Variant Connection::scalar(std::string_view sqlText) {
    Statement st(*this, sqlText);
    if (!st.step()) return {};
    return st.get(0, 0);
}

std::int64_t Connection::changes() const { return sqlite3_changes64(db_); }
std::int64_t Connection::totalChanges() const { return sqlite3_total_changes64(db_); }
std::int64_t Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }
bool Connection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
bool Connection::holdsWriteLock() const { return sqlite3_txn_state(db_, "main") == SQLITE_TXN_WRITE; }

std::int64_t Connection::definitionVersion() {
    Statement& st = cached("PRAGMA schema_version");
    st.step();
    std::int64_t v = st.getInt(0);
    st.reset();
    return v * 1000003 + definitionChanges_;
}

std::int64_t Connection::dataVersion() {
    Statement& st = cached("PRAGMA data_version");
    st.step();
    std::int64_t v = st.getInt(0);
    st.reset();
    return v;
}

Savepoint::Savepoint(Connection& c) : conn_(c) { conn_.exec("SAVEPOINT ledgerly_sp"); }

Savepoint::~Savepoint() {
    if (done_) return;
    try {
        conn_.exec("ROLLBACK TO ledgerly_sp");
        conn_.exec("RELEASE ledgerly_sp");
    } catch (...) {
    }
}

void Savepoint::commit() {
    conn_.exec("RELEASE ledgerly_sp");
    done_ = true;
}

void Connection::fail(int rc, std::string_view context) const {
    int ext = sqlite3_extended_errcode(db_);
    std::string ctx(context);
    switch (rc & 0xff) {
    case SQLITE_READONLY:
        throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw Error(3260, "Could not update; the data is currently locked by another user or connection.");
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        throw Error(err::NotPermitted, "The file '" + path_ + "' cannot be opened or written. ");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        throw Error(err::NotADatabase, "Unrecognized database format '" + path_ + "'. The file is damaged.");
    case SQLITE_FULL:
        throw Error(3035, "The disk is full: the changes could not be saved.");
    case SQLITE_IOERR:
        throw Error(3043, "Disk or network error while reading or writing '" + path_ + "'.");
    case SQLITE_NOMEM:
        throw Error(3035, "Not enough memory to complete the operation.");
    case SQLITE_TOOBIG:
        throw Error(err::FieldTooSmall, "The value is too large to be stored.");
    case SQLITE_CONSTRAINT:
        throwConstraintError(sqlite3_errmsg(db_), ext);
    case SQLITE_INTERRUPT:
        throw Error(3000, "The operation was cancelled.");
    default: {
        std::string msg = sqlite3_errmsg(db_);
        if (auto at = msg.find("generated column \""); at != std::string::npos) {
            std::string field = msg.substr(at + 18);
            field = field.substr(0, field.find('"'));
            throw Error(3164, "Field '" + field + "' cannot be updated: it is calculated by the table.");
        }
        // Features of other programs' files that this storage layer lacks are named.
        if (auto at = msg.find("no such module: "); at != std::string::npos)
            throw Error(err::OperationNotSupported, "'" + fileName(path_) + "' uses the table kind '" +
                                                        msg.substr(at + 16) + "', which this program cannot show.");
        if (msg.find("stack overflow") != std::string::npos || msg.find("too many") != std::string::npos ||
            msg.find("too deep") != std::string::npos || msg.find("too big") != std::string::npos ||
            msg.find("too large") != std::string::npos)
            throw Error(3360, "The query is too complex: its expressions nest too deeply or are too long for "
                              "storage (at most 20 levels of parentheses or function calls, 1,000 terms in a "
                              "chain of subtractions). Split it into simpler parts.");
        std::string text = ctx.empty() ? "The engine could not complete the operation." : ctx;
        // Developers may ask for the storage layer's own report.
        if (std::getenv("LEDGERLY_DEBUG")) text += std::string(" [") + sqlite3_errmsg(db_) + "]";
        throw Error(err::Generic, text);
    }
    }
}

}  // namespace engine
