// Record, Delete: all records, the next N from the current record, or those
// that meet a condition; the count goes to the status bar, and what was
// deleted before an error stays deleted and is counted.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <set>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/frmDelete.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class DeleteTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
    }
    // Orders with Qty 1..rows and an empty column Somewhere, in work area A at `row`.
    void open(const std::string& name, int rows = 20, int row = 0) {
        path = makeSales(name + ".mdb", rows);
        openDb(path)->Execute("ALTER TABLE Orders ADD COLUMN Somewhere Text(10)");
        grid = openTable(0, path, "Orders");
        ASSERT_NE(grid, nullptr);
        grid->rs1->SetAbsolutePosition(row);
        grid->Data1->NotifyMoved();
    }
    // The Qty values no longer in the file.
    std::set<long> gone(int rows) const {
        std::set<long> out;
        for (long n = 1; n <= rows; ++n) out.insert(n);
        for (auto rs = openDb(path)->OpenRecordset("Orders"); !rs->EOF_(); rs->MoveNext())
            out.erase(static_cast<long>(rs->Fields("Qty").Value().intValue()));
        return out;
    }
    static std::set<long> range(long first, long last) {
        std::set<long> out;
        for (long n = first; n <= last; ++n) out.insert(n);
        return out;
    }
    void run(const std::function<void(frmDelete&)>& inDialog) { EXPECT_TRUE(runDialog(main()->mnuDelete, inDialog)); }
    std::string path;
    frmGrid* grid = nullptr;
};

TEST_F(DeleteTest, EachScopeDeletesItsRecordsAndCountsThem) {
    enum { All = 0, Next = 1, Where = 3 };
    // `typed` goes to the condition box, or to the count box for Next.
    struct Case { int scope, rows, row; const char* typed; const char* sent; long first, last; };
    const std::vector<Case> cases = {
        {Where, 20, 0, "Qty > 17", "Qty > 17", 18, 20},
        {Where, 20, 0, "where Qty <= 2", " Qty <= 2", 1, 2},
        {Where, 20, 0, "SELECT * FROM Orders WhErE Qty = 5", " Qty = 5", 5, 5},
        // The letters of the keyword inside a value or a name are no keyword.
        {Where, 20, 0, "Customer = 'Somewhere' Or Qty = 3", "Customer = 'Somewhere' Or Qty = 3", 3, 3},
        {Where, 20, 0, "Somewhere Is Null And Qty = 4", "Somewhere Is Null And Qty = 4", 4, 4},
        {Where, 20, 0, "Qty > 100", "Qty > 100", 1, 0},
        {All, 5, 0, "where Qty = 1", " Qty = 1", 1, 5},
        {Next, 20, 3, "4", "", 4, 7},
        {Next, 20, 17, "10", "", 18, 20},  // up to the end, no further
        {Next, 20, 5, "0", "", 1, 0},
        {Next, 450, 0, "500", "", 1, 450},  // past the progress reports
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i + 1));
        const QString name = QString("Case%1").arg(i + 1);
        open(name.toStdString(), c.rows, c.row);
        run([&](frmDelete& d) {
            EXPECT_EQ(d.windowTitle(), "Delete   " + name + ".Orders");
            EXPECT_TRUE(d.optScope[Where]->isChecked());
            if (c.scope != Next) QTest::keyClicks(d.txtWhere, c.typed);
            d.optScope[static_cast<size_t>(c.scope)]->click();
            EXPECT_EQ(d.txtWhere->isEnabled(), c.scope == Where);
            EXPECT_EQ(d.txtRestNumber->isEnabled(), c.scope == Next);
            if (c.scope == Next) {
                d.txtRestNumber->selectAll();
                QTest::keyClicks(d.txtRestNumber, c.typed);
            }
            d.cmdDelete->click();
            if (c.scope != Next) {
                EXPECT_EQ(d.txtWhere->toPlainText(), c.sent);
            }
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        const std::set<long> expected = range(c.first, c.last);
        EXPECT_EQ(gone(c.rows), expected);
        const long left = c.rows - static_cast<long>(expected.size());
        EXPECT_EQ(grid->rs1->RecordCount(), left);  // the grid was refreshed
        const QString counts = c.scope == Next ? QString("%1  Records  %2").arg(left).arg(expected.size())
                                               : QString::number(expected.size());
        EXPECT_EQ(main()->StatusText(), "  " + name + ".Orders  " + counts + "  Deletes");
        EXPECT_EQ(main()->findChild<QProgressBar*>(), nullptr);  // gone with the run
    }
}

TEST_F(DeleteTest, RefusalsAndErrorsLeaveTheDialogOpenAndTheRecordsInPlace) {
    open("Sales");
    run([&](frmDelete& d) {
        for (const char* typed : {"   ", "WHERE  "}) {
            prompts->messages.clear();
            d.txtWhere->setPlainText(typed);
            d.cmdDelete->click();
            ASSERT_EQ(messageTexts(), std::vector<QString>{"No where clause was specified."});
            EXPECT_EQ(prompts->messages.back().caption, "Error");
            EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
        }
        d.txtWhere->setPlainText("Qty >");
        d.cmdDelete->click();
        // The engine's description, a blank and the statement sent.
        const QString sent = " Delete from [Orders] Where Qty >";
        EXPECT_TRUE(prompts->lastText().endsWith(sent) && prompts->lastText().size() > sent.size());
        EXPECT_FALSE(main()->StatusText().contains("Deletes"));
        d.optScope[1]->click();
        for (const char* number : {"abc", "40000"}) {
            prompts->messages.clear();
            d.txtRestNumber->setText(number);
            d.cmdDelete->click();
            EXPECT_EQ(prompts->messages.size(), 1u) << number;
        }
        EXPECT_TRUE(d.isVisible());
        d.cmdCancel->click();
    });
    EXPECT_TRUE(gone(20).empty());
}

TEST_F(DeleteTest, NextStoppedByAnErrorKeepsAndCountsWhatItDeleted) {
    open("Sales", 20, 2);
    openDb(path)->Execute("DELETE FROM Orders WHERE Qty = 6");  // another user, ahead of the run
    run([&](frmDelete& d) {
        d.optScope[1]->click();
        d.txtRestNumber->setText("10");
        d.cmdDelete->click();
        EXPECT_EQ(prompts->messages.size(), 1u);
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(gone(20), range(3, 6));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  16  Records  3  Deletes");
    // The deletes were committed: another connection can write at once.
    openDb(path)->Execute("DELETE FROM Orders WHERE Qty = 7");
    EXPECT_EQ(gone(20), range(3, 7));
}

}  // namespace
