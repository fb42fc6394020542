// Relations between grids: the numbering of the relations tree, deleting a
// relation from it, and defining one with the Relations button and the
// Relation Builder.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <map>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "relations/classrelation.h"
#include "relations/frmRelations.h"
#include "relations/relationsmanager.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class RelationsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);
    }
    // A query grid over Orders named `name`, in `slot`.
    frmGrid* grid(int slot, const QString& name) {
        frmGrid* g = openQuery(slot, path, "SELECT * FROM Orders", name, name);
        EXPECT_NE(g, nullptr) << name.toStdString();
        return g;
    }
    static void relate(frmGrid* parent, frmGrid* child) {
        auto* r = new ClassRelation;
        r->RelationType = "ChildQuery";
        r->Child = child;
        r->ChildField1 = r->ParentField1 = "Customer";
        parent->ColRelations.append(r);
    }
    // The tree, one line per node in node order: two spaces per level, then the text.
    QStringList treeLines() const {
        QStringList lines;
        for (QTreeWidgetItemIterator it(view()->TreeViewRelations); *it; ++it) {
            int depth = 0;
            for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
            EXPECT_TRUE((*it)->childCount() == 0 || (*it)->isExpanded()) << (*it)->text(0).toStdString();
            lines << QString(2 * depth, ' ') + (*it)->text(0);
        }
        return lines;
    }
    // The Relations button on the parent's line, then a click on the child's line.
    void define(int parentSlot, int childSlot, std::function<void(frmRelations&)> inDialog = {}) {
        selectLine(parentSlot);
        view()->cmdRelations->click();
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmRelations*>(&d);
            ASSERT_NE(dialog, nullptr);
            dialog->activateWindow();
            if (inDialog) inDialog(*dialog);
            else ADD_FAILURE() << "the Relation Builder opened";
        };
        QListWidget* list = view()->lstTable;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(childSlot)).center());
        prompts->onModal = {};
        settle();
    }
    static void type(QComboBox* combo, const QString& text) {
        combo->setFocus();
        combo->lineEdit()->clear();
        QTest::keyClicks(combo, text);
    }
    std::string path;
};

TEST_F(RelationsTest, NodesAreNumberedRootByRootInLoadOrderThreeLevelsDeep) {
    // R is loaded first, into a later slot than A: roots go by load order.
    std::map<QString, frmGrid*> g;
    const std::vector<std::pair<int, QString>> grids = {{9, "R"}, {0, "A"}, {1, "B"}, {2, "C"}, {3, "D"},
                                                        {4, "E"}, {5, "F"}, {10, "S"}};
    for (const auto& [slot, name] : grids) g[name] = grid(slot, name);
    for (auto [parent, child] : std::vector<std::pair<const char*, const char*>>{
             {"A", "B"}, {"A", "C"}, {"B", "D"}, {"D", "E"}, {"E", "F"}, {"R", "S"}})
        relate(g[parent], g[child]);
    RelationsManager::RefreshRelations();
    const QStringList all = {"R", "  S", "A", "  B", "    D", "      E", "  C"};  // E -> F is a fourth level
    EXPECT_EQ(treeLines(), all);
    QStringList numbered;
    for (ClassRelation* r : RelationsManager::TreeRelations)
        numbered << QString::number(r->UniqueIndexNo) + (r->RelationType == "Parent" ? r->DisplayName : r->Child->statusname.toString());
    EXPECT_EQ(numbered, (QStringList{"1R", "2S", "3A", "4B", "5D", "6E", "7C"}));
    EXPECT_FALSE(g["A"]->HasParent.toBool());
    EXPECT_TRUE(g["F"]->HasParent.toBool());
    view()->ParentGrid = g["D"];
    EXPECT_EQ(RelationsManager::FindRelationNode(), 5);
    view()->ParentGrid = g["F"];
    EXPECT_EQ(RelationsManager::FindRelationNode(), 0);

    // A root is not a relation: nothing goes.
    RelationsManager::DeleteRelation(3);
    EXPECT_EQ(prompts->lastText(), "Not a Child.");
    EXPECT_EQ(prompts->messages.back().caption, "Error");
    EXPECT_EQ(treeLines(), all);

    // Right-click on A's B, then Delete: B is a root of its own, and F now has a node.
    QTreeWidget* tree = view()->TreeViewRelations;
    QTreeWidgetItem* b = RelationsManager::NodeByNumber(tree, 4);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualItemRect(b).center());
    ASSERT_TRUE(main()->mnuDeleteRelationTree->isVisible());
    main()->mnuDeleteRelation->trigger();
    main()->mnuDeleteRelationTree->hide();
    EXPECT_EQ(treeLines(), (QStringList{"R", "  S", "A", "  C", "B", "  D", "    E", "      F"}));
    EXPECT_TRUE(g["A"]->ColRelations.size() == 1 && g["A"]->ColRelations[0]->Child == g["C"]);

    // Closing a parent takes its relations: C has none of its own and leaves the tree.
    selectLine(0);
    view()->cmdClose->click();
    settle();
    EXPECT_EQ(treeLines(), (QStringList{"R", "  S", "B", "  D", "    E", "      F"}));
}

