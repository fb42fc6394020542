#include "engine/jet/convert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "engine/connection.h"
#include "engine/dao.h"
#include "engine/jet/jetfile.h"
#include "engine/jet/querysql.h"
#include "engine/schema.h"
#include "engine/sql/sql.h"

namespace engine::jet {

namespace {

constexpr long kProgressStep = 10000;

int fieldType(int jetType) {
    switch (jetType) {
    case Bool: return dbBoolean;
    case Byte: return dbByte;
    case Int: return dbInteger;
    case Long: return dbLong;
    case Money: return dbCurrency;
    case Float: return dbSingle;
    case Double: return dbDouble;
    case DateTime: return dbDate;
    case Binary: return dbBinary;
    case Text: return dbText;
    case Memo: return dbMemo;
    case RepId: return dbGUID;
    case Numeric: return dbDecimal;
    default: return dbLongBinary;  // OLE objects and kinds this program has no field for
    }
}

void addIndexes(TableDef& td, const Table& t, bool primary);

// `lenient` leaves Required and AllowZeroLength off, for records that break them.
std::shared_ptr<TableDef> tableDef(Database& db, const Table& t, bool lenient) {
    auto td = db.CreateTableDef(t.name());
    for (const Column& c : t.columns()) {
        int type = fieldType(c.type);
        auto f = td->CreateField(c.name, type, type == dbText ? (c.size > 0 ? c.size : kDefaultTextSize)
                                                : type == dbBinary ? c.size : 0);
        if (type == dbDecimal && validDecimal(c.precision, c.scale)) {
            f->SetPrecision(c.precision);
            f->SetScale(c.scale);
        }
        if (c.autoNumber && type == dbLong) f->SetAttributes(f->Attributes() | dbAutoIncrField);
        // Yes/No fields always hold a value; Required adds nothing to them.
        if (type != dbBoolean) f->SetRequired(c.required && !lenient);
        if (type == dbText || type == dbMemo) f->SetAllowZeroLength(c.allowZeroLength || lenient);
        td->Fields().Append(f);
    }
    addIndexes(*td, t, true);
    return td;
}

// Adds the primary index (it shapes the table) or the others: these are built
// once the records are in, which sorts them once instead of at every record.
void addIndexes(TableDef& td, const Table& t, bool primary) {
    for (const Index& ix : t.indexes()) {
        if (ix.primary != primary) continue;
        auto i = td.CreateIndex(ix.name);
        for (const IndexField& field : ix.fields) {
            auto f = i->CreateField(field.column);
            if (field.descending) f->SetAttributes(dbDescending);
            i->Fields().Append(f);
        }
        i->SetPrimary(ix.primary);
        i->SetUnique(ix.unique || ix.primary);
        i->SetIgnoreNulls(ix.ignoreNulls);
        td.Indexes().Append(i);
    }
}

// Records go in by statements of this many: a statement started once for
// many records costs SQLite far less than one for each.
constexpr size_t kBatchRecords = 50;

// Copies the records of `t` into the stored table of the same name.
long copyRecords(Database& db, Table& t, const Progress& progress) {
    TableMeta meta = db.tableMeta(t.name());
    const size_t columns = t.columns().size();
    std::string names;
    std::vector<int> types;
    std::vector<std::pair<int, int>> digits;
    for (size_t i = 0; i < columns; ++i) {
        const ColumnMeta& m = meta.columns[i];
        names += (i ? ", " : "") + sql::quoteIdent(m.name);
        types.push_back(m.type);
        digits.emplace_back(m.precision, m.scale);
    }
    // INSERT … VALUES (?1, ?2), (?3, ?4), … for `records` records.
    auto insert = [&](size_t records) {
        std::string text = "INSERT INTO " + meta.ref() + " (" + names + ") VALUES ";
        for (size_t r = 0, n = 0; r < records; ++r) {
            text += r ? ", (" : "(";
            for (size_t i = 0; i < columns; ++i) text += (i ? ", ?" : "?") + std::to_string(++n);
            text += ")";
        }
        return std::make_unique<Statement>(db.connection(), text);
    };
    std::unique_ptr<Statement> full;
    // The records waiting for their statement, bound without a copy when it runs.
    std::vector<std::vector<Variant>> batch(kBatchRecords, std::vector<Variant>(columns));
    size_t waiting = 0;
    auto run = [&](Statement& st) {
        for (size_t r = 0; r < waiting; ++r)
            for (size_t i = 0; i < columns; ++i) st.bindKept(static_cast<int>(r * columns + i) + 1, batch[r][i]);
        st.step();
        st.reset();
        waiting = 0;
    };
    long done = 0;
    const long total = t.rowCount();
    t.readRows([&](std::vector<Variant>& values) {
        for (size_t i = 0; i < columns; ++i) {
            Variant& v = values[i];
            if (v.isNull() || ((types[i] == dbText || types[i] == dbMemo) && v.kind() == Variant::Kind::Text)) {
                // as it is
            } else if (types[i] == dbDecimal && digits[i].first > 0) {
                v = v.toDecimal(digits[i].first, digits[i].second);
            } else {
                v = v.convertTo(types[i]);
            }
        }
        // The reader fills the vector it is handed back for the next record.
        batch[waiting++].swap(values);
        if (waiting == kBatchRecords) {
            if (!full) full = insert(kBatchRecords);
            run(*full);
        }
        ++done;
        if (progress && done % kProgressStep == 0) progress(t.name(), done, total);
        return true;
    });
    if (waiting > 0) run(*insert(waiting));
    if (progress && done >= kProgressStep) progress(t.name(), done, total);
    return done;
}

void removeDatabaseFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

// What `read` lists, or nothing when the file's list cannot be read (then named among the problems).
template <class Read>
auto listed(ConvertResult& result, const char* what, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const Error& e) {
        result.problems.push_back(std::string("The ") + what + " were not converted: " + e.description());
        return {};
    }
}

// Relationships between tables that were converted, kept as the file lists
// them: one row per pair of fields, in the pairs' order.
void copyRelationships(File& file, Database& db, const std::set<std::string>& converted, ConvertResult& result) {
    std::map<std::string, RelationMeta> relations;
    std::map<std::string, std::vector<std::pair<int, std::pair<std::string, std::string>>>> pairs;
    for (const Relationship& r : listed(result, "relationships", [&] { return file.relationships(); })) {
        if (!converted.count(r.table) || !converted.count(r.referencedTable)) continue;
        RelationMeta& m = relations[r.name];
        m.name = r.name;
        m.table = r.table;
        m.foreignTable = r.referencedTable;
        m.attributes = r.flags;
        pairs[r.name].push_back({r.position, {r.column, r.referencedColumn}});
    }
    for (auto& [name, m] : relations) {
        auto& list = pairs[name];
        std::sort(list.begin(), list.end());
        for (const auto& p : list) {
            m.fields.push_back(p.second.first);
            m.foreignFields.push_back(p.second.second);
        }
        try {
            schema::saveRelation(db.connection(), m);
        } catch (const Error& e) {
            result.problems.push_back("Relationship '" + name + "' was not converted: " + e.description());
        }
    }
}

// Saved queries, as far as their statements can be rebuilt; the others are named.
void copyQueries(File& file, Database& db, ConvertResult& result) {
    for (const SavedQuery& q : listed(result, "saved queries", [&] { return file.queries(); })) {
        if (q.name.rfind("~", 0) == 0) continue;  // the file's engine's own, for forms and reports
        Savepoint sp(db.connection());
        try {
            const std::string connect = queryConnect(q);
            auto def = db.CreateQueryDef(q.name, connect.empty() ? querySql(q) : std::string());
            if (!connect.empty()) {
                def->SetConnect(connect);
                def->SetSQL(querySql(q));
            }
            sp.commit();
            ++result.queries;
        } catch (const Error& e) {
            const std::string why = e.description();
            result.notes.push_back(why.rfind("Saved query", 0) == 0 ? why
                                                                   : "Saved query '" + q.name + "' was not converted: " + why);
        }
    }
}

}  // namespace

