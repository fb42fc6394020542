#pragma once
// A recordset holds the row ids of its rows in order (a keyset) and reads the
// rows themselves a page at a time, so its record count is exact at once and a
// million-row table opens in a fraction of a second.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/dao.h"
#include "engine/keyset.h"
#include "engine/schema.h"
#include "engine/sql/catalog.h"

namespace engine {

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    ~Recordset();

    // dbOpenTable, dbOpenDynaset or dbOpenSnapshot (a read-only result).
    int Type() const { return type_; }
    const std::string& Name() const { return name_; }
    bool Updatable() const { return updatable_; }
    // Exact at once; rows deleted through this recordset no longer count.
    long RecordCount() const;

    bool BOF() const;
    bool EOF_() const;  // "EOF" is a macro of the C library
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(long rows);

    // Zero-based position of the current record; -1 when there is none.
    long AbsolutePosition() const;
    // Out of range: error 3001, and the position stays.
    void SetAbsolutePosition(long position);

    engine::Bookmark Bookmark() const;          // 3021 without a current record
    void SetBookmark(const engine::Bookmark& b);  // 3159 for a bookmark of no row here
    engine::Bookmark LastModified() const;

    // Criteria in the dialect's expression language. On no match NoMatch is
    // True and the current record stays where it was.
    void FindFirst(std::string_view criteria);
    void FindLast(std::string_view criteria);
    void FindNext(std::string_view criteria);
    void FindPrevious(std::string_view criteria);
    bool NoMatch() const { return noMatch_; }

    // Table-type recordsets: the current index ("" for natural order); the
    // order follows at once and the current record is kept.
    const std::string& Index() const { return indexName_; }
    void SetIndex(std::string_view name);
    // Comparison "=", ">=", ">", "<=" or "<" and one key per index field (or
    // fewer); keys are converted to the fields' types first.
    void Seek(std::string_view comparison, const std::vector<Variant>& keys);
    void Seek(std::string_view comparison, const Variant& k1) { Seek(comparison, std::vector<Variant>{k1}); }
    void Seek(std::string_view comparison, const Variant& k1, const Variant& k2) {
        Seek(comparison, std::vector<Variant>{k1, k2});
    }
    void Seek(std::string_view comparison, const Variant& k1, const Variant& k2, const Variant& k3) {
        Seek(comparison, std::vector<Variant>{k1, k2, k3});
    }

    void AddNew();
    void Edit();
    // Writes the edit buffer: 3314 Required, 3315 empty text, 3022 duplicate key.
    void Update();
    void CancelUpdate();
    void Delete();
    int EditMode() const { return editMode_; }

    FieldCollection& Fields() { return fields_; }
    Field& Fields(std::string_view name) { return fields_[name]; }
    Field& Fields(int i) { return fields_[i]; }

    // A fresh recordset on the same source.
    std::shared_ptr<Recordset> OpenRecordset();
    void Close();
    bool IsOpen() const { return open_; }

    // Rows by position without moving, for grids: nullptr for a row deleted
    // through this recordset or by anyone else. Rows come from a page cache.
    const std::vector<Variant>* RowAt(long position);
    // Drops cached rows when another connection committed changes since the
    // last look; true when it did. Grids call it before they paint.
    bool RefreshIfChangedElsewhere();

    // For the engine's own classes.
    Variant currentValue(int column) const;
    void setBufferValue(int column, const Variant& v);
    static std::shared_ptr<Recordset> open(const std::shared_ptr<Database>& db, std::string_view source, int type);

private:
    struct Column {
        std::string name;
        int type = 0;
        int size = 0;
        int baseColumn = -1;  // column of the base table, -1 for an expression
    };
    struct Page {
        std::vector<std::vector<Variant>> rows;  // by slot in the page
        std::vector<std::uint8_t> present;
    };

