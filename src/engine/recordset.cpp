#include "engine/recordset.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <set>

#include "engine/connection.h"
#include "engine/sql/sql.h"

namespace engine {

namespace {

using sql::quoteIdent;

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

// Counts UTF-8 characters, not bytes: Text sizes are in characters.
size_t charCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char ch : s)
        if ((ch & 0xC0) != 0x80) ++n;
    return n;
}

std::string placeholders(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += i ? ",?" : "?";
    return s;
}

[[noreturn]] void noCurrentRecord() { throw Error(err::NoCurrentRecord, "No current record."); }
[[noreturn]] void recordDeleted() { throw Error(3167, "Record is deleted."); }

std::atomic<int> snapshotCounter{0};

}  // namespace

// ------------------------------------------------------------------ opening

std::shared_ptr<Recordset> Recordset::open(const std::shared_ptr<Database>& db, std::string_view source, int type) {
    std::shared_ptr<Recordset> rs(new Recordset);
    rs->db_ = db;
    rs->source_ = std::string(source);
    rs->requestedType_ = type;
    std::string text = trim(source);
    if (text.empty()) throw Error(err::InvalidArgument, "Invalid argument: no table, query or statement was given.");
    std::string bare = text;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
    std::string table = db->resolveTableName(bare);
    if (!table.empty()) {
        if (type == dbOpenDynaset || type == dbOpenSnapshot)
            rs->openQuery("SELECT * FROM [" + table + "]");
        else
            rs->openTable(table);
        rs->name_ = table;
    } else if (auto q = schema::findQuery(db->connection(), bare)) {
        if (type == dbOpenTable)
            throw Error(err::InvalidArgument, "A query cannot be opened as a table-type recordset.");
        if (q->type == static_cast<int>(sql::StatementKind::PassThrough)) schema::refusePassThroughRows(q->name);
        rs->openQuery(q->sql);
        rs->name_ = q->name;
    } else {
        bool oneName = text.find_first_of(" \t\r\n") == std::string::npos || (text.front() == '[' && text.back() == ']');
        if (oneName)
            throw Error(err::NoSuchTable, "The engine cannot find the input table or query '" + bare +
                                              "'. Make sure it exists and that its name is spelled correctly.");
        if (type == dbOpenTable)
            throw Error(err::InvalidArgument, "A statement cannot be opened as a table-type recordset.");
        rs->openQuery(text);
        rs->name_ = text;
    }
    if (type == dbOpenSnapshot) rs->updatable_ = false;
    rs->loadKeys();
    rs->buildFields();
    return rs;
}

void Recordset::openTable(const std::string& table) {
    meta_ = db_->tableMeta(table);
    if (meta_.noRead) schema::refuseRead(meta_.name);
    if (meta_.rowid.empty() && !meta_.withoutRowid) {
        // Every name of the row key is taken by a field: read the rows once.
        openQuery("SELECT * FROM [" + meta_.name + "]");
        return;
    }
    type_ = dbOpenTable;
    updatable_ = !meta_.system && !db_->readOnly();
    std::string cols;
    for (size_t i = 0; i < meta_.columns.size(); ++i) {
        const auto& c = meta_.columns[i];
        columns_.push_back({c.name, c.type, c.size, static_cast<int>(i)});
        cols += ", " + quoteIdent(c.name);
    }
    keyFrom_ = meta_.ref();
    if (meta_.rowid.empty()) {
        keyedStatements(openKeyMap(), keyFrom_, cols);
    } else {
        keyedStatements(meta_.rowid, keyFrom_, cols);
        keyWhere_ = meta_.rowid + " = ?";
    }
    findSource_ = schema::sourceInfo(meta_);
}

std::string Recordset::openKeyMap() {
    // A table keyed by text (or by several fields) has no integer row key: a
    // temporary map numbers its primary keys, and rows are read through it.
    Connection& conn = db_->connection();
    mapKeyFields_.clear();
    {
        Statement st(conn, "SELECT name FROM pragma_table_info(?1, ?2) WHERE pk > 0 ORDER BY pk");
        st.bindText(1, meta_.sqliteName);
        st.bindText(2, meta_.schema);
        while (st.step()) mapKeyFields_.push_back(st.getText(0));
    }
    if (mapKeyFields_.empty()) throw Error(err::ReadOnly, "Table '" + meta_.name + "' has neither row ids nor a primary key.");
    snapshotTable_ = "ledgerly_keys_" + std::to_string(++snapshotCounter);
    mapRef_ = "temp." + quoteIdent(snapshotTable_);
    std::string defs = quoteIdent("ledgerly$k") + " INTEGER PRIMARY KEY", slots, fields, on;
    for (size_t i = 0; i < mapKeyFields_.size(); ++i) {
        std::string slot = quoteIdent("ledgerly$p" + std::to_string(i + 1));
        defs += ", " + slot;
        slots += (i ? ", " : "") + slot;
        fields += (i ? ", " : "") + quoteIdent(mapKeyFields_[i]);
        on += (i ? " AND " : "") + meta_.ref() + "." + quoteIdent(mapKeyFields_[i]) + " = m." + slot;
    }
    conn.exec("CREATE TEMP TABLE " + quoteIdent(snapshotTable_) + " (" + defs + ")");
    conn.exec("INSERT INTO " + mapRef_ + " (" + slots + ") SELECT " + fields + " FROM " + meta_.ref() + " ORDER BY " + fields);
    keyFrom_ = mapRef_ + " AS m JOIN " + meta_.ref() + " ON " + on;
    keyWhere_ = "(" + fields + ") = (SELECT " + slots + " FROM " + mapRef_ + " WHERE " + quoteIdent("ledgerly$k") + " = ?)";
    return "m." + quoteIdent("ledgerly$k");
}

void Recordset::noteMappedKey(std::int64_t key, const std::vector<Variant>& row) {
    // A mapped row added or given a new key: the map follows its key fields.
    std::string slots, marks;
    for (size_t i = 0; i < mapKeyFields_.size(); ++i) {
        slots += ", " + quoteIdent("ledgerly$p" + std::to_string(i + 1));
        marks += ", ?";
    }
    Statement st(db_->connection(), "INSERT OR REPLACE INTO " + mapRef_ + " (" + quoteIdent("ledgerly$k") + slots +
                                        ") VALUES (?" + marks + ")");
    if (key > 0) st.bindInt(1, key);
    for (size_t i = 0; i < mapKeyFields_.size(); ++i) {
        int col = -1;
        for (size_t c = 0; c < columns_.size(); ++c)
            if (schema::iequals(columns_[c].name, mapKeyFields_[i])) col = static_cast<int>(c);
        st.bind(static_cast<int>(i) + 2, col < 0 ? Variant() : row[static_cast<size_t>(col)]);
    }
    st.step();
}

