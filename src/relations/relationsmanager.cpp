#include "relations/relationsmanager.h"

#include <QTreeWidget>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "shell/frmMain.h"

namespace RelationsManager {

void RefreshRelations() {
    for (frmGrid* g : moduleCreateGrid::WorkAreas)
        if (g) g->HasParent = false;
    for (frmGrid* g : moduleCreateGrid::WorkAreas) {
        if (!g) continue;
        for (ClassRelation* r : g->ColRelations)
            if (r->Child) r->Child->HasParent = true;
    }
    frmMain* main = frmMain::instance();
    if (!main || !main->view()) return;
    QTreeWidget* tree = main->view()->TreeViewRelations;
    tree->clear();
    for (frmGrid* g : moduleCreateGrid::WorkAreas) {
        if (!g || g->ColRelations.isEmpty() || g->HasParent.toBool()) continue;
        auto* root = new QTreeWidgetItem(tree, {g->statusname.toString()});
        for (ClassRelation* r : g->ColRelations)
            if (r->Child) new QTreeWidgetItem(root, {r->Child->statusname.toString()});
        root->setExpanded(true);
    }
}

}  // namespace RelationsManager