TEST_F(RelationsTest, ATreeClickWithoutASelectedNodeSaysSo) {
    frmGrid* a = grid(0, "A");
    relate(a, grid(1, "B"));
    RelationsManager::RefreshRelations();
    QTreeWidget* tree = view()->TreeViewRelations;
    tree->setCurrentItem(nullptr);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(tree->viewport()->width() - 2, tree->viewport()->height() - 2));
    EXPECT_EQ(prompts->lastText(), "No relation is selected.");
}

TEST_F(RelationsTest, TheBuilderPairsQueryFieldsAndRefusesIncompletePairs) {
    frmGrid* a = grid(0, "A");
    frmGrid* b = grid(1, "B");
    selectLine(0);
    view()->cmdRelations->click();
    // A placeholder for the child under a new node of the parent.
    EXPECT_EQ(treeLines(), (QStringList{"A", "  -"}));
    EXPECT_EQ(view()->TreeViewRelations->currentItem()->text(0), "A");
    selectLine(0);  // back on the parent's line: nothing to pick yet
    bool shown = false;
    define(0, 1, [&](frmRelations& d) {
        shown = true;
        EXPECT_EQ(d.windowTitle(), "Relation Builder");
        EXPECT_TRUE(d.frameChildQuery->isVisible());
        EXPECT_FALSE(d.FrameChildIndex->isVisible());
        EXPECT_EQ(d.comboChildField[2]->count(), 3);
        d.cmdQuerySet->click();
        EXPECT_EQ(prompts->lastText(), "At least one child and parent field must be selected.");
        type(d.comboChildField[0], "Customer");
        type(d.comboParentField[0], "Customer");
        type(d.comboChildField[1], "Qty");
        d.cmdQuerySet->click();
        EXPECT_EQ(prompts->lastText(), "Your relation definition is incomplete.");
        EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
        EXPECT_TRUE(d.isVisible());
        type(d.comboChildField[1], "");
        d.cmdQuerySet->click();
    });
    EXPECT_TRUE(shown);
    ASSERT_EQ(a->ColRelations.size(), 1);
    const ClassRelation& r = *a->ColRelations[0];
    EXPECT_EQ(r.RelationType, "ChildQuery");
    EXPECT_EQ(r.Child, b);
    EXPECT_EQ(QStringList({r.ChildField1, r.ParentField1, r.ChildField2, r.ParentField2}),
              QStringList({"Customer", "Customer", "", ""}));
    EXPECT_FALSE(view()->RelationsSetting.toBool());
    EXPECT_EQ(treeLines(), (QStringList{"A", "  B"}));

    // The child may be picked by activating its window. Cancel keeps what
    // there was, and Clear empties every list.
    frmGrid* c = grid(2, "C");
    main()->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view()->parentWidget()));
    selectLine(0);
    view()->cmdRelations->click();
    shown = false;
    prompts->onModal = [&](QDialog& d) {
        auto& dialog = static_cast<frmRelations&>(d);
        shown = true;
        dialog.cmdQueryClear->click();
        for (auto* list : {&dialog.comboChildField, &dialog.comboParentField})
            for (QComboBox* combo : *list) EXPECT_EQ(combo->count(), 0);
        dialog.cmdQueryClose->click();
    };
    main()->mdiArea->setActiveSubWindow(c->subWindow());
    settle();
    prompts->onModal = {};
    EXPECT_TRUE(shown);
    EXPECT_EQ(a->ColRelations.size(), 1);
    EXPECT_EQ(treeLines(), (QStringList{"A", "  B"}));
    EXPECT_FALSE(view()->RelationsSetting.toBool());
}

