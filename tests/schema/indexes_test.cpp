// The index editor, reached through Table, Setup: what it lists, creating,
// replacing, deleting and modifying indexes with the grid closed and opened
// again at its place, and setting the order of the grid.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "schema/frmIndexes.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

class IndexesTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = makeSales("Sales.mdb", 12);
        auto db = openDb(path);
        for (const char* sql : {"CREATE TABLE Shipments (ShipID Counter PRIMARY KEY, CustID Long, OrderDate DateTime, "
                                "Notes Memo, Qty Long)",
                                "INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (3, #2024-01-05#, 7)",
                                "INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (1, #2024-02-01#, 7)",
                                "INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (2, #2024-03-09#, 9)",
                                "CREATE UNIQUE INDEX ByCustDate ON Shipments (CustID, OrderDate DESC)",
                                "CREATE INDEX ByCustomer ON Orders (Customer)", "CREATE INDEX ByQty ON Orders (Qty DESC)"})
            db->Execute(sql);
        db->Close();
        start();
        activateWindow(main());
    }
    // Table, Setup on the grid in `slot`; `drive` works the index editor, then Close.
    void runIndexes(int slot, const std::function<void(frmIndexes&)>& drive) {
        selectLine(slot);
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmIndexes*>(&d);
            ASSERT_NE(dialog, nullptr);
            activateWindow(dialog);
            drive(*dialog);
            dialog->cmdClose->click();
        };
        main()->mnuSetup->trigger();
        prompts->onModal = nullptr;
        settle();
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    // A click on a list line; a double click is that click and a second press.
    static void clickItem(QListWidget* list, const QString& text, bool twice = false) {
        auto items = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << text.toStdString() << " in " << texts(list).join("|").toStdString();
        QPoint at = list->visualItemRect(items[0]).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    static void typeName(frmIndexes& d, const QString& name) {
        click(d.txtIDXName);
        QTest::keyClick(d.txtIDXName, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(d.txtIDXName, Qt::Key_Delete);
        QTest::keyClicks(d.txtIDXName, name);
    }
    // The table's indexes as another connection reads them: "name:field ASC,field DESC:PU".
    QStringList storedIndexes(const std::string& table) const {
        QStringList out;
        auto db = openDb(path);
        for (const auto& ix : db->TableDefs()[table].Indexes()) {
            QStringList fields;
            for (const auto& f : ix->Fields()) fields << QString::fromStdString(f->Name()) + (f->Attributes() ? " DESC" : " ASC");
            out << QString::fromStdString(ix->Name()) + ":" + fields.join(",") + ":" + (ix->Primary() ? "P" : "") +
                       (ix->Unique() ? "U" : "");
        }
        return out;
    }
    frmGrid* grid(int slot) const { return moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)]; }
    std::string path;
};

