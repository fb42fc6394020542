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
#include <QStyleOptionButton>
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
        db->Execute("CREATE TABLE Shipments (ShipID Counter PRIMARY KEY, CustID Long, OrderDate DateTime, "
                    "Notes Memo, Qty Long)");
        db->Execute("INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (3, #2024-01-05#, 7)");
        db->Execute("INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (1, #2024-02-01#, 7)");
        db->Execute("INSERT INTO Shipments (CustID, OrderDate, Qty) VALUES (2, #2024-03-09#, 9)");
        db->Execute("CREATE UNIQUE INDEX ByCustDate ON Shipments (CustID, OrderDate DESC)");
        db->Execute("CREATE INDEX ByCustomer ON Orders (Customer)");
        db->Execute("CREATE INDEX ByQty ON Orders (Qty DESC)");
        db->Close();
        start();
        activate(main());
    }
    static void activate(QWidget* w) {
        QApplication::setActiveWindow(w);
        w->activateWindow();
        QApplication::processEvents();
    }
    // Table, Setup on the grid in `slot`; `drive` works the index editor.
    void runIndexes(int slot, const std::function<void(frmIndexes&)>& drive) {
        selectLine(slot);
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmIndexes*>(&d);
            ASSERT_NE(dialog, nullptr);
            activate(dialog);
            drive(*dialog);
            dialog->cmdClose->click();
        };
        main()->mnuSetup->trigger();
        prompts->onModal = nullptr;
        settle();
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    static void clickItem(QListWidget* list, const QString& text, bool twice = false) {
        auto items = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << text.toStdString() << " in " << texts(list).join("|").toStdString();
        QPoint at = list->visualItemRect(items[0]).center();
        // A double click is a click followed by the second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    static void clickOption(QRadioButton* b) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        QTest::mouseClick(b, Qt::LeftButton, {}, b->style()->subElementRect(QStyle::SE_RadioButtonClickRect, &opt, b).center());
    }
    static void typeName(frmIndexes& d, const QString& name) {
        click(d.txtIDXName);
        d.txtIDXName->selectAll();
        QTest::keyClick(d.txtIDXName, Qt::Key_Delete);
        QTest::keyClicks(d.txtIDXName, name);
    }
    // The table's indexes as a second connection reads them: "name:field ASC,field DESC:PU" (Primary, Unique).
    QStringList storedIndexes(const std::string& table) const {
        QStringList out;
        auto db = openDb(path);
        for (const auto& ix : db->TableDefs()[table].Indexes()) {
            QString s = QString::fromStdString(ix->Name()) + ":";
            for (const auto& f : ix->Fields())
                s += QString::fromStdString(f->Name()) + (f->Attributes() ? " DESC" : " ASC") + ",";
            s.chop(1);
            out << s + ":" + (ix->Primary() ? "P" : "") + (ix->Unique() ? "U" : "");
        }
        return out;
    }
    frmGrid* grid(int slot) const { return moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)]; }
    std::string path;
};

