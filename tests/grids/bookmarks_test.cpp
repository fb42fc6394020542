// Bookmarks and record numbers through the Record menu: they act on the grid of
// the line selected in the database window, the grid follows every move, and a
// move that fails says why and leaves the current record where it was.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "dbwindow/frmView.h"
#include "grids/FrmRecordNumber.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

const QString kRange = " The record number must be between zero and the record count -1.";

class BookmarkTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = makeSales("Sales.mdb", 20);
        start();
        query = openQuery(0, path, "SELECT * FROM Orders WHERE Qty > 5", "Big");  // 15 rows
        ASSERT_NE(query, nullptr);
        activateWindow(main());
    }
    void clickLine(int line) {
        QListWidget* list = view()->lstTable;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(line)).center());
        settle();
    }
    void clickRow(frmGrid* g, int row) {
        main()->mdiArea->setActiveSubWindow(g->subWindow());
        settle();
        QModelIndex cell = g->DBGrid1->model()->index(row, 1);
        g->DBGrid1->scrollTo(cell);
        QTest::mouseClick(g->DBGrid1->viewport(), Qt::LeftButton, {}, g->DBGrid1->visualRect(cell).center());
    }
    // Record, Move to Record No.: types `text` and presses Enter (or Cancel).
    void moveToRecordNo(const QString& text, bool cancel = false) {
        bool shown = false;
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<FrmRecordNumber*>(&d);
            ASSERT_NE(dialog, nullptr);
            shown = true;
            activateWindow(dialog);
            ASSERT_EQ(QApplication::focusWidget(), dialog->TextREcordNumber);
            QTest::keyClicks(dialog->TextREcordNumber, text);
            if (cancel) QTest::mouseClick(dialog->CommandCancel, Qt::LeftButton);
            else QTest::keyClick(dialog->TextREcordNumber, Qt::Key_Return);
            EXPECT_FALSE(dialog->isVisible()) << "the dialog closes";
        };
        main()->mnuMovetoRecord->trigger();
        prompts->onModal = nullptr;
        settle();
        EXPECT_TRUE(shown) << "Move to Record No. showed no dialog";
    }
    std::string path;
    frmGrid* query = nullptr;
};

// Typed record numbers through Record, Move to Record No.: moves the grid
// follows, and failures that name the range.
TEST_F(BookmarkTest, TypedRecordNumbersMoveTheGridOrSayWhyNot) {
    auto rs = openDb(path)->OpenRecordset("SELECT * FROM Orders WHERE Qty > 5");
    const QString outOfRange = engineMessage([&] { rs->SetAbsolutePosition(15); });
    const QString negative = engineMessage([&] { rs->SetAbsolutePosition(-1); });
    const QString notANumber = engineMessage([] { engine::Variant("x").convertTo(engine::dbLong); });
    const QString tooBig = engineMessage([] { engine::Variant("3000000000").convertTo(engine::dbLong); });
    const struct {
        const char* typed;
        int row;          // where the grid is afterwards
        QString message;  // "" when the move succeeds
        bool cancel = false;
    } cases[] = {
        {"0", 0, ""},       {"14", 14, ""},     {" 7 ", 7, ""},     {"12", 7, "", true},
        {"15", 7, outOfRange + kRange},         {"-1", 7, negative + kRange},
        {"seven", 7, notANumber + kRange},      {"", 7, notANumber + kRange},
        {"3000000000", 7, tooBig + kRange},     {"2.5", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        prompts->messages.clear();
        moveToRecordNo(c.typed, c.cancel);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        } else {
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_EQ(prompts->messages[0].text, c.message);
        }
        EXPECT_EQ(query->rs1->AbsolutePosition(), c.row);
        EXPECT_EQ(query->DBGrid1->currentIndex().row(), c.row) << "the grid follows the recordset";
        EXPECT_EQ(main()->StatusText(), QString("  Sales.Big  Record: %1/15  ").arg(c.row));
    }
}

// The commands act on the grid of the selected line, not on the window that
// last had the focus.
TEST_F(BookmarkTest, CommandsActOnTheSelectedWorkArea) {
    frmGrid* other = openQuery(1, path, "SELECT * FROM Orders", "All");
    ASSERT_NE(other, nullptr);
    clickRow(query, 3);
    activateWindow(main());
    clickLine(1);  // the database window has the focus now, line B selected
    ASSERT_EQ(view()->CGrid, other);
    moveToRecordNo("9");
    EXPECT_EQ(other->rs1->AbsolutePosition(), 9);
    EXPECT_EQ(query->rs1->AbsolutePosition(), 3);

    main()->mnuSetBM->trigger();  // on B's record 9
    clickRow(other, 2);
    clickRow(query, 5);
    clickLine(1);
    main()->mnuMovetoBM->trigger();
    EXPECT_EQ(other->rs1->AbsolutePosition(), 9);
    EXPECT_EQ(other->DBGrid1->currentIndex().row(), 9);
    EXPECT_EQ(query->rs1->AbsolutePosition(), 5);
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(BookmarkTest, AnEmptyGridHasNoBookmarkToSetOrMoveTo) {
    openDb(path)->Execute("CREATE TABLE Nothing (A Long)");
    ASSERT_NE(openTable(3, path, "Nothing"), nullptr);
    auto rs = openDb(path)->OpenRecordset("Nothing");
    main()->mnuMovetoBM->trigger();
    main()->mnuSetBM->trigger();
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->messages[0].text, engineMessage([&] { rs->SetBookmark({}); }));
    EXPECT_EQ(prompts->messages[1].text, engineMessage([&] { rs->Bookmark(); }));
}

}  // namespace
