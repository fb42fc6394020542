#include "records/recorddialogs.h"

#include <QDialog>

#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/getgrid.h"
#include "shell/prompts.h"
#include "shell/twips.h"

namespace RecordDialogs {

frmGrid* CurrentGrid() { return GetGrid::GetGridWindow(moduleCreateGrid::CurrentWA); }

void Place(QDialog* dialog, double left, double top, double width, double height) {
    QPoint origin = dialog->parentWidget() ? dialog->parentWidget()->geometry().topLeft() : QPoint();
    dialog->setGeometry(origin.x() + Twips::toPixelsX(left), origin.y() + Twips::toPixelsY(top), Twips::toPixelsX(width),
                        Twips::toPixelsY(height));
}

void ReportFound(frmGrid* grid, bool found) {
    if (frmMain* main = frmMain::instance())
        main->SetStatusText("  " + grid->statusname.toString() + "  " + (found ? "Found" : "Not Found"));
}

void Refuse(const QString& text) { Prompts::message(text, "Error", Prompts::Icon::Exclamation); }

std::shared_ptr<engine::Database> OpenScratch() {
    return engine::DBEngine::OpenDatabase((frmMain::ProgramFolder() + "/TempTables.mdb").toStdString());
}

void DropScratchTable(engine::Database& scratch, const char* table, std::shared_ptr<engine::Recordset>& held) {
    if (!scratch.IsOpen()) return;
    try {
        scratch.TableDefs().Refresh();
        if (!scratch.TableDefs().Find(table)) return;
        if (held) held->Close();
        held.reset();
        scratch.Execute(std::string("Drop Table ") + table);
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

}  // namespace RecordDialogs