void Recordset::openQuery(const std::string& sqlText) {
    sql::Parsed parsed = sql::parse(sqlText);
    auto kind = parsed.kind();
    if (kind != sql::StatementKind::Select && kind != sql::StatementKind::Union &&
        kind != sql::StatementKind::Crosstab)
        throw Error(err::InvalidOperation,
                    "Invalid operation: an action query or data-definition statement cannot be opened as a recordset.");
    auto catalog = db_->catalog();
    sql::EmittedSelect em = sql::emitSelect(parsed, *catalog);
    type_ = dbOpenDynaset;
    Connection& conn = db_->connection();
    TableMeta base;
    if (!em.baseTable.empty()) base = db_->tableMeta(em.baseTable);
    if (!em.baseTable.empty() && !base.rowid.empty()) {
        meta_ = std::move(base);
        updatable_ = !meta_.system && !db_->readOnly();
        for (const auto& oc : em.columns) {
            int base = oc.baseColumn.empty() ? -1 : meta_.columnIndex(oc.baseColumn);
            Column c{oc.name, oc.type, 0, base};
            if (base >= 0) {
                c.type = meta_.columns[static_cast<size_t>(base)].type;
                c.size = meta_.columns[static_cast<size_t>(base)].size;
            }
            columns_.push_back(c);
        }
        rowidExpr_ = em.baseAlias + "." + meta_.rowid;
        keyWhere_ = meta_.rowid + " = ?";
        std::string where = em.whereClause.empty() ? "" : " WHERE " + em.whereClause;
        keysSql_ = "SELECT " + rowidExpr_ + " FROM " + em.fromClause + where +
                   (em.orderBy.empty() ? "" : " ORDER BY " + em.orderBy);
        pageSql_ = "SELECT " + rowidExpr_ + ", " + em.selectList + " FROM " + em.fromClause + " WHERE " + rowidExpr_ +
                   " IN (" + placeholders(kPageRows) + ")";
        rangeSql_ = "SELECT " + rowidExpr_ + ", " + em.selectList + " FROM " + em.fromClause + " WHERE " + rowidExpr_ +
                    " BETWEEN ? AND ?";
        rowSql_ = "SELECT " + rowidExpr_ + ", " + em.selectList + " FROM " + em.fromClause + " WHERE " + rowidExpr_ + " = ?";
        findBase_ = "SELECT " + rowidExpr_ + " FROM " + em.fromClause + " WHERE " +
                    (em.whereClause.empty() ? "" : "(" + em.whereClause + ") AND ");
        findSource_ = schema::sourceInfo(meta_);
        findSource_.sqliteRef = em.baseAlias;
        return;
    }
    // Anything else is read once into a temporary table: a read-only result
    // whose row ids are its row numbers.
    updatable_ = false;
    snapshotTable_ = "ledgerly_result_" + std::to_string(++snapshotCounter);
    std::string ref = "temp." + quoteIdent(snapshotTable_);
    // The rows' own key column: no output column (one may be called rowid) hides it.
    const std::string key = quoteIdent("ledgerly$row");
    std::set<std::string> used{"ledgerly$row"};
    std::string defs = key + " INTEGER PRIMARY KEY", cols;
    findSource_ = {};
    findSource_.name = snapshotTable_;
    findSource_.sqliteRef = ref;
    for (const auto& oc : em.columns) {
        std::string name = oc.name;
        std::string low = name;
        for (auto& ch : low) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        for (int n = 1; !used.insert(low).second; ++n) {
            name = oc.name + "_" + std::to_string(n);
            low = name;
            for (auto& ch : low) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        const FieldTypeInfo* info = fieldTypeInfo(oc.type);
        bool text = info && info->storage == Storage::Text;
        defs += ", " + quoteIdent(name) + (text ? " TEXT COLLATE NOCASE" : "");
        cols += ", " + quoteIdent(name);
        columns_.push_back({oc.name, oc.type, info ? info->fixedSize : 0, -1});
        findSource_.columns.push_back({name, oc.type});
    }
    conn.exec("CREATE TEMP TABLE " + quoteIdent(snapshotTable_) + " (" + defs + ")");
    try {
        conn.exec("INSERT INTO " + ref + " (" + cols.substr(2) + ") " + em.sql);
    } catch (...) {
        conn.exec("DROP TABLE IF EXISTS " + ref);
        snapshotTable_.clear();
        throw;
    }
    keyedStatements(key, ref, cols);
}

void Recordset::keyedStatements(const std::string& key, const std::string& table, const std::string& cols) {
    rowidExpr_ = key;
    keysSql_ = "SELECT " + key + " FROM " + table + " ORDER BY " + key;
    keysAnyOrderSql_ = "SELECT " + key + " FROM " + table;
    pageSql_ = "SELECT " + key + cols + " FROM " + table + " WHERE " + key + " IN (" + placeholders(kPageRows) + ")";
    rangeSql_ = mapRef_.empty() ? "SELECT " + key + cols + " FROM " + table + " WHERE " + key + " BETWEEN ? AND ?" : "";
    rowSql_ = "SELECT " + key + cols + " FROM " + table + " WHERE " + key + " = ?";
    findBase_ = "SELECT " + key + " FROM " + table + " WHERE ";
}

void Recordset::loadKeys() {
    // Rows read from now on are as of this version: a later change elsewhere shows at the next refresh.
    seenDataVersion_ = db_->connection().dataVersion();
    seenChanges_ = db_->connection().totalChanges();
    std::vector<std::int64_t> keys;
    keys.reserve(std::max<std::size_t>(keys_.keys().size(), 1024));
    if (!keysAnyOrderSql_.empty()) {
        // In key order: SQLite may read the keys from its smallest index,
        // many times fewer pages than the table, and they are sorted here.
        Statement st(db_->connection(), keysAnyOrderSql_);
        while (st.step()) keys.push_back(st.getInt(0));
        if (!std::is_sorted(keys.begin(), keys.end())) sortKeys(keys);
    } else {
        Statement st(db_->connection(), keysSql_);
        while (st.step()) keys.push_back(st.getInt(0));
    }
    keys_.assign(std::move(keys));
    seenRollbacks_ = db_->connection().rollbackCount();
    singleRowIndex_ = lastRowIndex_ = -1;
    pages_.clear();
    pageOrder_.clear();
    findCache_.valid = false;
    cur_ = keys_.liveCount() > 0 ? 0 : -1;
}

void Recordset::buildFields() {
    std::vector<std::shared_ptr<Field>> fields;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        auto f = std::make_shared<Field>(c.name, c.type, c.size);
        f->recordset_ = weak_from_this();
        f->ofRecordset_ = true;
        f->column_ = static_cast<int>(i);
        f->ordinal_ = static_cast<int>(i);
        f->precision_ = f->scale_ = 0;
        if (c.baseColumn >= 0) {
            const ColumnMeta& m = meta_.columns[static_cast<size_t>(c.baseColumn)];
            f->precision_ = m.precision;
            f->scale_ = m.scale;
            f->required_ = m.required;
            f->allowZeroLength_ = m.allowZeroLength;
            f->sourceTable_ = meta_.name;
            f->sourceField_ = m.name;
            if (m.autoIncrement) f->attributes_ |= dbAutoIncrField;
            if (updatable_ && !m.autoIncrement) f->attributes_ |= dbUpdatableField;
        }
        f->attributes_ |= (c.type == dbText || c.type == dbChar) ? dbVariableField : dbFixedField;
        f->locked_ = true;
        fields.push_back(std::move(f));
    }
    fields_.reset(std::move(fields));
}

