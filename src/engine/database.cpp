// DBEngine, Database and the table collection.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "engine/connection.h"
#include "engine/dao.h"
#include "engine/filelock.h"
#include "engine/jet/convert.h"
#include "engine/jet/jetfile.h"
#include "engine/jet/jetpassword.h"
#include "engine/password.h"
#include "engine/schema.h"
#include "engine/sql/sql.h"

namespace engine {

namespace {

using sql::quoteIdent;

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

[[noreturn]] void closed() { throw Error(err::DatabaseClosed, "Object invalid or no longer set."); }

// Saved queries may name each other; this stops a query that names itself.
thread_local int catalogDepth = 0;

class DatabaseCatalog : public sql::Catalog {
public:
    explicit DatabaseCatalog(const Database& db) : db_(db) {}
    std::optional<sql::SourceInfo> find(std::string_view name) const override {
        std::string stored = db_.resolveTableName(name);
        if (!stored.empty()) {
            TableMeta meta = db_.tableMeta(stored);
            return schema::sourceInfo(meta);
        }
        auto q = schema::findQuery(db_.connection(), name);
        if (!q) return std::nullopt;
        if (q->type == static_cast<int>(sql::StatementKind::PassThrough)) schema::refusePassThroughRows(q->name);
        if (catalogDepth > 16)
            throw Error(err::Generic, "Query '" + q->name + "' refers to itself through other queries.");
        sql::SourceInfo s;
        s.kind = sql::SourceInfo::Kind::Query;
        s.name = q->name;
        s.sqliteRef = quoteIdent(q->name);
        s.querySql = q->sql;
        ++catalogDepth;
        try {
            sql::EmittedSelect em = sql::emitSelect(sql::parse(q->sql), *this);
            for (const auto& c : em.columns) s.columns.push_back({c.name, c.type});
        } catch (...) {
            --catalogDepth;
            throw;
        }
        --catalogDepth;
        return s;
    }

private:
    const Database& db_;
};

}  // namespace

std::string connectValue(std::string_view connect, std::string_view key) {
    std::string low = lower(connect);
    std::string want = lower(key) + "=";
    size_t pos = 0;
    while (pos <= low.size()) {
        size_t end = low.find(';', pos);
        if (end == std::string::npos) end = low.size();
        std::string_view part = std::string_view(low).substr(pos, end - pos);
        size_t b = part.find_first_not_of(' ');
        if (b != std::string_view::npos && part.substr(b, want.size()) == want)
            return std::string(connect.substr(pos + b + want.size(), end - pos - b - want.size()));
        pos = end + 1;
    }
    return {};
}

// ------------------------------------------------------------------ DBEngine

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                                 std::string_view connect) {
    // A file of the older Jet format is read through its converted copy, which
    // only reads: the file itself is never opened for writing.
    if (jet::isJetFile(path)) {
        // Its password (when it has one) is asked for like that of our own files.
        std::error_code ec;
        const std::string file = std::filesystem::weakly_canonical(path, ec).string();
        std::string pw = connectValue(connect, "pwd");
        if (pw.empty()) pw = password::remembered(file);
        jet::requirePassword(path, pw);
        if (!pw.empty()) password::remember(file, pw);
        std::string copy = jet::cachedCopy(path);
        auto conn = std::make_unique<Connection>(copy, true, false);
        filelock::acquire(copy, false);
        std::shared_ptr<Database> db(new Database);
        db->path_ = path;
        db->lockPath_ = copy;
        db->conn_ = std::move(conn);
        db->readOnly_ = true;
        db->converted_ = true;
        return db;
    }
    auto conn = std::make_unique<Connection>(path, readOnly, false);
    std::optional<std::string> stored = schema::property(*conn, "PasswordHash");
    if (stored) {
        std::error_code ec;
        std::string file = std::filesystem::weakly_canonical(path, ec).string();
        std::string pw = connectValue(connect, "pwd");
        if (pw.empty()) pw = password::remembered(file);
        if (pw.empty() || !password::verify(*stored, pw)) throw Error(err::BadPassword, "Not a valid password.");
        password::remember(file, pw);
    }
    filelock::acquire(path, exclusive);
    std::shared_ptr<Database> db(new Database);
    db->path_ = path;
    db->conn_ = std::move(conn);
    db->exclusive_ = exclusive;
    db->readOnly_ = readOnly;
    db->attachLinks();
    return db;
}

