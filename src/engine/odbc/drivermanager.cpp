// Data sources reached through the unixODBC driver manager: the connection,
// a statement's rows, and the driver's column types as engine type codes.
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <cstring>

#include "engine/dao.h"
#include "engine/error.h"
#include "engine/utf8.h"
#include "engine/odbc/rowsource.h"

namespace engine::odbc {

namespace {

// The driver manager's diagnostic records of a handle: each message with its SQLSTATE.
std::string diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT i = 1; i < 10; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, i, state, &native, text, sizeof text, &length))) break;
        if (!out.empty()) out += " ";
        out += reinterpret_cast<const char*>(text);
        out += " (SQLSTATE ";
        out += reinterpret_cast<const char*>(state);
        out += ")";
    }
    return out.empty() ? "the driver manager gave no reason" : out;
}

// 3146, the engine's number for a failed ODBC call, with the driver's words.
[[noreturn]] void callFailed(SQLSMALLINT handleType, SQLHANDLE handle) {
    throw Error(3146, "ODBC--call failed: " + diagnostics(handleType, handle) + ".");
}

// How a column's values are fetched.
enum class Fetch { Integer, Real, Decimal, Date, Time, Text, Binary };

struct DriverColumn {
    Fetch fetch;
    bool wide = true;  // text as UTF-16; narrow (taken as UTF-8) when the driver refuses it
};

// The engine type of a driver's SQL type, and how its values are fetched.
std::pair<Column, DriverColumn> describe(std::string name, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits) {
    Column c{std::move(name)};
    Fetch fetch = Fetch::Text;
    const int textSize = size >= 1 && size <= kDefaultTextSize ? static_cast<int>(size) : 0;
    switch (sqlType) {
    case SQL_CHAR: case SQL_WCHAR:
        c.type = textSize ? dbChar : dbMemo;
        c.size = textSize;
        break;
    case SQL_VARCHAR: case SQL_WVARCHAR:
        c.type = textSize ? dbText : dbMemo;
        c.size = textSize;
        break;
    case SQL_BIT:
        c.type = dbBoolean, fetch = Fetch::Integer;
        break;
    case SQL_TINYINT: case SQL_SMALLINT:
        c.type = dbInteger, fetch = Fetch::Integer;
        break;
    case SQL_INTEGER:
        c.type = dbLong, fetch = Fetch::Integer;
        break;
    case SQL_BIGINT:
        c.type = dbBigInt, fetch = Fetch::Integer;
        break;
    case SQL_REAL:
        c.type = dbSingle, fetch = Fetch::Real;
        break;
    case SQL_FLOAT: case SQL_DOUBLE:
        c.type = dbDouble, fetch = Fetch::Real;
        break;
    case SQL_DECIMAL: case SQL_NUMERIC:
        c.type = sqlType == SQL_DECIMAL ? dbDecimal : dbNumeric, fetch = Fetch::Decimal;
        c.precision = std::clamp(static_cast<int>(size), 1, kMaxDecimalPrecision);
        c.scale = std::clamp(static_cast<int>(digits), 0, c.precision);
        break;
    case SQL_TYPE_DATE: case SQL_DATE: case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP:
        c.type = dbDate, fetch = Fetch::Date;
        break;
    case SQL_TYPE_TIME: case SQL_TIME:
        c.type = dbDate, fetch = Fetch::Time;
        break;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        c.type = dbLongBinary, fetch = Fetch::Binary;
        break;
    default:  // long text, GUIDs, intervals and types of the driver's own: read as text
        c.type = dbMemo;
        break;
    }
    if (c.type != dbChar && c.type != dbText) c.size = fieldTypeInfo(c.type)->fixedSize;
    return {c, DriverColumn{fetch}};
}

}  // namespace

