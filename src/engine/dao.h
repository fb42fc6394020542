#pragma once
// The engine's object model: DBEngine, Database, TableDef, QueryDef, Field,
// Index and Recordset, with the collections that hold them. Objects are shared
// and freed when their last reference goes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/schema.h"
#include "engine/variant.h"

namespace engine {
namespace sql { class Catalog; }

class Connection;
class Database;
class Recordset;
struct TableMeta;
struct LinkMeta;

// Recordset types and edit modes, with their usual values.
enum RecordsetTypeEnum { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };
// Workspace types.
enum WorkspaceTypeEnum { dbUseODBC = 1, dbUseJet = 2 };
enum EditModeEnum { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };
// Field and table attributes.
constexpr long dbDescending = 1;        // a field of an index
constexpr long dbFixedField = 1;
constexpr long dbVariableField = 2;
constexpr long dbAutoIncrField = 16;
constexpr long dbUpdatableField = 32;
constexpr long dbAttachedTable = 1073741824;
constexpr long dbSystemObject = -2147483646;
// Execute options. A statement is always atomic: a failure on any record
// undoes the whole statement and is reported, with or without dbFailOnError,
// so a run is never half done without a word. dbDenyWrite takes the file's
// write lock before the statement reads, so no other connection writes
// between its reading and its writing. Other bits give 3001.
constexpr int dbDenyWrite = 1;
constexpr int dbInconsistent = 16;
constexpr int dbConsistent = 32;
constexpr int dbFailOnError = 128;
constexpr int dbSeeChanges = 512;

// A bookmark: opaque bytes, valid for the life of the recordset that gave it.
using Bookmark = std::string;

// A field of a table, an index, a query or a recordset. Recordset fields read
// and write the current record through Value/SetValue.
class Field {
public:
    explicit Field(std::string name = {}, int type = dbText, int size = 0);

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    int Type() const { return type_; }
    void SetType(int type);
    int Size() const { return size_; }
    void SetSize(int size);
    // Decimal fields: total digits (1-28) and digits after the point (0 to the
    // precision); a new one has 18 and 0. A stored field made before these were
    // recorded has 0 and 0 and keeps its values as given. Other types ignore them.
    int Precision() const { return precision_; }
    void SetPrecision(int digits);
    int Scale() const { return scale_; }
    void SetScale(int digits);
    bool Required() const { return required_; }
    void SetRequired(bool v);
    bool AllowZeroLength() const { return allowZeroLength_; }
    void SetAllowZeroLength(bool v);
    // Tables: dbAutoIncrField, dbFixedField/dbVariableField. Indexes: dbDescending.
    long Attributes() const { return attributes_; }
    void SetAttributes(long v);
    int OrdinalPosition() const { return ordinal_; }
    // For a recordset field: the table and field it comes from ("" for an expression).
    const std::string& SourceTable() const { return sourceTable_; }
    const std::string& SourceField() const { return sourceField_; }

    // Recordset fields only: the value in the current record (or the edit buffer).
    Variant Value() const;
    // Converts to the field's type (3421), checks Text size (3163); needs Edit or AddNew (3020).
    void SetValue(const Variant& v);

private:
    friend class Recordset;
    friend class TableDef;
    friend class Index;
    friend class FieldCollection;
    friend class QueryDef;
    void checkChangeable() const;
    std::shared_ptr<Recordset> owner() const;

    std::string name_;
    int type_;
    int size_;
    int precision_ = 0;
    int scale_ = 0;
    bool required_ = false;
    bool allowZeroLength_ = false;
    long attributes_ = 0;
    int ordinal_ = 0;
    std::string sourceTable_, sourceField_;
    std::weak_ptr<Recordset> recordset_;  // set for recordset fields
    bool ofRecordset_ = false;
    int column_ = -1;
    bool locked_ = false;             // a field of a stored table: its definition is fixed
};

// Collections enumerate in their natural order (fields in column order, the
// rest by name) and find items by name case-insensitively (3265 when absent).
template <class T>
class Collection {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T& operator[](int i) const;
    T& operator[](std::string_view name) const;
    T& Item(std::string_view name) const { return (*this)[name]; }
    // The item with that name, or nullptr.
    std::shared_ptr<T> Find(std::string_view name) const;
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

protected:
    // Replaces the items. Objects that leave are kept (not freed) for the
    // collection's life: a reference a caller holds never dangles.
    void replaceItems(std::vector<std::shared_ptr<T>> items);
    void removeItem(const std::shared_ptr<T>& item);
    // The item of that name, taken out of `from` (for reuse), or nullptr.
    static std::shared_ptr<T> takeByName(std::vector<std::shared_ptr<T>>& from, std::string_view name);

