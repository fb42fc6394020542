#include "grids/workareas.h"

#include <QMdiArea>
#include <QListWidget>
#include <QMdiSubWindow>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "shell/enablemenus.h"
#include "shell/frmMain.h"

namespace moduleCreateGrid {

std::array<frmGrid*, 12> WorkAreas{};
short CurrentWA = -1;

QList<frmGrid*>& LoadedGrids() {
    static QList<frmGrid*> grids;
    return grids;
}

QString Letter(int slot) { return slot >= 0 && slot < 12 ? QString(QChar('A' + slot)) : QString(); }

void CreateGrid(const QVariant& DBasePath, const QVariant& RSDescription, const QVariant& RSName,
                const QVariant& RSType, const QVariant& TableorQueryName) {
    int slot = CurrentWA;
    if (slot < 0 || slot > 11) return;
    frmMain* main = frmMain::instance();
    if (frmGrid* old = WorkAreas[static_cast<size_t>(slot)]) {
        // Relations naming the old grid and the database window's current grid
        // must not outlive it.
        if (main && main->view()) main->view()->ReleaseSlot(slot);
        else old->DoClose();
        WorkAreas[static_cast<size_t>(slot)] = nullptr;
    }
    auto* grid = new frmGrid;
    grid->selectedWA = static_cast<short>(slot);  // its activation while it opens selects its own line
    WorkAreas[static_cast<size_t>(slot)] = grid;
    if (main) {
        QMdiSubWindow* sub = main->mdiArea->addSubWindow(grid);
        sub->setAttribute(Qt::WA_DeleteOnClose);
    }
    grid->Form_Load();
    grid->show();
    grid->SetupRecordset(DBasePath, RSDescription, RSName, RSType, TableorQueryName, Letter(slot));
}

void CloseGrid(int slot) {
    if (slot < 0 || slot > 11) return;
    frmMain* main = frmMain::instance();
    if (main && main->view()) {
        main->view()->SelectLine(slot);
        main->view()->cmdClose_Click();
        return;
    }
    if (frmGrid* grid = WorkAreas[static_cast<size_t>(slot)]) grid->DoClose();
    WorkAreas[static_cast<size_t>(slot)] = nullptr;
}

void SelectSlot(int slot) {
    if (slot < 0 || slot > 11) return;
    frmMain* main = frmMain::instance();
    if (main && main->view()) main->view()->SelectLine(slot);
    else CurrentWA = static_cast<short>(slot);
}

QStringList SlotLines() {
    QStringList lines;
    frmMain* main = frmMain::instance();
    for (int k = 0; k < 12; ++k) {
        frmGrid* grid = WorkAreas[static_cast<size_t>(k)];
        if (main && main->view() && main->view()->lstTable->item(k)) lines << main->view()->lstTable->item(k)->text();
        else lines << (grid ? grid->statusname.toString() : frmView::Placeholder(k));
    }
    return lines;
}

void Main() {
    auto* main = new frmMain;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    main->Form_Load();
    EnableMenus::DisableDocumentMenus();
}

}  // namespace moduleCreateGrid
