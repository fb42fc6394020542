// Grid windows: opening into work areas, the members set-up leaves, status
// texts and sizes, failed opens, and the grid and its recordset following
// each other both ways.
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

#include <cstdlib>

#include "dbwindow/frmView.h"
#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/recordsetmodel.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/twips.h"
#include "support/app_fixture.h"

namespace {

class GridWindowTest : public StartedApp {
protected:
    int gridWindowCount() const {
        int n = 0;
        for (QMdiSubWindow* w : main()->mdiArea->subWindowList())
            if (qobject_cast<frmGrid*>(w->widget())) ++n;
        return n;
    }
};

TEST_F(GridWindowTest, TableOpensIntoTheSelectedSlotWithItsMembers) {
    std::string path = makeSales("Sales.mdb", 1000);
    frmGrid* grid = openTable(3, path, "Orders");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->successful, QVariant(true));
    EXPECT_EQ(grid->TableName.toString(), "Orders");
    EXPECT_EQ(grid->statusname.toString(), "Sales.Orders");
    EXPECT_EQ(grid->DBPath.toStdString(), path);
    EXPECT_EQ(grid->RSetType.toInt(), 1);
    EXPECT_EQ(grid->WALetter, "D");
    EXPECT_EQ(grid->selectedWA, 3);
    EXPECT_FALSE(grid->IsaLinkedTable);
    EXPECT_EQ(grid->windowTitle(), "Sales.Orders");
    const double px = 1440.0 / Twips::dpiY() + 0.5;
    EXPECT_NEAR(grid->TopTwips(), 1800, px);
    EXPECT_NEAR(grid->HeightTwips(), 2895, px);
    ASSERT_TRUE(grid->rs1 && grid->db1);
    EXPECT_EQ(grid->rs1->RecordCount(), 1000);
    EXPECT_EQ(grid->Data1->Recordset(), grid->rs1);
    EXPECT_EQ(grid->Data1->Database(), grid->db1);
    EXPECT_EQ(grid->Data1->DatabaseName.toStdString(), path);
    grid->rs1->MoveLast();
    grid->MoveToBM();
    EXPECT_EQ(grid->rs1->AbsolutePosition(), 0);
    EXPECT_FALSE(grid->RepositionBM.toString().isEmpty());
    EXPECT_EQ(view()->lstTable->item(3)->text(), "Sales.Orders");
    EXPECT_EQ(view()->lstTable->currentRow(), 3);
    EXPECT_EQ(view()->GridNO, 3);
    EXPECT_EQ(moduleCreateGrid::CurrentWA, 3);
    EXPECT_EQ(view()->CGrid, grid);
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  1000  Records");
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(GridWindowTest, QueryGridSplitsItsSqlAndShowsItsPosition) {
    std::string path = makeSales("Sales.mdb", 20);
    frmGrid* grid = openQuery(0, path, "SELECT * FROM Orders WHERE Qty > 5 ORDER BY Qty DESC;", "Big");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->successful, QVariant(true));
    EXPECT_EQ(grid->RSetType.toInt(), 2);
    EXPECT_EQ(grid->TableName.toString(), "Big");
    EXPECT_EQ(grid->OriginalRSSource.toString(), "SELECT * FROM Orders WHERE Qty > 5 ORDER BY Qty DESC");
    EXPECT_EQ(grid->SelectFromClause.toString(), "SELECT * FROM Orders ");
    EXPECT_EQ(grid->Whereclause.toString(), "WHERE Qty > 5 ");
    EXPECT_EQ(grid->RestofClause.toString(), "ORDER BY Qty DESC ");
    EXPECT_EQ(grid->Fullclause.toString(), "SELECT * FROM Orders  WHERE Qty > 5  ORDER BY Qty DESC");
    EXPECT_EQ(grid->rs1->RecordCount(), 15);
    EXPECT_EQ(grid->DBGrid1->model()->index(0, 2).data().toString(), "20");
    EXPECT_EQ(main()->StatusText(), "  Sales.Big  Record: 0/15  ");
    grid->DBGrid1->setCurrentIndex(grid->DBGrid1->model()->index(4, 1));
    EXPECT_EQ(main()->StatusText(), "  Sales.Big  Record: 4/15  ");
}

