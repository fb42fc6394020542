// Query Manager and Run an Action Query: saved queries listed, tested, saved,
// deleted and run from a file chosen in the window, with every message.
#include <QAction>
#include <QListWidget>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "dbwindow/frmView.h"
#include "queries/frmActionQuery.h"
#include "queries/frmQueryManager.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"
#include "support/odbc_driver.h"

namespace {

using Strings = std::vector<std::string>;

class QueriesTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = makeSales("Sales.mdb", 6);
        auto db = openDb(path);
        db->Execute("CREATE TABLE Big (OrderID Long, Qty Long)");
        db->CreateQueryDef("Totals", "SELECT Customer, Sum(Qty) AS Total FROM Orders GROUP BY Customer");
        db->CreateQueryDef("Keep big", "INSERT INTO Big (OrderID, Qty) SELECT OrderID, Qty FROM Orders WHERE Qty > 4");
        db->CreateQueryDef("Both", "SELECT Customer FROM Orders UNION SELECT Customer FROM Orders");
        db->CreateQueryDef("Cross", "TRANSFORM Sum(Qty) SELECT Customer FROM Orders GROUP BY Customer PIVOT OrderID");
        db->Close();
    }
    static QStringList lines(QListWidget* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
        return out;
    }
    static void click(QListWidget* list, const QString& entry) {
        auto items = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << entry.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items[0]).center());
    }
    Strings savedTexts() const {
        Strings out;
        const auto db = openDb(path);
        for (const auto& q : db->QueryDefs()) out.push_back(q->Name() + ": " + q->SQL());
        return out;
    }
    std::string path;
};

TEST_F(QueriesTest, ManagerListsTestsSavesAndDeletesSavedQueries) {
    main()->mnuQueryManager->trigger();
    auto* m = main()->findChild<frmQueryManager*>();
    ASSERT_NE(m, nullptr);
    activateWindow(m);
    // Nothing chosen yet: each command asks for a query.
    for (QPushButton* b : {m->cmdTest, m->cmdSave, m->cmdDelete}) QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>(3, "Please select a query first."));
    EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Exclamation);
    prompts->messages.clear();
    prompts->files = {std::nullopt, QString::fromStdString(path)};
    QTest::mouseClick(m->cmdChooseDatabase, Qt::LeftButton);  // cancelled: nothing changes
    EXPECT_EQ(m->windowTitle(), "Query Manager");
    QTest::mouseClick(m->cmdChooseDatabase, Qt::LeftButton);
    EXPECT_EQ(m->windowTitle(), "Query Manager  " + QString::fromStdString(path));
    EXPECT_EQ(lines(m->lstQueries), (QStringList{"Both", "Cross", "Keep big", "Totals"}));
    // Test is for select queries only.
    click(m->lstQueries, "Keep big");
    EXPECT_TRUE(m->txtSelect->toPlainText().startsWith("INSERT INTO Big"));
    EXPECT_FALSE(m->cmdTest->isEnabled());
    click(m->lstQueries, "Totals");
    ASSERT_TRUE(m->cmdTest->isEnabled());
    QTest::mouseClick(m->cmdTest, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"Successful."});
    EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Information);
    ASSERT_NE(m->rsTest, nullptr);
    EXPECT_EQ(m->rsTest->RecordCount(), 6);
    // A text the engine refuses is reported and the saved query stays as it was.
    prompts->messages.clear();
    m->txtSelect->setFocus();
    m->txtSelect->selectAll();
    QTest::keyClicks(m->txtSelect, "SELECT FROM WHERE");
    QTest::mouseClick(m->cmdTest, Qt::LeftButton);
    QTest::mouseClick(m->cmdSave, Qt::LeftButton);
    EXPECT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(savedTexts()[3], "Totals: SELECT Customer, Sum(Qty) AS Total FROM Orders GROUP BY Customer");
    prompts->messages.clear();
    m->txtSelect->selectAll();
    QTest::keyClicks(m->txtSelect, "  SELECT Qty FROM Orders  ");
    QTest::mouseClick(m->cmdSave, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"Query successfully saved."});
    EXPECT_EQ(prompts->messages[0].caption, "Query Manager");
    EXPECT_EQ(savedTexts()[3], "Totals: SELECT Qty FROM Orders");
    // Delete asks nothing and lists the rest.
    QTest::mouseClick(m->cmdDelete, Qt::LeftButton);
    EXPECT_EQ(lines(m->lstQueries), (QStringList{"Both", "Cross", "Keep big"}));
    EXPECT_TRUE(m->txtSelect->toPlainText().isEmpty());
    EXPECT_EQ(savedTexts().size(), 3u);
    QTest::mouseClick(m->cmdClose, Qt::LeftButton);
    settle();
    EXPECT_EQ(main()->findChild<frmQueryManager*>(), nullptr);
}