class DriverLink {
public:
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    ~DriverLink() {
        if (connected) SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

std::shared_ptr<DriverLink> connectDriver(std::string_view connect) {
    auto link = std::make_shared<DriverLink>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &link->env)))
        throw Error(3146, "ODBC--call failed: the driver manager could not start.");
    SQLSetEnvAttr(link->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, link->env, &link->dbc))) callFailed(SQL_HANDLE_ENV, link->env);
    std::string text(connect);
    SQLCHAR completed[1024];
    SQLSMALLINT length = 0;
    // No prompt: the engine has no windows to ask in.
    const SQLRETURN rc = SQLDriverConnect(link->dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                          completed, sizeof completed, &length, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::string source = connectValue(text, "DSN");
        if (source.empty()) source = connectValue(text, "DRIVER");
        const std::string which = source.empty() ? "the default data source (the connect string names no DSN or DRIVER)"
                                                 : "'" + source + "'";
        throw Error(3151, "ODBC--connection to " + which + " failed: " + diagnostics(SQL_HANDLE_DBC, link->dbc) + ".");
    }
    link->connected = true;
    return link;
}

namespace {

// The rows of one statement, fetched forward.
class DriverStatement : public RowSource {
public:
    DriverStatement(std::shared_ptr<DriverLink> link, std::string sql) : link_(std::move(link)), sql_(std::move(sql)) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link_->dbc, &stmt_))) callFailed(SQL_HANDLE_DBC, link_->dbc);
        execute();
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_, &count))) callFailed(SQL_HANDLE_STMT, stmt_);
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLCHAR name[256] = {};
            SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!SQL_SUCCEEDED(
                    SQLDescribeCol(stmt_, i, name, sizeof name, &nameLength, &sqlType, &size, &digits, &nullable)))
                callFailed(SQL_HANDLE_STMT, stmt_);
            auto [column, fetch] = describe(reinterpret_cast<const char*>(name), sqlType, size, digits);
            columns_.push_back(std::move(column));
            fetch_.push_back(fetch);
        }
        row_.resize(columns_.size());
    }
    ~DriverStatement() override {
        if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    }

    const std::vector<Variant>* next() override {
        if (done_) return nullptr;
        if (columns_.empty()) {  // a statement that returns no rows (an UPDATE, say) ran: there is nothing to fetch
            done_ = true;
            return nullptr;
        }
        const SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) {
            done_ = true;
            return nullptr;
        }
        if (!SQL_SUCCEEDED(rc)) callFailed(SQL_HANDLE_STMT, stmt_);
        for (size_t i = 0; i < columns_.size(); ++i) row_[i] = value(static_cast<SQLUSMALLINT>(i + 1), i);
        return &row_;
    }

    void rewind() override {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        execute();
    }