Recordset::~Recordset() {
    try {
        if (!snapshotTable_.empty() && db_ && db_->IsOpen())
            db_->connection().exec("DROP TABLE IF EXISTS temp." + quoteIdent(snapshotTable_));
    } catch (...) {
    }
}

void Recordset::Close() {
    if (!open_) return;
    if (!snapshotTable_.empty() && db_->IsOpen())
        db_->connection().exec("DROP TABLE IF EXISTS temp." + quoteIdent(snapshotTable_));
    snapshotTable_.clear();
    keys_.clear();
    pages_.clear();
    pageOrder_.clear();
    open_ = false;
}

std::shared_ptr<Recordset> Recordset::OpenRecordset() {
    requireOpen();
    auto rs = open(db_, source_, requestedType_ ? requestedType_ : type_);
    if (!indexName_.empty()) {
        // SetIndex keeps the current record; a fresh recordset starts on its first.
        rs->SetIndex(indexName_);
        if (rs->keys_.liveCount() > 0) rs->cur_ = rs->keys_.nextLive(-1);
    }
    return rs;
}

// ------------------------------------------------------------ state checks

void Recordset::requireOpen() const {
    if (!open_ || !db_->IsOpen()) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
}

void Recordset::requireCurrent() const {
    requireOpen();
    if (cur_ < 0 || cur_ >= keys_.size()) noCurrentRecord();
    if (keys_.isDeleted(cur_)) recordDeleted();
}

void Recordset::requireUpdatable() const {
    requireOpen();
    if (!updatable_) {
        if (db_ && db_->converted()) db_->refuseWrite();
        throw Error(err::ReadOnly, "Cannot update. Database or object is read-only.");
    }
}

void Recordset::leaveEdit() {
    editMode_ = dbEditNone;
    buffer_.clear();
    changed_.clear();
    editOriginal_.clear();
    editRow_ = -1;
}

std::int64_t Recordset::giveFreshRowid(std::int64_t rowid) {
    // SQLite gives the id of a deleted last row to the next row added, and a
    // bookmark of the deleted row would find the new one. Move the new row to
    // an id this recordset never held, unless the id is a field of the table.
    Connection& conn = db_->connection();
    Statement key(conn, "SELECT count(*), total(pk = 1 AND upper(type) = 'INTEGER') FROM pragma_table_info(?1, ?2) WHERE pk > 0");
    key.bindText(1, meta_.sqliteName);
    key.bindText(2, meta_.schema);
    if (key.step() && key.getInt(0) == 1 && key.getInt(1) == 1) return rowid;
    const auto& keys = keys_.keys();
    std::int64_t fresh = *std::max_element(keys.begin(), keys.end());
    Statement top(conn, "SELECT max(" + meta_.rowid + ") FROM " + meta_.ref());
    if (top.step()) fresh = std::max(fresh, top.getInt(0));
    Statement move(conn, "UPDATE " + meta_.ref() + " SET " + meta_.rowid + " = ? WHERE " + meta_.rowid + " = ?");
    move.bindInt(1, fresh + 1);
    move.bindInt(2, rowid);
    move.step();
    return fresh + 1;
}

bool Recordset::writtenSince(std::int64_t changesWhenRead) {
    Connection& conn = db_->connection();
    if (conn.totalChanges() != changesWhenRead) return true;
    // Inside a transaction that holds the write lock no other connection can
    // commit: once the version was found unchanged in it, it stays so.
    const bool locked = conn.holdsWriteLock();
    if (locked && unchangedInTransaction_ == conn.beginCount()) return false;
    const bool changed = conn.dataVersion() != seenDataVersion_;
    if (locked && !changed) unchangedInTransaction_ = conn.beginCount();
    return changed;
}

