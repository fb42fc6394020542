#include "dbwindow/frmView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

#include "grids/frmGrid.h"
#include "queries/frmActionQuery.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "relations/frmRelations.h"
#include "relations/relationsmanager.h"
#include "shell/enablemenus.h"
#include "shell/frmMain.h"
#include "shell/getgrid.h"
#include "shell/prompts.h"
#include "shell/twips.h"

namespace {

// Every handler of this window that reaches the engine ends on an engine
// error with its message; the steps after the failing one do not run.
template <class F>
void trapped(F&& body) {
    try {
        body();
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

// The hourglass while it lives; an error ending the handler restores the pointer too.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The relations tree: a press selects the node under the mouse first, then
// the window's handler runs.
class RelationsTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(Qt::MouseButton, QPoint)> onMouseDown;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QTreeWidget::mousePressEvent(event);
        if (onMouseDown) onMouseDown(event->button(), event->globalPosition().toPoint());
    }
};

void refuse(const QString& text) { Prompts::message(text, "Error", Prompts::Icon::Exclamation); }

}  // namespace

frmView::frmView(QWidget* parent) : QWidget(parent) {
    setObjectName("frmView");
    setWindowTitle("View");
    auto* tree = new RelationsTree(this);
    tree->onMouseDown = [this](Qt::MouseButton b, QPoint at) { TreeViewRelations_MouseDown(b, at); };
    TreeViewRelations = tree;
    TreeViewRelations->setObjectName("TreeViewRelations");
    TreeViewRelations->setHeaderHidden(true);
    auto button = [this](QPushButton*& b, const char* name, const char* text) {
        b = new QPushButton(text, this);
        b->setObjectName(name);
    };
    button(cmdRefresh, "cmdRefresh", "Refresh");
    button(cmdSQL, "cmdSQL", "Action Query");
    button(cmdSetup, "cmdSetup", "Setup");
    button(cmdRelations, "cmdRelations", "Relations");
    button(cmdClose, "cmdClose", "Close");
    button(cmdOpen, "cmdOpen", "Open");
    lstTable = new QListWidget(this);
    lstTable->setObjectName("lstTable");
    lstTable->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdOpen, cmdClose, cmdRefresh, cmdSetup, cmdRelations, cmdSQL}) buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addWidget(lstTable, 3);
    top->addLayout(buttons);
    top->addWidget(TreeViewRelations, 2);

    connect(lstTable, &QListWidget::currentRowChanged, this, [this](int) { lstTable_Click(); });
    // While a relation is being defined, a click on the line already selected picks it too.
    connect(lstTable, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (RelationsSetting.toBool() && lstTable->row(item) == GridNO) lstTable_Click();
    });
    connect(cmdOpen, &QPushButton::clicked, this, &frmView::cmdOpen_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmView::cmdClose_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmView::cmdRefresh_Click);
    connect(cmdSQL, &QPushButton::clicked, this, &frmView::cmdSQL_Click);
    connect(cmdSetup, &QPushButton::clicked, this, &frmView::cmdSetup_Click);
    connect(cmdRelations, &QPushButton::clicked, this, &frmView::cmdRelations_Click);
}

QString frmView::Placeholder(int slot) {
    return (QString(11, QLatin1Char(' ')) + "-" + QString::number(slot + 1) + "-").leftJustified(21, QLatin1Char(' '));
}

void frmView::Form_Load() {
    trapped([this] {
        QWidget* frame = parentWidget() ? parentWidget() : this;
        frame->resize(Twips::toPixelsX(8130), Twips::toPixelsY(3330));
        lstTable->clear();
        for (int k = 0; k < 12; ++k) lstTable->addItem(Placeholder(k));
        moduleCreateGrid::WorkAreas.fill(nullptr);
        lstTable->setCurrentRow(0);
        lstTable_Click();
    });
}

void frmView::setGridButtons(bool enabled) {
    for (QPushButton* b : {cmdClose, cmdRelations, cmdSetup, cmdRefresh}) b->setEnabled(enabled);
}

void frmView::SelectLine(int slot) {
    if (slot < 0 || slot > 11) return;
    if (lstTable->currentRow() == slot) lstTable_Click();
    else lstTable->setCurrentRow(slot);  // runs the selection handling
}

