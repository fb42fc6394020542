// Table, Statistics: a select statement over the current grid's source,
// completed with the builder's select set and run into the modal result window.
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "grids/frmStatisticsGrid1.h"
#include "records/clausebuilder.h"
#include "records/frmStatistics.h"
#include "shell/frmMain.h"
#include "shell/twips.h"
#include "support/app_fixture.h"

namespace {

class StatisticsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);
        auto db = openDb(path);
        db->Execute("CREATE TABLE [Order Details] (Line Long, Item Text(20))");
        db->CreateQueryDef("BigOrders", "SELECT OrderID, Qty FROM Orders WHERE Qty > 10");
    }
    // Table, Statistics: `inDialog` drives the dialog, `inResult` the result
    // window when it shows. True when the result window showed.
    bool run(const std::function<void(frmStatistics&)>& inDialog,
             const std::function<void(frmStatisticsGrid1&)>& inResult = {}) {
        bool dialogShown = false, resultShown = false;
        prompts->onModal = [&](QDialog& d) {
            d.activateWindow();
            if (auto* dialog = qobject_cast<frmStatistics*>(&d)) {
                dialogShown = true;
                inDialog(*dialog);
            } else if (auto* result = qobject_cast<frmStatisticsGrid1*>(&d)) {
                EXPECT_FALSE(dialogShown && resultShown);
                resultShown = true;
                if (inResult) inResult(*result);
            } else {
                ADD_FAILURE() << "unexpected modal " << d.objectName().toStdString();
            }
        };
        main()->mnuStatistics->trigger();
        prompts->onModal = {};
        EXPECT_TRUE(dialogShown);
        return resultShown;
    }
    static QStringList items(QComboBox* combo) {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
        return out;
    }
    static QString cell(frmStatisticsGrid1& r, int row, int column) {
        return r.DBGrid1->model()->index(row, column).data().toString();
    }
    void pick(QComboBox* combo, const QString& item) {
        combo->setFocus();
        combo->setCurrentIndex(combo->findText(item));
        emit combo->activated(combo->currentIndex());
    }
    std::string path;
};