TEST_F(RelationsTest, RelationsThatWouldCloseACircleAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> existing;  // by slot
        int parent, child;
    };
    const std::vector<Case> cases = {
        {"its own line", {}, 0, 0},
        {"the reverse of a relation", {{0, 1}}, 1, 0},
        {"the same relation again", {{0, 1}}, 0, 1},
        {"two grids already joined below a third", {{2, 0}, {2, 1}}, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<frmGrid*> g = {grid(0, "A"), grid(1, "B"), grid(2, "G")};
        for (auto [p, ch] : c.existing) relate(g[static_cast<size_t>(p)], g[static_cast<size_t>(ch)]);
        RelationsManager::RefreshRelations();
        size_t before = g[static_cast<size_t>(c.parent)]->ColRelations.size();
        prompts->messages.clear();
        define(c.parent, c.child);
        EXPECT_EQ(prompts->lastText(), "Cyclic Relation.");
        EXPECT_EQ(g[static_cast<size_t>(c.parent)]->ColRelations.size(), before);
        EXPECT_FALSE(view()->RelationsSetting.toBool());
        EXPECT_FALSE(treeLines().contains("  -"));
        for (frmGrid* each : g) qDeleteAll(each->ColRelations), each->ColRelations.clear();
    }
}

TEST_F(RelationsTest, ATableChildNeedsAnIndexOfAtMostThreeFieldsAndAKeyForEachField) {
    openDb(path)->Execute("CREATE INDEX Four ON Orders (Customer, Qty, OrderID, Customer)");
    openDb(path)->Execute("CREATE INDEX Pair ON Orders (Customer, Qty)");
    frmGrid* parent = openQuery(0, path, "SELECT Customer AS [O.Customer], Customer, Qty FROM Orders", "P", "P");
    frmGrid* child = openTable(1, path, "Orders", "T");
    ASSERT_TRUE(parent && child);
    define(0, 1);
    EXPECT_EQ(prompts->lastText(), "Please set an index first.");
    child->rs1->SetIndex("Four");
    define(0, 1);
    EXPECT_EQ(prompts->lastText(), "Your index cannot have more than three fields.");
    child->rs1->SetIndex("Pair");
    define(0, 1, [&](frmRelations& d) {
        EXPECT_TRUE(d.FrameChildIndex->isVisible());
        EXPECT_EQ(QStringList({d.lblField[0]->text(), d.lblField[1]->text(), d.lblField[2]->text()}),
                  QStringList({"Customer", "Qty", ""}));
        EXPECT_EQ(d.ComboIndexParentField[0]->findText("O.Customer"), -1);  // dotted names are not offered
        EXPECT_EQ(d.ComboIndexParentField[0]->count(), 2);
        type(d.ComboIndexParentField[0], "Customer");
        d.cmdIndexSet->click();
        EXPECT_EQ(prompts->lastText(), "Each indexed field must have a value to search for.");
        type(d.ComboIndexParentField[1], "Qty");
        d.cmdIndexSet->click();
    });
    ASSERT_EQ(parent->ColRelations.size(), 1);
    const ClassRelation& r = *parent->ColRelations[0];
    EXPECT_EQ(r.RelationType, "ChildIndex");
    EXPECT_EQ(QStringList({r.ChildField1, r.ChildField2, r.ChildField3, r.ParentField1, r.ParentField2, r.ParentField3}),
              QStringList({"Customer", "Qty", "", "Customer", "Qty", ""}));
}

}  // namespace