std::shared_ptr<Database> DBEngine::CreateDatabase(const std::string& path, std::string_view connect) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) throw Error(3204, "Database '" + path + "' already exists.");
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent))
        throw Error(3044, "'" + parent.string() + "' is not a valid path. Make sure that the folder exists.");
    std::string pw = connectValue(connect, "pwd");
    password::checkAcceptable(pw);
    // The file is made whole under a name of its own beside the target and
    // only then given the target's name: a failure never leaves a broken file.
    std::string building = path + ".ledgerly-new-" + std::to_string(::getpid());
    auto discard = [&] {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((building + suffix).c_str());
    };
    try {
        {
            Connection conn(building, false, true);
            conn.exec("PRAGMA journal_mode=WAL");
            schema::ensureSystemTables(conn);
            if (!pw.empty()) schema::setProperty(conn, "PasswordHash", password::hash(pw));
        }
        // link() refuses to replace a file that appeared meanwhile; where the
        // file system has no hard links, rename after a last look.
        if (::link(building.c_str(), path.c_str()) != 0) {
            int e = errno;
            if (e == EEXIST) throw Error(3204, "Database '" + path + "' already exists.");
            if (::stat(path.c_str(), &st) == 0) throw Error(3204, "Database '" + path + "' already exists.");
            if (::rename(building.c_str(), path.c_str()) != 0)
                throw Error(err::NotPermitted, "The database '" + path + "' could not be created: " +
                                                   std::strerror(errno) + ".");
        }
        discard();
    } catch (...) {
        discard();
        throw;
    }
    auto db = OpenDatabase(path, false, false, connect);
    // Making a file is not opening it with its password: later opens still ask.
    std::error_code ec;
    password::remember(std::filesystem::weakly_canonical(path, ec).string(), "");
    return db;
}

std::shared_ptr<Workspace> DBEngine::CreateWorkspace(std::string, std::string, std::string, int type) {
    auto ws = std::shared_ptr<Workspace>(new Workspace);
    ws->type_ = type;
    return ws;
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                                  std::string_view connect) {
    return DBEngine::OpenDatabase(path, exclusive, readOnly, connect);
}

std::shared_ptr<OdbcConnection> Workspace::OpenConnection(std::string_view name, int, bool, std::string_view connect) {
    if (type_ != dbUseODBC)
        throw Error(err::OperationNotSupported,
                    "Operation is not supported for this type of object: connections open in an ODBC workspace.");
    auto c = OdbcConnection::open(name, connect);
    std::erase_if(connections_, [](const std::weak_ptr<OdbcConnection>& w) { return w.expired(); });
    connections_.push_back(c);
    return c;
}

void Workspace::Close() {
    for (const auto& w : connections_)
        if (auto c = w.lock()) c->Close();
    connections_.clear();
}

// ------------------------------------------------------------------ Database

Database::~Database() {
    try {
        Close();
    } catch (...) {
    }
}

void Database::Close() {
    if (!conn_) return;
    // The collections stay (references to them and their items must not
    // dangle); everything they hold now answers 3420.
    conn_.reset();
    filelock::release(lockPath_.empty() ? path_ : lockPath_, exclusive_);
    transactionDepth_ = 0;
}

Connection& Database::connection() const {
    if (!conn_) closed();
    return *conn_;
}

bool Database::Updatable() const { return conn_ && !readOnly_; }

void Database::refuseWrite() const {
    if (converted_)
        throw Error(err::ReadOnly, "Cannot update. '" + std::filesystem::path(path_).filename().string() +
                                       "' is a database of an older format, which this program only reads. To change "
                                       "it, use Save a Copy in Ledgerly Format and work in the copy.");
    throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
}

