// Record, Delete: all records, the next N from the current record, or those
// that meet a condition; the count goes to the status bar and what was
// deleted before an error stays deleted and is counted.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>

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
    // A fresh 1..rows table in its own file, open in work area A.
    void openSales(const std::string& file, int rows = 20) {
        path = makeSales(file, rows);
        openDb(path)->Execute("ALTER TABLE Orders ADD COLUMN Somewhere Text(10)");
        grid = openTable(0, path, "Orders");
        ASSERT_NE(grid, nullptr);
    }
    void startAt(int row) {
        grid->rs1->SetAbsolutePosition(row);
        grid->Data1->NotifyMoved();
    }
    // The Qty values left in the file, ascending.
    std::vector<long> remaining() const {
        std::vector<long> out;
        auto rs = openDb(path)->OpenRecordset("SELECT Qty FROM Orders ORDER BY Qty");
        for (; !rs->EOF_(); rs->MoveNext()) out.push_back(static_cast<long>(rs->Fields("Qty").Value().intValue()));
        return out;
    }
    static std::vector<long> allBut(int rows, const std::vector<long>& gone) {
        std::vector<long> out;
        for (long n = 1; n <= rows; ++n)
            if (std::find(gone.begin(), gone.end(), n) == gone.end()) out.push_back(n);
        return out;
    }
    // Record, Delete; `inDialog` drives the dialog while it shows.
    void run(const std::function<void(frmDelete&)>& inDialog) {
        bool shown = false;
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmDelete*>(&d);
            ASSERT_NE(dialog, nullptr);
            shown = true;
            dialog->activateWindow();
            inDialog(*dialog);
        };
        main()->mnuDelete->trigger();
        prompts->onModal = {};
        EXPECT_TRUE(shown);
    }
    std::string path;
    frmGrid* grid = nullptr;
};

