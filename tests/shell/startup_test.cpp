// Start-up and shut-down of the main window: window positions from the
// settings, the database window's first state, the settings written on close,
// and a start without the scratch database.
#include <QScreen>
#include <QAction>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSettings>
#include <QToolBar>

#include <filesystem>
#include <iterator>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "shell/twips.h"
#include "support/app_fixture.h"

namespace {

// The program's settings group.
struct Settings : QSettings {
    Settings() : QSettings("Ledgerly", "Ledgerly") { beginGroup("Settings"); }
};

void expectNear(int actualPx, int expectedPx, const char* what) {
    EXPECT_LE(std::abs(actualPx - expectedPx), 1) << what << ": " << actualPx << " px, expected " << expectedPx;
}

class StartupTest : public AppFixture {};

// Empty settings give the default positions; the database window starts with
// twelve placeholders and no grid, the grid and document commands disabled.
TEST_F(StartupTest, FirstStartGivesDefaultPositionsAndAnEmptyDatabaseWindow) {
    start();
    ASSERT_NE(main(), nullptr);
    QRect g = main()->geometry();
    ASSERT_NE(view(), nullptr);
    QWidget* frame = view()->parentWidget();
    ASSERT_NE(frame, nullptr);
    // The first run's frame holds the database window and a grid beside it, within the screen.
    QRect avail = main()->screen()->availableGeometry();
    EXPECT_TRUE(avail.contains(main()->frameGeometry())) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height() << " in " << avail.x() << "," << avail.y() << " " << avail.width() << "x" << avail.height();
    EXPECT_EQ(view()->windowTitle(), "View");
    EXPECT_EQ(main()->windowTitle(), "Ledgerly");
    EXPECT_TRUE(prompts->messages.empty());

    QListWidget* list = find<QListWidget>(view(), "lstTable");
    ASSERT_EQ(list->count(), 12);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(view()->GridNO, 0);
    EXPECT_EQ(view()->CGrid, nullptr);
    for (const char* name : {"cmdClose", "cmdRelations", "cmdSetup", "cmdRefresh"})
        EXPECT_FALSE(find<QPushButton>(view(), name)->isEnabled()) << name;
    for (const char* name : {"cmdOpen", "cmdSQL"}) EXPECT_TRUE(find<QPushButton>(view(), name)->isEnabled()) << name;
    EXPECT_EQ(main()->StatusText(), "");
    for (const char* name : {"mnuEditCopy", "mnuEditCut", "mnuEditPaste", "mnuCopytoTable", "mnuCopytoText",
                             "mnuSetup", "mnuMovetoBM", "mnuSetBM", "mnuStatistics", "mnuUpdateTable",
                             "mnuUpdateTableJoin", "mnuFind", "mnuMovetoRecord", "mnuAddRecords",
                             "mnuAppendfromTable", "mnuAppendfromText", "mnuDelete", "mnuSeek", "mnuFilePrint",
                             "mnuFileSaveAs", "mnuFileSave", "mnuFileClose", "mnuFilePageSetup"})
        EXPECT_FALSE(find<QAction>(main(), name)->isEnabled()) << name;
    EXPECT_FALSE(main()->tbToolBar->isEnabled());
    for (const char* name : {"mnuFileNew", "mnuFileOpen", "mnuOpenRecordset", "mnuFileExit", "mnuQueryManager"})
        EXPECT_TRUE(find<QAction>(main(), name)->isEnabled()) << name;
}

// Close writes all six settings in twips; minimized it keeps the main window's
// stored keys, maximized it stores the maximized rectangle.
TEST_F(StartupTest, CloseWritesTheSettingsForEveryWindowState) {
    const char* keys[] = {"MainLeft", "MainTop", "MainWidth", "MainHeight", "ViewLeft", "ViewTop"};
    for (Qt::WindowState state : {Qt::WindowNoState, Qt::WindowMinimized, Qt::WindowMaximized}) {
        SCOPED_TRACE(state);
        {
            Settings s;
            for (int i = 0; i < 4; ++i) s.setValue(keys[i], QString::number(1111 * (i + 1)));
        }
        start();
        main()->setGeometry(Twips::toPixelsX(1440), Twips::toPixelsY(720), Twips::toPixelsX(7200), Twips::toPixelsY(5760));
        view()->parentWidget()->move(Twips::toPixelsX(2880), Twips::toPixelsY(1440));
        main()->setWindowState(state);
        settle();
        ASSERT_EQ(main()->windowState(), state);
        const QRect g = main()->geometry();
        stop();
        Settings s;
        const double twips[] = {1440, 720, 7200, 5760, 2880, 1440};
        const double maximized[] = {Twips::fromPixelsX(g.x()), Twips::fromPixelsY(g.y()), Twips::fromPixelsX(g.width()),
                                    Twips::fromPixelsY(g.height())};
        for (int i = 0; i < 6; ++i) {
            bool ok = false;
            const QString stored = s.value(keys[i]).toString();
            const double v = stored.toDouble(&ok);
            EXPECT_TRUE(ok) << keys[i] << " = " << stored.toStdString();
            if (i < 4 && state == Qt::WindowMinimized) EXPECT_EQ(stored, QString::number(1111 * (i + 1))) << keys[i];
            else if (i < 4 && state == Qt::WindowMaximized) EXPECT_NEAR(v, maximized[i], 0.5) << keys[i];
            else EXPECT_NEAR(v, twips[i], 15.1) << keys[i];
        }
    }
}

// A stored value that is no number, or none a screen could hold, counts as
// missing: its edge takes the default, the others their stored values, and the
// start runs to its end.
TEST_F(StartupTest, ASettingThatIsNoNumberCountsAsMissing) {
    struct Key {
        const char* name;
        double stored, fallback;
        int (*toPixels)(double);
    } keys[] = {
        {"MainLeft", 1500, 1000, Twips::toPixelsX}, {"MainTop", 750, 1000, Twips::toPixelsY},
        {"MainWidth", 9000, 6500, Twips::toPixelsX}, {"MainHeight", 8000, 6500, Twips::toPixelsY},
        {"ViewLeft", 300, 1000, Twips::toPixelsX},  {"ViewTop", 450, 1000, Twips::toPixelsY},
    };
    for (const Key& bad : keys) {
        for (const char* garbage : {"wide", "", "12abc", "nan", "1e12"}) {
            SCOPED_TRACE(std::string(bad.name) + " = \"" + garbage + "\"");
            {
                Settings s;
                for (const Key& k : keys) s.setValue(k.name, QString::number(k.stored));
                s.setValue(bad.name, garbage);
            }
            prompts->messages.clear();
            start();
            ASSERT_NE(main(), nullptr);
            EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
            ASSERT_NE(view(), nullptr);
            EXPECT_TRUE(view()->parentWidget()->isVisible());
            EXPECT_NE(main()->AppDB, nullptr);
            EXPECT_NE(main()->RecentFiles, nullptr);
            const QRect g = main()->geometry();
            const QPoint v = view()->parentWidget()->pos();
            const int actual[] = {g.x(), g.y(), g.width(), g.height(), v.x(), v.y()};
            for (size_t i = 0; i < std::size(keys); ++i)
                expectNear(actual[i], keys[i].toPixels(&keys[i] == &bad ? keys[i].fallback : keys[i].stored),
                           keys[i].name);
            stop();
        }
    }
}

TEST_F(StartupTest, MissingScratchDatabaseGivesTheEngineMessageAndTheAppRuns) {
    std::filesystem::remove(dir.file("TempTables.mdb"));
    std::string expected;
    try {
        engine::DBEngine::OpenDatabase(dir.file("TempTables.mdb"));
    } catch (const engine::Error& e) {
        expected = e.description();
    }
    ASSERT_FALSE(expected.empty());
    start();
    ASSERT_NE(main(), nullptr);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text.toStdString(), expected);
    EXPECT_EQ(main()->RecentFiles, nullptr);
    EXPECT_FALSE(main()->mnuFileBar4->isVisible());
    for (int i = 1; i <= 6; ++i) EXPECT_FALSE(main()->mnuRecentFile[static_cast<size_t>(i)]->isVisible()) << i;
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(view()->parentWidget()->isVisible());
    EXPECT_TRUE(main()->isVisible());
    // The document commands were still disabled by the start procedure.
    EXPECT_FALSE(main()->mnuFileSave->isEnabled());
}

}  // namespace