TEST_F(IndexesTest, ListsTheIndexesFieldsAndTheSetOne) {
    frmGrid* g = openTable(2, path, "Shipments");
    ASSERT_NE(g, nullptr);
    g->rs1->SetIndex("ByCustDate");
    runIndexes(2, [&](frmIndexes& d) {
        EXPECT_EQ(d.windowTitle(), "Indexes  Sales.Shipments");
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ ByCustDate", "  PrimaryKey"}));
        EXPECT_EQ(d.lstIndexes->currentRow(), 0);
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
        clickItem(d.lstIndexes, "  PrimaryKey");
        EXPECT_EQ(d.cmdSet->text(), "Set");
        EXPECT_EQ(texts(d.lstDescrption), QStringList({"ShipID  ASC"}));
        EXPECT_TRUE(d.chkIsPrimary->isChecked());
    });
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(IndexesTest, AddBuildsTheNameFromTheFieldsAndReopensTheGridInPlace) {
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
        // Taking a field out gives it back at the end and out of the built name.
        clickItem(d.lstIndexfield, "CustID  ASC", true);
        EXPECT_EQ(texts(d.lstFields), QStringList({"ShipID", "Qty", "CustID"}));
        EXPECT_EQ(d.txtIDXName->text(), "OrderDate");
        clickOption(d.optASC[0]);
        clickItem(d.lstFields, "CustID", true);
        EXPECT_EQ(d.txtIDXName->text(), "OrderDateCustID");
        click(d.chkUnique);
        click(d.cmdCreateIndex);
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustDate", "^ OrderDateCustID", "  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "No Order");
        // The creation area is ready for the next index.
        EXPECT_TRUE(d.txtIDXName->text().isEmpty());
        EXPECT_EQ(d.lstIndexfield->count(), 0);
        EXPECT_EQ(d.lstFields->count(), 4);
        EXPECT_FALSE(d.chkUnique->isChecked());
        EXPECT_TRUE(d.optASC[0]->isChecked());
        EXPECT_EQ(d.Grid(), grid(1));
    });
    EXPECT_TRUE(before.isNull()) << "the grid was closed for the change";
    frmGrid* after = grid(1);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->subWindow()->geometry(), rect);
    EXPECT_EQ(view()->lstTable->item(1)->text(), "Sales.Shipments");
    EXPECT_EQ(after->rs1->Index(), "OrderDateCustID");
    EXPECT_EQ(after->DBGrid1->model()->index(0, 2).data().toString(), "2024-03-09") << "the grid shows the new order";
    EXPECT_TRUE(storedIndexes("Shipments").contains("OrderDateCustID:OrderDate DESC,CustID ASC:U"))
        << storedIndexes("Shipments").join(" ").toStdString();
}

// A typed name is kept while fields are added; the same name in other letters
// replaces the index without a question.
TEST_F(IndexesTest, AddReplacesAnIndexOfTheSameNameInAnyCase) {
    ASSERT_NE(openTable(0, path, "Orders"), nullptr);
    runIndexes(0, [&](frmIndexes& d) {
        typeName(d, "byqty");
        clickItem(d.lstFields, "Customer", true);
        clickItem(d.lstFields, "OrderID", true);
        EXPECT_EQ(d.txtIDXName->text(), "byqty");
        click(d.cmdCreateIndex);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustomer", "^ byqty", "  PrimaryKey"}));
    });
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(storedIndexes("Orders"),
              QStringList({"ByCustomer:Customer ASC:", "byqty:Customer ASC,OrderID ASC:", "PrimaryKey:OrderID ASC:PU"}));
}

TEST_F(IndexesTest, ModifyLoadsAnIndexThatAddThenReplaces) {
    ASSERT_NE(openTable(0, path, "Shipments"), nullptr);
    runIndexes(0, [&](frmIndexes& d) {
        clickItem(d.lstIndexes, "  ByCustDate");
        click(d.cmdModify);
        EXPECT_EQ(d.txtIDXName->text(), "ByCustDate");
        EXPECT_TRUE(d.chkUnique->isChecked());
        EXPECT_FALSE(d.chkPrimary->isChecked());
        EXPECT_EQ(texts(d.lstIndexfield), QStringList({"CustID  ASC", "OrderDate  DESC"}));
        EXPECT_EQ(texts(d.lstFields), QStringList({"ShipID", "Qty"}));
        clickItem(d.lstIndexfield, "OrderDate  DESC");
        click(d.cmdRemove);
        clickItem(d.lstFields, "Qty", true);
        EXPECT_EQ(d.txtIDXName->text(), "ByCustDate") << "the loaded name stays";
        click(d.chkUnique);
        click(d.cmdCreateIndex);
    });
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(storedIndexes("Shipments"), QStringList({"ByCustDate:CustID ASC,Qty ASC:", "PrimaryKey:ShipID ASC:PU"}));
    EXPECT_EQ(grid(0)->rs1->Index(), "ByCustDate");
}

