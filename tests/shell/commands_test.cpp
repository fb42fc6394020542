// Commands that act on whatever window is active: Font, the Edit commands and
// the Window menu.
#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTableView>
#include <QTreeWidget>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "shell/prompts.h"
#include "support/app_fixture.h"

namespace {

class CommandsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = makeSales();
        start();
    }
    void activate(QWidget* form) {
        main()->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
        settle();
    }
    std::string path;
};

// Copy takes the current cell of a grid; Font goes to the active window's
// controls and a cancelled choice changes nothing.
TEST_F(CommandsTest, EditAndFontCommandsActOnTheActiveWindow) {
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    activate(grid);
    grid->DBGrid1->setCurrentIndex(grid->DBGrid1->model()->index(3, 1));
    grid->DBGrid1->setFocus();
    QApplication::clipboard()->setText("before");
    main()->mnuEditCopy_Click();
    EXPECT_EQ(QApplication::clipboard()->text(), grid->DBGrid1->model()->index(3, 1).data().toString());
    // Cut on a grid cell copies and leaves the data alone.
    main()->mnuEditCut_Click();
    EXPECT_EQ(grid->DBGrid1->model()->index(3, 1).data().toString(), QApplication::clipboard()->text());

    prompts->fonts.push_back(QFont("Monospace", 17));
    main()->mnuFont->trigger();
    EXPECT_EQ(grid->DBGrid1->font().pointSize(), 17);

    activate(view());
    QFont before = view()->lstTable->font();
    prompts->fonts.push_back(std::nullopt);  // cancelled
    main()->mnuFont->trigger();
    EXPECT_EQ(view()->lstTable->font(), before);
    EXPECT_TRUE(prompts->messages.empty());

    prompts->fonts.push_back(QFont("Monospace", 15));
    main()->mnuFont->trigger();
    EXPECT_EQ(view()->lstTable->font().pointSize(), 15);
    EXPECT_EQ(view()->TreeViewRelations->font().pointSize(), 15);
    EXPECT_EQ(grid->DBGrid1->font().pointSize(), 17);  // the grid keeps its own
}

TEST_F(CommandsTest, WindowMenuListsTheChildWindowsAndArrangesThem) {
    frmGrid* a = openTable(0, path, "Orders");
    frmGrid* b = openQuery(1, path, "SELECT * FROM Orders WHERE Qty > 10", "Big");
    ASSERT_TRUE(a && b);
    auto listed = [&] {
        emit main()->mnuWindow->aboutToShow();
        QStringList out;
        for (QAction* act : main()->mnuWindow->actions())
            if (act->property("childWindow").toBool() && !act->isSeparator()) out << act->text();
        return out;
    };
    const QStringList first = listed();
    EXPECT_EQ(first.size(), 3);
    for (const char* title : {"View", "Sales.Orders", "Sales.Big"}) EXPECT_EQ(first.filter(title).size(), 1) << title;
    EXPECT_EQ(listed().size(), 3) << "shown again, the list is rebuilt, not appended to";

    // Tile Horizontal: full-width rows; Tile Vertical: full-height columns; both
    // cover the frame without overlap.
    QRect area = main()->mdiArea->viewport()->rect();
    struct Tiling {
        QAction* command;
        bool rows;
    } tilings[] = {{main()->mnuWindowTileHorizontal, true}, {main()->mnuWindowTileVertical, false}};
    for (const Tiling& t : tilings) {
        t.command->trigger();
        const auto subs = main()->mdiArea->subWindowList();
        ASSERT_EQ(subs.size(), 3);
        int covered = 0;
        for (QMdiSubWindow* w : subs) {
            EXPECT_EQ(t.rows ? w->width() : w->height(), t.rows ? area.width() : area.height());
            covered += w->width() * w->height();
            for (QMdiSubWindow* other : subs)
                if (other != w) {
                    EXPECT_FALSE(w->geometry().intersects(other->geometry()));
                }
        }
        EXPECT_EQ(covered, area.width() * area.height());
    }
    // Cascade keeps each window's size and steps them in stacking order.
    a->subWindow()->resize(300, 200);
    b->subWindow()->resize(280, 150);
    main()->mdiArea->setActiveSubWindow(a->subWindow());
    main()->mnuWindowCascade->trigger();
    EXPECT_EQ(a->subWindow()->size(), QSize(300, 200));
    EXPECT_EQ(b->subWindow()->size(), QSize(280, 150));
    const auto stacked = main()->mdiArea->subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(stacked.size(), 3);
    EXPECT_EQ(stacked.last(), a->subWindow()) << "the active window stays on top";
    for (int i = 1; i < stacked.size(); ++i) {
        EXPECT_GT(stacked[i]->x(), stacked[i - 1]->x());
        EXPECT_GT(stacked[i]->y(), stacked[i - 1]->y());
    }
    main()->mnuViewWindow->trigger();
    settle();
    EXPECT_EQ(main()->mdiArea->activeSubWindow(), view()->parentWidget());
}

// The program's own input box for passwords shows dots, not the password.
TEST(PasswordBox, MasksWhatIsTyped) {
    Prompts::install(nullptr);  // the real Qt boxes
    QLineEdit::EchoMode mode = QLineEdit::Normal;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* edit = box->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        mode = edit->echoMode();
        QTest::keyClicks(edit, "ledgerly");
        box->accept();
    });
    std::optional<QString> typed = Prompts::password("Please enter the database password:", "Password Required");
    ScriptedPrompts::install();
    EXPECT_EQ(mode, QLineEdit::Password);
    EXPECT_EQ(typed.value_or(QString()), "ledgerly");
}

}  // namespace
