#include "transfer/templink.h"

#include "engine/dao.h"

TemporaryLink::TemporaryLink(engine::Database& db, const QString& path, const QString& table)
    : db_(db), name_("KORVA" + table.toStdString()) {
    auto link = db_.CreateTableDef(name_);
    link->SetConnect(";DATABASE=" + path.toStdString());
    link->SetSourceTableName(table.toStdString());
    db_.TableDefs().Append(link);
}

TemporaryLink::~TemporaryLink() {
    try {
        db_.TableDefs().Delete(name_);
    } catch (...) {
        // Gone already; nothing may leave a destructor.
    }
}
