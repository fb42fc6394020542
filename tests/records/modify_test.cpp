// Modify: the statement behind a query grid, changed and opened again.
#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "records/clausebuilder.h"
#include "records/frmModify.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class ModifyTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        path = makeSales("Sales.mdb", 20);
        openDb(path)->CreateQueryDef("Big", "SELECT OrderID, Qty FROM Orders WHERE Qty > 10");
        grid = openQuery(1, path, "SELECT OrderID, Qty FROM Orders WHERE Qty > 10", "Big");
        ASSERT_NE(grid, nullptr);
    }
    std::string path;
    frmGrid* grid = nullptr;
};

TEST_F(ModifyTest, ANewStatementReopensTheGridAndARefusedOneKeepsTheDialogOpen) {
    bool closed = false;
    prompts->onModal = [&](QDialog& d) {
        auto& dialog = static_cast<frmModify&>(d);
        dialog.activateWindow();
        EXPECT_EQ(dialog.windowTitle(), "Modify  Sales.Big");
        EXPECT_EQ(dialog.txtSelect->toPlainText(), grid->Fullclause.toString());
        EXPECT_EQ(dialog.builder->ComboFields->count(), 2);
        EXPECT_EQ(dialog.builder->ComboMath->count(), 31);  // the select set
        // A misspelt field: the grid's own message, and the dialog stays.
        dialog.txtSelect->setPlainText("SELECT OrderID, Qtyy FROM Orders WHERE Qtyy > 15");
        dialog.cmdSet->click();
        EXPECT_TRUE(prompts->lastText().endsWith(" Check your syntax.")) << prompts->lastText().toStdString();
        EXPECT_TRUE(dialog.isVisible());
        // A trailing comma left by a pick goes.
        dialog.txtSelect->setPlainText("SELECT OrderID, Qty FROM Orders WHERE Qty > 15 ORDER BY Qty DESC, ");
        dialog.cmdSet->click();
        closed = !dialog.isVisible();
    };
    view()->cmdSetup->click();
    prompts->onModal = {};
    EXPECT_TRUE(closed);
    EXPECT_EQ(grid->successful, QVariant(true));
    EXPECT_EQ(grid->rs1->RecordCount(), 5);
    EXPECT_EQ(grid->rs1->Fields("Qty").Value().toText(), "20");
}

}  // namespace