std::string Database::attachFile(const std::string& file) {
    std::error_code ec;
    std::string canon = std::filesystem::weakly_canonical(file, ec).string();
    if (ec) canon = file;
    for (const auto& [path, alias] : attached_)
        if (path == canon) return alias;
    if (!std::filesystem::exists(canon)) throw Error(err::FileNotFound, "Could not find file '" + file + "'.");
    std::string target = canon;
    if (jet::isJetFile(canon)) {
        // A table of a file of the older format is read through the file's
        // converted copy, which a link may not change.
        jet::requirePassword(canon, password::remembered(canon));
        target = fileUri(jet::cachedCopy(canon), "mode=ro");
    }
    std::string alias = "link_" + std::to_string(attached_.size() + 1);
    Statement st(connection(), "ATTACH DATABASE ?1 AS " + quoteIdent(alias));
    st.bindText(1, target);
    st.step();
    attached_.emplace_back(canon, alias);
    return alias;
}

TableMeta Database::linkedMeta(const LinkMeta& l) {
    Connection& c = connection();
    std::string file = connectValue(l.connect, "database");
    // Failures name the link and its file, never the database that holds the link.
    auto fault = [&](const Error& e) {
        std::string text = "The linked table '" + l.name + "' cannot be used: " + e.description();
        if (e.description().find(file) == std::string::npos) text += " (the link points to '" + file + "').";
        return Error(e.number(), text);
    };
    if (schema::isSystemName(l.sourceTable))
        throw Error(err::NoReadPermission, "Record(s) cannot be read; no read permission on '" + l.sourceTable +
                                               "' of '" + file + "': a link cannot reach another file's engine tables.");
    std::string alias;
    std::optional<std::string> source;
    TableMeta meta;
    try {
        alias = attachFile(file);
        checkLinkPassword(alias, file, connectValue(l.connect, "pwd"));
        source = schema::findTable(c, l.sourceTable, alias);
        if (source) meta = schema::loadTable(c, *source, alias);
    } catch (const Error& e) {
        if (e.number() == err::BadPassword) throw;
        std::string text = e.description();
        // The storage layer reports the main file; the fault is in the linked one.
        size_t at = text.find("'" + path_ + "'");
        if (at != std::string::npos) text.replace(at, path_.size() + 2, "'" + file + "'");
        throw fault(Error(e.number(), text));
    }
    if (!source)
        throw Error(err::NoSuchTable, "The linked table '" + l.name + "' cannot be used: table '" + l.sourceTable +
                                          "' is not in '" + file + "' any more.");
    meta.name = l.name;
    meta.linked = true;
    meta.system = false;
    meta.noRead = false;
    meta.connect = l.connect;
    meta.sourceTable = l.sourceTable;
    return meta;
}

void Database::checkLinkPassword(const std::string& alias, const std::string& file, const std::string& pw) {
    Connection& c = connection();
    std::optional<std::string> stored;
    if (!schema::findTable(c, schema::kAccessTable, alias)) return;
    Statement st(c, "SELECT Value FROM " + quoteIdent(alias) + "." + quoteIdent(schema::kAccessTable) +
                        " WHERE Property = 'PasswordHash'");
    if (st.step() && !st.isNull(0)) stored = st.getText(0);
    if (!stored) return;
    if (pw.empty() || !password::verify(*stored, pw))
        throw Error(err::BadPassword, "Not a valid password: the linked file '" + file +
                                          "' is protected; give its password in the link's connect string "
                                          "(;DATABASE=path;PWD=password).");
}

void Database::attachLinks() {
    for (const auto& l : schema::links(connection())) {
        try {
            attachFile(connectValue(l.connect, "database"));
        } catch (const Error&) {
            // A link to a file that is gone is reported when the table is used.
        }
    }
}