TEST_F(QueriesTest, ActionQueriesAreListedRunAsEditedAndTheWindowCloses) {
    QTest::mouseClick(view()->cmdSQL, Qt::LeftButton);
    QPointer<frmActionQuery> r = main()->findChild<frmActionQuery*>();
    ASSERT_FALSE(r.isNull());
    activateWindow(r);
    EXPECT_FALSE(r->cmdRun->isEnabled());
    prompts->files = {QString::fromStdString(path), std::nullopt};
    QTest::mouseClick(r->cmdOpenDbase, Qt::LeftButton);
    EXPECT_EQ(lines(r->QryList), (QStringList{"Cross", "Keep big"})) << "select and union queries are not listed";
    QTest::mouseClick(r->cmdOpenDbase, Qt::LeftButton);  // cancelled: the list stays
    EXPECT_EQ(r->windowTitle(), "Run an Action Query  " + QString::fromStdString(path));
    // A crosstab cannot run: the engine's message, the window stays.
    click(r->QryList, "Cross");
    QTest::mouseClick(r->cmdRun, Qt::LeftButton);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_TRUE(prompts->lastText().contains("select query")) << prompts->lastText().toStdString();
    ASSERT_FALSE(r.isNull());
    // The edited text runs; the saved one is unchanged.
    prompts->messages.clear();
    click(r->QryList, "Keep big");
    EXPECT_TRUE(r->cmdRun->isEnabled());
    r->txtSQL->setFocus();
    r->txtSQL->selectAll();
    QTest::keyClicks(r->txtSQL, "INSERT INTO Big (OrderID, Qty) SELECT OrderID, Qty FROM Orders WHERE Qty > 5");
    QTest::mouseClick(r->cmdRun, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"The Query has finished running."});
    EXPECT_EQ(prompts->messages[0].caption, "Action Query");
    EXPECT_EQ(openDb(path)->OpenRecordset("Big")->RecordCount(), 1);
    EXPECT_EQ(savedTexts()[2], "Keep big: INSERT INTO Big (OrderID, Qty) SELECT OrderID, Qty FROM Orders WHERE Qty > 4");
    settle();
    EXPECT_TRUE(r.isNull()) << "the window closed after the run";
}

// A pass-through query's text, as edited, goes to its own data source.
TEST_F(QueriesTest, APassThroughQueryRunsAtItsDataSource) {
    const std::string driver = sqliteOdbcDriver();
    ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (package libsqliteodbc) is not installed";
    const std::string remote = makeSales("Remote.mdb", 3);
    {
        auto db = openDb(path);
        auto q = db->CreateQueryDef("Remote zero");
        q->SetConnect("ODBC;DRIVER=" + driver + ";Database=" + remote);
        q->SetSQL("UPDATE Orders SET Qty = 0");
    }
    QTest::mouseClick(view()->cmdSQL, Qt::LeftButton);
    QPointer<frmActionQuery> r = main()->findChild<frmActionQuery*>();
    ASSERT_FALSE(r.isNull());
    activateWindow(r);
    prompts->files = {QString::fromStdString(path)};
    QTest::mouseClick(r->cmdOpenDbase, Qt::LeftButton);
    click(r->QryList, "Remote zero");
    r->txtSQL->setFocus();
    r->txtSQL->selectAll();
    QTest::keyClicks(r->txtSQL, "UPDATE Orders SET Qty = 0 WHERE OrderID > 1");
    QTest::mouseClick(r->cmdRun, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"The Query has finished running."});
    Strings qty;
    for (auto rs = openDb(remote)->OpenRecordset("SELECT Qty FROM Orders ORDER BY OrderID"); !rs->EOF_(); rs->MoveNext())
        qty.push_back(rs->Fields("Qty").Value().toText());
    EXPECT_EQ(qty, (Strings{"1", "0", "0"}));
    EXPECT_EQ(openDb(path)->QueryDefs()["Remote zero"].SQL(), "UPDATE Orders SET Qty = 0");
}

}  // namespace