bool Recordset::unchangedSince(std::int64_t index, const std::vector<Variant>& read) {
    // A row id names a record only until it is deleted: a row added later may
    // take it. Compare the stored fields with what was read before writing.
    Statement& st = db_->connection().cached(rowSql_);
    st.bindInt(1, keys_.key(index));
    bool found = false, same = true;
    try {
        found = st.step();
        for (size_t c = 0; found && c < columns_.size() && c < read.size(); ++c)
            if (columns_[c].baseColumn >= 0 && !(st.get(static_cast<int>(c) + 1, columns_[c].type) == read[c])) same = false;
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    if (!found) return false;
    if (same) return true;
    invalidateRow(index);
    throw Error(err::DataChanged, "Data has changed; operation stopped. Another user changed this record after it was read: "
                                  "read it again before you change it.");
}

// ----------------------------------------------------------------- position

long Recordset::RecordCount() const {
    requireOpen();
    const_cast<Recordset*>(this)->reorderIfNeeded();
    return static_cast<long>(keys_.liveCount());
}

// A record deleted through this recordset stays current until the next move,
// so a loop of Delete and MoveNext runs to the end without an error.
bool Recordset::BOF() const {
    requireOpen();
    const_cast<Recordset*>(this)->reorderIfNeeded();
    return cur_ < 0 || keys_.size() == 0 || (cur_ >= keys_.size() && keys_.liveCount() == 0);
}

bool Recordset::EOF_() const {
    requireOpen();
    const_cast<Recordset*>(this)->reorderIfNeeded();
    return cur_ >= keys_.size() || keys_.size() == 0 || (cur_ < 0 && keys_.liveCount() == 0);
}

void Recordset::reorderIfNeeded() {
    // A rollback undid changes this recordset may have cached: read again.
    if (db_->connection().rollbackCount() != seenRollbacks_) orderDirty_ = true;
    // Never while an edit is pending: the edit names its row by its index.
    if (!orderDirty_ || editMode_ == dbEditInProgress) return;
    orderDirty_ = false;
    std::int64_t key = (cur_ >= 0 && cur_ < keys_.size()) ? keys_.key(cur_) : 0;
    bool had = cur_ >= 0 && cur_ < keys_.size();
    bool atEnd = cur_ >= keys_.size();
    loadKeys();
    if (had) {
        std::int64_t i = keys_.find(key);
        cur_ = i >= 0 ? i : keys_.nextLive(-1);
    } else {
        cur_ = atEnd ? keys_.size() : -1;
    }
}

void Recordset::moveTo(std::int64_t index) {
    cur_ = index;
}

void Recordset::MoveFirst() {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    if (keys_.liveCount() == 0) noCurrentRecord();
    moveTo(keys_.nextLive(-1));
}

void Recordset::MoveLast() {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    if (keys_.liveCount() == 0) noCurrentRecord();
    moveTo(keys_.prevLive(keys_.size()));
}

void Recordset::MoveNext() {
    requireOpen();
    if (EOF_()) noCurrentRecord();
    leaveEdit();
    reorderIfNeeded();
    moveTo(keys_.nextLive(cur_));
}

void Recordset::MovePrevious() {
    requireOpen();
    if (BOF()) noCurrentRecord();
    leaveEdit();
    reorderIfNeeded();
    moveTo(keys_.prevLive(cur_));
}

void Recordset::Move(long rows) {
    requireOpen();
    if (rows == 0) {
        requireCurrent();
        return;
    }
    leaveEdit();
    reorderIfNeeded();
    std::int64_t from;
    if (cur_ < 0) from = -1;
    else if (cur_ >= keys_.size()) from = keys_.liveCount();
    else from = keys_.positionOf(cur_) - (keys_.isDeleted(cur_) && rows > 0 ? 1 : 0);
    std::int64_t target = from + rows;
    if (target < 0) moveTo(-1);
    else if (target >= keys_.liveCount()) moveTo(keys_.size());
    else moveTo(keys_.indexAt(target));
}

long Recordset::AbsolutePosition() const {
    requireOpen();
    const_cast<Recordset*>(this)->reorderIfNeeded();
    if (cur_ < 0 || cur_ >= keys_.size() || keys_.isDeleted(cur_)) return -1;
    return static_cast<long>(keys_.positionOf(cur_));
}

void Recordset::SetAbsolutePosition(long position) {
    requireOpen();
    if (position < 0 || position >= keys_.liveCount())
        throw Error(err::InvalidArgument, "Invalid argument: record position " + std::to_string(position) +
                                              " is outside the recordset (0 to " +
                                              std::to_string(keys_.liveCount() - 1) + ").");
    leaveEdit();
    reorderIfNeeded();
    moveTo(keys_.indexAt(position));
}

engine::Bookmark Recordset::Bookmark() const {
    requireCurrent();
    std::int64_t parts[2] = {cur_, keys_.key(cur_)};
    return engine::Bookmark(reinterpret_cast<const char*>(parts), sizeof parts);
}

void Recordset::SetBookmark(const engine::Bookmark& b) {
    requireOpen();
    std::int64_t parts[2];
    if (b.size() != sizeof parts) throw Error(err::BookmarkInvalid, "Not a valid bookmark.");
    std::memcpy(parts, b.data(), sizeof parts);
    leaveEdit();
    reorderIfNeeded();
    std::int64_t index = parts[0];
    if (index < 0 || index >= keys_.size() || keys_.key(index) != parts[1]) index = keys_.find(parts[1]);
    if (index < 0 || keys_.isDeleted(index)) throw Error(err::BookmarkInvalid, "Not a valid bookmark.");
    moveTo(index);
}

engine::Bookmark Recordset::LastModified() const {
    requireOpen();
    if (lastModified_ < 0) noCurrentRecord();
    std::int64_t index = const_cast<KeySet&>(keys_).find(lastModified_);
    if (index < 0) noCurrentRecord();
    std::int64_t parts[2] = {index, lastModified_};
    return engine::Bookmark(reinterpret_cast<const char*>(parts), sizeof parts);
}

// --------------------------------------------------------------- page cache

const std::vector<Variant>* Recordset::rowAtIndex(std::int64_t index) {
    if (index < 0 || index >= keys_.size() || keys_.isDeleted(index)) return nullptr;
    std::int64_t pageNo = index / kPageRows;
    auto it = pages_.find(pageNo);
    if (it == pages_.end()) {
        std::int64_t first = pageNo * kPageRows;
        std::int64_t count = std::min<std::int64_t>(kPageRows, keys_.size() - first);
        // Ascending ids close together are read by one range scan; others one by one.
        const std::int64_t lo = keys_.key(first), hi = keys_.key(first + count - 1);
        const bool range = !rangeSql_.empty() && keys_.sorted() && hi >= lo && hi - lo < 4 * kPageRows;
        Statement& st = db_->connection().cached(range ? rangeSql_ : pageSql_);
        if (range) {
            st.bindInt(1, lo);
            st.bindInt(2, hi);
        } else {
            for (int i = 0; i < kPageRows; ++i) st.bindInt(i + 1, keys_.key(first + (i < count ? i : 0)));
        }
        std::vector<std::pair<std::int64_t, std::vector<Variant>>> got;
        got.reserve(static_cast<size_t>(count));
        try {
            while (st.step()) {
                std::vector<Variant> row;
                row.reserve(columns_.size());
                for (size_t c = 0; c < columns_.size(); ++c) row.push_back(st.get(static_cast<int>(c) + 1, columns_[c].type));
                got.emplace_back(st.getInt(0), std::move(row));
            }
        } catch (...) {
            st.reset();
            throw;
        }
        st.reset();
        std::sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Page page;
        page.rows.resize(static_cast<size_t>(count));
        page.present.assign(static_cast<size_t>(count), 0);
        for (std::int64_t i = 0; i < count; ++i) {
            std::int64_t key = keys_.key(first + i);
            auto hit = std::lower_bound(got.begin(), got.end(), key, [](const auto& a, std::int64_t k) { return a.first < k; });
            if (hit != got.end() && hit->first == key) {
                page.rows[static_cast<size_t>(i)] = std::move(hit->second);
                page.present[static_cast<size_t>(i)] = 1;
            }
        }
        if (pages_.size() >= 32) {
            pages_.erase(pageOrder_.back());
            pageOrder_.pop_back();
        }
        it = pages_.emplace(pageNo, std::move(page)).first;
        pageOrder_.push_front(pageNo);
    } else if (pageOrder_.front() != pageNo) {
        pageOrder_.remove(pageNo);
        pageOrder_.push_front(pageNo);
    }
    size_t slot = static_cast<size_t>(index - pageNo * kPageRows);
    if (slot >= it->second.present.size() || !it->second.present[slot]) return nullptr;
    return &it->second.rows[slot];
}

void Recordset::followOwnConnection() {
    // A statement or another recordset of this connection changed rows: the
    // rows held are read again, so this recordset shows them as stored.
    const std::int64_t changes = db_->connection().totalChanges();
    if (changes == seenChanges_) return;
    seenChanges_ = changes;
    pages_.clear();
    pageOrder_.clear();
    singleRowIndex_ = -1;
    findCache_.valid = false;
}

const std::vector<Variant>* Recordset::currentRow() {
    if (cur_ < 0 || cur_ >= keys_.size() || keys_.isDeleted(cur_)) return nullptr;
    followOwnConnection();
    // Record-at-a-time walks read whole pages; a jump (MoveLast, a bookmark, a
    // seek) reads just the one row it lands on.
    bool cached = pages_.count(cur_ / kPageRows) > 0;
    bool sequential = lastRowIndex_ >= 0 && (cur_ == lastRowIndex_ + 1 || cur_ == lastRowIndex_ - 1);
    lastRowIndex_ = cur_;
    if (cached || sequential) return rowAtIndex(cur_);
    if (singleRowIndex_ == cur_) return &singleRow_;
    Statement& st = db_->connection().cached(rowSql_);
    st.bindInt(1, keys_.key(cur_));
    singleRow_.clear();
    singleRowIndex_ = -1;
    try {
        if (!st.step()) {
            st.reset();
            return nullptr;
        }
        for (size_t c = 0; c < columns_.size(); ++c) singleRow_.push_back(st.get(static_cast<int>(c) + 1, columns_[c].type));
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    singleRowIndex_ = cur_;
    return &singleRow_;
}

void Recordset::refreshCachedRow(std::int64_t index, const std::vector<size_t>& changed) {
    if (singleRowIndex_ == index) singleRowIndex_ = -1;
    // Calculated columns may depend on what changed: read the page again then.
    bool calculated = std::any_of(columns_.begin(), columns_.end(), [](const Column& c) { return c.baseColumn < 0; });
    auto it = pages_.find(index / kPageRows);
    if (it == pages_.end()) return;
    size_t slot = static_cast<size_t>(index % kPageRows);
    if (calculated || slot >= it->second.present.size() || !it->second.present[slot]) {
        invalidateRow(index);
        return;
    }
    for (size_t c : changed) it->second.rows[slot][c] = buffer_[c];
}

const std::vector<Variant>* Recordset::heldRow(std::int64_t index) const {
    if (singleRowIndex_ == index) return &singleRow_;
    auto it = pages_.find(index / kPageRows);
    if (it == pages_.end()) return nullptr;
    size_t slot = static_cast<size_t>(index % kPageRows);
    return slot < it->second.present.size() && it->second.present[slot] ? &it->second.rows[slot] : nullptr;
}

bool Recordset::placeKey(std::int64_t index) {
    if (successorSql_.empty()) return false;
    Statement& st = db_->connection().cached(successorSql_);
    st.bindInt(1, keys_.key(index));
    std::int64_t before = keys_.size();
    try {
        // A Null index field sorts outside the seek: read the order again then.
        if (!st.step() || st.getInt(1) != 0) {
            st.reset();
            return false;
        }
        if (!st.isNull(0)) before = keys_.find(st.getInt(0));
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    if (before < 0) return false;  // a row added elsewhere follows: not held here
    const std::int64_t to = keys_.move(index, before);
    if (to == index) return true;
    const std::int64_t lo = std::min(index, to), hi = std::max(index, to);
    auto shifted = [&](std::int64_t i) {
        if (i == index) return to;
        if (i < lo || i > hi) return i;
        return to > index ? i - 1 : i + 1;
    };
    // Rows held for the shifted places move with them; a page left with a
    // place whose row was not held is read again when needed.
    std::vector<std::pair<std::int64_t, std::optional<std::vector<Variant>>>> held;
    std::vector<std::int64_t> touched;
    for (auto& [pageNo, page] : pages_) {
        const std::int64_t first = pageNo * kPageRows;
        if (first > hi || first + static_cast<std::int64_t>(page.rows.size()) <= lo) continue;
        touched.push_back(pageNo);
        for (size_t slot = 0; slot < page.rows.size(); ++slot) {
            const std::int64_t i = first + static_cast<std::int64_t>(slot);
            if (i < lo || i > hi) continue;
            held.emplace_back(shifted(i), page.present[slot] ? std::optional(std::move(page.rows[slot])) : std::nullopt);
            page.present[slot] = 2;  // not filled yet
        }
    }
    for (auto& [i, row] : held) {
        auto it = pages_.find(i / kPageRows);
        if (it == pages_.end()) continue;
        const auto slot = static_cast<size_t>(i % kPageRows);
        it->second.present[slot] = row ? 1 : 0;
        if (row) it->second.rows[slot] = std::move(*row);
    }
    for (std::int64_t pageNo : touched) {
        const auto& present = pages_[pageNo].present;
        if (std::find(present.begin(), present.end(), 2) != present.end()) {
            pages_.erase(pageNo);
            pageOrder_.remove(pageNo);
        }
    }
    if (singleRowIndex_ >= 0) singleRowIndex_ = shifted(singleRowIndex_);
    lastRowIndex_ = -1;  // the next row read is a jump, not a walk
    cur_ = shifted(cur_);
    editRow_ = shifted(editRow_);
    return true;
}

void Recordset::invalidateRow(std::int64_t index) {
    if (singleRowIndex_ == index) singleRowIndex_ = -1;
    std::int64_t pageNo = index / kPageRows;
    if (pages_.erase(pageNo)) pageOrder_.remove(pageNo);
}

bool Recordset::RefreshIfChangedElsewhere() {
    requireOpen();
    std::int64_t version = db_->connection().dataVersion();
    bool changed = seenDataVersion_ >= 0 && version != seenDataVersion_;
    seenDataVersion_ = version;
    if (!changed) return false;
    seenChanges_ = db_->connection().totalChanges();
    pages_.clear();
    pageOrder_.clear();
    singleRowIndex_ = -1;
    findCache_.valid = false;
    return true;
}

const std::vector<Variant>* Recordset::RowAt(long position) {
    requireOpen();
    reorderIfNeeded();
    followOwnConnection();
    std::int64_t index = keys_.indexAt(position);
    return index < 0 ? nullptr : rowAtIndex(index);
}

// -------------------------------------------------------------- field values

Variant Recordset::currentValue(int column) const {
    requireOpen();
    if (editMode_ == dbEditNone) const_cast<Recordset*>(this)->reorderIfNeeded();
    auto c = static_cast<size_t>(column);
    if (editMode_ == dbEditAdd || (editMode_ == dbEditInProgress && changed_[c])) return buffer_[c];
    requireCurrent();
    const auto* row = const_cast<Recordset*>(this)->currentRow();
    if (!row) recordDeleted();
    return (*row)[c];
}

Variant Recordset::convertForColumn(int column, const Variant& v) const {
    const Column& c = columns_[static_cast<size_t>(column)];
    const ColumnMeta* base = c.baseColumn >= 0 ? &meta_.columns[static_cast<size_t>(c.baseColumn)] : nullptr;
    Variant out;
    try {
        // A Decimal with a recorded scale keeps that many places.
        if (base && base->type == dbDecimal && base->precision > 0) out = v.toDecimal(base->precision, base->scale);
        else out = v.convertTo(c.type);
    } catch (const Error& e) {
        throw Error(e.number(), e.description() + " The value '" + v.toText() + "' does not fit field '" + c.name + "'.");
    }
    if ((c.type == dbText || c.type == dbChar) && c.size > 0 && !out.isNull() && charCount(out.bytes()) > static_cast<size_t>(c.size))
        throw Error(err::FieldTooSmall, "The field '" + c.name + "' is too small to accept the amount of data you "
                                        "attempted to add: it holds at most " + std::to_string(c.size) + " characters.");
    return out;
}

void Recordset::setBufferValue(int column, const Variant& v) {
    requireOpen();
    if (editMode_ == dbEditNone) throw Error(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    const Column& c = columns_[static_cast<size_t>(column)];
    if (c.baseColumn < 0 || meta_.columns[static_cast<size_t>(c.baseColumn)].generated)
        throw Error(3164, "Field '" + c.name + "' cannot be updated: it is calculated.");
    if (meta_.columns[static_cast<size_t>(c.baseColumn)].autoIncrement)
        throw Error(3164, "Field '" + c.name + "' cannot be updated: its numbers are given by the engine.");
    buffer_[static_cast<size_t>(column)] = convertForColumn(column, v);
    changed_[static_cast<size_t>(column)] = true;
}

// ------------------------------------------------------------------ editing

void Recordset::AddNew() {
    requireUpdatable();
    leaveEdit();
    editMode_ = dbEditAdd;
    buffer_.assign(columns_.size(), Variant());
    changed_.assign(columns_.size(), false);
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].type == dbBoolean && columns_[i].baseColumn >= 0 &&
            !meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].generated)
            buffer_[i] = Variant::boolean(false);
}

void Recordset::Edit() {
    requireUpdatable();
    reorderIfNeeded();
    requireCurrent();
    // An edit starts from the record as it is now (currentRow follows this
    // connection's own writes); a change made elsewhere is caught by Update.
    const std::vector<Variant>* row = currentRow();
    if (!row) recordDeleted();
    std::vector<Variant> original = *row;
    leaveEdit();
    editMode_ = dbEditInProgress;
    editRow_ = cur_;
    editOriginal_ = std::move(original);
    editChanges_ = db_->connection().totalChanges();
    buffer_.assign(columns_.size(), Variant());
    changed_.assign(columns_.size(), false);
}

void Recordset::CancelUpdate() {
    requireOpen();
    if (editMode_ == dbEditNone) throw Error(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    leaveEdit();
}

void Recordset::checkRecord() const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (c.baseColumn < 0) continue;
        const ColumnMeta& m = meta_.columns[static_cast<size_t>(c.baseColumn)];
        bool relevant = editMode_ == dbEditAdd || changed_[i];
        if (!relevant || m.autoIncrement) continue;
        const Variant& v = buffer_[i];
        if (v.isNull() && m.required)
            throw Error(err::RequiredMissing, "The field '" + meta_.name + "." + m.name +
                                                  "' cannot contain a Null value because its Required property is "
                                                  "set to True. Enter a value in this field.");
        if (v.isText() && v.bytes().empty() && !m.allowZeroLength)
            throw Error(err::ZeroLength, "Field '" + meta_.name + "." + m.name + "' cannot be a zero-length string.");
    }
    for (const auto& ix : meta_.indexes) {
        if (!ix.primary) continue;
        for (const auto& f : ix.fields) {
            int col = -1;
            for (size_t i = 0; i < columns_.size(); ++i)
                if (columns_[i].baseColumn >= 0 && schema::iequals(meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].name, f.name))
                    col = static_cast<int>(i);
            if (col < 0) continue;
            const ColumnMeta& m = meta_.columns[static_cast<size_t>(columns_[static_cast<size_t>(col)].baseColumn)];
            if (m.autoIncrement) continue;
            bool relevant = editMode_ == dbEditAdd || changed_[static_cast<size_t>(col)];
            if (relevant && buffer_[static_cast<size_t>(col)].isNull())
                throw Error(err::NullInPrimaryKey, "Index or primary key cannot contain a Null value: enter a value in field '" + m.name + "'.");
        }
    }
}

