// Update Table: one field of all records, of those meeting a condition, or of
// the next N records, each computed from a copy of its own record.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/frmUpdateTable.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class UpdateTableTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);  // Customer "C<n mod 7>", Qty n
        auto db = openDb(path);
        db->Execute("CREATE TABLE Items (Code Text(10), [Unit Price] Currency)");
        db->Execute("INSERT INTO Items VALUES ('a', 1.5), ('b', 2), ('c', 10)");
    }
    // Chooses the field as a user does and types into the "with" box.
    static void setField(frmUpdateTable& d, const QString& field, const QString& with) {
        QListWidget* list = d.lstFields;
        QList<QListWidgetItem*> hits = list->findItems(field, Qt::MatchExactly);
        ASSERT_EQ(hits.size(), 1) << field.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(hits[0]).center());
        QTest::keyClicks(d.TextWith, with);
    }
    bool run(const std::function<void(frmUpdateTable&)>& inDialog) { return runDialog(main()->mnuUpdateTable, inDialog); }
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> out;
        auto rs = openDb(path)->OpenRecordset(sql);
        for (; !rs->EOF_(); rs->MoveNext()) {
            out.emplace_back();
            for (const auto& f : rs->Fields()) out.back().push_back(f->Value().toText());
        }
        return out;
    }
    bool scratchTableExists() {
        auto scratch = openDb(dir.file("TempTables.mdb"));
        return scratch->TableDefs().Find("TempUpdateTable") != nullptr;
    }
    std::string path;
};

TEST_F(UpdateTableTest, AggregateStatementsCannotBeUpdatedByAPlainWordTest) {
    struct Case { const char* sql; bool opens; };
    for (const Case& c : {Case{"SELECT Customer, Sum(Qty) AS Total FROM Orders GROUP BY Customer", false},
                          Case{"SELECT * FROM Orders WHERE Customer <> 'Summary'", false},
                          Case{"SELECT * FROM Orders WHERE Qty > 3", true}}) {
        SCOPED_TRACE(c.sql);
        ASSERT_NE(openQuery(1, path, c.sql, "Q"), nullptr);
        prompts->messages.clear();
        EXPECT_EQ(run([](frmUpdateTable& d) { d.cmdCancel->click(); }), c.opens);
        if (!c.opens) {
            EXPECT_EQ(prompts->lastText(), "The selected recordset cannot have an aggregate function.");
        }
    }
}

TEST_F(UpdateTableTest, WhereAndAllRunOneStatementAfterTheRefusalsInTheirOrder) {
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(run([&](frmUpdateTable& d) {
        EXPECT_EQ(d.windowTitle(), "Update Table   Sales.Orders");
        EXPECT_TRUE(d.optScope[3]->isChecked());
        d.cmdReplace->click();
        EXPECT_EQ(prompts->lastText(), "Please select a field to update.");
        setField(d, "Qty", "");
        EXPECT_EQ(d.lblSet->text(), "Set Qty =");
        d.cmdReplace->click();
        EXPECT_EQ(prompts->lastText(), "No where clause was specified.");
        QTest::keyClicks(d.txtWhere, "WHERE Customer = 'C3'");
        d.cmdReplace->click();
        EXPECT_EQ(prompts->lastText(), "The set clause was not completed.");
        QTest::keyClicks(d.TextWith, "Qty = Qty * 100");  // only what follows "=" counts
        d.cmdReplace->click();
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_EQ(rows("SELECT Qty FROM Orders WHERE Customer = 'C3' ORDER BY Qty"),
              (std::vector<std::vector<std::string>>{{"300"}, {"1000"}, {"1700"}}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  3  Updates");
    EXPECT_EQ(grid->rs1->RecordCount(), 20);
    run([&](frmUpdateTable& d) {
        d.optScope[0]->click();
        EXPECT_FALSE(d.txtWhere->isEnabled());
        setField(d, "Customer", "'x' & Customer");
        d.cmdReplace->click();
    });
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE Customer Like 'xC*'"), (std::vector<std::vector<std::string>>{{"20"}}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  20  Updates");
    // A statement the engine refuses is shown with the message.
    run([&](frmUpdateTable& d) {
        setField(d, "Qty", "Nonsense(");
        QTest::keyClicks(d.txtWhere, "Qty > 0");
        d.cmdReplace->click();
        EXPECT_TRUE(prompts->lastText().endsWith(" Update [Orders] set Qty = Nonsense( Where Qty > 0")) << prompts->lastText().toStdString();
        EXPECT_TRUE(d.isVisible());
        d.cmdCancel->click();
    });
    EXPECT_FALSE(scratchTableExists());
}

TEST_F(UpdateTableTest, NextComputesEachRecordsOwnValueAndStopsAtAnExpressionItCannotCompute) {
    frmGrid* grid = openQuery(1, path, "SELECT * FROM Items ORDER BY Code", "Items");
    ASSERT_NE(grid, nullptr);
    grid->rs1->MoveNext();  // from b
    grid->Data1->NotifyMoved();
    run([&](frmUpdateTable& d) {
        EXPECT_TRUE(d.optScope[1]->isChecked());
        EXPECT_FALSE(d.optScope[0]->isEnabled());
        EXPECT_FALSE(d.optScope[3]->isEnabled());
        EXPECT_TRUE(scratchTableExists());
        setField(d, "Unit Price", "[Unit Price] * 2 + Len(Code)");
        d.txtRestNumber->setText("5");  // past the end: the rest are done
        d.cmdReplace->click();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(rows("SELECT Code, [Unit Price] FROM Items ORDER BY Code"),
              (std::vector<std::vector<std::string>>{{"a", "1.5"}, {"b", "5"}, {"c", "21"}}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Items  2  Updates");
    EXPECT_FALSE(scratchTableExists());

    grid->rs1->MoveFirst();
    run([&](frmUpdateTable& d) {
        setField(d, "Code", "NoSuchField & 'x'");
        d.cmdReplace->click();
        EXPECT_EQ(prompts->messages.back().caption, "Error");
        EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
        EXPECT_TRUE(d.isVisible());
        d.cmdCancel->click();
    });
    EXPECT_EQ(rows("SELECT Code FROM Items ORDER BY Code"), (std::vector<std::vector<std::string>>{{"a"}, {"b"}, {"c"}}));
}

TEST_F(UpdateTableTest, AGridThatCannotBeChangedIsRefusedTwice) {
    ASSERT_NE(openQuery(1, path, "SELECT o.Qty, i.Code FROM Orders AS o INNER JOIN Items AS i ON o.Qty = i.[Unit Price]", "J"),
              nullptr);
    run([&](frmUpdateTable& d) {
        setField(d, "Qty", "1");
        d.cmdReplace->click();
        EXPECT_EQ(messageTexts(), (std::vector<QString>{"The recordset is not updateable. See the help file on this dialog.",
                                                        "The recordset is not updateable, see the help file"}));
        d.cmdCancel->click();
    });
}

}  // namespace
