#include "engine/schema.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "engine/connection.h"
#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/sql.h"

namespace engine {

std::string TableMeta::ref() const { return sql::quoteIdent(schema) + "." + sql::quoteIdent(sqliteName); }

int TableMeta::columnIndex(std::string_view n) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (schema::iequals(columns[i].name, n)) return static_cast<int>(i);
    return -1;
}

const IndexMeta* TableMeta::index(std::string_view n) const {
    for (const auto& ix : indexes)
        if (schema::iequals(ix.name, n)) return &ix;
    return nullptr;
}

namespace schema {

using sql::quoteIdent;
using sql::quoteText;

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool isSystemName(std::string_view n) { return n.size() >= 4 && iequals(n.substr(0, 4), "MSys"); }

void refuseSystemWrite(std::string_view table) {
    if (isSystemName(table)) throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
}

void refuseRead(std::string_view table) {
    throw Error(err::NoReadPermission,
                "Record(s) cannot be read; no read permission on '" + std::string(table) + "'.");
}

namespace {

bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

std::string encodeFields(const std::vector<sql::IndexColumn>& cols) {
    std::string out;
    for (const auto& c : cols) {
        if (!out.empty()) out += ';';
        out += c.descending ? '-' : '+';
        out += c.name;
    }
    return out;
}

std::vector<sql::IndexColumn> decodeFields(const std::string& text) {
    std::vector<sql::IndexColumn> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(start, end - start);
        if (!item.empty()) out.push_back({item.substr(1), item[0] == '-'});
        start = end + 1;
    }
    return out;
}

bool tableExistsIn(Connection& c, const std::string& schemaName, std::string_view table) {
    Statement st(c, "SELECT 1 FROM " + quoteIdent(schemaName) + ".sqlite_master WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE");
    st.bindText(1, table);
    return st.step();
}

// The values a field of each type can hold: the kind of value (3421 when
// broken) and its range (3349 when broken), kept by the file itself.
std::string rangeCheck(const ColumnMeta& col) {
    std::string q = quoteIdent(col.name);
    auto between = [&](const char* lo, const char* hi) { return q + " IS NULL OR " + q + " BETWEEN " + lo + " AND " + hi; };
    switch (col.type) {
    case dbByte: return between("0", "255");
    case dbInteger: return between("-32768", "32767");
    case dbLong: return between("-2147483648", "2147483647");
    case dbCurrency: return between("-922337203685477.5808", "922337203685477.5807");
    case dbSingle: return between("-3.402823466e38", "3.402823466e38");
    case dbDecimal:
        // Values are rounded to the scale before they are written; the whole part must fit.
        if (col.precision > 0) return q + " IS NULL OR abs(" + q + ") < 1e" + std::to_string(col.precision - col.scale);
        [[fallthrough]];
    case dbDouble:
    case dbNumeric:
    case dbFloat: return between("-1.7976931348623157e308", "1.7976931348623157e308");  // not infinite
    default: return {};
    }
}

std::string typeCheck(const ColumnMeta& col) {
    std::string q = quoteIdent(col.name);
    switch (col.type) {
    case dbBoolean: return q + " IS NULL OR " + q + " IN (0, -1)";
    case dbGUID: {
        // {8-4-4-4-12 hexadecimal digits}
        std::string pattern = "{";
        for (int digits : {8, 4, 4, 4, 12}) {
            if (pattern.size() > 1) pattern += '-';
            for (int i = 0; i < digits; ++i) pattern += "[0-9A-Fa-f]";
        }
        return q + " IS NULL OR (typeof(" + q + ")='text' AND " + q + " GLOB '" + pattern + "}')";
    }
    case dbBigInt:
    case dbByte:
    case dbInteger:
    case dbLong: return "typeof(" + q + ") IN ('integer','null')";
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbNumeric:
    case dbDecimal:
    // Comparisons rather than IN: SQLite runs an IN list of three through a
    // temporary index made afresh for every row written.
    case dbFloat: return q + " IS NULL OR typeof(" + q + ")='real' OR typeof(" + q + ")='integer'";
    case dbDate:
    case dbTime:
    case dbTimeStamp:
        return q + " IS NULL OR (typeof(" + q + ")='text' AND " + q +
               " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]*')";
    case dbBinary:
    case dbVarBinary:
    case dbLongBinary: return q + " IS NULL OR typeof(" + q + ")='blob' OR typeof(" + q + ")='text'";
    default: return {};
    }
}

void requireSystemTables(Connection& c) {
    if (c.readOnly()) throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
    ensureSystemTables(c);
}

std::string freshIndexName(Connection& c, const std::string& table, const std::string& index) {
    std::string base = table + "$" + index;
    std::string name = base;
    for (int n = 2;; ++n) {
        Statement st(c, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
        st.bindText(1, name);
        if (!st.step()) return name;
        name = base + "$" + std::to_string(n);
    }
}

void writeColumnMeta(Connection& c, const std::string& table, const ColumnMeta& col) {
    Statement st(c,
                 "INSERT OR REPLACE INTO MSysColumns (TableName, FieldName, Type, Size, Required, AllowZeroLength, "
                 "AutoNumber) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    st.bindText(1, table).bindText(2, col.name).bindInt(3, col.type).bindInt(4, col.size);
    st.bindInt(5, col.required).bindInt(6, col.allowZeroLength).bindInt(7, col.autoIncrement);
    st.step();
}

ColumnMeta fromDef(const sql::ColumnDef& d) {
    ColumnMeta m;
    m.name = d.name;
    m.type = d.type;
    m.size = d.size;
    if ((d.type == dbText || d.type == dbChar) && m.size <= 0) m.size = kDefaultTextSize;
    if (d.type != dbText && d.type != dbChar) {
        const FieldTypeInfo* info = fieldTypeInfo(d.type);
        m.size = info ? info->fixedSize : 0;
    }
    if (d.type == dbDecimal) {
        m.precision = d.precision;
        m.scale = d.scale;
    }
    m.required = d.notNull;
    m.allowZeroLength = true;  // tables made by statements accept empty text
    m.autoIncrement = d.autoIncrement;
    return m;
}

// The unique indexes that PRIMARY KEY and UNIQUE constraints stand for; an
// unnamed one is "PrimaryKey" or "Index1", "Index2"...
std::vector<sql::CreateIndex> constraintIndexes(const std::string& table,
                                                const std::vector<sql::TableConstraint>& constraints) {
    std::vector<sql::CreateIndex> out;
    int n = 1;
    for (const auto& tc : constraints) {
        sql::CreateIndex ix;
        ix.index = !tc.name.empty() ? tc.name : tc.primaryKey ? std::string("PrimaryKey") : "Index" + std::to_string(n++);
        ix.table = table;
        ix.primary = tc.primaryKey;
        ix.unique = true;
        ix.columns = tc.columns;
        out.push_back(std::move(ix));
    }
    return out;
}

// Precision and scale belong to Decimal fields only, within their limits.
void checkDigits(ColumnMeta& m) {
    if (m.type != dbDecimal) m.precision = m.scale = 0;
    if (m.precision != 0 && !validDecimal(m.precision, m.scale))
        throw Error(err::SyntaxInFieldDef, "Field '" + m.name + "' needs a precision of 1 to " +
                                               std::to_string(kMaxDecimalPrecision) +
                                               " digits and a scale of 0 to its precision.");
}

[[noreturn]] void noSuchTable(std::string_view name) {
    throw Error(3376, "Table '" + std::string(name) + "' does not exist.");
}

}  // namespace

bool hasSystemTables(Connection& c) { return tableExistsIn(c, "main", "MSysColumns"); }

void ensureSystemTables(Connection& c) {
    if (hasSystemTables(c)) return;
    c.exec(
        "CREATE TABLE IF NOT EXISTS MSysColumns (TableName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL "
        "COLLATE NOCASE, Type INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0, "
        "AllowZeroLength INTEGER NOT NULL DEFAULT 0, AutoNumber INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (TableName, "
        "FieldName));"
        "CREATE TABLE IF NOT EXISTS MSysIndexes (TableName TEXT NOT NULL COLLATE NOCASE, IndexName TEXT NOT NULL "
        "COLLATE NOCASE, SQLiteName TEXT NOT NULL, Fields TEXT NOT NULL, IsPrimary INTEGER NOT NULL, IsUnique INTEGER "
        "NOT NULL, IgnoreNulls INTEGER NOT NULL, PRIMARY KEY (TableName, IndexName));"
        "CREATE TABLE IF NOT EXISTS MSysQueries (Name TEXT PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL, Type INTEGER "
        "NOT NULL);"
        "CREATE TABLE IF NOT EXISTS MSysLinks (Name TEXT PRIMARY KEY COLLATE NOCASE, ConnectString TEXT NOT NULL, "
        "SourceTableName TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS MSysAccess (Property TEXT PRIMARY KEY, Value TEXT);"
        "INSERT OR IGNORE INTO MSysAccess (Property, Value) VALUES ('Format', 'Ledgerly 1');");
}

std::vector<std::string> tableNames(Connection& c, const std::string& schemaName) {
    std::vector<std::string> out;
    Statement st(c, "SELECT name FROM " + quoteIdent(schemaName) +
                        ".sqlite_master WHERE type IN ('table','view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    while (st.step()) out.push_back(st.getText(0));
    std::sort(out.begin(), out.end(), lessNoCase);
    return out;
}

std::optional<std::string> findTable(Connection& c, std::string_view name, const std::string& schemaName) {
    Statement st(c, "SELECT name FROM " + quoteIdent(schemaName) +
                        ".sqlite_master WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE");
    st.bindText(1, name);
    if (!st.step()) return std::nullopt;
    return st.getText(0);
}

TableMeta loadTable(Connection& c, const std::string& stored, const std::string& schemaName) {
    TableMeta t;
    t.name = stored;
    t.schema = schemaName;
    t.sqliteName = stored;
    t.system = isSystemName(stored);
    t.noRead = iequals(stored, kAccessTable);
    int rowidAliasCol = -1;
    int pkCount = 0, pkCol = -1;
    {
        Statement kind(c, "SELECT type FROM " + quoteIdent(schemaName) + ".sqlite_master WHERE name = ?1");
        kind.bindText(1, stored);
        t.view = kind.step() && kind.getText(0) == "view";
        // table_xinfo also lists generated columns (hidden 2 and 3); 1 is a virtual table's hidden column.
        Statement st(c, "SELECT name, type, \"notnull\", pk, hidden FROM pragma_table_xinfo(?1, ?2) WHERE hidden <> 1");
        st.bindText(1, stored).bindText(2, schemaName);
        while (st.step()) {
            ColumnMeta m;
            m.name = st.getText(0);
            m.generated = st.getInt(4) >= 2;
            DeclaredType dt = typeFromDeclared(st.getText(1));
            m.type = dt.code;
            m.size = dt.size;
            m.precision = dt.precision;
            m.scale = dt.scale;
            m.required = st.getInt(2) != 0;
            m.allowZeroLength = true;
            if (st.getInt(3) > 0) {
                ++pkCount;
                pkCol = static_cast<int>(t.columns.size());
                std::string decl = st.getText(1);
                for (auto& ch : decl) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                if (decl == "INTEGER") rowidAliasCol = static_cast<int>(t.columns.size());
            }
            t.columns.push_back(std::move(m));
        }
        if (pkCount != 1) rowidAliasCol = -1;
    }
    // A field may be called rowid: the row key is then reached by another of its names.
    t.rowid.clear();
    for (const char* alias : {"rowid", "_rowid_", "oid"})
        if (t.columnIndex(alias) < 0) {
            t.rowid = alias;
            break;
        }
    if (t.view) t.rowid.clear();
    if (!t.rowid.empty()) {
        // A table without row ids is keyed by its primary key: an integer one serves as the row key.
        bool hasRowid = true;
        try {
            Statement probe(c, "SELECT " + t.rowid + " FROM " + t.ref() + " LIMIT 0");
        } catch (const Error&) {
            hasRowid = false;
        }
        if (!hasRowid) {
            t.withoutRowid = true;
            t.rowid.clear();
            if (pkCount == 1 && pkCol >= 0) {
                const ColumnMeta& key = t.columns[static_cast<size_t>(pkCol)];
                if (key.type == dbLong || key.type == dbInteger || key.type == dbByte || key.type == dbBigInt)
                    t.rowid = quoteIdent(key.name);
            }
        }
    }
    bool recorded = tableExistsIn(c, schemaName, "MSysColumns");
    if (recorded) {
        Statement st(c, "SELECT FieldName, Type, Size, Required, AllowZeroLength, AutoNumber FROM " +
                            quoteIdent(schemaName) + ".MSysColumns WHERE TableName = ?1");
        st.bindText(1, stored);
        while (st.step()) {
            int i = t.columnIndex(st.getText(0));
            if (i < 0) continue;
            auto& m = t.columns[static_cast<size_t>(i)];
            m.type = static_cast<int>(st.getInt(1));
            m.size = static_cast<int>(st.getInt(2));
            m.required = st.getInt(3) != 0;
            m.allowZeroLength = st.getInt(4) != 0;
            m.autoIncrement = st.getInt(5) != 0;
            if (m.type != dbDecimal) m.precision = m.scale = 0;
        }
        Statement ix(c, "SELECT IndexName, SQLiteName, Fields, IsPrimary, IsUnique, IgnoreNulls FROM " +
                            quoteIdent(schemaName) + ".MSysIndexes WHERE TableName = ?1");
        ix.bindText(1, stored);
        while (ix.step()) {
            IndexMeta m;
            m.name = ix.getText(0);
            m.sqliteName = ix.getText(1);
            m.fields = decodeFields(ix.getText(2));
            m.primary = ix.getInt(3) != 0;
            m.unique = ix.getInt(4) != 0;
            m.ignoreNulls = ix.getInt(5) != 0;
            t.indexes.push_back(std::move(m));
        }
    }
    // Indexes made by other programs appear under their SQLite names.
    {
        Statement il(c, "SELECT name, \"unique\", origin FROM pragma_index_list(?1, ?2)");
        il.bindText(1, stored).bindText(2, schemaName);
        std::vector<IndexMeta> extra;
        while (il.step()) {
            std::string name = il.getText(0);
            bool known = std::any_of(t.indexes.begin(), t.indexes.end(),
                                     [&](const IndexMeta& m) { return iequals(m.sqliteName, name); });
            if (known) continue;
            IndexMeta m;
            m.name = name;
            m.sqliteName = name;
            m.unique = il.getInt(1) != 0;
            m.primary = il.getText(2) == "pk";
            if (m.primary) m.name = "PrimaryKey";
            extra.push_back(std::move(m));
        }
        for (auto& m : extra) {
            Statement xi(c, "SELECT name, \"desc\" FROM pragma_index_xinfo(?1, ?2) WHERE key = 1 ORDER BY seqno");
            xi.bindText(1, m.sqliteName).bindText(2, schemaName);
            while (xi.step()) m.fields.push_back({xi.getText(0), xi.getInt(1) != 0});
            t.indexes.push_back(std::move(m));
        }
    }
    if (!recorded && rowidAliasCol >= 0) {
        IndexMeta pk;
        pk.name = "PrimaryKey";
        pk.fields.push_back({t.columns[static_cast<size_t>(rowidAliasCol)].name, false});
        pk.primary = pk.unique = true;
        t.indexes.push_back(std::move(pk));
    }
    std::sort(t.indexes.begin(), t.indexes.end(),
              [](const IndexMeta& a, const IndexMeta& b) { return lessNoCase(a.name, b.name); });
    return t;
}

sql::SourceInfo sourceInfo(const TableMeta& t) {
    sql::SourceInfo s;
    s.kind = sql::SourceInfo::Kind::Table;
    s.name = t.name;
    s.sqliteRef = t.ref();
    for (const auto& c : t.columns) s.columns.push_back({c.name, c.type, c.precision, c.scale});
    s.rowid = t.rowid;
    s.readOnly = t.system || t.view;
    s.noRead = t.noRead;
    return s;
}

// ------------------------------------------------------------------ queries

// A pass-through query's connect string is kept beside its row, in a table
// made when the first such query is saved.
namespace {

constexpr const char* kPassThrough = "MSysPassThrough";

std::string querySelect(Connection& c, const char* where) {
    const bool passThrough = tableExistsIn(c, "main", kPassThrough);
    return std::string("SELECT q.Name, q.SQL, q.Type, ") + (passThrough ? "p.ConnectString" : "NULL") +
           " FROM MSysQueries q" + (passThrough ? " LEFT JOIN MSysPassThrough p ON p.Name = q.Name" : "") + where;
}

QueryMeta queryRow(Statement& st) {
    QueryMeta q{st.getText(0), st.getText(1), static_cast<int>(st.getInt(2)), {}};
    if (q.type == static_cast<int>(sql::StatementKind::PassThrough)) q.connect = st.getText(3);
    return q;
}

void forgetConnect(Connection& c, std::string_view name) {
    if (!tableExistsIn(c, "main", kPassThrough)) return;
    Statement st(c, "DELETE FROM MSysPassThrough WHERE Name = ?1");
    st.bindText(1, name);
    st.step();
}

}  // namespace

std::vector<QueryMeta> queries(Connection& c) {
    std::vector<QueryMeta> out;
    if (!hasSystemTables(c)) return out;
    Statement st(c, querySelect(c, ""));
    while (st.step()) out.push_back(queryRow(st));
    std::sort(out.begin(), out.end(), [](const QueryMeta& a, const QueryMeta& b) { return lessNoCase(a.name, b.name); });
    return out;
}

void refusePassThroughRows(std::string_view query) {
    throw Error(err::OperationNotSupported, "Query '" + std::string(query) +
                                                "' is a pass-through query: its statement is sent to its ODBC data "
                                                "source. Run it with Execute; its rows cannot be read here.");
}

std::optional<QueryMeta> findQuery(Connection& c, std::string_view name) {
    if (!hasSystemTables(c)) return std::nullopt;
    Statement st(c, querySelect(c, " WHERE q.Name = ?1"));
    st.bindText(1, name);
    if (!st.step()) return std::nullopt;
    return queryRow(st);
}

void saveQuery(Connection& c, const QueryMeta& q, bool replace) {
    requireSystemTables(c);
    if (!replace && (findQuery(c, q.name) || findTable(c, q.name)))
        throw Error(err::ObjectExists, "Object '" + q.name + "' already exists.");
    Savepoint sp(c);
    Statement st(c, "INSERT OR REPLACE INTO MSysQueries (Name, SQL, Type) VALUES (?1, ?2, ?3)");
    st.bindText(1, q.name).bindText(2, q.sql).bindInt(3, q.type);
    st.step();
    forgetConnect(c, q.name);
    if (q.type == static_cast<int>(sql::StatementKind::PassThrough)) {
        c.exec("CREATE TABLE IF NOT EXISTS MSysPassThrough (Name TEXT PRIMARY KEY COLLATE NOCASE, ConnectString TEXT "
               "NOT NULL)");
        Statement p(c, "INSERT INTO MSysPassThrough (Name, ConnectString) VALUES (?1, ?2)");
        p.bindText(1, q.name).bindText(2, q.connect);
        p.step();
    }
    sp.commit();
    c.definitionsChanged();
}

void deleteQuery(Connection& c, std::string_view name) {
    requireSystemTables(c);
    Savepoint sp(c);
    Statement st(c, "DELETE FROM MSysQueries WHERE Name = ?1");
    st.bindText(1, name);
    st.step();
    if (c.changes() == 0) throw Error(err::ItemNotFound, "Query '" + std::string(name) + "' does not exist.");
    forgetConnect(c, name);
    sp.commit();
    c.definitionsChanged();
}

// -------------------------------------------------------------------- links

std::vector<LinkMeta> links(Connection& c) {
    std::vector<LinkMeta> out;
    if (!hasSystemTables(c)) return out;
    Statement st(c, "SELECT Name, ConnectString, SourceTableName FROM MSysLinks");
    while (st.step()) out.push_back({st.getText(0), st.getText(1), st.getText(2)});
    return out;
}

void saveLink(Connection& c, const LinkMeta& l) {
    requireSystemTables(c);
    Statement st(c, "INSERT INTO MSysLinks (Name, ConnectString, SourceTableName) VALUES (?1, ?2, ?3)");
    st.bindText(1, l.name).bindText(2, l.connect).bindText(3, l.sourceTable);
    st.step();
}

void deleteLink(Connection& c, std::string_view name) {
    requireSystemTables(c);
    Statement st(c, "DELETE FROM MSysLinks WHERE Name = ?1");
    st.bindText(1, name);
    st.step();
}

std::vector<RelationMeta> relations(Connection& c) {
    std::vector<RelationMeta> out;
    if (!tableExistsIn(c, "main", "MSysRelations")) return out;
    Statement st(c, "SELECT Name, TableName, ForeignTableName, Fields, ForeignFields, Attributes FROM MSysRelations "
                    "ORDER BY Name");
    while (st.step()) {
        RelationMeta r{st.getText(0), st.getText(1), st.getText(2), {}, {}, static_cast<long>(st.getInt(5))};
        for (const auto& f : decodeFields(st.getText(3))) r.fields.push_back(f.name);
        for (const auto& f : decodeFields(st.getText(4))) r.foreignFields.push_back(f.name);
        out.push_back(std::move(r));
    }
    return out;
}

void saveRelation(Connection& c, const RelationMeta& r) {
    requireSystemTables(c);
    if (r.fields.empty() || r.fields.size() != r.foreignFields.size())
        throw Error(err::InvalidArgument, "Relationship '" + r.name + "' needs the same number of fields on both sides.");
    c.exec("CREATE TABLE IF NOT EXISTS MSysRelations (Name TEXT PRIMARY KEY COLLATE NOCASE, TableName TEXT NOT NULL, "
           "ForeignTableName TEXT NOT NULL, Fields TEXT NOT NULL, ForeignFields TEXT NOT NULL, Attributes INTEGER NOT "
           "NULL DEFAULT 0)");
    auto join = [](const std::vector<std::string>& names) {
        std::vector<sql::IndexColumn> cols;
        for (const auto& n : names) cols.push_back({n, false});
        return encodeFields(cols);
    };
    Statement st(c, "INSERT INTO MSysRelations (Name, TableName, ForeignTableName, Fields, ForeignFields, Attributes) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    st.bindText(1, r.name).bindText(2, r.table).bindText(3, r.foreignTable);
    st.bindText(4, join(r.fields)).bindText(5, join(r.foreignFields)).bindInt(6, r.attributes);
    st.step();
}

std::optional<std::string> property(Connection& c, std::string_view name) {
    if (!hasSystemTables(c)) return std::nullopt;
    Statement st(c, "SELECT Value FROM MSysAccess WHERE Property = ?1");
    st.bindText(1, name);
    if (!st.step() || st.isNull(0)) return std::nullopt;
    return st.getText(0);
}

void setProperty(Connection& c, std::string_view name, const std::optional<std::string>& value) {
    requireSystemTables(c);
    if (!value) {
        Statement st(c, "DELETE FROM MSysAccess WHERE Property = ?1");
        st.bindText(1, name);
        st.step();
        return;
    }
    Statement st(c, "INSERT OR REPLACE INTO MSysAccess (Property, Value) VALUES (?1, ?2)");
    st.bindText(1, name).bindText(2, *value);
    st.step();
}

// --------------------------------------------------------- data definition

std::string columnDefinition(const ColumnMeta& col, bool rowidAlias) {
    std::string q = quoteIdent(col.name);
    if (rowidAlias)
        return q + " INTEGER PRIMARY KEY AUTOINCREMENT CONSTRAINT " + quoteIdent("range|" + col.name) + " CHECK (" +
               rangeCheck(ColumnMeta{col.name, dbLong}) + ")";
    const FieldTypeInfo* info = fieldTypeInfo(col.type);
    if (!info) throw Error(err::SyntaxInFieldDef, "Field '" + col.name + "' has a type the engine does not know.");
    std::string def = q + " " + info->declType;
    if (col.type == dbText || col.type == dbChar) def += "(" + std::to_string(col.size) + ")";
    // A Decimal's precision and scale live in its declared type, DECIMAL(p,s),
    // beside the range check that enforces them: SQLite keeps that text as
    // written and gives it plain DECIMAL's affinity, and the two cannot
    // disagree. MSysColumns keeps its shape, so a file made before (plain
    // DECIMAL: nothing recorded) opens unchanged and keeps its values as given.
    if (col.type == dbDecimal && col.precision > 0)
        def += "(" + std::to_string(col.precision) + "," + std::to_string(col.scale) + ")";
    if (info->storage == Storage::Text) def += " COLLATE NOCASE";
    if (col.type == dbBoolean) def += " DEFAULT 0";  // Yes/No is No until set
    if (col.required) def += " CONSTRAINT " + quoteIdent("req|" + col.name) + " CHECK (" + q + " IS NOT NULL)";
    std::string check = typeCheck(col);
    if (!check.empty()) def += " CONSTRAINT " + quoteIdent("type|" + col.name) + " CHECK (" + check + ")";
    std::string range = rangeCheck(col);
    if (!range.empty()) def += " CONSTRAINT " + quoteIdent("range|" + col.name) + " CHECK (" + range + ")";
    if ((col.type == dbText || col.type == dbChar) && col.size > 0)
        def += " CONSTRAINT " + quoteIdent("len|" + col.name) + " CHECK (length(" + q + ") <= " +
               std::to_string(col.size) + ")";
    if (!col.allowZeroLength && info->storage == Storage::Text && col.type != dbDate && col.type != dbGUID)
        def += " CONSTRAINT " + quoteIdent("zls|" + col.name) + " CHECK (" + q + " <> '')";
    return def;
}

void createTable(Connection& c, const sql::CreateTable& def) {
    std::vector<ColumnMeta> cols;
    for (const auto& d : def.columns) cols.push_back(fromDef(d));
    // Indexes asked for by the statement.
    std::vector<sql::CreateIndex> indexes;
    for (const auto& d : def.columns) {
        if (!d.primaryKey && !d.unique) continue;
        sql::CreateIndex ix;
        ix.index = d.primaryKey ? "PrimaryKey" : d.name;
        ix.table = def.table;
        ix.primary = d.primaryKey;
        ix.unique = true;
        ix.columns.push_back({d.name, false});
        indexes.push_back(ix);
    }
    for (auto& ix : constraintIndexes(def.table, def.constraints)) indexes.push_back(std::move(ix));
    createTable(c, def.table, cols, indexes);
}

void createTable(Connection& c, const std::string& table, const std::vector<ColumnMeta>& columns,
                 const std::vector<sql::CreateIndex>& indexes) {
    requireSystemTables(c);
    if (table.empty() || table.find_first_of("[]!.`") != std::string::npos)
        throw Error(3125, "'" + table + "' is not a valid name. Make sure that it does not include invalid characters or punctuation.");
    auto known = links(c);
    if (findTable(c, table) || findQuery(c, table) ||
        std::any_of(known.begin(), known.end(), [&](const LinkMeta& l) { return iequals(l.name, table); }))
        throw Error(err::TableExists, "Table '" + table + "' already exists.");
    if (columns.empty()) throw Error(err::SyntaxInFieldDef, "Table '" + table + "' needs at least one field.");
    std::set<std::string> seen;
    int rowidAlias = -1;
    std::vector<ColumnMeta> cols;
    for (const auto& d : columns) {
        std::string low = d.name;
        for (auto& ch : low) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (d.name.empty()) throw Error(err::SyntaxInFieldDef, "A field of table '" + table + "' has no name.");
        if (!seen.insert(low).second)
            throw Error(3191, "Cannot define field '" + d.name + "' more than once in table '" + table + "'.");
        ColumnMeta m = d;
        if ((m.type == dbText || m.type == dbChar) && m.size <= 0) m.size = kDefaultTextSize;
        checkDigits(m);
        if (m.autoIncrement) {
            if (rowidAlias >= 0)
                throw Error(err::SyntaxInFieldDef, "Table '" + table + "' can have only one AutoIncrement field.");
            rowidAlias = static_cast<int>(cols.size());
            m.type = dbLong;
            m.size = 4;
        }
        cols.push_back(std::move(m));
    }
    std::string ddl = "CREATE TABLE " + quoteIdent(table) + " (";
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i) ddl += ", ";
        ddl += columnDefinition(cols[i], static_cast<int>(i) == rowidAlias);
    }
    ddl += ")";
    Savepoint sp(c);
    c.exec(ddl);
    for (const auto& col : cols) writeColumnMeta(c, table, col);
    for (auto ix : indexes) {
        ix.table = table;
        createIndex(c, ix);
    }
    sp.commit();
    c.definitionsChanged();
}

void dropTable(Connection& c, std::string_view name) {
    auto stored = findTable(c, name);
    if (!stored) noSuchTable(name);
    if (isSystemName(*stored)) throw Error(err::ReadOnly, "Table '" + *stored + "' belongs to the engine and cannot be deleted.");
    if (loadTable(c, *stored).view)
        throw Error(err::ReadOnly, "Cannot delete '" + *stored + "': it is a view of another program, which this "
                                   "program only reads.");
    requireSystemTables(c);
    Savepoint sp(c);
    c.exec("DROP TABLE " + quoteIdent(*stored));
    for (const char* t : {"MSysColumns", "MSysIndexes"}) {
        Statement st(c, std::string("DELETE FROM ") + t + " WHERE TableName = ?1");
        st.bindText(1, *stored);
        st.step();
    }
    sp.commit();
    c.definitionsChanged();
}

void addColumn(Connection& c, std::string_view table, const ColumnMeta& column) {
    auto stored = findTable(c, table);
    if (!stored) noSuchTable(table);
    requireSystemTables(c);
    TableMeta t = loadTable(c, *stored);
    if (t.columnIndex(column.name) >= 0)
        throw Error(3380, "Field '" + column.name + "' already exists in table '" + *stored + "'.");
    if (column.autoIncrement)
        throw Error(err::OperationNotSupported,
                    "An AutoIncrement field can only be defined when its table is created.");
    ColumnMeta col = column;
    if ((col.type == dbText || col.type == dbChar) && col.size <= 0) col.size = kDefaultTextSize;
    checkDigits(col);
    if (col.required && !c.scalar("SELECT 1 FROM " + t.ref() + " LIMIT 1").isNull())
        throw Error(err::RequiredMissing, "Field '" + col.name + "' cannot be Required: table '" + *stored +
                                              "' already has records, which would hold no value in it.");
    Savepoint sp(c);
    c.exec("ALTER TABLE " + quoteIdent(*stored) + " ADD COLUMN " + columnDefinition(col, false));
    writeColumnMeta(c, *stored, col);
    sp.commit();
    c.definitionsChanged();
}

void dropColumn(Connection& c, std::string_view table, std::string_view column) {
    auto stored = findTable(c, table);
    if (!stored) noSuchTable(table);
    requireSystemTables(c);
    TableMeta t = loadTable(c, *stored);
    int i = t.columnIndex(column);
    if (i < 0) throw Error(err::ItemNotFound, "Field '" + std::string(column) + "' is not in table '" + *stored + "'.");
    const std::string& name = t.columns[static_cast<size_t>(i)].name;
    for (const auto& ix : t.indexes)
        for (const auto& f : ix.fields)
            if (iequals(f.name, name))
                throw Error(err::FieldUsedByIndex, "Cannot delete field '" + name + "': it is part of index '" +
                                                       ix.name + "'. Delete the index first.");
    if (t.columns.size() == 1)
        throw Error(err::CantDeleteField, "Cannot delete field '" + name + "': a table needs at least one field.");
    Savepoint sp(c);
    try {
        c.exec("ALTER TABLE " + quoteIdent(*stored) + " DROP COLUMN " + quoteIdent(name));
    } catch (const Error& e) {
        // Storage refuses to drop a key column; other failures keep their own message.
        if (e.number() != err::Generic) throw;
        throw Error(err::FieldUsedByIndex, "Cannot delete field '" + name + "': it is needed by the table's key.");
    }
    Statement st(c, "DELETE FROM MSysColumns WHERE TableName = ?1 AND FieldName = ?2");
    st.bindText(1, *stored).bindText(2, name);
    st.step();
    sp.commit();
    c.definitionsChanged();
}

// A primary key's fields never hold Null, however rows are written: triggers
// named after the index refuse it ("pk|fields" becomes 3058).
void keepPrimaryKeyFilled(Connection& c, const std::string& table, const IndexMeta& m) {
    std::string rowNull, newNull, names;
    for (const auto& f : m.fields) {
        rowNull += (rowNull.empty() ? "" : " OR ") + quoteIdent(f.name) + " IS NULL";
        newNull += (newNull.empty() ? "" : " OR ") + std::string("NEW.") + quoteIdent(f.name) + " IS NULL";
        names += (names.empty() ? "" : ", ") + f.name;
    }
    if (c.scalar("SELECT 1 FROM " + quoteIdent(table) + " WHERE " + rowNull + " LIMIT 1").isNull() == false)
        throw Error(err::NullInPrimaryKey, "Index or primary key cannot contain a Null value: field(s) " + names +
                                               " of table '" + table + "' hold Null.");
    for (const char* when : {"insert", "update"})
        c.exec("CREATE TRIGGER " + quoteIdent(m.sqliteName + "$" + when) + " BEFORE " +
               (std::string(when) == "insert" ? "INSERT" : "UPDATE") + " ON " + quoteIdent(table) + " WHEN " + newNull +
               " BEGIN SELECT RAISE(ABORT, " + quoteText("pk|" + names) + "); END");
}

void createIndex(Connection& c, const sql::CreateIndex& def) {
    auto stored = findTable(c, def.table);
    if (!stored) noSuchTable(def.table);
    requireSystemTables(c);
    TableMeta t = loadTable(c, *stored);
    if (def.index.empty()) throw Error(3125, "An index needs a name.");
    if (t.index(def.index)) throw Error(err::IndexExists, "Index '" + def.index + "' already exists on table '" + *stored + "'.");
    if (def.primary && std::any_of(t.indexes.begin(), t.indexes.end(), [](const IndexMeta& m) { return m.primary; }))
        throw Error(3283, "Table '" + *stored + "' already has a primary key.");
    if (def.columns.empty()) throw Error(err::SyntaxInFieldDef, "Index '" + def.index + "' needs at least one field.");
    IndexMeta m;
    m.name = def.index;
    m.primary = def.primary;
    m.unique = def.unique || def.primary;
    m.ignoreNulls = def.ignoreNulls;
    for (const auto& f : def.columns) {
        int i = t.columnIndex(f.name);
        if (i < 0) throw Error(err::ItemNotFound, "Field '" + f.name + "' is not in table '" + *stored + "'.");
        const ColumnMeta& col = t.columns[static_cast<size_t>(i)];
        if (col.type == dbMemo || col.type == dbLongBinary)
            throw Error(3290, "Field '" + col.name + "' cannot be indexed: Memo and binary fields hold no index.");
        m.fields.push_back({col.name, f.descending});
    }
    bool onRowid = m.fields.size() == 1 && !m.fields[0].descending && m.unique &&
                   t.columns[static_cast<size_t>(t.columnIndex(m.fields[0].name))].autoIncrement;
    Savepoint sp(c);
    if (!onRowid) {
        m.sqliteName = freshIndexName(c, *stored, m.name);
        std::string ddl = std::string("CREATE ") + (m.unique ? "UNIQUE " : "") + "INDEX " + quoteIdent(m.sqliteName) +
                          " ON " + quoteIdent(*stored) + " (";
        for (size_t i = 0; i < m.fields.size(); ++i) {
            if (i) ddl += ", ";
            ddl += quoteIdent(m.fields[i].name) + (m.fields[i].descending ? " DESC" : "");
        }
        ddl += ")";
        c.exec(ddl);
        if (m.primary) keepPrimaryKeyFilled(c, *stored, m);
    }
    Statement st(c, "INSERT INTO MSysIndexes (TableName, IndexName, SQLiteName, Fields, IsPrimary, IsUnique, "
                    "IgnoreNulls) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    st.bindText(1, *stored).bindText(2, m.name).bindText(3, m.sqliteName).bindText(4, encodeFields(m.fields));
    st.bindInt(5, m.primary).bindInt(6, m.unique).bindInt(7, m.ignoreNulls);
    st.step();
    sp.commit();
    c.definitionsChanged();
}

void dropIndex(Connection& c, std::string_view table, std::string_view index) {
    auto stored = findTable(c, table);
    if (!stored) noSuchTable(table);
    requireSystemTables(c);
    TableMeta t = loadTable(c, *stored);
    const IndexMeta* m = t.index(index);
    if (!m) throw Error(err::ItemNotFound, "Index '" + std::string(index) + "' is not on table '" + *stored + "'.");
    Savepoint sp(c);
    if (!m->sqliteName.empty()) {
        for (const char* when : {"$insert", "$update"})
            c.exec("DROP TRIGGER IF EXISTS " + quoteIdent(m->sqliteName + when));
        try {
            c.exec("DROP INDEX " + quoteIdent(m->sqliteName));
        } catch (const Error&) {
            throw Error(err::OperationNotSupported, "Index '" + m->name + "' is part of the table's definition and cannot be deleted.");
        }
    }
    Statement st(c, "DELETE FROM MSysIndexes WHERE TableName = ?1 AND IndexName = ?2");
    st.bindText(1, *stored).bindText(2, m->name);
    st.step();
    sp.commit();
    c.definitionsChanged();
}

void alterTable(Connection& c, const sql::AlterTable& def) {
    if (def.add && !def.column.name.empty()) addColumn(c, def.table, fromDef(def.column));
    if (!def.add) dropColumn(c, def.table, def.dropColumn);
    for (const auto& ix : constraintIndexes(def.table, def.addConstraints)) createIndex(c, ix);
}

}  // namespace schema
}  // namespace engine