void Recordset::Update() {
    requireUpdatable();
    if (editMode_ == dbEditNone) throw Error(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    checkRecord();
    Connection& conn = db_->connection();
    std::vector<size_t> set;
    for (size_t i = 0; i < columns_.size(); ++i)
        if (changed_[i] || (editMode_ == dbEditAdd && columns_[i].type == dbBoolean && columns_[i].baseColumn >= 0 &&
                            !meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].generated))
            set.push_back(i);
    bool touchesIndex = false;
    if (!indexName_.empty())
        if (const IndexMeta* ix = meta_.index(indexName_))
            for (size_t i : set)
                for (const auto& f : ix->fields)
                    if (schema::iequals(f.name, meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].name)) touchesIndex = true;
    if (editMode_ == dbEditAdd) {
        // A record loop sets the same fields every time: the text is made once.
        if (set != insertColumns_ || insertSql_.empty()) {
            const std::string ref = meta_.ref();
            insertColumns_ = set;
            if (set.empty()) {
                insertSql_ = "INSERT INTO " + ref + " DEFAULT VALUES";
            } else {
                std::string names;
                for (size_t i : set)
                    names += (names.empty() ? "" : ", ") + quoteIdent(meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].name);
                insertSql_ = "INSERT INTO " + ref + " (" + names + ") VALUES (" + placeholders(static_cast<int>(set.size())) + ")";
            }
        }
        Statement& st = conn.cached(insertSql_);
        int p = 1;
        for (size_t i : set) st.bindKept(p++, buffer_[i]);
        st.step();
        st.reset();
        std::int64_t rowid = conn.lastInsertRowid();
        if (!mapRef_.empty()) {
            noteMappedKey(0, buffer_);
            rowid = conn.lastInsertRowid();
        } else if (!meta_.withoutRowid && keys_.find(rowid) >= 0) {
            rowid = giveFreshRowid(rowid);
        }
        seenChanges_ = conn.totalChanges();
        if (meta_.withoutRowid && mapRef_.empty()) {
            // Keyed by its integer primary key: the new row's key is the value given.
            for (size_t i = 0; i < columns_.size(); ++i)
                if (quoteIdent(meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].name) == meta_.rowid)
                    rowid = buffer_[i].toInt64();
        }
        keys_.append(rowid);
        invalidateRow(keys_.size() - 1);  // the last page grows by one row
        findCache_.valid = false;
        lastModified_ = rowid;
        if (!indexName_.empty() && !orderDirty_ && !placeKey(keys_.size() - 1)) orderDirty_ = true;
        leaveEdit();
        return;
    }
    if (!set.empty()) {
        if (writtenSince(editChanges_)) {
            std::vector<Variant> original = editOriginal_;
            bool present = false;
            try {
                present = unchangedSince(editRow_, original);
            } catch (const Error&) {
                leaveEdit();
                throw;
            }
            if (!present) {
                leaveEdit();
                recordDeleted();
            }
        }
        std::string assigns;
        for (size_t i : set)
            assigns += (assigns.empty() ? "" : ", ") + quoteIdent(meta_.columns[static_cast<size_t>(columns_[i].baseColumn)].name) + " = ?";
        Statement& st = conn.cached("UPDATE " + meta_.ref() + " SET " + assigns + " WHERE " + keyWhere_);
        int p = 1;
        for (size_t i : set) st.bind(p++, buffer_[i]);
        st.bindInt(p, keys_.key(editRow_));
        st.step();
        st.reset();
        seenChanges_ = conn.totalChanges();
        if (conn.changes() == 0) {
            leaveEdit();
            recordDeleted();
        }
        if (!mapRef_.empty()) {
            std::vector<Variant> row = editOriginal_;
            for (size_t i : set) row[i] = buffer_[i];
            noteMappedKey(keys_.key(editRow_), row);
        }
        refreshCachedRow(editRow_, set);
        findCache_.valid = false;
        if (touchesIndex && !orderDirty_ && !placeKey(editRow_)) orderDirty_ = true;
    }
    lastModified_ = keys_.key(editRow_);
    leaveEdit();
}

