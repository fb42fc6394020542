// Query Builder: tables and fields picked into a statement, field names
// qualified only where two chosen tables share them, Test and Save.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "queries/frmMakeQuery.h"
#include "records/clausebuilder.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class QueryBuilderTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = makeSales("Sales.mdb", 4);
        auto db = openDb(path);
        db->Execute("CREATE TABLE Customers (Customer Text(10), City Text(20))");
        db->Execute("CREATE TABLE [Order Details] (OrderID Long, Quantity Long)");
        db->Execute("CREATE TABLE USysNotes (X Long)");
        db->CreateQueryDef("Totals", "SELECT Customer FROM Orders");
        auto remote = db->CreateQueryDef("Remote");
        remote->SetConnect("ODBC;DSN=Elsewhere");
        remote->SetSQL("EXEC refresh_totals");
        db->Close();
        main()->mnuMakeaQuery->trigger();
        b = main()->findChild<frmMakeQuery*>();
        ASSERT_NE(b, nullptr);
        activateWindow(b);
        prompts->files.push_back(QString::fromStdString(path));
        QTest::mouseClick(b->cmdChooseDatabase, Qt::LeftButton);
    }
    void clickTable(const QString& name) {
        auto items = b->lstTables->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        b->lstTables->setFocus();
        QTest::mouseClick(b->lstTables->viewport(), Qt::LeftButton, {}, b->lstTables->visualItemRect(items[0]).center());
    }
    // Picks an entry from the open list of a combo, as a click does.
    static void pick(QComboBox* combo, const QString& entry) {
        const int i = combo->findText(entry);
        ASSERT_GE(i, 0) << entry.toStdString();
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(i, 0)).center());
    }
    QStringList fieldItems() const {
        QStringList out;
        for (int i = 0; i < b->builder->ComboFields->count(); ++i) out << b->builder->ComboFields->itemText(i);
        return out;
    }
    void retype(const QString& text) {
        b->txtSelect->setFocus();
        b->txtSelect->selectAll();
        QTest::keyClicks(b->txtSelect, text);
    }
    std::string path;
    frmMakeQuery* b = nullptr;
};

TEST_F(QueryBuilderTest, TablesAndFieldsAreWrittenQualifiedWhereTheyMustBe) {
    EXPECT_EQ(b->windowTitle(), "Query Builder  " + QString::fromStdString(path));
    QStringList tables;
    for (int i = 0; i < b->lstTables->count(); ++i) tables << b->lstTables->item(i)->text();
    EXPECT_EQ(tables, (QStringList{"Customers", "Order Details", "Orders"}));
    // A selected table is written into the statement, which takes the focus:
    // the field list follows the tables selected, in list order.
    clickTable("Orders");
    clickTable("Order Details");
    EXPECT_EQ(b->txtSelect->toPlainText(), "Orders [Order Details] ");
    const QStringList both = {"[Order Details].OrderID", "[Order Details].Quantity", "Orders.OrderID", "Orders.Customer",
                              "Orders.Qty"};
    EXPECT_EQ(fieldItems(), both);
    clickTable("Order Details");  // deselected: writes nothing, and the list keeps the focus
    EXPECT_EQ(b->txtSelect->toPlainText(), "Orders [Order Details] ");
    EXPECT_EQ(fieldItems(), both) << "the fields change only when the list loses the focus";
    clickTable("Customers");
    b->txtSelect->setFocus();
    retype("");
    pick(b->builder->ComboFields, "Orders.Customer");  // Customers has it too
    pick(b->builder->ComboFields, "Orders.Qty");
    b->OptionTableNames[1]->click();
    pick(b->builder->ComboFields, "Customers.City");
    EXPECT_EQ(b->txtSelect->toPlainText(), "Orders.Customer Qty Customers.City ");
}

TEST_F(QueryBuilderTest, TestFollowsTheFirstWordAndSaveAsksBeforeReplacing) {
    retype("  select Customer, City FROM Customers");
    EXPECT_TRUE(b->cmdTest->isEnabled());
    QTest::mouseClick(b->cmdTest, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"Successful."});
    retype("insert into Customers (City) values ('x')");
    EXPECT_FALSE(b->cmdTest->isEnabled());
    retype("SELECT City FROM Customers");
    prompts->messages.clear();
    QTest::mouseClick(b->cmdSave, Qt::LeftButton);
    EXPECT_EQ(messageTexts(), std::vector<QString>{"Please enter a name first."});
    // No keeps the old query and says nothing more; Yes replaces it.
    QTest::keyClicks(b->txtQueryName, "Totals");
    for (auto answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
        prompts->messages.clear();
        prompts->answers = {answer};
        QTest::mouseClick(b->cmdSave, Qt::LeftButton);
        EXPECT_EQ(prompts->messages[0].text, "A Query of that name already exists. Do you want to overwrite it?");
        EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::YesNo);
        EXPECT_EQ(prompts->messages.size(), answer == Prompts::Answer::Yes ? 2u : 1u);
        EXPECT_EQ(openDb(path)->QueryDefs()["Totals"].SQL(),
                  answer == Prompts::Answer::Yes ? "SELECT City FROM Customers" : "SELECT Customer FROM Orders");
    }
    EXPECT_EQ(prompts->lastText(), "Query successfully saved.");
    EXPECT_EQ(prompts->messages.back().caption, "Query Builder");
}

// Replacing a pass-through query with a built one makes it a query of ours;
// a text the dialect refuses leaves it as it was.
TEST_F(QueryBuilderTest, ReplacingAPassThroughQueryMakesItOurs) {
    QTest::keyClicks(b->txtQueryName, "Remote");
    for (const char* text : {"SELECT City FROM", "SELECT City FROM Customers"}) {
        SCOPED_TRACE(text);
        retype(text);
        prompts->messages.clear();
        prompts->answers = {Prompts::Answer::Yes};
        QTest::mouseClick(b->cmdSave, Qt::LeftButton);
        const bool valid = std::string(text) == "SELECT City FROM Customers";
        EXPECT_EQ(prompts->lastText() == "Query successfully saved.", valid) << prompts->lastText().toStdString();
        auto db = openDb(path);
        const engine::QueryDef& q = db->QueryDefs()["Remote"];
        EXPECT_EQ(q.SQL(), valid ? text : "EXEC refresh_totals");
        EXPECT_EQ(q.Type(), valid ? 0 : 112);
        EXPECT_EQ(q.Connect(), valid ? "" : "ODBC;DSN=Elsewhere");
    }
}

}  // namespace
