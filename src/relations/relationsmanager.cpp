#include "relations/relationsmanager.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>
#include <memory>
#include <vector>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"

namespace RelationsManager {

QList<ClassRelation*> TreeRelations;

namespace {

constexpr int kNumberRole = Qt::UserRole + 1;
constexpr int kLevels = 3;  // relations deeper below a root get no node

std::vector<std::unique_ptr<ClassRelation>> parentRecords;  // the roots' "Parent" records

// One entry of the walk: a root grid, or a relation hanging under entry `under`.
struct Entry {
    frmGrid* root = nullptr;
    ClassRelation* relation = nullptr;
    int under = -1;  // index of the entry above, -1 for a root
};

// Roots in the order the grids were loaded, each followed by its relations
// three levels deep, every relation directly followed by its child's.
std::vector<Entry> walk() {
    std::vector<Entry> entries;
    std::function<void(frmGrid*, int, int)> down = [&](frmGrid* grid, int under, int level) {
        for (ClassRelation* r : grid->ColRelations) {
            int here = static_cast<int>(entries.size());
            entries.push_back({nullptr, r, under});
            if (level < kLevels && r->Child) down(r->Child, here, level + 1);
        }
    };
    for (frmGrid* g : moduleCreateGrid::LoadedGrids()) {
        if (g->HasParent.toBool() || g->ColRelations.isEmpty()) continue;
        int here = static_cast<int>(entries.size());
        entries.push_back({g, nullptr, -1});
        down(g, here, 1);
    }
    return entries;
}

QTreeWidget* relationsTree() {
    frmMain* main = frmMain::instance();
    return main && main->view() ? main->view()->TreeViewRelations : nullptr;
}

}  // namespace

QTreeWidgetItem* AddNode(QTreeWidget* tree, QTreeWidgetItem* under, int number, const QString& text) {
    int position = NodeCount(tree) + 1;
    auto* node = under ? new QTreeWidgetItem(under, {text}) : new QTreeWidgetItem(tree, {text});
    node->setData(0, Qt::UserRole, "'" + QString::number(number) + "'");
    node->setData(0, kNumberRole, position);
    return node;
}

int NodeCount(QTreeWidget* tree) {
    int n = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) ++n;
    return n;
}

QTreeWidgetItem* NodeByNumber(QTreeWidget* tree, int number) {
    const QString key = "'" + QString::number(number) + "'";
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == key) return *it;
    return nullptr;
}

int NodeNumber(const QTreeWidgetItem* node) { return node ? node->data(0, kNumberRole).toInt() : 0; }

void RefreshRelations() {
    TreeRelations.clear();
    parentRecords.clear();
    const QList<frmGrid*>& grids = moduleCreateGrid::LoadedGrids();
    for (frmGrid* g : grids) g->HasParent = false;
    for (frmGrid* g : grids)
        for (ClassRelation* r : g->ColRelations)
            if (r->Child) r->Child->HasParent = true;
    QTreeWidget* tree = relationsTree();
    if (tree) tree->clear();
    std::vector<Entry> entries = walk();
    std::vector<QTreeWidgetItem*> nodes;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const int number = static_cast<int>(i) + 1;
        ClassRelation* record = e.relation;
        QString text;
        if (e.root) {
            parentRecords.push_back(std::make_unique<ClassRelation>());
            record = parentRecords.back().get();
            record->RelationType = "Parent";
            record->DisplayName = e.root->statusname.toString();
            text = record->DisplayName;
        } else {
            text = e.relation->Child ? e.relation->Child->statusname.toString() : QString();
        }
        record->UniqueIndexNo = static_cast<short>(number);
        TreeRelations.append(record);
        QTreeWidgetItem* under = e.under >= 0 ? nodes[static_cast<size_t>(e.under)] : nullptr;
        nodes.push_back(tree ? AddNode(tree, under, number, text) : nullptr);
    }
    if (tree) tree->expandAll();
}

void DeleteRelation(const QVariant& nodeNo) {
    // Record k of TreeRelations is numbered k. It is only compared, never read:
    // a relation of a window closed since the last refresh is gone.
    const int number = nodeNo.toInt();
    ClassRelation* record = number >= 1 && number <= TreeRelations.size() ? TreeRelations[number - 1] : nullptr;
    bool removed = false;
    for (frmGrid* g : moduleCreateGrid::LoadedGrids())
        for (int i = g->ColRelations.size() - 1; i >= 0; --i)
            if (record && g->ColRelations[i] == record) {
                delete g->ColRelations.takeAt(i);
                removed = true;
            }
    if (!removed) Prompts::message("Not a Child.", "Error", Prompts::Icon::Exclamation);
    RefreshRelations();
}

int FindRelationNode() {
    frmMain* main = frmMain::instance();
    frmGrid* parent = main && main->view() ? main->view()->ParentGrid.data() : nullptr;
    if (!parent) return 0;
    std::vector<Entry> entries = walk();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].root == parent || (entries[i].relation && entries[i].relation->Child == parent))
            return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace RelationsManager