ConvertResult convert(const std::string& in, const std::string& out, const Progress& progress) {
    struct stat existing {};
    if (::stat(out.c_str(), &existing) == 0) throw Error(3204, "Database '" + out + "' already exists.");
    // The copy is made whole under a name of its own and only then given its name:
    // a conversion cut short (even by a crash) never leaves a file there.
    static std::atomic<unsigned> serial{0};  // two conversions at once (in this or another process) never meet
    const std::string building =
        out + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
    removeDatabaseFiles(building);
    File file(in);
    ConvertResult result;
    std::set<std::string> converted;
    {
        auto db = DBEngine::CreateDatabase(building);
        try {
            // One transaction fills the new file: its undo record is kept in memory rather than
            // written beside it, so each page is written once (the copy's journal is set below).
            db->connection().exec("PRAGMA journal_mode=MEMORY");
            db->BeginTrans();
            for (const std::string& name : file.tableNames()) {
                // Records the file's engine let in before a field became Required or lost
                // AllowZeroLength are kept: the table is made again without those settings.
                for (bool lenient : {false, true}) {
                    Savepoint sp(db->connection());
                    try {
                        auto table = file.table(name);
                        db->TableDefs().Append(tableDef(*db, *table, lenient));
                        long records = copyRecords(*db, *table, progress);
                        addIndexes(db->TableDefs()[name], *table, false);
                        sp.commit();
                        result.records += records;
                        converted.insert(name);
                        ++result.tables;
                        if (lenient)
                            result.notes.push_back("Table '" + name + "' has records that break the Required or "
                                                   "AllowZeroLength setting of its fields; these settings were left "
                                                   "off so that every record is kept.");
                        break;
                    } catch (const Error& e) {
                        db->TableDefs().Refresh();
                        if (!lenient && (e.number() == err::ZeroLength || e.number() == err::RequiredMissing)) continue;
                        result.problems.push_back("Table '" + name + "' was not converted: " + e.description());
                        break;
                    }
                }
            }
            copyRelationships(file, *db, converted, result);
            copyQueries(file, *db, result);
            // Kept in the copy: whoever opens it later can tell what is missing.
            if (!result.problems.empty() || !result.notes.empty()) {
                std::string all;
                for (const auto& list : {result.problems, result.notes})
                    for (const auto& p : list) all += (all.empty() ? "" : "\n") + p;
                schema::setProperty(db->connection(), kProblemsProperty, all);
            }
            db->CommitTrans();
            db->Close();
        } catch (...) {
            db->Close();
            removeDatabaseFiles(building);
            throw;
        }
    }
    try {
        // Readers open the copy read-only: without a write-ahead log they need no shared-memory file.
        {
            Connection c(building, false, false);
            c.exec("PRAGMA journal_mode=DELETE");
        }
        // link() never replaces a file that appeared meanwhile.
        if (::link(building.c_str(), out.c_str()) != 0) {
            if (errno == EEXIST) throw Error(3204, "Database '" + out + "' already exists.");
            if (::rename(building.c_str(), out.c_str()) != 0)
                throw Error(3044, "Could not write '" + out + "': " + std::strerror(errno) + ".");
        }
    } catch (...) {
        removeDatabaseFiles(building);
        throw;
    }
    removeDatabaseFiles(building);
    return result;
}