    std::vector<std::shared_ptr<T>> items_;
    std::vector<std::shared_ptr<T>> retired_;
    const char* what_ = "Item";
};

class FieldCollection : public Collection<Field> {
public:
    // Adds a field: to a stored table this adds the column at once.
    void Append(std::shared_ptr<Field> field);
    // Removes a field: from a stored table this drops the column (3280 when an index uses it).
    void Delete(std::string_view name);
    void Refresh() {}

private:
    friend class TableDef;
    friend class Index;
    friend class Recordset;
    friend class QueryDef;
    std::function<void(Field&)> onAppend_;
    std::function<void(const Field&)> onDelete_;
    void reset(std::vector<std::shared_ptr<Field>> items) { replaceItems(std::move(items)); }
};

class Index {
public:
    explicit Index(std::string name = {});
    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    FieldCollection& Fields() { return fields_; }
    const FieldCollection& Fields() const { return fields_; }
    bool Primary() const { return primary_; }
    void SetPrimary(bool v);
    bool Unique() const { return unique_; }
    void SetUnique(bool v);
    bool IgnoreNulls() const { return ignoreNulls_; }
    void SetIgnoreNulls(bool v);
    bool Required() const { return required_; }
    void SetRequired(bool v);
    std::shared_ptr<Field> CreateField(std::string name, int type = 0, int size = 0);

private:
    friend class TableDef;
    void checkChangeable() const;
    std::string name_;
    FieldCollection fields_;
    bool primary_ = false, unique_ = false, ignoreNulls_ = false, required_ = false;
    bool locked_ = false;
};

class IndexCollection : public Collection<Index> {
public:
    void Append(std::shared_ptr<Index> index);
    void Delete(std::string_view name);
    void Refresh() {}

private:
    friend class TableDef;
    std::function<void(Index&)> onAppend_;
    std::function<void(const Index&)> onDelete_;
};

class TableDef : public std::enable_shared_from_this<TableDef> {
public:
    explicit TableDef(std::string name = {});
    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    // 0 for a local table, dbAttachedTable for a link, dbSystemObject for an engine table.
    long Attributes() const { return attributes_; }
    const std::string& Connect() const { return connect_; }
    void SetConnect(std::string connect);            // ";DATABASE=path"
    const std::string& SourceTableName() const { return sourceTableName_; }
    void SetSourceTableName(std::string name);
    FieldCollection& Fields() { return fields_; }
    IndexCollection& Indexes() { return indexes_; }
    // Number of records in the stored table (or in the table a link points to).
    long RecordCount() const;
    bool Updatable() const { return !system_; }

    std::shared_ptr<Field> CreateField(std::string name, int type = dbText, int size = 0);
    std::shared_ptr<Index> CreateIndex(std::string name);
    std::shared_ptr<Recordset> OpenRecordset();

private:
    friend class Database;
    friend class TableDefCollection;
    void attach(const std::shared_ptr<Database>& db, const TableMeta& meta);
    void checkChangeable() const;

    std::string name_;
    long attributes_ = 0;
    std::string connect_, sourceTableName_;
    FieldCollection fields_;
    IndexCollection indexes_;
    bool system_ = false;
    std::weak_ptr<Database> db_;  // set once stored
    bool gone_ = false;           // its table was deleted: using it gives 3420
    void checkAlive() const;
};

class TableDefCollection : public Collection<TableDef> {
public:
    // Creates the table (or the link, for a TableDef with Connect) in the file.
    void Append(std::shared_ptr<TableDef> table);
    // Deletes the table, or only the link for a linked table.
    void Delete(std::string_view name);
    void Refresh();

private:
    friend class Database;
    std::weak_ptr<Database> db_;
};

class QueryDef {
public:
    const std::string& Name() const { return name_; }
    const std::string& SQL() const { return sql_; }
    // Replaces the statement; a stored query is saved at once. A pass-through
    // query's statement is its data source's: it is kept as written.
    void SetSQL(std::string sql);
    // 0 select, 128 union, 16 crosstab, 32 delete, 48 update, 64 append, 80 make-table, 96 data-definition,
    // 112 pass-through.
    int Type() const { return type_; }
    // An "ODBC;…" connect string makes the query a pass-through query, sent
    // whole to that data source by Execute; an empty one makes it a query of
    // the dialect again (its statement must then parse). Saved at once.
    const std::string& Connect() const { return connect_; }
    void SetConnect(std::string connect);
    // The columns the query returns (empty for action queries).
    FieldCollection& Fields();
    std::shared_ptr<Recordset> OpenRecordset();
    void Execute(int options = 0);
    long RecordsAffected() const { return recordsAffected_; }

private:
    friend class Database;
    friend class QueryDefCollection;
    std::string name_, sql_, connect_;
    int type_ = 0;
    FieldCollection fields_;
    bool fieldsLoaded_ = false;
    bool stored_ = false;
    long recordsAffected_ = 0;
    std::weak_ptr<Database> db_;
    bool gone_ = false;  // deleted: using it gives 3420
    void checkAlive() const;
    bool passThrough() const;
    void save(const std::string& sql, int type, const std::string& connect);
};

class QueryDefCollection : public Collection<QueryDef> {
public:
    void Append(std::shared_ptr<QueryDef> query);
    void Delete(std::string_view name);
    void Refresh();

private:
    friend class Database;
    std::weak_ptr<Database> db_;
};

class Database : public std::enable_shared_from_this<Database> {
public:
    ~Database();
    // The file's path.
    const std::string& Name() const { return path_; }
    bool Updatable() const;

