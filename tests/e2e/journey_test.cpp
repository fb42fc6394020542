// A newcomer's first minutes, driven as a person does it with activation and
// focus changes: open two tables into two work areas through the open dialog,
// set them side by side, edit and clear cells, read the guide, and never meet
// an unexpected message.
#include <QApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>
#include <fstream>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"
#include "support/app_fixture.h"

namespace {

class Journey : public AppFixture {
protected:
    void selectLine(int line) {
        QListWidget* list = view()->lstTable;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(line)).center());
        settle();
    }
    // Table, Open Recordset; Open Database; Tables; the table; Open.
    void openThroughTheDialog(const std::string& file, const QString& table) {
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmTableOpen*>(&d);
            ASSERT_NE(dialog, nullptr);
            dialog->show();
            activateWindow(dialog);
            prompts->files.push_back(QString::fromStdString(file));
            QTest::mouseClick(dialog->cmdOpenDbase, Qt::LeftButton);
            activateWindow(dialog);  // back from the file dialog
            clickOption(dialog->optSource[1]);
            auto items = dialog->QryList->findItems(table, Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            QTest::mouseClick(dialog->QryList->viewport(), Qt::LeftButton, {},
                              dialog->QryList->visualItemRect(items[0]).center());
            QTest::mouseClick(dialog->cmdOpenRecordset, Qt::LeftButton);
        };
        main()->mnuOpenRecordset->trigger();
        prompts->onModal = nullptr;
        settle();
    }
    void typeInCell(frmGrid* g, int row, int col, const QString& text) {
        activateWindow(main());
        main()->mdiArea->setActiveSubWindow(g->subWindow());
        g->DBGrid1->setFocus(Qt::MouseFocusReason);
        QModelIndex index = g->DBGrid1->model()->index(row, col);
        QTest::mouseClick(g->DBGrid1->viewport(), Qt::LeftButton, {}, g->DBGrid1->visualRect(index).center());
        ASSERT_EQ(QApplication::focusWidget(), g->DBGrid1);
        if (text.isEmpty()) {
            key(Qt::Key_F2);
            key(Qt::Key_A, Qt::ControlModifier);
            key(Qt::Key_Delete);
        } else {
            type(text);
        }
        key(Qt::Key_Return);
        settle();
    }
};

TEST_F(Journey, FromTheFirstWindowToTwoGridsEditsAndTheGuide) {
    std::string path = makeSales("Sales.mdb", 5);
    {
        auto db = openDb(path);
        db->Execute("CREATE TABLE Customers (Name Text(20), City Text(20))");
        db->Execute("INSERT INTO Customers VALUES ('Ann', 'Oslo')");
        db->Execute("INSERT INTO Customers VALUES ('Bob', 'Rome')");
    }
    std::filesystem::create_directories(dir.path() / "docs");
    std::ofstream(dir.path() / "docs/index.html") << "<html><body><h1>Ledgerly guide</h1></body></html>";

    start();
    activateWindow(main());
    ASSERT_TRUE(QTest::qWaitForWindowActive(main()));

    selectLine(0);
    openThroughTheDialog(path, "Orders");
    selectLine(1);
    openThroughTheDialog(path, "Customers");
    frmGrid* orders = moduleCreateGrid::WorkAreas[0];
    frmGrid* customers = moduleCreateGrid::WorkAreas[1];
    ASSERT_NE(orders, nullptr);
    ASSERT_NE(customers, nullptr);

    main()->mnuWindowTileVertical->trigger();
    settle();
    QRect a = orders->subWindow()->geometry(), b = customers->subWindow()->geometry();
    EXPECT_FALSE(a.intersects(b)) << "side by side";
    EXPECT_EQ(a.top(), b.top());

    int qty = orders->rs1->Fields("Qty").OrdinalPosition();
    typeInCell(orders, 0, qty, "42");
    int city = customers->rs1->Fields("City").OrdinalPosition();
    typeInCell(customers, 1, city, "");
    {
        auto db = openDb(path);
        EXPECT_EQ(db->OpenRecordset("SELECT Qty FROM Orders ORDER BY OrderID")->Fields(0).Value().toText(), "42");
        EXPECT_TRUE(db->OpenRecordset("SELECT City FROM Customers WHERE Name = 'Bob'")->Fields(0).Value().isNull());
    }

    main()->mnuHelpContents->trigger();
    settle();
    auto* help = qobject_cast<frmHelp*>(QApplication::activeWindow());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->txtGuide->toPlainText().contains("Ledgerly guide"));
    help->close();
    settle();

    EXPECT_TRUE(prompts->messages.empty()) << "unexpected: " << prompts->lastText().toStdString();
}

}  // namespace