TEST_F(DeleteTest, WhereDeletesWhatTheConditionMeetsAfterAnyKeyword) {
    struct Case { const char* typed; const char* sent; std::vector<long> gone; };
    const std::vector<Case> cases = {
        {"Qty > 17", "Qty > 17", {18, 19, 20}},
        {"where Qty <= 2", " Qty <= 2", {1, 2}},
        {"SELECT * FROM Orders WhErE Qty = 5", " Qty = 5", {5}},
        // The letters of the keyword inside a value or a name are no keyword.
        {"Customer = 'Somewhere' Or Qty = 3", "Customer = 'Somewhere' Or Qty = 3", {3}},
        {"Somewhere Is Null And Qty = 4", "Somewhere Is Null And Qty = 4", {4}},
        {"Qty > 100", "Qty > 100", {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string file = "Where" + std::to_string(++n) + ".mdb";
        openSales(file);
        run([&](frmDelete& d) {
            EXPECT_EQ(d.windowTitle(), QString::fromStdString("Delete   Where" + std::to_string(n) + ".Orders"));
            EXPECT_TRUE(d.optScope[3]->isChecked());
            EXPECT_TRUE(d.txtWhere->isEnabled());
            EXPECT_FALSE(d.txtRestNumber->isEnabled());
            QTest::keyClicks(d.txtWhere, c.typed);
            d.cmdDelete->click();
            EXPECT_EQ(d.txtWhere->toPlainText(), c.sent);
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(remaining(), allBut(20, c.gone));
        EXPECT_EQ(grid->rs1->RecordCount(), static_cast<long>(20 - c.gone.size()));  // the grid was refreshed
        EXPECT_EQ(main()->StatusText(), QString("  Where%1.Orders  %2  Deletes").arg(n).arg(c.gone.size()));
    }
}

TEST_F(DeleteTest, AllAndNextScopes) {
    struct Case { int scope, from, rows; const char* number; std::vector<long> gone; long left; };
    std::vector<long> all450(450);
    for (long i = 0; i < 450; ++i) all450[static_cast<size_t>(i)] = i + 1;
    const std::vector<Case> cases = {
        {0, 0, 5, "", {1, 2, 3, 4, 5}, 0},
        {1, 3, 20, "4", {4, 5, 6, 7}, 16},
        {1, 17, 20, "10", {18, 19, 20}, 17},  // up to the end, no further
        {1, 5, 20, "0", {}, 20},
        {1, 0, 450, "500", all450, 0},  // past the progress reports, in one run
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("case " + std::to_string(n + 1));
        const std::string name = "Scope" + std::to_string(++n);
        openSales(name + ".mdb", c.rows);
        startAt(c.from);
        run([&](frmDelete& d) {
            QTest::keyClicks(d.txtWhere, "where Qty = 1");  // ignored by these scopes
            d.optScope[static_cast<size_t>(c.scope)]->click();
            EXPECT_FALSE(d.txtWhere->isEnabled());
            EXPECT_EQ(d.txtRestNumber->isEnabled(), c.scope == 1);
            if (c.scope == 1) {
                d.txtRestNumber->selectAll();
                QTest::keyClicks(d.txtRestNumber, c.number);
            }
            d.cmdDelete->click();
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(remaining(), allBut(c.rows, c.gone));
        EXPECT_EQ(grid->rs1->RecordCount(), c.left);
        const QString status = c.scope == 0 ? QString("  %1.Orders  %2  Deletes").arg(name.c_str()).arg(c.gone.size())
                                            : QString("  %1.Orders  %2  Records  %3  Deletes")
                                                  .arg(name.c_str()).arg(c.left).arg(c.gone.size());
        EXPECT_EQ(main()->StatusText(), status);
        EXPECT_EQ(main()->findChild<QProgressBar*>("RunProgress"), nullptr);  // gone with the run
    }
}

TEST_F(DeleteTest, RefusalsAndErrorsLeaveTheDialogOpenAndTheRecordsInPlace) {
    openSales("Sales.mdb");
    run([&](frmDelete& d) {
        for (const char* typed : {"   ", "WHERE  "}) {
            SCOPED_TRACE(typed);
            prompts->messages.clear();
            d.txtWhere->clear();
            QTest::keyClicks(d.txtWhere, typed);
            d.cmdDelete->click();
            ASSERT_EQ(messageTexts(), std::vector<QString>{"No where clause was specified."});
            EXPECT_EQ(prompts->messages.back().caption, "Error");
            EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
        }
        d.txtWhere->setPlainText("Qty >");
        d.cmdDelete->click();
        // The engine's description, a blank and the statement sent.
        const QString sent = " Delete from [Orders] Where Qty >";
        EXPECT_TRUE(prompts->lastText().endsWith(sent) && prompts->lastText().size() > sent.size())
            << prompts->lastText().toStdString();
        EXPECT_EQ(prompts->messages.back().caption, Prompts::kAppTitle);
        EXPECT_FALSE(main()->StatusText().contains("Deletes"));
        d.optScope[1]->click();
        for (const char* number : {"abc", "40000"}) {
            SCOPED_TRACE(number);
            prompts->messages.clear();
            d.txtRestNumber->selectAll();
            QTest::keyClicks(d.txtRestNumber, number);
            d.cmdDelete->click();
            EXPECT_EQ(prompts->messages.size(), 1u);
        }
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.txtRestNumber->text(), "40000");
        d.cmdCancel->click();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(remaining(), allBut(20, {}));
}

TEST_F(DeleteTest, NextStoppedByAnErrorKeepsAndCountsWhatItDeleted) {
    openSales("Sales.mdb");
    startAt(2);
    openDb(path)->Execute("DELETE FROM Orders WHERE Qty = 6");  // another user, ahead of the run
    run([&](frmDelete& d) {
        d.optScope[1]->click();
        d.txtRestNumber->selectAll();
        QTest::keyClicks(d.txtRestNumber, "10");
        d.cmdDelete->click();
        EXPECT_EQ(prompts->messages.size(), 1u);
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(remaining(), allBut(20, {3, 4, 5, 6}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  16  Records  3  Deletes");
    // The deletes were committed: another connection can write at once.
    openDb(path)->Execute("DELETE FROM Orders WHERE Qty = 7");
    EXPECT_EQ(remaining(), allBut(20, {3, 4, 5, 6, 7}));
}

}  // namespace
