// The main window's menu tree, toolbar and status bar, the enabling rules of
// the grid commands, and the lookup of a work area's grid.
#include <filesystem>
#include <fstream>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/enablemenus.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "shell/getgrid.h"
#include "support/app_fixture.h"
#include "support/case_file.h"

namespace {

class MenuTest : public StartedApp {
protected:
    QAction* action(const char* name) { return find<QAction>(main(), name); }
};

TEST_F(MenuTest, CaptionsAndShortcutsFollowTheMenuTable) {
    for (const auto& item : readCases(LEDGERLY_TEST_DATA "/menus.txt", "item")) {
        const QString name = QString::fromStdString(item.fields[0]);
        auto* menu = main()->findChild<QMenu*>(name);
        auto* a = main()->findChild<QAction*>(name);
        ASSERT_TRUE(menu || a) << "missing " << item.fields[0];
        EXPECT_EQ(menu ? menu->title() : a->text(), QString::fromStdString(unquoted(item.fields[1]))) << item.fields[0];
        EXPECT_EQ(menu ? QKeySequence() : a->shortcut(), QKeySequence(QString::fromStdString(unquoted(item.fields[2]))))
            << item.fields[0];
    }
}

TEST_F(MenuTest, ViewTogglesFollowTheirCheckMarks) {
    struct Toggle {
        const char* item;
        QWidget* bar;
    } toggles[] = {{"mnuViewToolbar", main()->tbToolBar}, {"mnuViewStatusBar", main()->sbStatusBar}};
    for (const Toggle& t : toggles) {
        QAction* a = action(t.item);
        ASSERT_TRUE(a->isCheckable()) << t.item;
        EXPECT_TRUE(a->isChecked() && t.bar->isVisible()) << t.item;
        for (bool shown : {false, true}) {
            a->trigger();
            EXPECT_EQ(a->isChecked(), shown) << t.item;
            EXPECT_EQ(t.bar->isVisible(), shown) << t.item;
        }
    }
    // Hidden from the frame's own context menu, the bar takes its check mark along.
    QAction* fromFrame = main()->tbToolBar->toggleViewAction();
    fromFrame->trigger();
    EXPECT_FALSE(main()->tbToolBar->isVisible());
    EXPECT_FALSE(action("mnuViewToolbar")->isChecked());
    fromFrame->trigger();
    EXPECT_TRUE(action("mnuViewToolbar")->isChecked());
}

const char* const kCommon[] = {"mnuEditCopy", "mnuEditCut",  "mnuEditPaste", "mnuCopytoTable", "mnuCopytoText", "mnuSetup",
                               "mnuMovetoBM", "mnuSetBM", "mnuStatistics", "mnuUpdateTable", "mnuUpdateTableJoin"};
const char* const kQueryOnly[] = {"mnuFind", "mnuMovetoRecord"};
const char* const kTableOnly[] = {"mnuAddRecords", "mnuAppendfromTable", "mnuAppendfromText", "mnuDelete",
                                  "mnuSeek"};

class EnableMenusTest : public MenuTest {
protected:
    template <size_t N>
    void expectState(const char* const (&names)[N], bool enabled, const char* when) {
        for (const char* n : names) EXPECT_EQ(action(n)->isEnabled(), enabled) << n << " " << when;
    }
};

TEST_F(EnableMenusTest, SelectedLineEnablesTheCommandsOfItsGridAndActivationNeverDisables) {
    struct Case {
        const char* when;
        int line;
        bool common, query, table;
    } cases[] = {{"table grid", 2, true, false, true}, {"query grid", 3, true, true, false},
                 {"empty slot", 5, false, false, false}, {"empty slot 0", 0, false, false, false}};
    std::string path = makeSales();
    ASSERT_NE(openTable(2, path, "Orders"), nullptr);
    frmGrid* query = openQuery(3, path, "SELECT * FROM Orders", "All");
    ASSERT_NE(query, nullptr);
    for (const Case& c : cases) {
        if (!c.common) EnableMenus::EnableGridMenus(1), EnableMenus::EnableGridMenus(2);
        selectLine(c.line);
        expectState(kCommon, c.common, c.when);
        expectState(kQueryOnly, c.query, c.when);
        expectState(kTableOnly, c.table, c.when);
        if (!c.common) {
            EXPECT_EQ(main()->StatusText(), "") << c.when;
        }
    }
    // A grid's activation never disables.
    selectLine(2);
    EXPECT_TRUE(action("mnuSeek")->isEnabled());
    EnableMenus::EnableGridMenus(query->RSetType);
    expectState(kTableOnly, true, "after query grid activation");
    expectState(kQueryOnly, true, "after query grid activation");
}

TEST_F(EnableMenusTest, DocumentCommandsSwitchTogetherWithTheToolbar) {
    const char* const docs[] = {"mnuEditCopy", "mnuEditCut", "mnuEditPaste", "mnuFilePrint",
                                "mnuFileSaveAs", "mnuFileSave", "mnuFileClose", "mnuFilePageSetup"};
    EnableMenus::EnableDocumentMenus();
    expectState(docs, true, "enabled");
    EXPECT_TRUE(main()->tbToolBar->isEnabled());
    EnableMenus::DisableDocumentMenus();
    expectState(docs, false, "disabled");
    EXPECT_FALSE(main()->tbToolBar->isEnabled());
    EXPECT_TRUE(action("mnuFileNew")->isEnabled());
}

TEST_F(MenuTest, GetGridWindowFindsOnlySlotsZeroToEleven) {
    std::string path = makeSales();
    frmGrid* a = openTable(0, path, "Orders");
    frmGrid* l = openTable(11, path, "Orders");
    ASSERT_TRUE(a && l);
    struct Case { QVariant slot; frmGrid* expected; } cases[] = {
        {QVariant(0), a}, {QVariant(static_cast<short>(11)), l}, {QVariant(11.0), l}, {QVariant(11.0f), l},
        {QVariant(static_cast<qlonglong>(0)), a}, {QVariant(static_cast<unsigned short>(11)), l},
        {QVariant(5), nullptr}, {QVariant(12), nullptr}, {QVariant(-1), nullptr}, {QVariant(0.5), nullptr},
        {QVariant(QString("0")), nullptr}, {QVariant(QString("A")), nullptr}, {QVariant(), nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetGrid::GetGridWindow(c.slot), c.expected) << c.slot.toString().toStdString() << " ("
                                                              << c.slot.typeName() << ")";
}

// Without the guide Help, Contents says where it looked; with it, the guide
// shows in the program's own window.
TEST_F(MenuTest, HelpContentsShowsTheGuideOrSaysWhereItLooked) {
    main()->mnuHelpContents->trigger();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_TRUE(prompts->lastText().startsWith("The user guide was not found at ")) << prompts->lastText().toStdString();
    EXPECT_TRUE(prompts->lastText().contains(QString::fromStdString(dir.path().string()) + "/docs/index.html"));
    EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
    prompts->messages.clear();
    std::filesystem::create_directories(dir.path() / "docs");
    std::ofstream(dir.path() / "docs/index.html")
        << "<html><head><title>Guide</title></head><body><h1>Guide</h1><a href=\"more.html#part\">More</a></body></html>";
    std::ofstream(dir.path() / "docs/more.html") << "<html><body><h2 id=\"part\">More about grids</h2></body></html>";
    main()->mnuHelpContents->trigger();
    settle();
    EXPECT_TRUE(prompts->messages.empty());
    auto* help = qobject_cast<frmHelp*>(QApplication::activeWindow());
    ASSERT_NE(help, nullptr) << "the help window is shown and active";
    auto shows = [&](const char* text) { return help->txtGuide->toPlainText().contains(text); };
    EXPECT_TRUE(shows("Guide"));
    EXPECT_FALSE(help->cmdBack->isEnabled());

    QTextCursor link = help->txtGuide->document()->find("More");
    ASSERT_FALSE(link.isNull());
    QTextCursor inside(help->txtGuide->document());
    inside.setPosition(link.selectionStart() + 1);
    QTest::mouseClick(help->txtGuide->viewport(), Qt::LeftButton, {}, help->txtGuide->cursorRect(inside).center());
    EXPECT_TRUE(shows("More about grids"));
    const std::pair<QToolButton*, const char*> steps[] = {
        {help->cmdBack, "Guide"}, {help->cmdForward, "More about grids"}, {help->cmdContents, "Guide"}};
    for (const auto& [button, text] : steps) {
        ASSERT_TRUE(button->isEnabled()) << text;
        button->click();
        EXPECT_TRUE(shows(text)) << text;
    }

    // A second Contents reuses the one window.
    main()->mnuHelpContents->trigger();
    settle();
    EXPECT_EQ(QApplication::activeWindow(), help);
    help->close();
    settle();
}

}  // namespace