void Recordset::Delete() {
    requireUpdatable();
    requireCurrent();
    leaveEdit();
    Connection& conn = db_->connection();
    if (writtenSince(seenChanges_))
        if (const std::vector<Variant>* held = heldRow(cur_)) {
            std::vector<Variant> read = *held;
            unchangedSince(cur_, read);  // a row already gone is found by the delete
        }
    Statement& st = conn.cached("DELETE FROM " + meta_.ref() + " WHERE " + keyWhere_);
    st.bindInt(1, keys_.key(cur_));
    st.step();
    st.reset();
    seenChanges_ = conn.totalChanges();
    bool gone = conn.changes() == 0;
    keys_.markDeleted(cur_);
    findCache_.valid = false;
    if (gone) recordDeleted();
}

// -------------------------------------------------------------- find & seek

std::string Recordset::criteriaSql(std::string_view criteria) const {
    auto catalog = db_->catalog();
    return sql::emitCondition(criteria, findSource_, catalog.get());
}

bool Recordset::findFrom(std::string_view criteria, std::int64_t start, bool forward) {
    std::string cond = criteriaSql(criteria);
    Connection& conn = db_->connection();
    if (start < 0 || start >= keys_.size()) return false;
    if (keys_.sorted()) {
        std::string sqlText = findBase_ + "(" + cond + ") AND " + rowidExpr_ + (forward ? " >= ?" : " <= ?") +
                              " ORDER BY " + rowidExpr_ + (forward ? "" : " DESC") + " LIMIT 1";
        std::int64_t bound = keys_.key(start);
        for (;;) {
            Statement& st = conn.cached(sqlText);
            st.bindInt(1, bound);
            if (!st.step()) {
                st.reset();
                return false;
            }
            std::int64_t key = st.getInt(0);
            st.reset();
            std::int64_t index = keys_.find(key);
            if (index >= 0 && !keys_.isDeleted(index)) {
                cur_ = index;
                return true;
            }
            // A row added by someone else is not part of this recordset.
            bound = forward ? key + 1 : key - 1;
        }
    }
    // Other connections' commits change the data version; this connection's own
    // writes change its count of changes.
    std::int64_t version = conn.dataVersion() * 1000003 + conn.totalChanges();
    if (!findCache_.valid || findCache_.criteria != criteria || findCache_.version != version) {
        std::vector<std::int64_t> hits;
        Statement st(conn, findBase_ + "(" + cond + ")");
        while (st.step()) hits.push_back(st.getInt(0));
        std::sort(hits.begin(), hits.end());
        findCache_ = {true, std::string(criteria), version, std::move(hits)};
    }
    const auto& hits = findCache_.hits;
    for (std::int64_t i = start; i >= 0 && i < keys_.size(); i += forward ? 1 : -1) {
        if (keys_.isDeleted(i)) continue;
        if (std::binary_search(hits.begin(), hits.end(), keys_.key(i))) {
            cur_ = i;
            return true;
        }
    }
    return false;
}