void frmView::lstTable_Click() {
    trapped([this] {
        GridNO = static_cast<short>(lstTable->currentRow());
        moduleCreateGrid::CurrentWA = GridNO;
        CGrid = GetGrid::GetGridWindow(GridNO);
        if (RelationsSetting.toBool()) {
            PickChild();
            return;
        }
        frmMain* main = frmMain::instance();
        if (!CGrid) {
            setGridButtons(false);
            if (main) main->SetStatusText("");
            EnableMenus::DisableGridMenus();
            return;
        }
        if (CGrid->successful.toBool()) {
            setGridButtons(true);
            if (main) main->SetStatusText(CGrid->StatusLine());
            EnableMenus::DisableGridMenus();
            EnableMenus::EnableGridMenus(CGrid->RSetType);
        }
    });
}

void frmView::Form_Activate() {
    trapped([this] {
        frmMain* main = frmMain::instance();
        if (!CGrid) {
            EnableMenus::DisableGridMenus();
            if (main) main->SetStatusText("");
            return;
        }
        if (main) main->SetStatusText(CGrid->StatusLine());
        EnableMenus::DisableGridMenus();
        EnableMenus::EnableGridMenus(CGrid->RSetType);
    });
}

void frmView::UpdateOpen(const QVariant&, const QVariant&, const QVariant& RSName, const QVariant&) {
    trapped([&] {
        if (GridNO >= 0 && GridNO < lstTable->count()) lstTable->item(GridNO)->setText(RSName.toString());
        setGridButtons(true);
    });
}

void frmView::UpdateClose() {
    trapped([this] {
        setGridButtons(false);
        if (frmMain* main = frmMain::instance()) main->SetStatusText("");
    });
}

void frmView::cmdOpen_Click() {
    if (frmMain* main = frmMain::instance()) main->OpenRecordset();
}

void frmView::dropRelationsTo(frmGrid* closing) {
    for (frmGrid* g : moduleCreateGrid::WorkAreas) {
        if (!g) continue;
        for (int i = g->ColRelations.size() - 1; i >= 0; --i) {
            if (g->ColRelations[i]->Child == closing) delete g->ColRelations.takeAt(i);
        }
    }
}

void frmView::ReleaseSlot(int slot) {
    trapped([this, slot] {
        frmGrid* closing = GetGrid::GetGridWindow(slot);
        if (!closing) return;
        dropRelationsTo(closing);
        if (CGrid == closing) CGrid = nullptr;
        closing->DoClose();
        moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] = nullptr;
        RelationsManager::RefreshRelations();
    });
}

void frmView::closeSlot(int slot, bool windowClosing) {
    trapped([this, slot, windowClosing] {
        // Relations in which the closing grid is the child go first.
        frmGrid* closing = GetGrid::GetGridWindow(slot);
        dropRelationsTo(closing);
        if (slot >= 0 && slot <= 11) {
            if (closing) {
                if (windowClosing) closing->ReleaseRecordset();
                else closing->DoClose();
            }
            moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] = nullptr;
            lstTable->item(slot)->setText(Placeholder(slot));
        }
        CGrid = nullptr;
        UpdateClose();
        EnableMenus::DisableGridMenus();
        RelationsManager::RefreshRelations();
    });
}

void frmView::cmdClose_Click() { closeSlot(moduleCreateGrid::CurrentWA, false); }

bool frmView::CloseGridFromFrame(frmGrid* grid) {
    for (int k = 0; k < 12; ++k) {
        if (moduleCreateGrid::WorkAreas[static_cast<size_t>(k)] != grid) continue;
        CGrid = grid;
        closeSlot(k, true);
        // The selected line's grid (if another) stays current.
        lstTable_Click();
        return true;
    }
    return false;
}

void frmView::cmdRefresh_Click() {
    trapped([this] {
        frmGrid* grid = GetGrid::GetGridWindow(moduleCreateGrid::CurrentWA);
        if (!grid) return;
        {
            WaitCursor wait;
            grid->NeedsRefresh();
        }
        if (CGrid) CGrid->setFocus();
    });
}

void frmView::cmdSQL_Click() {
    // Modeless, with a database of its own; it closes itself after a run.
    auto* runner = new frmActionQuery(frmMain::instance());
    runner->setAttribute(Qt::WA_DeleteOnClose);
    runner->show();
    runner->activateWindow();
}

void frmView::cmdSetup_Click() {
    if (frmMain* main = frmMain::instance()) main->OpenSetup();
}

// ------------------------------------------------------------ relations