std::string Database::resolveTableName(std::string_view name) const {
    Connection& c = connection();
    if (auto stored = schema::findTable(c, name)) return *stored;
    for (const auto& l : schema::links(c))
        if (schema::iequals(l.name, name)) return l.name;
    return {};
}

TableMeta Database::tableMeta(std::string_view name) const {
    Connection& c = connection();
    std::int64_t version = c.definitionVersion();
    if (version != metaVersion_) {
        metaCache_.clear();
        metaVersion_ = version;
    }
    std::string key = lower(name);
    if (auto it = metaCache_.find(key); it != metaCache_.end()) return it->second;
    if (auto stored = schema::findTable(c, name)) return metaCache_[key] = schema::loadTable(c, *stored);
    for (const auto& l : schema::links(c))
        if (schema::iequals(l.name, name)) return const_cast<Database*>(this)->linkedMeta(l);
    throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + std::string(name) +
                                      "'. Make sure it exists and that its name is spelled correctly.");
}

std::unique_ptr<sql::Catalog> Database::catalog() const {
    connection();
    return std::make_unique<DatabaseCatalog>(*this);
}

TableDefCollection& Database::TableDefs() {
    if (!conn_) closed();
    if (!tableDefs_) {
        tableDefs_ = std::make_unique<TableDefCollection>();
        tableDefs_->db_ = shared_from_this();
        tableDefs_->Refresh();
    }
    return *tableDefs_;
}

QueryDefCollection& Database::QueryDefs() {
    if (!conn_) closed();
    if (!queryDefs_) {
        queryDefs_ = std::make_unique<QueryDefCollection>();
        queryDefs_->db_ = shared_from_this();
        queryDefs_->Refresh();
    }
    return *queryDefs_;
}

std::shared_ptr<TableDef> Database::CreateTableDef(std::string name, long attributes, std::string sourceTable,
                                                   std::string connect) {
    connection();
    auto td = std::make_shared<TableDef>(std::move(name));
    td->attributes_ = attributes;
    td->sourceTableName_ = std::move(sourceTable);
    td->connect_ = std::move(connect);
    return td;
}

std::shared_ptr<QueryDef> Database::CreateQueryDef(std::string name, std::string sqlText) {
    Connection& c = connection();
    auto q = std::shared_ptr<QueryDef>(new QueryDef);
    q->name_ = std::move(name);
    q->db_ = shared_from_this();
    if (!sqlText.empty()) {
        q->type_ = static_cast<int>(sql::parse(sqlText).kind());
        q->sql_ = std::move(sqlText);
    }
    if (!q->name_.empty()) {
        if (readOnly_) refuseWrite();
        if (!resolveTableName(q->name_).empty())
            throw Error(err::ObjectExists, "Object '" + q->name_ + "' already exists.");
        schema::saveQuery(c, {q->name_, q->sql_, q->type_, q->connect_}, false);
        q->stored_ = true;
        if (queryDefs_) queryDefs_->Refresh();
    }
    return q;
}

std::shared_ptr<Recordset> Database::OpenRecordset(std::string_view source, int type) {
    connection();
    return Recordset::open(shared_from_this(), source, type);
}

const std::string* Database::emittedAction(std::string_view text) {
    auto it = emitted_.find(std::string(text));
    if (it == emitted_.end()) return nullptr;
    Connection& c = connection();
    if (it->second.definitions != c.definitionVersion() || it->second.data != c.dataVersion()) {
        emitted_.erase(it);
        return nullptr;
    }
    return &it->second.sql;
}

