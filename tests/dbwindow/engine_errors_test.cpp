// Engine errors under open windows: the database window's handlers show the
// engine's message and end, and an error that escapes a handler reaches the
// application's event-loop guard, which shows it, writes it to standard error
// and keeps the program running.
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class EngineErrorTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        other = makeSales("Other.mdb", 5);
    }
    // A grid whose table was dropped by another program after the grid's own
    // connection rolled back a transaction: its next look at its rows fails.
    frmGrid* brokenGrid(int slot, const std::string& file) {
        std::string path = makeSales(file, 20);
        frmGrid* grid = openTable(slot, path, "Orders");
        EXPECT_NE(grid, nullptr);
        if (!grid) return nullptr;
        // Opened, it is the active window and the current grid.
        EXPECT_EQ(main()->mdiArea->activeSubWindow(), grid->subWindow());
        EXPECT_EQ(view()->CGrid, grid);
        grid->db1->BeginTrans();
        grid->db1->Rollback();
        openDb(path)->Execute("DROP TABLE Orders");
        return grid;
    }
    // The engine's description of that failure.
    static QString failure(frmGrid* grid) {
        QString text = engineMessage([&] { grid->rs1->RecordCount(); });
        EXPECT_FALSE(text.isEmpty()) << "the grid's recordset still reads";
        return text;
    }
    // The program goes on: another grid opens and the database window follows it.
    void expectTheProgramGoesOn() {
        prompts->messages.clear();
        frmGrid* fresh = openTable(5, other, "Orders");
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(fresh->successful, QVariant(true));
        EXPECT_EQ(view()->CGrid, fresh);
        EXPECT_EQ(main()->StatusText(), "  Other.Orders  5  Records");
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    }
    std::string other;
};

TEST_F(EngineErrorTest, DatabaseWindowHandlersShowTheEngineMessageAndEnd) {
    struct Case {
        const char* handler;
        std::function<void()> act;
        const char* suffix;  // nullptr: no message
    } cases[] = {
        {"selecting the grid's line",
         [this] {
             selectLine(1);
             selectLine(0);
         },
         ""},
        {"activating the database window", [this] { main()->mnuViewWindow->trigger(); }, ""},
        {"Refresh", [this] { view()->cmdRefresh->click(); }, " Check your syntax."},
        {"Close", [this] { view()->cmdClose->click(); }, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handler);
        frmGrid* grid = brokenGrid(0, "Sales" + std::to_string(++n) + ".mdb");
        ASSERT_NE(grid, nullptr);
        QString expected = failure(grid);
        if (c.suffix && *c.suffix) {
            // Refresh opens the table anew and fails on its name.
            expected = QString("The engine cannot find the input table or query 'Orders'. Make sure it exists and "
                               "that its name is spelled correctly.") +
                       c.suffix;
        }
        prompts->messages.clear();
        ASSERT_NO_THROW(c.act());
        settle();
        if (c.suffix) {
            ASSERT_FALSE(prompts->messages.empty());
            EXPECT_EQ(prompts->messages[0].text, expected);
            EXPECT_EQ(prompts->messages[0].caption, "Ledgerly");
            EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OK);
            EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::None);
        } else {
            EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
            EXPECT_EQ(moduleCreateGrid::WorkAreas[0], nullptr);
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass stayed";
        expectTheProgramGoesOn();
    }
}

TEST_F(EngineErrorTest, AnErrorEscapingAHandlerBecomesAMessageAndALineOnStandardError) {
    frmGrid* grid = brokenGrid(0, "Sales.mdb");
    ASSERT_NE(grid, nullptr);
    const QString expected = failure(grid);
    main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
    grid->DBGrid1->setFocus();
    settle();
    prompts->messages.clear();
    // The grid's row change has no trap of its own: moving the current cell
    // raises the engine's error in the event loop, twice before it runs on.
    testing::internal::CaptureStderr();
    QTest::keyClick(grid->DBGrid1, Qt::Key_Down);
    QTest::keyClick(grid->DBGrid1, Qt::Key_Down);
    settle();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "Ledgerly: Error 3000: " + expected.toStdString() + "\n";
    const size_t first = err.find(line);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_NE(err.find(line, first + 1), std::string::npos) << "each escape is written: " << err;
    // Shown once, after the event that failed.
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, expected);
    EXPECT_EQ(prompts->messages[0].caption, "Ledgerly");
    EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OK);
    // A later escape is shown again.
    QTest::keyClick(grid->DBGrid1, Qt::Key_Down);
    settle();
    EXPECT_EQ(prompts->messages.size(), 2u);
    expectTheProgramGoesOn();
}

}  // namespace