std::string cachedCopy(const std::string& in, bool* converted) {
    if (converted) *converted = false;
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string abs = fs::weakly_canonical(fs::absolute(in), ec).string();
    if (ec) abs = fs::absolute(in).string();
    struct stat st {};
    if (::stat(abs.c_str(), &st) != 0) throw Error(err::FileNotFound, "Could not find file '" + in + "'.");

    fs::path dir;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') dir = fs::path(xdg) / "ledgerly";
    else if (const char* home = std::getenv("HOME"); home && *home) dir = fs::path(home) / ".cache" / "ledgerly";
    else dir = fs::temp_directory_path() / "ledgerly-cache";
    fs::create_directories(dir, ec);
    if (ec) throw Error(err::NotPermitted, "The cache folder '" + dir.string() + "' cannot be made: " + ec.message() + ".");

    // The file's path names its copies; its size and time tell which copy is current.
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char ch : abs) h = (h ^ ch) * 1099511628211ull;
    char key[32];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(h));
    std::string stamp = std::to_string(static_cast<long long>(st.st_size)) + "-" +
                        std::to_string(static_cast<long long>(st.st_mtim.tv_sec)) + "." +
                        std::to_string(static_cast<long long>(st.st_mtim.tv_nsec));
    fs::path target = dir / (std::string(key) + "-" + stamp + ".ldb");
    if (fs::exists(target, ec)) return target.string();

    try {
        convert(abs, target.string());
    } catch (const Error& e) {
        if (e.number() != 3204) throw;  // another conversion of the same version stored it first
    }
    // Copies of the file's earlier versions are no longer needed.
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(std::string(key) + "-", 0) == 0 && entry.path() != target && name.find(".new-") == std::string::npos)
            fs::remove(entry.path(), ec);
    }
    if (converted) *converted = true;
    return target.string();
}

}  // namespace engine::jet