    Recordset() = default;
    void openTable(const std::string& table);
    void openQuery(const std::string& sqlText);
    // The statements that read one table's rows by its key (`cols` starts with ", ").
    void keyedStatements(const std::string& key, const std::string& table, const std::string& cols);
    // A key map for a table without integer row ids: the key expression it gives.
    std::string openKeyMap();
    void noteMappedKey(std::int64_t key, const std::vector<Variant>& row);  // key 0: a new row
    void loadKeys();
    void buildFields();
    void requireOpen() const;
    void requireCurrent() const;
    void requireUpdatable() const;
    void leaveEdit();
    void moveTo(std::int64_t index);
    void reorderIfNeeded();
    const std::vector<Variant>* rowAtIndex(std::int64_t index);
    const std::vector<Variant>* currentRow();
    void invalidateRow(std::int64_t index);
    // Moves the key at `index`, whose index fields were written, to its place
    // in the current index's order; false when the order must be read again.
    bool placeKey(std::int64_t index);
    void followOwnConnection();
    // The row at `index` as last read, without reading it; nullptr when not held.
    const std::vector<Variant>* heldRow(std::int64_t index) const;
    // Whether anything was written since rows were read when this connection's
    // change count was `changesWhenRead`.
    bool writtenSince(std::int64_t changesWhenRead);
    // False when the row is gone; 3197 when it no longer holds what was `read`.
    bool unchangedSince(std::int64_t index, const std::vector<Variant>& read);
    // The id for a row just added that took an id this recordset holds.
    std::int64_t giveFreshRowid(std::int64_t rowid);
    void refreshCachedRow(std::int64_t index, const std::vector<std::size_t>& changed);
    bool findFrom(std::string_view criteria, std::int64_t start, bool forward);
    std::string criteriaSql(std::string_view criteria) const;
    Variant convertForColumn(int column, const Variant& v) const;
    void checkRecord() const;

    std::shared_ptr<Database> db_;
    std::string source_;   // what OpenRecordset was given
    int requestedType_ = 0;
    std::string name_;
    int type_ = dbOpenTable;
    bool updatable_ = false;
    bool open_ = true;

    TableMeta meta_;       // base table of table-type recordsets and updatable dynasets
    std::vector<Column> columns_;
    FieldCollection fields_;
    std::string keysSql_;   // row ids in order
    std::string keysAnyOrderSql_;  // the same ids in any order, when their order is their value
    std::string pageSql_;   // rows by row id: "... IN (?,?,...)"
    std::string rangeSql_;  // rows of ids in a range, for pages of ascending ids; "" when ids are mapped
    std::string rowSql_;    // one row by row id
    std::string findBase_;  // "SELECT rowid FROM ... WHERE" part the criteria are added to
    std::string rowidExpr_; // how the statements above name the row id
    std::string keyFrom_;   // table-type: what the row ids are read from
    std::string keyWhere_;  // table-type and updatable dynasets: "the row of id ?" in a write
    std::string mapRef_;    // the key map of a table keyed by text, else ""
    std::vector<std::string> mapKeyFields_;
    sql::SourceInfo findSource_;  // the names criteria may use
    struct FindCache {
        bool valid = false;
        std::string criteria;
        std::int64_t version = 0;
        std::vector<std::int64_t> hits;  // matching row ids, sorted
    } findCache_;
    std::string snapshotTable_;
    std::vector<size_t> insertColumns_;  // the fields the last AddNew set, and its statement
    std::string insertSql_;
    std::string indexName_;
    // The key that follows a row in the current index's order, found through
    // the index; "" when the index has descending fields or rows are mapped.
    std::string successorSql_;

    KeySet keys_;
    std::int64_t cur_ = -1;  // index in keys_; -1 before the first, size() after the last
    bool noMatch_ = false;
    bool orderDirty_ = false;
    std::int64_t lastModified_ = -1;  // row id

    int editMode_ = dbEditNone;
    std::vector<Variant> buffer_;
    std::vector<bool> changed_;
    std::int64_t editRow_ = -1;  // index in keys_ being edited
    std::vector<Variant> editOriginal_;  // the edited row as read at Edit
    std::int64_t editChanges_ = 0;       // this connection's change count then

    static constexpr int kPageRows = 64;
    std::unordered_map<std::int64_t, Page> pages_;
    std::list<std::int64_t> pageOrder_;  // most recent first
    std::vector<Variant> singleRow_;     // the current row when it was read alone
    std::int64_t singleRowIndex_ = -1;
    std::int64_t lastRowIndex_ = -1;     // the index the current row was last read at
    std::int64_t seenRollbacks_ = 0;     // the connection's rollbacks when the keys were read
    std::int64_t seenDataVersion_ = -1;  // other connections' commits seen so far
    std::int64_t seenChanges_ = 0;       // this connection's changes when the rows held were read
    std::int64_t unchangedInTransaction_ = -1;  // the write transaction in which nothing changed elsewhere
};

}  // namespace engine