void frmView::cmdRelations_Click() {
    trapped([this] {
        RelationsSetting = true;
        ParentGrid = GetGrid::GetGridWindow(GridNO);
        if (!ParentGrid) {
            RelationsSetting = false;
            return;
        }
        // A placeholder "-" node under the parent's node stands for the child to come.
        using namespace RelationsManager;
        const int k = FindRelationNode();
        const int n = NodeCount(TreeViewRelations) + 1;
        QTreeWidgetItem* parentNode = k ? NodeByNumber(TreeViewRelations, k) : nullptr;
        if (parentNode) {
            AddNode(TreeViewRelations, parentNode, n, "-");
        } else {
            parentNode = AddNode(TreeViewRelations, nullptr, n, ParentGrid->statusname.toString());
            AddNode(TreeViewRelations, parentNode, n + 1, "-");
        }
        TreeViewRelations->setCurrentItem(parentNode);
        parentNode->setExpanded(true);
        TreeViewRelations->setFocus();
    });
}

void frmView::PickChild() {
    bool refused = false;
    CheckforCyclic(refused);
    if (!refused && ChildGrid->RSetType.toInt() == 1) {
        bool usable = false;
        CheckforIndex(usable);
        refused = !usable;
    }
    if (refused) {
        RelationsManager::RefreshRelations();
        return;
    }
    frmRelations dialog(ParentGrid, ChildGrid, frmMain::instance());
    if (frmMain* main = frmMain::instance()) main->ShowSetRelations(dialog);
    else Prompts::showModal(dialog);
    // Set and Cancel both end the definition.
    RelationsSetting = false;
    if (dialog.IsSet && dialog.NextRelation && ParentGrid) ParentGrid->ColRelations.append(dialog.NextRelation.release());
    RelationsManager::RefreshRelations();
}

void frmView::BuildChildCollection(ClassRelation* relation) {
    if (!relation->Child) return;
    colSubRelations.append(relation->Child);
    for (ClassRelation* r : relation->Child->ColRelations) BuildChildCollection(r);
}

void frmView::CheckforCyclic(bool& refused) {
    auto refuseWith = [&](const QString& text) {
        refuse(text);
        RelationsSetting = false;
        refused = true;
    };
    refused = false;
    ChildGrid = GetGrid::GetGridWindow(GridNO);
    if (!ChildGrid) return refuseWith("No Recordset");
    if (ChildGrid == ParentGrid) return refuseWith("Cyclic Relation.");
    auto descendants = [this](frmGrid* grid) {
        colSubRelations.clear();
        for (ClassRelation* r : grid->ColRelations) BuildChildCollection(r);
        return colSubRelations;
    };
    if (!ChildGrid->ColRelations.isEmpty() && descendants(ChildGrid).contains(ParentGrid.data()))
        return refuseWith("Cyclic Relation.");
    if (ParentGrid && !ParentGrid->ColRelations.isEmpty() && descendants(ParentGrid).contains(ChildGrid.data()))
        return refuseWith("Cyclic Relation.");
    // Two grids already joined below a third would be joined twice.
    bool childFound = false, parentFound = false;
    for (frmGrid* g : moduleCreateGrid::LoadedGrids()) {
        if (g == ParentGrid || g == ChildGrid || g->ColRelations.isEmpty()) continue;
        for (frmGrid* d : descendants(g)) {
            childFound = childFound || d == ChildGrid;
            parentFound = parentFound || d == ParentGrid;
            if (childFound && parentFound) return refuseWith("Cyclic Relation.");
        }
    }
}

void frmView::CheckforIndex(bool& usable) {
    usable = false;
    const std::string index = ChildGrid->rs1 ? ChildGrid->rs1->Index() : std::string();
    if (index.empty()) {
        refuse("Please set an index first.");
        RelationsSetting = false;
        return;
    }
    auto& table = ChildGrid->db1->TableDefs()[ChildGrid->TableName.toString().toStdString()];
    if (table.Indexes()[index].Fields().Count() > 3) {
        refuse("Your index cannot have more than three fields.");
        RelationsSetting = false;
        return;
    }
    usable = true;
}

void frmView::TreeViewRelations_MouseDown(Qt::MouseButton button, QPoint at) {
    trapped([&] {
        if (RelationsManager::NodeCount(TreeViewRelations) == 0) return;
        if (!TreeViewRelations->currentItem()) {
            refuse("No relation is selected.");
            return;
        }
        frmMain* main = frmMain::instance();
        if (button == Qt::RightButton && main) main->mnuDeleteRelationTree->popup(at);
    });
}

int frmView::SelectedRelationNode() const { return RelationsManager::NodeNumber(TreeViewRelations->currentItem()); }