// An index the engine refuses (unique over duplicates) loses nothing: the
// index it was to replace is back and the grid is open in its old order.
TEST_F(IndexesTest, ARefusedIndexKeepsTheOneItWasToReplaceAndTheGrid) {
    frmGrid* g = openTable(0, path, "Orders");
    ASSERT_NE(g, nullptr);
    g->rs1->SetIndex("ByCustomer");
    const QStringList stored = storedIndexes("Orders");
    runIndexes(0, [&](frmIndexes& d) {
        clickItem(d.lstIndexes, "^ ByCustomer");
        click(d.cmdModify);
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

TEST_F(IndexesTest, SetTogglesWithNoOrderAndTheMarkFollows) {
    frmGrid* g = openTable(0, path, "Orders");
    ASSERT_NE(g, nullptr);
    QPointer<frmGrid> same = g;
    auto firstQty = [&] { return g->DBGrid1->model()->index(0, 2).data().toString(); };
    runIndexes(0, [&](frmIndexes& d) {
        EXPECT_EQ(d.cmdSet->text(), "Set");
        clickItem(d.lstIndexes, "  ByQty");
        click(d.cmdSet);
        EXPECT_EQ(g->rs1->Index(), "ByQty");
        EXPECT_EQ(firstQty(), "12") << "the grid redraws in the new order";
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustomer", "^ ByQty", "  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "No Order");
        clickItem(d.lstIndexes, "  ByCustomer");
        EXPECT_EQ(d.cmdSet->text(), "Set");
        click(d.cmdSet);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"^ ByCustomer", "  ByQty", "  PrimaryKey"}));
        EXPECT_EQ(g->rs1->Index(), "ByCustomer");
        click(d.cmdSet);
        EXPECT_EQ(texts(d.lstIndexes), QStringList({"  ByCustomer", "  ByQty", "  PrimaryKey"}));
        EXPECT_EQ(d.cmdSet->text(), "Set");
        EXPECT_EQ(g->rs1->Index(), "");
        EXPECT_EQ(firstQty(), "1");
    });
    EXPECT_FALSE(same.isNull()) << "setting the order does not close the grid";
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(IndexesTest, InputProblemsAreRefusedAndChangeNothing) {
    QPointer<frmGrid> g = openTable(0, path, "Orders");
    ASSERT_TRUE(g);
    const QStringList stored = storedIndexes("Orders");
    const struct {
        const char* name;
        std::function<void(frmIndexes&)> act;
        QString text;
        Prompts::Icon icon;
    } cases[] = {
        {"no name", [](frmIndexes& d) { clickItem(d.lstFields, "Qty", true); d.txtIDXName->clear(); click(d.cmdCreateIndex); },
         "Please enter an index name.", Prompts::Icon::Information},
        {"blank name", [](frmIndexes& d) { typeName(d, "   "); click(d.cmdCreateIndex); },
         "Please enter an index name.", Prompts::Icon::Information},
        {"no field", [](frmIndexes& d) { typeName(d, "Lonely"); click(d.cmdCreateIndex); },
         "Please select a field to index on.", Prompts::Icon::Information},
        {"delete", [](frmIndexes& d) { click(d.cmdDelete); }, "Please select an index.", Prompts::Icon::Exclamation},
        {"set", [](frmIndexes& d) { click(d.cmdSet); }, "Please select an index.", Prompts::Icon::Exclamation},
        {"modify", [](frmIndexes& d) { click(d.cmdModify); }, "Please select an index.", Prompts::Icon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
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
// table, a refusal for a linked one, the Modify place for a query grid.
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
        bool dialog;
        QString text, caption;
    } cases[] = {
        {0, false, "Indexes cannot be set on linked tables.", "Error"},
        {1, false, "", "Ledgerly"},
        {2, true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        for (bool viaButton : {false, true}) {
            prompts->messages.clear();
            prompts->modals.clear();
            selectLine(c.slot);
            bool editor = false;
            prompts->onModal = [&](QDialog& d) {
                editor = qobject_cast<frmIndexes*>(&d) != nullptr;
                d.reject();
            };
            if (viaButton) view()->cmdSetup->click();
            else main()->mnuSetup->trigger();
            prompts->onModal = nullptr;
            ASSERT_EQ(prompts->modals.size(), c.dialog ? 1u : 0u);
            if (c.dialog) {
                EXPECT_TRUE(editor);
                EXPECT_TRUE(prompts->messages.empty());
                continue;
            }
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_EQ(prompts->messages[0].caption, c.caption);
            if (!c.text.isEmpty()) EXPECT_EQ(prompts->messages[0].text, c.text);
            else EXPECT_TRUE(prompts->messages[0].text.contains("Modify")) << prompts->messages[0].text.toStdString();
        }
    }
}

}  // namespace