    TableDefCollection& TableDefs();
    QueryDefCollection& QueryDefs();
    std::shared_ptr<TableDef> CreateTableDef(std::string name = {}, long attributes = 0, std::string sourceTable = {},
                                             std::string connect = {});
    // Stored at once when it has a name (3012 when the name is taken).
    std::shared_ptr<QueryDef> CreateQueryDef(std::string name = {}, std::string sql = {});

    // A table name gives a table-type recordset; a saved query's name or SQL
    // text gives a dynaset (read-only unless it reads one table).
    std::shared_ptr<Recordset> OpenRecordset(std::string_view source, int type = 0);

    void Execute(std::string_view sql, int options = 0);
    long RecordsAffected() const { return recordsAffected_; }

    // Changes the database password; "" removes it. 3031 when `oldPassword` is wrong.
    void NewPassword(std::string_view oldPassword, std::string_view newPassword);

    void BeginTrans();
    void CommitTrans();
    void Rollback();

    void Close();
    bool IsOpen() const { return conn_ != nullptr; }

    // For the engine's own classes.
    Connection& connection() const;
    TableMeta tableMeta(std::string_view name) const;  // 3078 when absent
    std::string resolveTableName(std::string_view name) const;  // stored name or ""
    // Names for the SQL emitter: tables (links included) and saved queries.
    std::unique_ptr<sql::Catalog> catalog() const;
    bool readOnly() const { return readOnly_; }
    // A file of the older format, read through its converted copy.
    bool converted() const { return converted_; }
    // Throws 3027, with advice for a file of the older format.
    [[noreturn]] void refuseWrite() const;

private:
    friend class DBEngine;
    friend class TableDefCollection;
    Database() = default;
    void attachLinks();
    std::string attachFile(const std::string& path);
    // A link's table, once its file is attached and its password checked.
    TableMeta linkedMeta(const LinkMeta& link);
    void checkLinkPassword(const std::string& alias, const std::string& file, const std::string& password);

    // The statement an action query's text was emitted as, while neither the
    // definitions nor another connection's data changed: a record loop runs
    // the same text many times.
    struct EmittedAction {
        std::int64_t definitions = 0, data = 0;
        std::string sql;
    };
    const std::string* emittedAction(std::string_view text);

    std::string path_;
    std::unique_ptr<Connection> conn_;
    std::unordered_map<std::string, EmittedAction> emitted_;
    bool exclusive_ = false;
    bool readOnly_ = false;
    bool converted_ = false;
    std::string lockPath_;  // the file the lock is registered on, when not path_
    long recordsAffected_ = 0;
    int transactionDepth_ = 0;
    std::vector<std::pair<std::string, std::string>> attached_;  // file path, schema alias
    // Definitions of local tables, kept while the definitions stay the same.
    mutable std::unordered_map<std::string, TableMeta> metaCache_;
    mutable std::int64_t metaVersion_ = -1;
    std::unique_ptr<TableDefCollection> tableDefs_;
    std::unique_ptr<QueryDefCollection> queryDefs_;
};

class Workspace;
class OdbcConnection;

class DBEngine {
public:
    // connect may hold ";pwd=secret". 3024 missing file, 3343 not a database,
    // 3031 wrong or missing password, 3173 no permission, 3045 held exclusively
    // by another program.
    static std::shared_ptr<Database> OpenDatabase(const std::string& path, bool exclusive = false,
                                                  bool readOnly = false, std::string_view connect = {});
    // A new, empty database; connect may hold ";pwd=secret". 3204 when the file exists.
    static std::shared_ptr<Database> CreateDatabase(const std::string& path, std::string_view connect = {});
    // Workspaces of type dbUseODBC reach foreign tables through OpenConnection.
    static std::shared_ptr<Workspace> CreateWorkspace(std::string name, std::string user, std::string password,
                                                      int type = dbUseJet);
};

class Workspace {
public:
    int Type() const { return type_; }
    std::shared_ptr<Database> OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                                           std::string_view connect = {});
    // A connection to an ODBC data source (engine/odbc/odbcconnection.h says
    // which connect strings are understood); only in a dbUseODBC workspace
    // (3251 elsewhere). The driver is never asked to prompt, whatever
    // `options` say, and the connection only reads, whatever `readOnly` says.
    std::shared_ptr<OdbcConnection> OpenConnection(std::string_view name, int options = 0, bool readOnly = false,
                                                   std::string_view connect = {});
    // Closes the connections it opened.
    void Close();

private:
    friend class DBEngine;
    int type_ = dbUseJet;
    std::vector<std::weak_ptr<OdbcConnection>> connections_;
};

// The value of ";pwd=" (or ";DATABASE=") in a connect string, "" when absent.
std::string connectValue(std::string_view connect, std::string_view key);

}  // namespace engine

#include "engine/odbc/odbcconnection.h"
#include "engine/recordset.h"
