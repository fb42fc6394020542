#pragma once
// The field types the dialogs know and the CREATE TABLE statement built from
// a grid's fields. The type rows come from the engine's one type table; each
// dialog knows a part of it.
#include <QString>
#include <QStringList>

#include <vector>

class QListWidget;
class frmGrid;

namespace moduleCreateTable {

// Which rows of the type table a dialog knows.
enum class TypeSet {
    Copy,       // the twelve types a copied column can have (YesNo … Memo, GUID)
    Import,     // those and the four of imported tables: Char, Numeric, Decimal, Float
};

// The SQL type word of a type code ("Text" for 10). A code the set does not
// know raises 5 (invalid argument), naming the code.
QString FieldType(int code, TypeSet set);
// The word for copy-to-table and MakeCreateTable.
inline QString GetTypeName(int code) { return FieldType(code, TypeSet::Copy); }
// The table structure editor's words: codes 1–12 and 15, "" for any other.
QString StructureTypeWord(int code);
// The structure editor's type combo back to a code: "Boolean" 1 … "Memo" 12, else 0.
int StructureTypeCode(const QString& name);

// A table or column name as a statement needs it: bracketed when it holds a
// blank (and is not bracketed already).
QString TableNameFor(const QString& name);

// A listed field as a new table's column: its name as the statements write
// it and its definition ("[Ship Name] Text (40)").
struct ColumnDef {
    QString column;
    QString definition;
};
// The columns of the listed fields found in the grid's table, or among a query
// grid's columns, in list order; a type the copy set does not know raises 5.
std::vector<ColumnDef> ColumnDefs(frmGrid* grid, const QStringList& entries);

// The statement MakeCreateTable built; the caller executes it.
extern QString CreateTableSQL;
// " CREATE TABLE name (col type, ...)" for the fields listed in `fields` (in
// their order), typed as in the grid's table, or as the columns of a query grid.
void MakeCreateTable(frmGrid* grid, const QString& tableName, QListWidget* fields);

}  // namespace moduleCreateTable
