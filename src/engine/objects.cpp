// Field, Index, TableDef and QueryDef with their collections.
#include <algorithm>

#include "engine/connection.h"
#include "engine/dao.h"
#include "engine/schema.h"
#include "engine/sql/sql.h"

namespace engine {

namespace {

[[noreturn]] void invalidOperation(const std::string& why) {
    throw Error(err::InvalidOperation, "Invalid operation: " + why);
}

}  // namespace

// -------------------------------------------------------------- collections

template <class T>
T& Collection<T>::operator[](int i) const {
    if (i < 0 || i >= Count()) throw Error(err::ItemNotFound, "Item not found in this collection: there is no item " + std::to_string(i) + ".");
    return *items_[static_cast<size_t>(i)];
}

template <class T>
T& Collection<T>::operator[](std::string_view name) const {
    auto p = Find(name);
    if (!p) throw Error(err::ItemNotFound, "Item not found in this collection: '" + std::string(name) + "'.");
    return *p;
}

template <class T>
std::shared_ptr<T> Collection<T>::Find(std::string_view name) const {
    for (const auto& item : items_)
        if (schema::iequals(item->Name(), name)) return item;
    return nullptr;
}

template <class T>
void Collection<T>::replaceItems(std::vector<std::shared_ptr<T>> items) {
    for (auto& old : items_)
        if (std::find(items.begin(), items.end(), old) == items.end()) retired_.push_back(old);
    items_ = std::move(items);
}

template <class T>
void Collection<T>::removeItem(const std::shared_ptr<T>& item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    retired_.push_back(*it);
    items_.erase(it);
}

template <class T>
std::shared_ptr<T> Collection<T>::takeByName(std::vector<std::shared_ptr<T>>& from, std::string_view name) {
    for (auto it = from.begin(); it != from.end(); ++it)
        if (schema::iequals((*it)->Name(), name)) {
            auto item = *it;
            from.erase(it);
            return item;
        }
    return nullptr;
}

template class Collection<Field>;
template class Collection<Index>;
template class Collection<TableDef>;
template class Collection<QueryDef>;

void FieldCollection::Append(std::shared_ptr<Field> field) {
    if (!field) throw Error(err::InvalidArgument, "Invalid argument: no field was given.");
    if (field->Name().empty()) throw Error(3264, "No field defined: a field needs a name.");
    if (Find(field->Name()))
        throw Error(3367, "Cannot append: a field named '" + field->Name() + "' is already in the collection.");
    if (onAppend_) {
        auto hook = onAppend_;  // the hook re-reads the table, which replaces the hooks
        hook(*field);
        return;
    }
    field->ordinal_ = Count();
    items_.push_back(std::move(field));
}

void FieldCollection::Delete(std::string_view name) {
    auto f = Find(name);
    if (!f) throw Error(err::ItemNotFound, "Item not found in this collection: '" + std::string(name) + "'.");
    if (onDelete_) {
        auto hook = onDelete_;
        hook(*f);
        return;
    }
    removeItem(f);
}

void IndexCollection::Append(std::shared_ptr<Index> index) {
    if (!index || index->Name().empty()) throw Error(err::InvalidArgument, "Invalid argument: an index needs a name.");
    if (Find(index->Name())) throw Error(err::IndexExists, "Index '" + index->Name() + "' already exists.");
    if (index->Fields().Count() == 0) throw Error(3264, "No field defined: index '" + index->Name() + "' has no fields.");
    if (onAppend_) {
        auto hook = onAppend_;
        hook(*index);
        return;
    }
    items_.push_back(std::move(index));
}

void IndexCollection::Delete(std::string_view name) {
    auto ix = Find(name);
    if (!ix) throw Error(err::ItemNotFound, "Item not found in this collection: '" + std::string(name) + "'.");
    if (onDelete_) {
        auto hook = onDelete_;
        hook(*ix);
        return;
    }
    removeItem(ix);
}

// -------------------------------------------------------------------- Field

Field::Field(std::string name, int type, int size) : name_(std::move(name)), type_(type), size_(size) {
    const FieldTypeInfo* info = fieldTypeInfo(type);
    if ((type == dbText || type == dbChar) && size <= 0) size_ = kDefaultTextSize;
    else if (type != dbText && type != dbChar && info) size_ = info->fixedSize;
    if (type == dbDecimal) precision_ = kDefaultDecimalPrecision;
}

void Field::checkChangeable() const {
    if (locked_) invalidOperation("the definition of a stored field cannot be changed.");
}

void Field::SetName(std::string name) {
    checkChangeable();
    name_ = std::move(name);
}

void Field::SetType(int type) {
    checkChangeable();
    if (!fieldTypeInfo(type)) throw Error(err::InvalidArgument, "Invalid argument: " + std::to_string(type) + " is no field type.");
    type_ = type;
    const FieldTypeInfo* info = fieldTypeInfo(type);
    if (type != dbText && type != dbChar) size_ = info->fixedSize;
    else if (size_ <= 0) size_ = kDefaultTextSize;
    if (type != dbDecimal) precision_ = scale_ = 0;
    else if (precision_ == 0) precision_ = kDefaultDecimalPrecision;
}

void Field::SetSize(int size) {
    checkChangeable();
    if (type_ == dbText || type_ == dbChar) {
        if (size < 1 || size > kDefaultTextSize)
            throw Error(err::InvalidArgument, "Invalid argument: a Text field holds 1 to 255 characters.");
        size_ = size;
    }
}

void Field::SetPrecision(int digits) {
    checkChangeable();
    if (type_ != dbDecimal) return;
    if (!validDecimal(digits, scale_))
        throw Error(err::InvalidArgument, "Invalid argument: a Decimal field holds 1 to " +
                                              std::to_string(kMaxDecimalPrecision) + " digits, at least its scale.");
    precision_ = digits;
}

void Field::SetScale(int digits) {
    checkChangeable();
    if (type_ != dbDecimal) return;
    if (!validDecimal(precision_, digits))
        throw Error(err::InvalidArgument, "Invalid argument: the scale of a Decimal field is 0 to its precision.");
    scale_ = digits;
}

void Field::SetRequired(bool v) {
    checkChangeable();
    required_ = v;
}

void Field::SetAllowZeroLength(bool v) {
    checkChangeable();
    allowZeroLength_ = v;
}

void Field::SetAttributes(long v) {
    checkChangeable();
    attributes_ = v;
}

std::shared_ptr<Recordset> Field::owner() const {
    if (!ofRecordset_) invalidOperation("only the fields of a recordset hold values.");
    auto rs = recordset_.lock();
    if (!rs) throw Error(err::DatabaseClosed, "Object invalid or no longer set: the field's recordset is gone.");
    return rs;
}

Variant Field::Value() const { return owner()->currentValue(column_); }

void Field::SetValue(const Variant& v) { owner()->setBufferValue(column_, v); }

// -------------------------------------------------------------------- Index

Index::Index(std::string name) : name_(std::move(name)) {}

void Index::checkChangeable() const {
    if (locked_) invalidOperation("a stored index cannot be changed; delete it and create it again.");
}

void Index::SetName(std::string name) {
    checkChangeable();
    name_ = std::move(name);
}

void Index::SetPrimary(bool v) {
    checkChangeable();
    primary_ = v;
    if (v) unique_ = true;
}

void Index::SetUnique(bool v) {
    checkChangeable();
    unique_ = v;
}

void Index::SetIgnoreNulls(bool v) {
    checkChangeable();
    ignoreNulls_ = v;
}

void Index::SetRequired(bool v) {
    checkChangeable();
    required_ = v;
}

std::shared_ptr<Field> Index::CreateField(std::string name, int type, int size) {
    auto f = std::make_shared<Field>(std::move(name), type ? type : dbText, size);
    return f;
}

// ----------------------------------------------------------------- TableDef

TableDef::TableDef(std::string name) : name_(std::move(name)) {}

void TableDef::checkChangeable() const {
    if (!db_.expired()) invalidOperation("the name and link of a stored table cannot be changed here.");
}

void TableDef::SetName(std::string name) {
    checkChangeable();
    name_ = std::move(name);
}

void TableDef::SetConnect(std::string connect) {
    checkChangeable();
    connect_ = std::move(connect);
}

void TableDef::SetSourceTableName(std::string name) {
    checkChangeable();
    sourceTableName_ = std::move(name);
}

std::shared_ptr<Field> TableDef::CreateField(std::string name, int type, int size) {
    return std::make_shared<Field>(std::move(name), type, size);
}

std::shared_ptr<Index> TableDef::CreateIndex(std::string name) { return std::make_shared<Index>(std::move(name)); }

void TableDef::checkAlive() const {
    if (gone_) throw Error(err::DatabaseClosed, "Object invalid or no longer set: table '" + name_ + "' was deleted.");
}

long TableDef::RecordCount() const {
    checkAlive();
    auto db = db_.lock();
    if (!db) return 0;
    TableMeta meta = db->tableMeta(name_);
    Variant n = db->connection().scalar("SELECT count(*) FROM " + meta.ref());
    return static_cast<long>(n.toInt64());
}

std::shared_ptr<Recordset> TableDef::OpenRecordset() {
    checkAlive();
    auto db = db_.lock();
    if (!db) invalidOperation("the table is not stored in a database yet.");
    return db->OpenRecordset(name_);
}

void TableDef::attach(const std::shared_ptr<Database>& db, const TableMeta& meta) {
    db_ = db;
    name_ = meta.name;
    system_ = meta.system;
    attributes_ = meta.linked ? dbAttachedTable : meta.system ? dbSystemObject : 0;
    if (meta.linked) {
        connect_ = meta.connect;
        sourceTableName_ = meta.sourceTable;
    }
    // Fields and indexes keep their objects across a re-read: references held elsewhere stay good.
    std::vector<std::shared_ptr<Field>> oldFields(fields_.begin(), fields_.end());
    std::vector<std::shared_ptr<Field>> fields;
    for (size_t i = 0; i < meta.columns.size(); ++i) {
        const ColumnMeta& c = meta.columns[i];
        auto f = FieldCollection::takeByName(oldFields, c.name);
        if (f) *f = Field(c.name, c.type, c.size);
        else f = std::make_shared<Field>(c.name, c.type, c.size);
        f->size_ = c.size;
        f->precision_ = c.precision;
        f->scale_ = c.scale;
        f->required_ = c.required;
        f->allowZeroLength_ = c.allowZeroLength;
        f->attributes_ = (c.autoIncrement ? dbAutoIncrField : 0) |
                         ((c.type == dbText || c.type == dbChar) ? dbVariableField : dbFixedField) | dbUpdatableField;
        f->ordinal_ = static_cast<int>(i);
        f->sourceTable_ = meta.name;
        f->sourceField_ = c.name;
        f->locked_ = true;
        fields.push_back(std::move(f));
    }
    fields_.reset(std::move(fields));
    std::vector<std::shared_ptr<Index>> oldIndexes = indexes_.items_, indexes;
    for (const auto& m : meta.indexes) {
        auto ix = IndexCollection::takeByName(oldIndexes, m.name);
        if (!ix) ix = std::make_shared<Index>(m.name);
        ix->name_ = m.name;
        ix->locked_ = false;
        ix->primary_ = m.primary;
        ix->unique_ = m.unique;
        ix->ignoreNulls_ = m.ignoreNulls;
        ix->required_ = m.primary;
        std::vector<std::shared_ptr<Field>> ixFields;
        for (const auto& f : m.fields) {
            int col = meta.columnIndex(f.name);
            auto field = std::make_shared<Field>(f.name, col >= 0 ? meta.columns[static_cast<size_t>(col)].type : dbText);
            field->attributes_ = f.descending ? dbDescending : 0;
            field->locked_ = true;
            ixFields.push_back(std::move(field));
        }
        ix->fields_.reset(std::move(ixFields));
        ix->locked_ = true;
        indexes.push_back(std::move(ix));
    }
    indexes_.replaceItems(std::move(indexes));
    std::weak_ptr<Database> weak = db;
    std::string table = meta.name;
    bool linked = meta.linked;
    auto reload = [this, weak, table]() {
        if (auto d = weak.lock()) attach(d, d->tableMeta(table));
    };
    auto target = [this, weak, linked](const char* what) -> std::shared_ptr<Database> {
        auto d = weak.lock();
        if (!d || !d->IsOpen() || gone_) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
        if (linked)
            throw Error(err::OperationNotSupported, std::string("Cannot ") + what +
                                                        " of a linked table here; change the table in its own database.");
        return d;
    };
    fields_.onAppend_ = [=](Field& f) {
        auto d = target("add a field");
        ColumnMeta c;
        c.name = f.Name();
        c.type = f.Type();
        c.size = f.Size();
        c.precision = f.Precision();
        c.scale = f.Scale();
        c.required = f.Required();
        c.allowZeroLength = f.AllowZeroLength();
        c.autoIncrement = (f.Attributes() & dbAutoIncrField) != 0;
        schema::addColumn(d->connection(), table, c);
        reload();
    };
    fields_.onDelete_ = [=](const Field& f) {
        auto d = target("delete a field");
        schema::dropColumn(d->connection(), table, f.Name());
        reload();
    };
    indexes_.onAppend_ = [=](Index& ix) {
        auto d = target("add an index");
        sql::CreateIndex def;
        def.index = ix.Name();
        def.table = table;
        def.unique = ix.Unique();
        def.primary = ix.Primary();
        def.ignoreNulls = ix.IgnoreNulls();
        for (const auto& f : ix.Fields()) def.columns.push_back({f->Name(), (f->Attributes() & dbDescending) != 0});
        schema::createIndex(d->connection(), def);
        reload();
    };
    indexes_.onDelete_ = [=](const Index& ix) {
        auto d = target("delete an index");
        schema::dropIndex(d->connection(), table, ix.Name());
        reload();
    };
}

// ----------------------------------------------------------------- QueryDef

void QueryDef::checkAlive() const {
    if (gone_) throw Error(err::DatabaseClosed, "Object invalid or no longer set: query '" + name_ + "' was deleted.");
}

bool QueryDef::passThrough() const { return type_ == static_cast<int>(sql::StatementKind::PassThrough); }

// Stores a stored query's new definition; the object changes only once that worked.
void QueryDef::save(const std::string& text, int type, const std::string& connect) {
    if (!stored_) return;
    auto db = db_.lock();
    if (!db || !db->IsOpen()) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
    if (db->readOnly()) db->refuseWrite();
    schema::saveQuery(db->connection(), {name_, text, type, connect}, true);
}

void QueryDef::SetSQL(std::string text) {
    checkAlive();
    const int type = passThrough() ? type_ : static_cast<int>(sql::parse(text).kind());
    save(text, type, connect_);
    sql_ = std::move(text);
    type_ = type;
    fieldsLoaded_ = false;
}

void QueryDef::SetConnect(std::string connect) {
    checkAlive();
    const size_t start = connect.find_first_not_of(" \t\r\n");
    int type = static_cast<int>(sql::StatementKind::PassThrough);
    if (start == std::string::npos) {
        connect.clear();
        type = sql_.empty() ? 0 : static_cast<int>(sql::parse(sql_).kind());
    } else if (!schema::iequals(std::string_view(connect).substr(start, 5), "ODBC;")) {
        throw Error(err::InvalidArgument, "Invalid argument: a query's connect string starts with \"ODBC;\", as \"" +
                                              connect + "\" does not.");
    }
    save(sql_, type, connect);
    connect_ = std::move(connect);
    type_ = type;
    fieldsLoaded_ = false;
}

FieldCollection& QueryDef::Fields() {
    if (fieldsLoaded_) return fields_;
    std::vector<std::shared_ptr<Field>> fields;
    auto db = db_.lock();
    if (db && db->IsOpen() && (type_ == 0 || type_ == 128)) {
        try {
            auto catalog = db->catalog();
            sql::EmittedSelect em = sql::emitSelect(sql::parse(sql_), *catalog);
            // A column of the one table read keeps that field's size.
            TableMeta base;
            if (!em.baseTable.empty()) base = db->tableMeta(em.baseTable);
            for (size_t i = 0; i < em.columns.size(); ++i) {
                auto f = std::make_shared<Field>(em.columns[i].name, em.columns[i].type ? em.columns[i].type : dbMemo);
                int col = em.columns[i].baseColumn.empty() ? -1 : base.columnIndex(em.columns[i].baseColumn);
                if (col >= 0 && base.columns[static_cast<size_t>(col)].type == f->type_)
                    f->size_ = base.columns[static_cast<size_t>(col)].size;
                f->ordinal_ = static_cast<int>(i);
                f->locked_ = true;
                fields.push_back(std::move(f));
            }
        } catch (const Error&) {
            // A query that cannot be prepared (parameters, missing tables) has no known fields.
        }
    }
    fields_.reset(std::move(fields));
    fieldsLoaded_ = true;
    return fields_;
}

std::shared_ptr<Recordset> QueryDef::OpenRecordset() {
    checkAlive();
    auto db = db_.lock();
    if (!db) invalidOperation("the query belongs to no open database.");
    if (passThrough()) schema::refusePassThroughRows(name_);
    if (type_ != 0 && type_ != 128 && type_ != 16)
        invalidOperation("an action query cannot be opened as a recordset; run it with Execute.");
    return db->OpenRecordset(stored_ ? name_ : sql_);
}

void QueryDef::Execute(int options) {
    checkAlive();
    auto db = db_.lock();
    if (!db) invalidOperation("the query belongs to no open database.");
    if (passThrough()) {
        // The statement goes to the data source as it stands; the database is not touched.
        if (!db->IsOpen()) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
        if (connect_.empty())
            throw Error(err::InvalidArgument, "Pass-through query '" + name_ + "' names no ODBC data source to run at.");
        auto source = OdbcConnection::open(name_, connect_);
        source->Execute(sql_);
        recordsAffected_ = source->RecordsAffected();
        source->Close();
        return;
    }
    db->Execute(sql_, options);
    recordsAffected_ = db->RecordsAffected();
}

void QueryDefCollection::Append(std::shared_ptr<QueryDef> query) {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
    if (!query || query->Name().empty()) throw Error(3125, "A query needs a name before it can be stored.");
    if (query->stored_) throw Error(err::ObjectExists, "Object '" + query->Name() + "' already exists.");
    if (db->readOnly()) db->refuseWrite();
    schema::saveQuery(db->connection(), {query->name_, query->sql_, query->type_, query->connect_}, false);
    query->stored_ = true;
    query->db_ = db;
    Refresh();
}

void QueryDefCollection::Delete(std::string_view name) {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) throw Error(err::DatabaseClosed, "Object invalid or no longer set.");
    if (db->readOnly()) db->refuseWrite();
    schema::deleteQuery(db->connection(), name);
    Refresh();
}

void QueryDefCollection::Refresh() {
    auto db = db_.lock();
    if (!db || !db->IsOpen()) return;
    // A query that stays keeps its object; one that went is kept, marked gone.
    std::vector<std::shared_ptr<QueryDef>> old = items_, fresh;
    for (const auto& q : schema::queries(db->connection())) {
        auto def = takeByName(old, q.name);
        if (!def) def = std::shared_ptr<QueryDef>(new QueryDef);
        def->fieldsLoaded_ = def->fieldsLoaded_ && def->sql_ == q.sql;
        def->name_ = q.name;
        def->sql_ = q.sql;
        def->type_ = q.type;
        def->connect_ = q.connect;
        def->stored_ = true;
        def->db_ = db;
        fresh.push_back(std::move(def));
    }
    for (auto& q : old) q->gone_ = true;
    replaceItems(std::move(fresh));
}

}  // namespace engine
