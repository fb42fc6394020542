#pragma once
// What the record dialogs share: the grid they act on and the status texts.
#include <QString>

#include <memory>

#include "engine/dao.h"

class QDialog;
class QWidget;
class frmGrid;

namespace RecordDialogs {
// The grid of the work area selected in the database window.
frmGrid* CurrentGrid();
// Places a dialog at (left, top) twips from its owner's corner, sized in twips.
void Place(QDialog* dialog, double left, double top, double width, double height);
// "  name  Found" or "  name  Not Found" in the status bar.
void ReportFound(frmGrid* grid, bool found);
// An "Error" box with the exclamation icon.
void Refuse(const QString& text);
// The scratch database of the program folder, where dialogs keep working copies.
std::shared_ptr<engine::Database> OpenScratch();
// Drops a working table of the scratch database if it is there, closing the
// recordset held on it first; an error is shown, not thrown.
void DropScratchTable(engine::Database& scratch, const char* table, std::shared_ptr<engine::Recordset>& held);
}  // namespace RecordDialogs