namespace {
// Runs one action statement: under the write lock taken first for dbDenyWrite.
void runAction(Connection& c, Statement& st, bool denyWrite) {
    if (!denyWrite || c.inTransaction()) {
        st.step();
        return;
    }
    c.exec("BEGIN IMMEDIATE");
    try {
        st.step();
        c.exec("COMMIT");
    } catch (...) {
        try {
            c.exec("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
}
}  // namespace

void Database::Execute(std::string_view sqlText, int options) {
    Connection& c = connection();
    recordsAffected_ = 0;
    constexpr int known = dbDenyWrite | dbInconsistent | dbConsistent | dbFailOnError | dbSeeChanges;
    if ((options & ~known) != 0 || ((options & dbInconsistent) && (options & dbConsistent)))
        throw Error(err::InvalidArgument, "Invalid argument.");
    const bool denyWrite = options & dbDenyWrite;
    if (const std::string* emitted = emittedAction(sqlText)) {
        if (readOnly_) refuseWrite();
        runAction(c, c.cached(*emitted), denyWrite);
        recordsAffected_ = static_cast<long>(c.changes());
        return;
    }
    sql::Parsed parsed = sql::parse(sqlText);
    switch (parsed.kind()) {
    case sql::StatementKind::Select:
    case sql::StatementKind::Union:
    case sql::StatementKind::Crosstab:
        throw Error(3065, "Cannot execute a select query: open it as a recordset instead.");
    case sql::StatementKind::DataDefinition: {
        if (readOnly_) refuseWrite();
        auto ddl = parsed.ddl();
        std::visit([](const auto& d) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(d)>, std::monostate>) schema::refuseSystemWrite(d.table);
        }, ddl);
        if (auto* ct = std::get_if<sql::CreateTable>(&ddl)) schema::createTable(c, *ct);
        else if (auto* dt = std::get_if<sql::DropTable>(&ddl)) {
            bool link = false;
            for (const auto& l : schema::links(c))
                if (schema::iequals(l.name, dt->table)) link = true;
            if (link) schema::deleteLink(c, dt->table);
            else schema::dropTable(c, dt->table);
        } else if (auto* at = std::get_if<sql::AlterTable>(&ddl)) schema::alterTable(c, *at);
        else if (auto* ci = std::get_if<sql::CreateIndex>(&ddl)) schema::createIndex(c, *ci);
        else if (auto* di = std::get_if<sql::DropIndex>(&ddl)) schema::dropIndex(c, di->table, di->index);
        if (tableDefs_) tableDefs_->Refresh();
        return;
    }
    case sql::StatementKind::MakeTable: {
        if (readOnly_) refuseWrite();
        std::string target = sql::makeTableTarget(parsed);
        schema::refuseSystemWrite(target);
        auto cat = catalog();
        sql::EmittedSelect em = sql::emitSelect(parsed, *cat);
        std::vector<ColumnMeta> cols;
        for (const auto& oc : em.columns) {
            ColumnMeta m;
            m.name = oc.name;
            m.type = fieldTypeInfo(oc.type) ? oc.type : dbMemo;
            if (m.type == dbText || m.type == dbChar) m.size = kDefaultTextSize;
            else m.size = fieldTypeInfo(m.type)->fixedSize;
            if (m.type == dbDecimal) {  // a Decimal column keeps its source's digits, when recorded
                m.precision = oc.precision;
                m.scale = oc.scale;
            }
            m.allowZeroLength = true;
            cols.push_back(m);
        }
        Savepoint sp(c);
        schema::createTable(c, target, cols, {});
        std::string names;
        std::vector<sql::ColumnInfo> fields;
        for (const auto& m : cols) {
            names += (names.empty() ? "" : ", ") + quoteIdent(m.name);
            fields.push_back({m.name, m.type, m.precision, m.scale});
        }
        Statement st(c, "INSERT INTO " + quoteIdent(target) + " (" + names + ") " + sql::fitToFields(em.sql, fields));
        st.step();
        recordsAffected_ = static_cast<long>(c.changes());
        sp.commit();
        if (tableDefs_) tableDefs_->Refresh();
        return;
    }
    default: {
        auto cat = catalog();
        sql::EmittedAction action = sql::emitAction(parsed, *cat);
        if (readOnly_) refuseWrite();
        Statement st(c, action.sql);
        runAction(c, st, denyWrite);
        recordsAffected_ = static_cast<long>(c.changes());
        if (emitted_.size() >= 32) emitted_.clear();
        emitted_[std::string(sqlText)] = {c.definitionVersion(), c.dataVersion(), std::move(action.sql)};
        return;
    }
    }
}

void Database::NewPassword(std::string_view oldPassword, std::string_view newPassword) {
    Connection& c = connection();
    if (readOnly_) refuseWrite();
    auto stored = schema::property(c, "PasswordHash");
    bool ok = stored ? password::verify(*stored, oldPassword) : oldPassword.empty();
    if (!ok) throw Error(err::BadPassword, "Not a valid password.");
    password::checkAcceptable(newPassword);
    schema::setProperty(c, "PasswordHash",
                        newPassword.empty() ? std::nullopt : std::optional<std::string>(password::hash(newPassword)));
    std::error_code ec;
    password::remember(std::filesystem::weakly_canonical(path_, ec).string(), newPassword);
}

void Database::BeginTrans() {
    Connection& c = connection();
    if (transactionDepth_ >= 5) throw Error(err::TooManyTransactions, "Transactions may be nested five levels deep at most.");
    if (transactionDepth_ == 0) {
        c.exec("BEGIN IMMEDIATE");
        c.noteBegin();
    }
    else c.exec("SAVEPOINT ledgerly_trans_" + std::to_string(transactionDepth_));
    ++transactionDepth_;
}

void Database::CommitTrans() {
    Connection& c = connection();
    if (transactionDepth_ == 0)
        throw Error(err::CommitWithoutBegin, "You tried to commit or roll back a transaction without first beginning a transaction.");
    --transactionDepth_;
    if (transactionDepth_ == 0) c.exec("COMMIT");
    else c.exec("RELEASE ledgerly_trans_" + std::to_string(transactionDepth_));
}

void Database::Rollback() {
    Connection& c = connection();
    if (transactionDepth_ == 0)
        throw Error(err::CommitWithoutBegin, "You tried to commit or roll back a transaction without first beginning a transaction.");
    --transactionDepth_;
    // AutoNumbers given inside the transaction stay used, so a number never
    // names two different records; the file's sequence would roll back with it.
    std::vector<std::pair<std::string, std::int64_t>> given;
    try {
        Statement st(c, "SELECT name, seq FROM main.sqlite_sequence");
        while (st.step()) given.emplace_back(st.getText(0), st.getInt(1));
    } catch (const Error&) {
        given.clear();  // no AutoNumber in the file yet
    }
    if (transactionDepth_ == 0) c.exec("ROLLBACK");
    else {
        std::string sp = "ledgerly_trans_" + std::to_string(transactionDepth_);
        c.exec("ROLLBACK TO " + sp);
        c.exec("RELEASE " + sp);
    }
    c.noteRollback();
    try {
        // Written only when the rollback took a sequence back: a plain rollback writes nothing.
        std::map<std::string, std::int64_t> now;
        if (!given.empty()) {
            Statement st(c, "SELECT name, seq FROM main.sqlite_sequence");
            while (st.step()) now[st.getText(0)] = st.getInt(1);
        }
        for (const auto& [table, seq] : given) {
            if (auto it = now.find(table); it != now.end() && it->second >= seq) continue;
            for (const char* sqlText :
                 {"UPDATE main.sqlite_sequence SET seq = ?1 WHERE name = ?2 AND seq < ?1",
                  "INSERT INTO main.sqlite_sequence (name, seq) SELECT ?2, ?1 WHERE NOT EXISTS "
                  "(SELECT 1 FROM main.sqlite_sequence WHERE name = ?2) AND EXISTS "
                  "(SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = ?2)"}) {
                Statement st(c, sqlText);
                st.bindInt(1, seq);
                st.bindText(2, table);
                st.step();
            }
        }
    } catch (const Error&) {
        // A file that cannot be written now keeps its own sequence.
    }
}

// ------------------------------------------------------------ TableDefs

void TableDefCollection::Refresh() {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) return;
    // A table that stays keeps its object; one that went is kept, marked gone.
    std::vector<std::shared_ptr<TableDef>> old = items_, fresh;
    Connection& c = db->connection();
    std::vector<std::string> names = schema::tableNames(c);
    for (const auto& l : schema::links(c)) names.push_back(l.name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    for (const auto& n : names) {
        auto td = takeByName(old, n);
        if (!td) td = std::make_shared<TableDef>(n);
        try {
            td->attach(db, db->tableMeta(n));
        } catch (const Error&) {
            // A link whose file is gone still shows, without fields.
            td->db_ = db;
            td->attributes_ = dbAttachedTable;
            for (const auto& l : schema::links(c))
                if (schema::iequals(l.name, n)) {
                    td->connect_ = l.connect;
                    td->sourceTableName_ = l.sourceTable;
                }
        }
        fresh.push_back(std::move(td));
    }
    for (auto& td : old) td->gone_ = true;
    replaceItems(std::move(fresh));
}

void TableDefCollection::Append(std::shared_ptr<TableDef> td) {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) closed();
    if (!td) throw Error(err::InvalidArgument, "Invalid argument: no table was given.");
    if (!td->db_.expired()) throw Error(err::ObjectExists, "Object '" + td->Name() + "' already exists.");
    if (td->Name().empty()) throw Error(3125, "A table needs a name before it can be stored.");
    if (db->readOnly()) db->refuseWrite();
    schema::refuseSystemWrite(td->Name());
    Connection& c = db->connection();
    if (!td->Connect().empty()) {
        std::string file = connectValue(td->Connect(), "database");
        if (file.empty()) throw Error(3170, "Could not find installable ISAM: the link needs ';DATABASE=' and a file path.");
        if (!db->resolveTableName(td->Name()).empty() || schema::findQuery(c, td->Name()))
            throw Error(err::ObjectExists, "Object '" + td->Name() + "' already exists.");
        std::string source = td->SourceTableName().empty() ? td->Name() : td->SourceTableName();
        LinkMeta link{td->Name(), td->Connect(), source};
        TableMeta target = db->linkedMeta(link);  // the file, its password and the table must all be right
        link.sourceTable = target.sqliteName;
        schema::saveLink(c, link);
    } else {
        std::vector<ColumnMeta> cols;
        for (const auto& f : td->Fields()) {
            ColumnMeta m;
            m.name = f->Name();
            m.type = f->Type();
            m.size = f->Size();
            m.precision = f->Precision();
            m.scale = f->Scale();
            m.required = f->Required();
            m.allowZeroLength = f->AllowZeroLength();
            m.autoIncrement = (f->Attributes() & dbAutoIncrField) != 0;
            cols.push_back(m);
        }
        std::vector<sql::CreateIndex> indexes;
        for (const auto& ix : td->Indexes()) {
            sql::CreateIndex def;
            def.index = ix->Name();
            def.table = td->Name();
            def.unique = ix->Unique();
            def.primary = ix->Primary();
            def.ignoreNulls = ix->IgnoreNulls();
            for (const auto& f : ix->Fields()) def.columns.push_back({f->Name(), (f->Attributes() & dbDescending) != 0});
            indexes.push_back(def);
        }
        if (cols.empty()) throw Error(3264, "No field defined: table '" + td->Name() + "' needs at least one field.");
        schema::createTable(c, td->Name(), cols, indexes);
    }
    td->attach(db, db->tableMeta(td->Name()));
    Refresh();
}

void TableDefCollection::Delete(std::string_view name) {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) closed();
    if (db->readOnly()) db->refuseWrite();
    schema::refuseSystemWrite(name);
    Connection& c = db->connection();
    bool link = false;
    for (const auto& l : schema::links(c))
        if (schema::iequals(l.name, name)) link = true;
    if (link) schema::deleteLink(c, name);
    else if (schema::findTable(c, name)) schema::dropTable(c, name);
    else throw Error(err::ItemNotFound, "Item not found in this collection: '" + std::string(name) + "'.");
    Refresh();
}

}  // namespace engine
