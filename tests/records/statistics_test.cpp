// Table, Statistics: a select statement over the current grid's source,
// completed with the builder's select set and run into the modal result window.
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

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
    // window if it shows. True when it showed.
    bool run(const std::function<void(frmStatistics&)>& inDialog,
             const std::function<void(frmStatisticsGrid1&)>& inResult = [](frmStatisticsGrid1&) {}) {
        bool resultShown = false;
        prompts->onModal = [&](QDialog& d) {
            d.activateWindow();
            if (auto* dialog = qobject_cast<frmStatistics*>(&d)) {
                inDialog(*dialog);
            } else if (auto* result = qobject_cast<frmStatisticsGrid1*>(&d)) {
                resultShown = true;
                inResult(*result);
            }
        };
        main()->mnuStatistics->trigger();
        prompts->onModal = {};
        EXPECT_EQ(prompts->modals.size(), resultShown ? 2u : 1u);  // the dialog, then the result
        prompts->modals.clear();
        return resultShown;
    }
    // Types the column list at the caret and runs the statement.
    static std::function<void(frmStatistics&)> typeAndRun(const QString& columns) {
        return [columns](frmStatistics& d) {
            QTest::keyClicks(d.txtSelect, columns);
            d.cmdSet->click();
        };
    }
    static QString cell(frmStatisticsGrid1& r, int row, int column) {
        return r.DBGrid1->model()->index(row, column).data().toString();
    }
    std::string path;
};

TEST_F(StatisticsTest, StartsFromTheGridsSourceWithItsFields) {
    struct Case { bool table; const char* source; const char* name; QString start; QStringList fields; };
    const std::vector<Case> cases = {
        {true, "Orders", "Orders", "Select  From Orders", {"OrderID", "Customer", "Qty"}},
        {true, "Order Details", "Order Details", "Select  From [Order Details]", {"Line", "Item"}},
        {false, "SELECT OrderID, Qty FROM Orders WHERE Qty > 10", "BigOrders", {}, {"OrderID", "Qty"}},
        {false, "SELECT Customer FROM Orders", "Typed", {}, {"Customer"}},  // not saved: the grid's fields
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frmGrid* grid = c.table ? openTable(0, path, c.source) : openQuery(0, path, c.source, c.name);
        ASSERT_NE(grid, nullptr);
        EXPECT_FALSE(run([&](frmStatistics& d) {
            EXPECT_EQ(d.windowTitle(), "Statistics");
            EXPECT_EQ(d.txtSelect->toPlainText(), c.table ? c.start : grid->Fullclause.toString());
            QStringList fields;
            for (int i = 0; i < d.builder->ComboFields->count(); ++i) fields << d.builder->ComboFields->itemText(i);
            EXPECT_EQ(fields, c.fields);
            EXPECT_NE(d.builder->ComboMath->findText("StDev()"), -1);  // the select set
            d.cmdClose->click();
        }));
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    }
}

TEST_F(StatisticsTest, RunShowsTheAggregatesAfterDroppingADanglingComma) {
    openTable(0, path, "Orders");
    EXPECT_TRUE(run([&](frmStatistics& d) {
        // Picks go between the keywords, where the caret waits.
        for (auto [combo, item] : {std::pair{d.builder->ComboMath, "MAX()"}, std::pair{d.builder->ComboFields, "Qty"}}) {
            combo->setCurrentIndex(combo->findText(item));
            emit combo->activated(combo->currentIndex());
        }
        EXPECT_EQ(d.txtSelect->toPlainText(), "Select MAX(Qty )  From Orders");
        QTest::keyClick(d.txtSelect, Qt::Key_Right);
        QTest::keyClicks(d.txtSelect, " As Most, Sum(Qty) As Total, Count(*),");
        d.cmdSet->click();
        EXPECT_FALSE(d.isVisible());
    }, [&](frmStatisticsGrid1& r) {
        EXPECT_EQ(r.windowTitle(), "Statistics");
        EXPECT_EQ(r.OriginalRSSource.toString(), "Select MAX(Qty ) As Most, Sum(Qty) As Total, Count(*)  From Orders");
        ASSERT_EQ(r.DBGrid1->model()->rowCount(), 1);
        EXPECT_EQ(QStringList({cell(r, 0, 0), cell(r, 0, 1), cell(r, 0, 2)}), QStringList({"20", "210", "20"}));
    }));
    // The result is only looked at, even when its rows could be written.
    EXPECT_TRUE(run(typeAndRun("Qty"), [&](frmStatisticsGrid1& r) {
        r.DBGrid1->setFocus();
        r.DBGrid1->setCurrentIndex(r.DBGrid1->model()->index(0, 0));
        QTest::keyClicks(r.DBGrid1, "99");
        QTest::keyClick(r.DBGrid1, Qt::Key_Return);
        EXPECT_EQ(cell(r, 0, 0), "1");
    }));
    EXPECT_EQ(openDb(path)->OpenRecordset("SELECT Qty FROM Orders WHERE Qty = 1")->RecordCount(), 1);
}

TEST_F(StatisticsTest, ResultRowsStatusAndWidth) {
    const std::string empty = makeSales("Empty.mdb", 0);
    QStringList many;
    for (int i = 0; i < 14; ++i) many << QString("Max(Customer) As C%1").arg(i);
    struct Case { bool emptyTable; QString columns; int rows; QString first; bool wide; };
    const std::vector<Case> cases = {
        {true, "Count(*), Sum(Qty)", 1, "0", false},  // an aggregate over no records is one row
        {true, "Qty", 0, "", false},
        {false, many.join(", "), 1, "C6", true},  // columns past 9555 twips: the widest window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columns.toStdString());
        openTable(0, c.emptyTable ? empty : path, "Orders");
        EXPECT_TRUE(run(typeAndRun(c.columns), [&](frmStatisticsGrid1& r) {
            EXPECT_EQ(r.DBGrid1->model()->rowCount(), c.rows);
            EXPECT_EQ(cell(r, 0, 0), c.first);
            EXPECT_EQ(main()->StatusText(), QString("    %1  Records").arg(c.rows));
            const double columns = r.columnwidth.toDouble();
            EXPECT_EQ(columns > 9555, c.wide);
            EXPECT_NEAR(Twips::fromPixelsX(r.width()), c.wide ? 10215 : columns + 660, 30);
        }));
    }
}

TEST_F(StatisticsTest, ARejectedStatementKeepsTheDialogOpenAndShowsNothing) {
    openTable(0, path, "Orders");
    EXPECT_FALSE(run([&](frmStatistics& d) {
        for (const char* statement : {"Select Sum(Qty From Orders", "Delete From Orders", "Select Nothing From Orders"}) {
            prompts->messages.clear();
            d.txtSelect->setPlainText(statement);
            d.cmdSet->click();
            ASSERT_EQ(prompts->messages.size(), 1u) << statement;
            EXPECT_TRUE(prompts->lastText().endsWith(". Check your syntax.")) << prompts->lastText().toStdString();
            EXPECT_TRUE(d.isVisible());
        }
        d.cmdClose->click();
    }));
    EXPECT_EQ(openDb(path)->OpenRecordset("Orders")->RecordCount(), 20);
    // A later command closed without a run shows no earlier result.
    EXPECT_TRUE(run(typeAndRun("Count(*)")));
    EXPECT_FALSE(run([](frmStatistics& d) { d.cmdClose->click(); }));
}

}  // namespace