TEST_F(GridWindowTest, SqlTypedWithBlanksAndLineBreaksOpensAndRefreshes) {
    std::string path = makeSales("Sales.mdb", 20);
    const QString sources[] = {"  SELECT * FROM Orders WHERE Qty > 5 ORDER BY Qty DESC",
                               "\nSELECT * FROM Orders\nWHERE Qty > 5\nORDER BY Qty DESC;\n",
                               "\t SELECT * FROM Orders WHERE Qty > 5"};
    int added = 0;
    for (const QString& sql : sources) {
        SCOPED_TRACE(sql.toStdString());
        frmGrid* grid = openQuery(0, path, sql, "Big");
        ASSERT_NE(grid, nullptr);
        ASSERT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(grid->rs1->RecordCount(), 15 + added);
        // A row added elsewhere shows after Refresh, which splits the same text again.
        openDb(path)->Execute("INSERT INTO Orders (Customer, Qty) VALUES ('New', 100)");
        ++added;
        view()->cmdRefresh->click();
        ASSERT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(grid->successful, QVariant(true));
        EXPECT_EQ(grid->rs1->RecordCount(), 15 + added);
        EXPECT_EQ(grid->Whereclause.toString(), "WHERE Qty > 5 ");
    }
}

// A linked table is recognised, and opening into an occupied slot replaces its grid.
TEST_F(GridWindowTest, LinkedTableIsRecognisedAndAnOccupiedSlotIsReplaced) {
    std::string base = makeSales("Base.mdb", 5);
    std::string path = makeSales("Sales.mdb", 3);
    auto db = openDb(path);
    db->TableDefs().Append(db->CreateTableDef("LinkedOrders", 0, "Orders", ";DATABASE=" + base));
    db->Close();
    frmGrid* linked = openTable(0, path, "LinkedOrders");
    ASSERT_NE(linked, nullptr);
    EXPECT_TRUE(linked->IsaLinkedTable);
    EXPECT_EQ(linked->rs1->RecordCount(), 5);
    QPointer<frmGrid> old = openTable(4, path, "Orders");
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->IsaLinkedTable);
    frmGrid* fresh = openQuery(4, path, "SELECT Customer FROM Orders", "Names");
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(old.isNull()) << "the old grid window is still there";
    EXPECT_NE(fresh, old.data());
    EXPECT_EQ(gridWindowCount(), 2);
    EXPECT_EQ(view()->lstTable->item(4)->text(), "Sales.Names");
}

TEST_F(GridWindowTest, EmptyTableOpensWithNoBookmarkAndNoSelectedSlotCreatesNothing) {
    std::string path = makeSales("Sales.mdb", 0);
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->successful, QVariant(true));
    EXPECT_TRUE(grid->RepositionBM.toString().isEmpty());
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  0  Records");
    EXPECT_EQ(grid->DBGrid1->model()->rowCount(), 0);
    EXPECT_TRUE(prompts->messages.empty());
    view()->cmdClose->click();
    settle();
    view()->lstTable->setCurrentRow(-1);
    EXPECT_EQ(moduleCreateGrid::CurrentWA, -1);
    moduleCreateGrid::CreateGrid(QString::fromStdString(path), "Orders", "Sales.Orders", 1, "Orders");
    settle();
    EXPECT_EQ(gridWindowCount(), 0);
    for (frmGrid* g : moduleCreateGrid::WorkAreas) EXPECT_EQ(g, nullptr);
}

TEST_F(GridWindowTest, BadSqlGivesOneMessageAndLeavesThePlaceholderAndAFailedRefreshTheGridUnfinished) {
    std::string path = makeSales();
    QString expected = engineMessage([&] { openDb(path)->OpenRecordset("SELECT * FROM Missing"); });
    frmGrid* grid = openQuery(2, path, "SELECT * FROM Missing", "Broken");
    EXPECT_EQ(grid, nullptr);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, expected);
    EXPECT_EQ(prompts->messages[0].caption, "Ledgerly");
    EXPECT_EQ(gridWindowCount(), 0);
    EXPECT_EQ(view()->lstTable->item(2)->text(), frmView::Placeholder(2));
    EXPECT_EQ(view()->CGrid, nullptr);
    EXPECT_FALSE(view()->cmdClose->isEnabled());

    // A refresh that fails says "Check your syntax." and leaves the grid unfinished.
    openDb(path)->Execute("CREATE TABLE Extra (A Long)");
    grid = openQuery(0, path, "SELECT * FROM Extra", "Extra");
    ASSERT_NE(grid, nullptr);
    expected = engineMessage([&] {
        auto db = openDb(path);
        db->Execute("DROP TABLE Extra");
        db->OpenRecordset("SELECT * FROM Extra");
    });
    prompts->messages.clear();
    view()->cmdRefresh->click();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, expected + " Check your syntax.");
    EXPECT_EQ(grid->successful, QVariant(false));
    // The database window leaves an unfinished grid as it was.
    QString status = main()->StatusText();
    selectLine(0);
    EXPECT_EQ(main()->StatusText(), status);
}