TEST_F(IndexesTest, ListsTheIndexesAndSetTogglesTheGridsOrder) {
    frmGrid* g = openTable(2, path, "Shipments");
    ASSERT_NE(g, nullptr);
    g->rs1->SetIndex("ByCustDate");
    auto firstShip = [&] { return g->DBGrid1->model()->index(0, 0).data().toString(); };
    runIndexes(2, [&](frmIndexes& d) {
        EXPECT_EQ(d.windowTitle(), "Indexes  Sales.Shipments");
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ ByCustDate", "  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "No Order");
        EXPECT_EQ(texts(d.lstDescrption), QStringList({"CustID  ASC", "OrderDate  DESC"}));
        EXPECT_TRUE(d.chkIsUnique->isChecked());
        EXPECT_FALSE(d.chkIsPrimary->isChecked());
        EXPECT_EQ(texts(d.lstFields), QStringList({"ShipID", "CustID", "OrderDate", "Qty"})) << "no Memo field";
        EXPECT_TRUE(d.optASC[0]->isChecked());
        const QFontMetrics fm(d.lstIndexes->font());
        EXPECT_EQ(fm.horizontalAdvance("^ i"), fm.horizontalAdvance("  W")) << "marks line up in a fixed-pitch font";
        click(d.chkIsUnique);
        EXPECT_TRUE(d.chkIsUnique->isChecked()) << "the index's properties are shown, not edited";
        // Set moves the mark and the grid's order; pressed again it is No Order.
        clickItem(d.lstIndexes, "  PrimaryKey");
        EXPECT_EQ(d.cmdSet->text(), "Set");
        EXPECT_TRUE(d.chkIsPrimary->isChecked());
        click(d.cmdSet);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustDate", "^ PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "No Order");
        EXPECT_EQ(g->rs1->Index(), "PrimaryKey");
        EXPECT_EQ(firstShip(), "1") << "the grid redraws in the new order";
        clickItem(d.lstIndexes, "  ByCustDate");
        click(d.cmdSet);
        EXPECT_EQ(firstShip(), "2");
        click(d.cmdSet);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustDate", "  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "Set");
        EXPECT_EQ(g->rs1->Index(), "");
    });
    EXPECT_EQ(grid(2), g) << "setting the order does not close the grid";
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(IndexesTest, AddBuildsTheNameReplacesAnyCaseAndReopensTheGridInPlace) {
    QPointer<frmGrid> before = openTable(1, path, "Shipments");
    ASSERT_TRUE(before);
    before->MoveTwips(600, 300, 7000, 2500);
    const QRect rect = before->subWindow()->geometry();
    runIndexes(1, [&](frmIndexes& d) {
        clickItem(d.lstFields, "CustID");
        click(d.cmdAdd);
        clickOption(d.optASC[1]);
        clickItem(d.lstFields, "OrderDate", true);
        EXPECT_EQ(d.txtIDXName->text(), "CustIDOrderDate");
        EXPECT_EQ(texts(d.lstIndexfield), QStringList({"CustID  ASC", "OrderDate  DESC"}));
        EXPECT_EQ(texts(d.lstFields), QStringList({"ShipID", "Qty"})) << "a field is offered once";
        // Taken out, a field goes back to the end and out of the built name.
        clickItem(d.lstIndexfield, "CustID  ASC", true);
        EXPECT_EQ(texts(d.lstFields), QStringList({"ShipID", "Qty", "CustID"}));
        clickOption(d.optASC[0]);
        clickItem(d.lstFields, "CustID", true);
        EXPECT_EQ(d.txtIDXName->text(), "OrderDateCustID");
        click(d.chkUnique);
        click(d.cmdCreateIndex);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustDate", "^ OrderDateCustID", "  PrimaryKey"}));
        EXPECT_TRUE(d.txtIDXName->text().isEmpty());
        EXPECT_EQ(d.lstFields->count(), 4) << "the creation area is cleared";
        EXPECT_FALSE(d.chkUnique->isChecked());
        // A typed name stays while fields are added, and replaces the index
        // of that name in other letters without a question.
        typeName(d, "bycustdate");
        clickItem(d.lstFields, "Qty", true);
        EXPECT_EQ(d.txtIDXName->text(), "bycustdate");
        click(d.cmdCreateIndex);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ bycustdate", "  OrderDateCustID", "  PrimaryKey"}));
    });
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(storedIndexes("Shipments"), QStringList({"bycustdate:Qty ASC:", "OrderDateCustID:OrderDate DESC,CustID ASC:U",
                                                       "PrimaryKey:ShipID ASC:PU"}));
    EXPECT_TRUE(before.isNull()) << "the grid was closed for the change";
    frmGrid* after = grid(1);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->subWindow()->geometry(), rect);
    EXPECT_EQ(view()->lstTable->item(1)->text(), "Sales.Shipments");
    EXPECT_EQ(after->rs1->Index(), "bycustdate");
}

// Modify loads an index; an index the engine refuses (unique over duplicates)
// loses nothing: the index it was to replace is back, the grid open in its order.
TEST_F(IndexesTest, ModifyLoadsAnIndexAndARefusedOneLosesNothing) {
    frmGrid* g = openTable(0, path, "Orders");
    ASSERT_NE(g, nullptr);
    g->rs1->SetIndex("ByCustomer");
    const QStringList stored = storedIndexes("Orders");
    runIndexes(0, [&](frmIndexes& d) {
        clickItem(d.lstIndexes, "^ ByCustomer");
        click(d.cmdModify);
        EXPECT_EQ(d.txtIDXName->text(), "ByCustomer");
        EXPECT_EQ(texts(d.lstIndexfield), QStringList({"Customer  ASC"}));
        EXPECT_EQ(texts(d.lstFields), QStringList({"OrderID", "Qty"}));
        EXPECT_FALSE(d.chkUnique->isChecked());
        click(d.chkUnique);
        click(d.cmdCreateIndex);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ ByCustomer", "  ByQty", "  PrimaryKey"}));
        EXPECT_EQ(d.txtIDXName->text(), "ByCustomer") << "what was typed stays for another try";
    });
    EXPECT_EQ(storedIndexes("Orders"), stored);
    ASSERT_NE(grid(0), nullptr);
    EXPECT_EQ(grid(0)->rs1->Index(), "ByCustomer");
    EXPECT_EQ(grid(0)->rs1->RecordCount(), 12);
}