void Recordset::FindFirst(std::string_view criteria) {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    noMatch_ = !findFrom(criteria, 0, true);
}

void Recordset::FindLast(std::string_view criteria) {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    noMatch_ = !findFrom(criteria, keys_.size() - 1, false);
}

void Recordset::FindNext(std::string_view criteria) {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    noMatch_ = !findFrom(criteria, cur_ < 0 ? 0 : cur_ + 1, true);
}

void Recordset::FindPrevious(std::string_view criteria) {
    requireOpen();
    leaveEdit();
    reorderIfNeeded();
    noMatch_ = !findFrom(criteria, cur_ >= keys_.size() ? keys_.size() - 1 : cur_ - 1, false);
}

void Recordset::SetIndex(std::string_view name) {
    requireOpen();
    if (type_ != dbOpenTable)
        throw Error(err::OperationNotSupported, "Operation is not supported for this type of object: only table-type recordsets have a current index.");
    std::string n = trim(name);
    const IndexMeta* ix = nullptr;
    if (!n.empty()) {
        // Indexes may have been made since the recordset was opened.
        if (!meta_.index(n)) meta_.indexes = db_->tableMeta(meta_.name).indexes;
        ix = meta_.index(n);
        if (!ix) throw Error(err::NoSuchIndex, "'" + n + "' isn't an index in table '" + meta_.name + "'.");
    }
    leaveEdit();
    std::int64_t key = 0;
    bool had = cur_ >= 0 && cur_ < keys_.size() && !keys_.isDeleted(cur_);
    if (had) key = keys_.key(cur_);
    successorSql_.clear();
    if (!ix) {
        keysSql_ = "SELECT " + rowidExpr_ + " FROM " + keyFrom_ + " ORDER BY " + rowidExpr_;
        keysAnyOrderSql_ = "SELECT " + rowidExpr_ + " FROM " + keyFrom_;
        indexName_.clear();
    } else {
        std::string order;
        for (const auto& f : ix->fields) order += quoteIdent(f.name) + (f.descending ? " DESC, " : ", ");
        keysSql_ = "SELECT " + rowidExpr_ + " FROM " + keyFrom_ + " ORDER BY " + order + rowidExpr_;
        keysAnyOrderSql_.clear();
        indexName_ = ix->name;
        const bool ascending = std::none_of(ix->fields.begin(), ix->fields.end(), [](const auto& f) { return f.descending; });
        if (ascending && mapRef_.empty()) {
            // (b.f1, b.f2, b.rowid) > (a.f1, a.f2, a.rowid): a range seek on the index.
            std::string left, right, order, nulls;
            for (const auto& f : ix->fields) {
                left += "b." + quoteIdent(f.name) + ", ";
                right += "a." + quoteIdent(f.name) + ", ";
                nulls += (nulls.empty() ? "" : " OR ") + ("a." + quoteIdent(f.name)) + " IS NULL";
            }
            successorSql_ = "SELECT (SELECT b." + rowidExpr_ + " FROM " + keyFrom_ + " AS b WHERE (" + left + "b." +
                            rowidExpr_ + ") > (" + right + "a." + rowidExpr_ + ") ORDER BY " + left + "b." + rowidExpr_ +
                            " LIMIT 1), " + nulls + " FROM " + keyFrom_ + " AS a WHERE a." + rowidExpr_ + " = ?1";
        }
    }
    orderDirty_ = false;
    loadKeys();
    if (had) {
        std::int64_t i = keys_.find(key);
        if (i >= 0) cur_ = i;
    }
}

