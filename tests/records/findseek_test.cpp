// Find and Seek move the current grid to a matching record, say "Found" or
// "Not Found" in the status bar, and leave the grid where it was on no match.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/frmFind.h"
#include "records/frmSeek.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class FindSeekTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);  // Customer "C<n mod 7>", Qty n, in order
        openDb(path)->Execute("CREATE INDEX Pair ON Orders (Customer, Qty)");
        openDb(path)->Execute("CREATE INDEX Four ON Orders (Customer, Qty, OrderID, Customer)");
        grid = openTable(0, path, "Orders");
        ASSERT_NE(grid, nullptr);
    }
    void startAt(int row) {
        grid->rs1->SetAbsolutePosition(row);
        grid->Data1->NotifyMoved();
    }
    long position() const { return grid->rs1->AbsolutePosition(); }
    std::string path;
    frmGrid* grid = nullptr;
};

TEST_F(FindSeekTest, FindMovesInTheChosenDirectionOrStaysWhereItWas) {
    grid = openQuery(1, path, "SELECT * FROM Orders ORDER BY OrderID", "All");
    struct Case { int direction, from; const char* where; long to; bool found; };
    const std::vector<Case> cases = {
        {0, 5, "Customer = 'C3'", 2, true},  {1, 5, "Customer = 'C3'", 16, true},
        {2, 5, "Customer = 'C3'", 9, true},  {3, 5, "Customer = 'C3'", 2, true},
        {2, 16, "Customer = 'C3'", 16, false}, {0, 5, "Qty > 100", 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.where) + " direction " + std::to_string(c.direction));
        startAt(c.from);
        bool shown = runDialog<frmFind>(main()->mnuFind, [&](frmFind& d) {
            EXPECT_EQ(d.windowTitle(), "Find   Sales.All");
            EXPECT_TRUE(d.optFind[0]->isChecked());
            QTest::keyClicks(d.txtWhere, c.where);
            d.optFind[static_cast<size_t>(c.direction)]->click();
            d.cmdFind->click();
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_TRUE(shown);
        EXPECT_EQ(position(), c.to);
        EXPECT_EQ(grid->DBGrid1->currentIndex().row(), c.to);
        EXPECT_EQ(main()->StatusText(), c.found ? "  Sales.All  Found" : "  Sales.All  Not Found");
    }
}

TEST_F(FindSeekTest, FindSaysWhatIsMissingAndStaysOpen) {
    grid = openQuery(1, path, "SELECT * FROM Orders", "All");
    startAt(4);
    runDialog<frmFind>(main()->mnuFind, [&](frmFind& d) {
        QTest::keyClicks(d.txtWhere, "   ");
        d.cmdFind->click();
        EXPECT_EQ(prompts->lastText(), "No where condition was specified.");
        d.txtWhere->setPlainText("Customer = ");
        d.cmdFind->click();
        EXPECT_EQ(prompts->messages.back().caption, Prompts::kAppTitle);  // the engine's own description
        EXPECT_TRUE(d.isVisible());
        d.cmdCancel->click();
    });
    EXPECT_EQ(position(), 4);
    openDb(path)->Execute("DELETE FROM Orders");
    grid->NeedsRefresh();
    runDialog<frmFind>(main()->mnuFind, [&](frmFind& d) {
        d.txtWhere->setPlainText("Qty = 1");
        d.cmdFind->click();
        EXPECT_EQ(prompts->lastText(), "No records to search.");
        EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
    });
}

TEST_F(FindSeekTest, SeekNeedsASmallIndexAndAValueWithoutQuotesForEachField) {
    EXPECT_FALSE(runDialog<frmSeek>(main()->mnuSeek, [](frmSeek&) {}));
    EXPECT_EQ(prompts->lastText(), "You must set an index first.");
    grid->rs1->SetIndex("Four");
    EXPECT_FALSE(runDialog<frmSeek>(main()->mnuSeek, [](frmSeek&) {}));
    EXPECT_EQ(prompts->lastText(), "Your index cannot have more than three fields.");
    grid->rs1->SetIndex("Pair");
    startAt(3);
    const std::string before = grid->rs1->Fields("Qty").Value().toText();
    runDialog<frmSeek>(main()->mnuSeek, [&](frmSeek& d) {
        EXPECT_EQ(d.windowTitle(), "Seek   Sales.Orders");
        EXPECT_EQ(QStringList({d.lblField[0]->text(), d.lblField[1]->text(), d.lblField[2]->text()}),
                  QStringList({"Customer", "Qty", ""}));
        QTest::keyClicks(d.txtField[0], "C3");
        d.cmdSeek->click();
        EXPECT_EQ(prompts->lastText(), "Each indexed field must have a value to search for.");
        prompts->messages.clear();
        d.txtField[0]->clear();
        QTest::keyClicks(d.txtField[1], "O'Brien");
        d.cmdSeek->click();  // both checks speak
        EXPECT_EQ(messageTexts(), (std::vector<QString>{"Each indexed field must have a value to search for.",
                                                        "Values to search for should not be enclosed in quotes."}));
        d.txtField[0]->setText("C3");
        d.txtField[1]->setText("11");
        d.cmdSeek->click();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  Not Found");
    EXPECT_EQ(grid->rs1->Fields("Qty").Value().toText(), before);  // where it was
    runDialog<frmSeek>(main()->mnuSeek, [&](frmSeek& d) {
        d.txtField[0]->setText("C3");
        d.txtField[1]->setText("10");
        QTest::keyClick(d.txtField[1], Qt::Key_Return);  // Seek is the default button
    });
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  Found");
    EXPECT_EQ(grid->rs1->Fields("Qty").Value().toText(), "10");
    EXPECT_EQ(grid->DBGrid1->currentIndex().row(), position());
}

TEST_F(FindSeekTest, SeekIsRefusedOnALinkedTable) {
    std::string other = dir.file("Other.mdb");
    makeSales("Other.mdb", 3);
    auto db = openDb(path);
    auto link = db->CreateTableDef("Linked");
    link->SetConnect(";DATABASE=" + other);
    link->SetSourceTableName("Orders");
    db->TableDefs().Append(link);
    frmGrid* linked = openTable(1, path, "Linked");
    ASSERT_TRUE(linked && linked->IsaLinkedTable);
    EXPECT_FALSE(runDialog<frmSeek>(main()->mnuSeek, [](frmSeek&) {}));
    EXPECT_EQ(prompts->lastText(), "You cannot set an index on a linked table.");
    EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Information);
}

}  // namespace