TEST_F(IndexesTest, DeleteKeepsTheGridsOrderUnlessItDeletesThatIndex) {
    frmGrid* g = openTable(0, path, "Orders");
    ASSERT_NE(g, nullptr);
    g->rs1->SetIndex("ByQty");
    runIndexes(0, [&](frmIndexes& d) {
        clickItem(d.lstIndexes, "  ByCustomer");
        click(d.cmdDelete);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ ByQty", "  PrimaryKey"}));
        ASSERT_NE(grid(0), nullptr);
        EXPECT_EQ(grid(0)->rs1->Index(), "ByQty");
        clickItem(d.lstIndexes, "^ ByQty");
        click(d.cmdDelete);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "Set");
        EXPECT_EQ(d.lstDescrption->count(), 0);
    });
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(storedIndexes("Orders"), QStringList({"PrimaryKey:OrderID ASC:PU"}));
    ASSERT_NE(grid(0), nullptr);
    EXPECT_EQ(grid(0)->rs1->Index(), "");
    EXPECT_EQ(grid(0)->DBGrid1->model()->index(0, 0).data().toString(), "1") << "natural order";
}

TEST_F(IndexesTest, InputProblemsAreRefusedAndChangeNothing) {
    QPointer<frmGrid> g = openTable(0, path, "Orders");
    ASSERT_TRUE(g);
    const QStringList stored = storedIndexes("Orders");
    using Icon = Prompts::Icon;
    const struct {
        std::function<void(frmIndexes&)> act;
        QString text;
        Icon icon;
    } cases[] = {
        {[](frmIndexes& d) { clickItem(d.lstFields, "Qty", true); typeName(d, "  "); click(d.cmdCreateIndex); },
         "Please enter an index name.", Icon::Information},
        {[](frmIndexes& d) { typeName(d, "Lonely"); click(d.cmdCreateIndex); }, "Please select a field to index on.",
         Icon::Information},
        {[](frmIndexes& d) { click(d.cmdDelete); }, "Please select an index.", Icon::Exclamation},
        {[](frmIndexes& d) { click(d.cmdSet); }, "Please select an index.", Icon::Exclamation},
        {[](frmIndexes& d) { click(d.cmdModify); }, "Please select an index.", Icon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        prompts->messages.clear();
        runIndexes(0, c.act);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].text, c.text);
        EXPECT_EQ(prompts->messages[0].caption, "Error");
        EXPECT_EQ(prompts->messages[0].icon, c.icon);
        EXPECT_TRUE(g) << "the grid stays open";
        EXPECT_EQ(storedIndexes("Orders"), stored);
    }
}

// Table, Setup and the database window's Setup: the index editor for a local
// table, a refusal for a linked one, the Modify dialog for a query grid.
TEST_F(IndexesTest, SetupChoosesByTheKindOfGrid) {
    {
        auto db = openDb(path);
        db->TableDefs().Append(db->CreateTableDef("LinkedOrders", 0, "Orders", ";DATABASE=" + makeSales("Base.mdb", 2)));
    }
    ASSERT_NE(openTable(0, path, "LinkedOrders"), nullptr);
    ASSERT_NE(openQuery(1, path, "SELECT * FROM Orders", "All"), nullptr);
    ASSERT_NE(openTable(2, path, "Orders"), nullptr);
    const struct {
        int slot;
        QString refusal;     // a message instead of a dialog
        const char* dialog;  // the dialog that opens
    } cases[] = {{0, "Indexes cannot be set on linked tables.", ""}, {1, "", "frmModify"}, {2, "", "frmIndexes"}};
    for (const auto& c : cases)
        for (bool viaButton : {false, true}) {
            SCOPED_TRACE(c.slot);
            prompts->messages.clear();
            QString opened;
            prompts->onModal = [&](QDialog& d) {
                opened = d.objectName();
                d.reject();
            };
            selectLine(c.slot);
            if (viaButton) view()->cmdSetup->click();
            else main()->mnuSetup->trigger();
            prompts->onModal = nullptr;
            EXPECT_EQ(opened, QString(c.dialog));
            ASSERT_EQ(prompts->messages.size(), c.refusal.isEmpty() ? 0u : 1u);
            if (c.refusal.isEmpty()) continue;
            EXPECT_EQ(prompts->messages[0].text, c.refusal);
            EXPECT_EQ(prompts->messages[0].caption, "Error");
        }
}

}  // namespace