void Recordset::Seek(std::string_view comparison, const std::vector<Variant>& keys) {
    requireOpen();
    if (type_ != dbOpenTable)
        throw Error(err::OperationNotSupported, "Operation is not supported for this type of object: Seek needs a table-type recordset.");
    if (indexName_.empty()) throw Error(3019, "Operation invalid without a current index.");
    const IndexMeta* ix = meta_.index(indexName_);
    if (!ix) throw Error(err::NoSuchIndex, "'" + indexName_ + "' isn't an index in table '" + meta_.name + "'.");
    std::string op = trim(comparison);
    if (op != "=" && op != ">=" && op != ">" && op != "<=" && op != "<")
        throw Error(err::InvalidArgument, "Invalid argument: Seek compares with =, >=, >, <= or <, not '" + op + "'.");
    if (keys.empty() || keys.size() > ix->fields.size())
        throw Error(err::InvalidArgument, "Invalid argument: index '" + ix->name + "' has " +
                                              std::to_string(ix->fields.size()) + " field(s); " +
                                              std::to_string(keys.size()) + " key value(s) were given.");
    leaveEdit();
    reorderIfNeeded();
    std::vector<Variant> converted;
    for (size_t i = 0; i < keys.size(); ++i) {
        int col = meta_.columnIndex(ix->fields[i].name);
        int type = col >= 0 ? meta_.columns[static_cast<size_t>(col)].type : 0;
        try {
            converted.push_back(keys[i].convertTo(type));
        } catch (const Error&) {
            throw Error(err::TypeMismatch, "Data type mismatch in criteria expression: '" + keys[i].toText() +
                                               "' is no value for field '" + ix->fields[i].name + "'.");
        }
    }
    bool backward = op[0] == '<';
    // The keys compare in index order: a descending field counts backwards.
    auto name = [&](size_t i) { return quoteIdent(ix->fields[i].name); };
    auto param = [](size_t i) { return "?" + std::to_string(i + 1); };
    std::string where;
    if (op == "=") {
        for (size_t i = 0; i < converted.size(); ++i) {
            if (!where.empty()) where += " AND ";
            where += converted[i].isNull() ? name(i) + " IS NULL" : name(i) + " = " + param(i);
        }
    } else {
        bool inclusive = op.size() == 2;
        std::string any;
        for (size_t i = 0; i < converted.size(); ++i) {
            std::string part;
            for (size_t j = 0; j < i; ++j) part += name(j) + " = " + param(j) + " AND ";
            bool greater = !backward != ix->fields[i].descending;
            part += name(i) + (greater ? " > " : " < ") + param(i);
            any += (any.empty() ? "(" : " OR (") + part + ")";
        }
        if (inclusive) {
            std::string equal;
            for (size_t i = 0; i < converted.size(); ++i) equal += (i ? " AND " : "") + name(i) + " = " + param(i);
            any += " OR (" + equal + ")";
        }
        where = "(" + any + ")";
    }
    std::string order;
    for (const auto& f : ix->fields) order += quoteIdent(f.name) + ((f.descending != backward) ? " DESC, " : ", ");
    order += rowidExpr_ + (backward ? " DESC" : "");
    Statement& st = db_->connection().cached("SELECT " + rowidExpr_ + " FROM " + keyFrom_ + " WHERE " + where + " ORDER BY " +
                                             order + " LIMIT 1 OFFSET ?" + std::to_string(converted.size() + 1));
    // Rows another connection added since the keyset was read are not part of
    // this recordset: step over them to the next candidate.
    std::int64_t index = -1;
    for (std::int64_t skip = 0; index < 0; ++skip) {
        for (size_t i = 0; i < converted.size(); ++i) st.bind(static_cast<int>(i) + 1, converted[i]);
        st.bindInt(static_cast<int>(converted.size()) + 1, skip);
        bool found = st.step();
        std::int64_t key = found ? st.getInt(0) : 0;
        st.reset();
        if (!found) break;
        index = keys_.find(key);
        if (index >= 0 && keys_.isDeleted(index)) index = -1;
    }
    noMatch_ = index < 0;
    if (!noMatch_) cur_ = index;
}

}  // namespace engine