private:
    void execute() {
        std::string text = sql_;
        const SQLRETURN rc = SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) callFailed(SQL_HANDLE_STMT, stmt_);
        done_ = false;
    }

    // Fetches a value in parts as long as the driver has more; false for Null.
    bool readParts(SQLUSMALLINT col, SQLSMALLINT cType, std::string& out, size_t terminator) {
        out.clear();
        char buf[4096];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_, col, cType, buf, sizeof buf, &indicator);
            if (rc == SQL_NO_DATA) return true;
            if (!SQL_SUCCEEDED(rc)) callFailed(SQL_HANDLE_STMT, stmt_);
            if (indicator == SQL_NULL_DATA) return false;
            // A part that filled the buffer ends with a terminator for text; the
            // last part's length is known, or the buffer was not filled.
            const size_t room = sizeof buf - terminator;
            const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > SQLLEN(room));
            out.append(buf, more ? room : static_cast<size_t>(indicator));
            if (!more) return true;
        }
    }

    Variant text(SQLUSMALLINT col, DriverColumn& how) {
        std::string bytes;
        if (how.wide) {
            try {
                if (!readParts(col, SQL_C_WCHAR, bytes, sizeof(SQLWCHAR))) return {};
                std::string decoded;
                const auto* units = reinterpret_cast<const SQLWCHAR*>(bytes.data());
                utf8::appendUtf16(decoded, bytes.size() / sizeof(SQLWCHAR), [units](size_t i) { return units[i]; });
                return Variant::text(std::move(decoded));
            } catch (const Error&) {
                // A driver without UTF-16 gives its text as it has it.
                how.wide = false;
            }
        }
        if (!readParts(col, SQL_C_CHAR, bytes, 1)) return {};
        return Variant::text(std::move(bytes));
    }

    Variant value(SQLUSMALLINT col, size_t index) {
        DriverColumn& how = fetch_[index];
        const int type = columns_[index].type;
        SQLLEN indicator = 0;
        auto get = [&](SQLSMALLINT cType, void* target, SQLLEN size) {
            if (!SQL_SUCCEEDED(SQLGetData(stmt_, col, cType, target, size, &indicator)))
                callFailed(SQL_HANDLE_STMT, stmt_);
            return indicator != SQL_NULL_DATA;
        };
        switch (how.fetch) {
        case Fetch::Integer: {
            SQLBIGINT v = 0;
            if (!get(SQL_C_SBIGINT, &v, sizeof v)) return {};
            if (type == dbBoolean) return Variant::boolean(v != 0);
            return Variant::bigInt(v).convertTo(type);
        }
        case Fetch::Real: {
            SQLDOUBLE v = 0;
            if (!get(SQL_C_DOUBLE, &v, sizeof v)) return {};
            return type == dbSingle ? Variant::single(static_cast<float>(v)) : Variant::dbl(v);
        }
        case Fetch::Decimal: {
            char buf[128] = {};
            if (!get(SQL_C_CHAR, buf, sizeof buf)) return {};
            return Variant::dbl(std::strtod(buf, nullptr));
        }
        case Fetch::Date: {
            SQL_TIMESTAMP_STRUCT t{};
            if (!get(SQL_C_TYPE_TIMESTAMP, &t, sizeof t)) return {};
            return Variant::date(dates::fromParts(t.year, t.month, t.day, t.hour, t.minute, t.second));
        }
        case Fetch::Time: {
            SQL_TIME_STRUCT t{};
            if (!get(SQL_C_TYPE_TIME, &t, sizeof t)) return {};
            return Variant::date(dates::fromParts(1899, 12, 30, t.hour, t.minute, t.second));
        }
        case Fetch::Binary: {
            std::string bytes;
            if (!readParts(col, SQL_C_BINARY, bytes, 0)) return {};
            return Variant::binary(std::move(bytes));
        }
        case Fetch::Text:
            break;
        }
        return text(col, how);
    }

    std::shared_ptr<DriverLink> link_;
    std::string sql_;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    std::vector<DriverColumn> fetch_;
    std::vector<Variant> row_;
    bool done_ = false;
};

}  // namespace

std::unique_ptr<RowSource> runStatement(const std::shared_ptr<DriverLink>& link, std::string_view sql) {
    return std::make_unique<DriverStatement>(link, std::string(sql));
}

long executeStatement(const std::shared_ptr<DriverLink>& link, std::string_view sql) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, link->dbc, &stmt))) callFailed(SQL_HANDLE_DBC, link->dbc);
    std::unique_ptr<void, void (*)(void*)> freed(stmt, [](void* h) { SQLFreeHandle(SQL_HANDLE_STMT, h); });
    std::string text(sql);
    const SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) callFailed(SQL_HANDLE_STMT, stmt);
    // A batch reports each statement's failure and count as a result of its own.
    long total = -1;
    for (SQLRETURN more = SQL_SUCCESS; more != SQL_NO_DATA; more = SQLMoreResults(stmt)) {
        if (!SQL_SUCCEEDED(more)) callFailed(SQL_HANDLE_STMT, stmt);
        SQLLEN rows = -1;
        if (SQL_SUCCEEDED(SQLRowCount(stmt, &rows)) && rows >= 0) total = (total < 0 ? 0 : total) + static_cast<long>(rows);
    }
    return total;
}

}  // namespace engine::odbc