TEST_F(StatisticsTest, StartsFromTheGridsSourceWithItsFields) {
    struct Case { bool table; const char* source; const char* name; QString start; QStringList fields; };
    const std::vector<Case> cases = {
        {true, "Orders", "Orders", "Select  From Orders", {"OrderID", "Customer", "Qty"}},
        {true, "Order Details", "Order Details", "Select  From [Order Details]", {"Line", "Item"}},
        {false, "SELECT OrderID, Qty FROM Orders WHERE Qty > 10", "BigOrders", {}, {"OrderID", "Qty"}},
        // Typed, not saved: the fields the grid shows.
        {false, "SELECT Customer FROM Orders", "Typed", {}, {"Customer"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frmGrid* grid = c.table ? openTable(0, path, c.source) : openQuery(0, path, c.source, c.name);
        ASSERT_NE(grid, nullptr);
        const QString start = c.table ? c.start : grid->Fullclause.toString();
        EXPECT_FALSE(run([&](frmStatistics& d) {
            EXPECT_EQ(d.windowTitle(), "Statistics");
            EXPECT_EQ(d.txtSelect->toPlainText(), start);
            EXPECT_EQ(items(d.builder->ComboFields), c.fields);
            EXPECT_TRUE(items(d.builder->ComboMath).contains("StDev()"));  // the select set
            d.cmdClose->click();
        }));
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    }
}

TEST_F(StatisticsTest, RunShowsTheAggregatesAfterDroppingADanglingComma) {
    openTable(0, path, "Orders");
    QString sent;
    bool shown = run(
        [&](frmStatistics& d) {
            // Picks go between the keywords, where the caret waits.
            pick(d.builder->ComboMath, "MAX()");
            pick(d.builder->ComboFields, "Qty");
            EXPECT_EQ(d.txtSelect->toPlainText(), "Select MAX(Qty )  From Orders");
            QTextCursor caret = d.txtSelect->textCursor();
            caret.setPosition(static_cast<int>(QString("Select MAX(Qty )").size()));
            d.txtSelect->setTextCursor(caret);
            QTest::keyClicks(d.txtSelect, " As Most, Sum(Qty) As Total, Count(*),");
            d.cmdSet->click();
            EXPECT_FALSE(d.isVisible());
        },
        [&](frmStatisticsGrid1& r) {
            EXPECT_EQ(r.windowTitle(), "Statistics");
            sent = r.OriginalRSSource.toString();
            ASSERT_EQ(r.DBGrid1->model()->rowCount(), 1);
            EXPECT_EQ(QStringList({cell(r, 0, 0), cell(r, 0, 1), cell(r, 0, 2)}), QStringList({"20", "210", "20"}));
            EXPECT_EQ(main()->StatusText(), "    1  Records");
        });
    EXPECT_TRUE(shown);
    EXPECT_EQ(sent, "Select MAX(Qty ) As Most, Sum(Qty) As Total, Count(*)  From Orders");
    EXPECT_EQ(frmStatistics::DropTrailingComma("Select Count(*) From Orders,"), "Select Count(*) From Orders");
    // The result is only looked at, even when its rows could be written.
    EXPECT_TRUE(run([&](frmStatistics& d) {
        QTest::keyClicks(d.txtSelect, "Qty");
        d.cmdSet->click();
    }, [&](frmStatisticsGrid1& r) {
        r.DBGrid1->setFocus();
        r.DBGrid1->setCurrentIndex(r.DBGrid1->model()->index(0, 0));
        QTest::keyClicks(r.DBGrid1, "99");
        QTest::keyClick(r.DBGrid1, Qt::Key_Return);
        EXPECT_EQ(cell(r, 0, 0), "1");
    }));
    EXPECT_EQ(openDb(path)->OpenRecordset("SELECT Qty FROM Orders WHERE Qty = 1")->RecordCount(), 1);
}

TEST_F(StatisticsTest, EmptyResultsStillShow) {
    path = makeSales("Empty.mdb", 0);
    openTable(0, path, "Orders");
    struct Case { const char* columns; int rows; QString status; };
    for (const Case& c : std::vector<Case>{{"Count(*), Sum(Qty)", 1, "    1  Records"},
                                           {"Qty", 0, "    0  Records"}}) {
        SCOPED_TRACE(c.columns);
        EXPECT_TRUE(run([&](frmStatistics& d) {
            QTest::keyClicks(d.txtSelect, c.columns);
            d.cmdSet->click();
        }, [&](frmStatisticsGrid1& r) {
            EXPECT_EQ(r.DBGrid1->model()->rowCount(), c.rows);
            if (c.rows) {
                EXPECT_EQ(cell(r, 0, 0), "0");
            }
            EXPECT_EQ(main()->StatusText(), c.status);
        }));
    }
}

TEST_F(StatisticsTest, ARejectedStatementKeepsTheDialogOpenAndShowsNothing) {
    openTable(0, path, "Orders");
    EXPECT_FALSE(run([&](frmStatistics& d) {
        for (const char* statement : {"Select Sum(Qty From Orders", "Delete From Orders", "Select Nothing From Orders"}) {
            SCOPED_TRACE(statement);
            prompts->messages.clear();
            d.txtSelect->setPlainText(statement);
            d.cmdSet->click();
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_TRUE(prompts->lastText().endsWith(". Check your syntax.")) << prompts->lastText().toStdString();
            EXPECT_EQ(prompts->messages.back().caption, Prompts::kAppTitle);
            EXPECT_TRUE(d.isVisible());
        }
        d.cmdClose->click();
    }));
    EXPECT_EQ(openDb(path)->OpenRecordset("Orders")->RecordCount(), 20);
    // A later command closed without running shows no earlier result.
    EXPECT_TRUE(run([&](frmStatistics& d) {
        QTest::keyClicks(d.txtSelect, "Count(*)");
        d.cmdSet->click();
    }));
    EXPECT_FALSE(run([&](frmStatistics& d) { d.cmdClose->click(); }));
}

TEST_F(StatisticsTest, TheResultWindowIsAsWideAsItsColumnsUpToAMaximum) {
    openTable(0, path, "Orders");
    QStringList many;
    for (int i = 0; i < 14; ++i) many << QString("Max(Customer) As C%1").arg(i);
    for (const QString& columns : {QString("Count(*)"), many.join(", ")}) {
        SCOPED_TRACE(columns.toStdString());
        const bool wide = columns.contains(',');
        double columnWidth = 0, width = 0;
        run([&](frmStatistics& d) {
            QTest::keyClicks(d.txtSelect, columns);
            d.cmdSet->click();
        }, [&](frmStatisticsGrid1& r) {
            columnWidth = r.columnwidth.toDouble();
            width = Twips::fromPixelsX(r.width());
            EXPECT_EQ(r.NumCols, columns.count(',') + 1);
        });
        if (wide) {
            EXPECT_GT(columnWidth, 9555);
        } else {
            EXPECT_LT(columnWidth, 9555);
        }
        EXPECT_NEAR(width, wide ? 10215 : columnWidth + 660, 30);
    }
}

}  // namespace
