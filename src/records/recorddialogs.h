#pragma once
// What the record dialogs share: the grid they act on and the status texts.
#include <QString>

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
}  // namespace RecordDialogs
