// Add Records: N blank records or N copies of the current record.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "records/frmAddRecord.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class AddRecordTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 5);  // OrderID counter, Customer "C<n mod 7>", Qty n
        openDb(path)->Execute("CREATE TABLE Ships ([Ship Name] Text(20) NOT NULL, Tons Long)");
        openDb(path)->Execute("INSERT INTO Ships VALUES ('Ada', 10), ('Bea', 20)");
    }
    void add(const QString& number, int option) {
        prompts->onModal = [&](QDialog& d) {
            auto& dialog = static_cast<frmAddRecord&>(d);
            dialog.activateWindow();
            EXPECT_TRUE(dialog.OptValues[0]->isChecked());
            dialog.OptValues[static_cast<size_t>(option)]->click();
            dialog.TxtNumber->selectAll();
            QTest::keyClicks(dialog.TxtNumber, number);
            QTest::keyClick(dialog.TxtNumber, Qt::Key_Return);  // Add is the default button
        };
        main()->mnuAddRecords->trigger();
        prompts->onModal = {};
    }
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> out;
        for (auto rs = openDb(path)->OpenRecordset(sql); !rs->EOF_(); rs->MoveNext()) {
            out.emplace_back();
            for (const auto& f : rs->Fields()) out.back().push_back(f->Value().toText());
        }
        return out;
    }
    std::string path;
};

TEST_F(AddRecordTest, BlankAndCopiedRecordsAreAddedAndCounted) {
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    add("3", 0);
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE Qty Is Null"), (std::vector<std::vector<std::string>>{{"3"}}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  8  Records  3  Records Added");
    EXPECT_EQ(grid->DBGrid1->model()->rowCount(), 8);
    add("0", 0);
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  8  Records  0  Records Added");
    // Copies of the third order take new AutoNumbers.
    grid->rs1->SetAbsolutePosition(2);
    grid->Data1->NotifyMoved();
    add("2", 1);
    EXPECT_EQ(rows("SELECT OrderID, Customer, Qty FROM Orders WHERE Qty = 3 ORDER BY OrderID"),
              (std::vector<std::vector<std::string>>{{"3", "C3", "3"}, {"9", "C3", "3"}, {"10", "C3", "3"}}));
    EXPECT_EQ(main()->StatusText(), "  Sales.Orders  10  Records  2  Records Added");
    EXPECT_TRUE(prompts->messages.empty());
    auto scratch = openDb(dir.file("TempTables.mdb"));
    EXPECT_EQ(scratch->TableDefs().Find("TempAddsTable"), nullptr);
}

TEST_F(AddRecordTest, AFieldNamedWithABlankIsCopiedAndARefusalKeepsWhatWasAdded) {
    frmGrid* grid = openTable(0, path, "Ships");
    ASSERT_NE(grid, nullptr);
    add("2", 1);
    EXPECT_EQ(rows("SELECT [Ship Name], Tons FROM Ships ORDER BY [Ship Name], Tons"),
              (std::vector<std::vector<std::string>>{{"Ada", "10"}, {"Ada", "10"}, {"Ada", "10"}, {"Bea", "20"}}));
    add("2", 0);  // a blank ship has no name, which the table requires
    EXPECT_FALSE(prompts->messages.empty());
    EXPECT_EQ(rows("SELECT count(*) FROM Ships"), (std::vector<std::vector<std::string>>{{"4"}}));
    add("40000", 0);
    EXPECT_TRUE(prompts->lastText().contains("40000"));
}

}  // namespace
