// The database window's Close and Refresh buttons, activation of grid
// windows, and grid windows closed from their frames.
#include <QAction>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

#include "dbwindow/frmView.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/classrelation.h"
#include "relations/relationsmanager.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class DatabaseWindowTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = makeSales("Sales.mdb", 20);
    }
    // Makes `child` a child of `parent` as the relation dialog would.
    static void relate(frmGrid* parent, frmGrid* child) {
        auto* r = new ClassRelation;
        r->RelationType = "ChildQuery";
        r->Child = child;
        r->ChildField1 = "Customer";
        r->ParentField1 = "Customer";
        parent->ColRelations.append(r);
    }
    void expectEmptySlot(int slot) {
        EXPECT_EQ(moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)], nullptr) << slot;
        EXPECT_EQ(view()->lstTable->item(slot)->text(), frmView::Placeholder(slot)) << slot;
    }
    void expectGridButtons(bool enabled) {
        for (QPushButton* b : {view()->cmdClose, view()->cmdRelations, view()->cmdSetup, view()->cmdRefresh})
            EXPECT_EQ(b->isEnabled(), enabled) << b->objectName().toStdString();
    }
    std::string path;
};

TEST_F(DatabaseWindowTest, CloseEmptiesTheSlot) {
    QPointer<frmGrid> grid = openTable(1, path, "Orders");
    ASSERT_TRUE(grid);
    expectGridButtons(true);
    EXPECT_TRUE(find<QAction>(main(), "mnuSeek")->isEnabled());
    view()->cmdClose->click();
    settle();
    EXPECT_TRUE(grid.isNull());
    expectEmptySlot(1);
    EXPECT_EQ(view()->lstTable->item(1)->text(), "           -2-       ");
    EXPECT_EQ(view()->CGrid, nullptr);
    EXPECT_EQ(main()->StatusText(), "");
    expectGridButtons(false);
    for (const char* name : {"mnuSeek", "mnuSetBM", "mnuEditCopy", "mnuFind", "mnuStatistics"})
        EXPECT_FALSE(find<QAction>(main(), name)->isEnabled()) << name;
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(DatabaseWindowTest, ClosingAChildRemovesItsRelationsOnly) {
    frmGrid* parent = openTable(0, path, "Orders");
    frmGrid* child = openQuery(1, path, "SELECT * FROM Orders", "All");
    frmGrid* other = openQuery(2, path, "SELECT Customer FROM Orders", "Names");
    ASSERT_TRUE(parent && child && other);
    relate(parent, child);
    relate(parent, other);
    relate(other, child);
    RelationsManager::RefreshRelations();
    EXPECT_EQ(child->HasParent, QVariant(true));
    selectLine(1);
    view()->cmdClose->click();
    settle();
    expectEmptySlot(1);
    ASSERT_EQ(parent->ColRelations.size(), 1);
    EXPECT_EQ(parent->ColRelations[0]->Child, other);
    EXPECT_TRUE(other->ColRelations.isEmpty());
    EXPECT_EQ(other->HasParent, QVariant(true));
    // The tree shows the one relation left.
    QTreeWidget* tree = view()->TreeViewRelations;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Sales.Orders");
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Sales.Names");
}

// Opening into an occupied slot replaces its grid: relations naming the old
// grid go with it, and when the new one fails the slot is simply empty.
TEST_F(DatabaseWindowTest, ReplacingAGridWithOneThatFailsLeavesNoTraceOfEither) {
    frmGrid* parent = openTable(0, path, "Orders");
    QPointer<frmGrid> old = openQuery(1, path, "SELECT * FROM Orders", "All");
    ASSERT_TRUE(parent && old);
    relate(parent, old);
    RelationsManager::RefreshRelations();
    EXPECT_EQ(openQuery(1, path, "SELECT * FROM NoSuchTable", "Broken"), nullptr);
    settle();
    EXPECT_TRUE(old.isNull());
    EXPECT_TRUE(parent->ColRelations.isEmpty());
    EXPECT_EQ(view()->CGrid, nullptr);
    expectEmptySlot(1);
    // Commands on the current grid find none instead of a closed one.
    main()->mnuSetBM_Click();
    main()->mnuMovetoBM_Click();
    EXPECT_EQ(prompts->messages.size(), 1u);  // the failed open's message only
}

// Refresh rereads a table grid keeping its index, and a query grid from its own SQL.
TEST_F(DatabaseWindowTest, RefreshRereadsTableAndQueryGrids) {
    openDb(path)->Execute("CREATE INDEX ByCustomer ON Orders (Customer)");
    frmGrid* grid = openTable(0, path, "Orders");
    frmGrid* query = openQuery(1, path, "SELECT * FROM Orders WHERE Qty > 10", "Big");
    ASSERT_TRUE(grid && query);
    EXPECT_EQ(query->rs1->RecordCount(), 10);
    query->Whereclause = "WHERE Qty > 100 ";  // as a synchronization would leave it
    grid->rs1->SetIndex("ByCustomer");
    grid->RepositionBM = QString("kept");
    openDb(path)->Execute("INSERT INTO Orders (Customer, Qty) VALUES ('A0', 99)");
    openDb(path)->Execute("UPDATE Orders SET Qty = 50 WHERE Qty < 3");
    selectLine(0);
    view()->cmdRefresh->click();
    EXPECT_EQ(grid->successful, QVariant(true));
    EXPECT_EQ(grid->rs1->Index(), "ByCustomer");
    EXPECT_EQ(grid->rs1->RecordCount(), 21);
    EXPECT_EQ(grid->DBGrid1->model()->rowCount(), 21);
    EXPECT_EQ(grid->Data1->Recordset(), grid->rs1);
    EXPECT_EQ(grid->RepositionBM.toString(), "kept");
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  21  Records");
    // In index order the new customer comes first.
    EXPECT_EQ(grid->DBGrid1->model()->index(0, 1).data().toString(), "A0");

    selectLine(1);
    view()->cmdRefresh->click();
    EXPECT_EQ(query->successful, QVariant(true));
    EXPECT_EQ(query->Fullclause.toString(), "SELECT * FROM Orders  WHERE Qty > 10");
    EXPECT_EQ(query->rs1->RecordCount(), 13);  // ten, two raised to 50 and the new 99
    EXPECT_EQ(query->DBGrid1->model()->rowCount(), 13);
    EXPECT_TRUE(prompts->messages.empty());
}

// Activating a grid selects its line; Exit with related grids open closes everything.
TEST_F(DatabaseWindowTest, ActivatingAGridSelectsItsLineAndExitClosesEverything) {
    QPointer<frmGrid> a = openTable(0, path, "Orders");
    QPointer<frmGrid> b = openQuery(5, path, "SELECT * FROM Orders", "All");
    ASSERT_TRUE(a && b);
    main()->mdiArea->setActiveSubWindow(a->subWindow());
    EXPECT_EQ(view()->lstTable->currentRow(), 0);
    EXPECT_EQ(view()->CGrid, a);
    EXPECT_EQ(moduleCreateGrid::CurrentWA, 0);
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  20  Records");
    main()->mdiArea->setActiveSubWindow(b->subWindow());
    EXPECT_EQ(view()->lstTable->currentRow(), 5);
    EXPECT_EQ(view()->CGrid, b);
    EXPECT_EQ(main()->StatusText(), "  Sales.All  Record: 0/20  ");
    relate(a, b);
    main()->mnuFileExit->trigger();
    settle();
    EXPECT_EQ(main(), nullptr);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    for (frmGrid* g : moduleCreateGrid::WorkAreas) EXPECT_EQ(g, nullptr);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(DatabaseWindowTest, ClosingGridsFromTheirFramesDoesWhatCloseDoes) {
    frmGrid* parent = openTable(0, path, "Orders");
    QPointer<frmGrid> child = openQuery(3, path, "SELECT * FROM Orders", "All");
    ASSERT_TRUE(parent && child);
    relate(parent, child);
    RelationsManager::RefreshRelations();
    frmGrid* closing = child.data();
    child->subWindow()->close();
    settle();
    EXPECT_TRUE(child.isNull());
    expectEmptySlot(3);
    EXPECT_TRUE(parent->ColRelations.isEmpty());
    EXPECT_NE(view()->CGrid, closing);
    // The database window goes on working with the slot.
    selectLine(3);
    EXPECT_EQ(view()->CGrid, nullptr);
    expectGridButtons(false);
    QPointer<frmGrid> again = openTable(3, path, "Orders", "Sales.Second");
    ASSERT_TRUE(again);
    EXPECT_EQ(view()->lstTable->item(3)->text(), "Sales.Second");

    // Closing a grid other than the selected one keeps the selected one.
    selectLine(0);
    again->subWindow()->close();
    settle();
    EXPECT_TRUE(again.isNull());
    expectEmptySlot(3);
    EXPECT_EQ(view()->CGrid, parent);
    expectGridButtons(true);
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  20  Records");
}

}  // namespace
