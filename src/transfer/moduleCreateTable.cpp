#include "transfer/moduleCreateTable.h"

#include <QListWidget>

#include "engine/dao.h"
#include "engine/fieldtypes.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"

namespace moduleCreateTable {

QString CreateTableSQL;

namespace {

bool known(int code, TypeSet set) {
    using namespace engine;
    switch (code) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency: case dbSingle:
    case dbDouble: case dbDate: case dbText: case dbLongBinary: case dbMemo: case dbGUID:
        return true;
    case dbChar: case dbNumeric: case dbDecimal: case dbFloat:
        return set == TypeSet::Import;
    default:
        return false;
    }
}

}  // namespace

QString FieldType(int code, TypeSet set) {
    const engine::FieldTypeInfo* info = engine::fieldTypeInfo(code);
    if (!info || !known(code, set)) {
        QString name = info ? QString::fromLatin1(info->userName) : QString("type %1").arg(code);
        throw engine::Error(5, "Invalid procedure call or argument: a field of " + name.toStdString() +
                                   " (code " + std::to_string(code) + ") cannot be made in a new table.");
    }
    // The label less its "db": dbYesNo gives YesNo.
    return QString::fromLatin1(info->label).mid(2);
}

QString StructureTypeWord(int code) {
    return (code >= 1 && code <= 12 && code != 9) || code == 15 ? FieldType(code, TypeSet::Copy) : QString();
}

int StructureTypeCode(const QString& name) {
    static const std::pair<const char*, int> codes[] = {{"Boolean", 1}, {"Integer", 3}, {"Long", 4},  {"Currency", 5},
                                                        {"Single", 6},  {"Double", 7},  {"Date", 8}, {"Text", 10},
                                                        {"Memo", 12}};
    for (const auto& [word, code] : codes)
        if (name == word) return code;
    return 0;
}

QString TableNameFor(const QString& name) {
    QString t = name.trimmed();
    return t.contains(' ') && !t.startsWith('[') ? "[" + name + "]" : t;
}

std::vector<ColumnDef> ColumnDefs(frmGrid* grid, const QStringList& entries) {
    const bool table = grid->RSetType.toInt() == 1;
    const std::string source = grid->TableName.toString().toStdString();
    // A query grid's own columns: its statement may have been changed before it
    // was opened, or never saved, so the saved query is not always its source.
    const auto& shown = grid->Data1 ? grid->Data1->Recordset() : nullptr;
    engine::FieldCollection& all = table ? grid->db1->TableDefs()[source].Fields()
                                   : shown ? shown->Fields()
                                           : grid->db1->QueryDefs()[source].Fields();
    std::vector<ColumnDef> out;
    for (const QString& entry : entries) {
        for (const auto& f : all) {
            if (QString::fromStdString(f->Name()) != entry) continue;
            QString column = entry.trimmed().contains(' ') ? "[" + entry + "]" : entry;
            const int dot = column.trimmed().indexOf('.');
            if (!table && dot >= 0) column = column.trimmed().remove(dot, 1);  // Orders.OrderID: OrdersOrderID
            const QString word = GetTypeName(f->Type());
            out.push_back({column, word == "Text" ? column + " Text (" + QString::number(f->Size()) + ")" : column + " " + word});
        }
    }
    return out;
}

void MakeCreateTable(frmGrid* grid, const QString& tableName, QListWidget* fields) {
    QStringList entries;
    for (int i = 0; i < fields->count(); ++i) entries << fields->item(i)->text();
    QStringList definitions;
    for (const ColumnDef& c : ColumnDefs(grid, entries)) definitions << c.definition;
    CreateTableSQL = " CREATE TABLE " + TableNameFor(tableName) + " (" + definitions.join(", ") + ")";
}

}  // namespace moduleCreateTable