TEST_F(GridWindowTest, UnpermittedFileAddsTheAdvice) {
    std::string path = makeSales();
    QString expected = engineMessage([&] {
        if (std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) != 0) return;
        engine::DBEngine::OpenDatabase(path, true);
    });
    if (expected.isEmpty()) GTEST_SKIP() << "cannot make a file that may not be changed here";
    frmGrid* grid = openTable(0, path, "Orders");
    std::system(("chattr -i '" + path + "'").c_str());
    EXPECT_EQ(grid, nullptr);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text,
              expected + "Try opening a local drive table first to set permissions then try opening this table again.");
}

// Rows on screen are looked at again before painting; a far row is read for
// the first time after the change.
TEST_F(GridWindowTest, RowsChangedElsewhereShowAsTheyAreNow) {
    std::string path = makeSales("Sales.mdb", 1000);
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    QAbstractItemModel* model = grid->DBGrid1->model();
    ASSERT_EQ(model->index(2, 0).data().toString(), "3");
    for (const char* sql : {"DELETE FROM Orders WHERE OrderID = 3", "UPDATE Orders SET Qty = 999 WHERE OrderID = 4",
                            "DELETE FROM Orders WHERE OrderID = 701"})
        openDb(path)->Execute(sql);
    grid->DBGrid1->viewport()->repaint();
    const struct {
        int row, col;
        const char* text;
    } cells[] = {{2, 0, "#Deleted"}, {3, 2, "999"},  {700, 0, "#Deleted"},
                 {700, 2, "#Deleted"}, {699, 0, "700"}, {701, 0, "702"}};
    for (const auto& c : cells) EXPECT_EQ(model->index(c.row, c.col).data().toString(), c.text) << c.row;
    EXPECT_EQ(model->rowCount(), 1000);
}

class GridFollowTest : public GridWindowTest {
protected:
    void SetUp() override {
        GridWindowTest::SetUp();
        path = makeSales("Sales.mdb", 30);
        grid = openTable(0, path, "Orders");
        ASSERT_NE(grid, nullptr);
        model = grid->DBGrid1->model();
    }
    std::string storedCustomer(int id) {
        auto rs = openDb(path)->OpenRecordset("SELECT Customer FROM Orders WHERE OrderID = " + std::to_string(id));
        return rs->Fields(0).Value().toText();
    }
    std::string path;
    frmGrid* grid = nullptr;
    QAbstractItemModel* model = nullptr;
};

// The current cell moves the recordset, and bookmarks and record numbers move the current cell.
TEST_F(GridFollowTest, CurrentCellAndRecordsetFollowEachOther) {
    for (int row : {5, 29, 0, 17}) {
        grid->DBGrid1->setCurrentIndex(model->index(row, 1));
        EXPECT_EQ(grid->rs1->AbsolutePosition(), row);
        EXPECT_EQ(grid->rs1->Fields("OrderID").Value().toText(), std::to_string(row + 1));
    }
    grid->DBGrid1->setCurrentIndex(model->index(7, 2));
    grid->StoreBM();
    grid->DBGrid1->setCurrentIndex(model->index(20, 2));
    grid->MoveToBM();
    EXPECT_EQ(grid->DBGrid1->currentIndex(), model->index(7, 2));
    EXPECT_EQ(grid->rs1->AbsolutePosition(), 7);
    grid->GotoRecordNumber(12);
    EXPECT_EQ(grid->DBGrid1->currentIndex().row(), 12);
    EXPECT_EQ(grid->rs1->AbsolutePosition(), 12);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(GridFollowTest, NoNewRowLineAndEditingACellWritesTheTable) {
    EXPECT_EQ(model->rowCount(), grid->rs1->RecordCount());
    EXPECT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Customer");
    QModelIndex cell = model->index(3, 1);
    EXPECT_TRUE(model->flags(cell) & Qt::ItemIsEditable);
    EXPECT_TRUE(model->setData(cell, "Zed", Qt::EditRole));
    EXPECT_EQ(storedCustomer(4), "Zed");
    EXPECT_EQ(model->index(3, 1).data().toString(), "Zed");
    EXPECT_TRUE(prompts->messages.empty());
}

}  // namespace
