// The recent-recordset list of the File menu: recording, its order, and
// reopening an entry into the selected work area at its recorded rectangle.
#include <QAction>
#include <QDir>
#include <QListWidget>

#include <filesystem>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/enablemenus.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

class RecentTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        path = makeSales();
        auto db = openDb(path);
        for (int i = 1; i <= 7; ++i) db->Execute("CREATE TABLE T" + std::to_string(i) + " (A Long)");
        db->CreateQueryDef("Big", "SELECT * FROM Orders WHERE Qty > 10");
        db->Close();
        start();
    }
    // Opens a table into a slot and records it, as Table, Open Recordset does.
    void openAndRecord(int slot, const QString& table) {
        ASSERT_NE(openTable(slot, path, table), nullptr) << table.toStdString();
        EnableMenus::SaveRecentRecordset();
    }
    QStringList visibleEntries() const {
        QStringList out;
        for (int i = 1; i <= 6; ++i)
            if (main()->mnuRecentFile[static_cast<size_t>(i)]->isVisible())
                out << main()->mnuRecentFile[static_cast<size_t>(i)]->text();
        return out;
    }
    // The rows as a second connection reads them, in MIndex order: MIndex, the
    // eight copied values (rectangle rounded) and MenuIndex, joined by "|".
    QStringList rows() const {
        QStringList out;
        auto rs = openDb(dir.file("TempTables.mdb"))->OpenRecordset("SELECT * FROM RecentFiles ORDER BY MIndex");
        for (; !rs->EOF_(); rs->MoveNext()) {
            QStringList row;
            for (const char* f : {"MIndex", "DBPath", "StatusName", "RSetType", "TableName"})
                row << QString::fromStdString(rs->Fields(f).Value().toText());
            for (const char* f : {"PTop", "PLeft", "PWidth", "PHeigth"})
                row << QString::number(qRound(rs->Fields(f).Value().toDouble()));
            out << row.join("|") + "|" + QString::fromStdString(rs->Fields("MenuIndex").Value().toText());
        }
        return out;
    }
    static QString rect(frmGrid* g) {
        return QString("%1|%2|%3|%4").arg(qRound(g->TopTwips())).arg(qRound(g->LeftTwips())).arg(qRound(g->WidthTwips()))
            .arg(qRound(g->HeightTwips()));
    }
    // Restores the process's folder, which reopening an entry changes.
    struct KeepCurrentFolder {
        QString saved = QDir::currentPath();
        ~KeepCurrentFolder() { QDir::setCurrent(saved); }
    } keepFolder;
    std::string path;
};

TEST_F(RecentTest, NewestFirstAndTheSeventhDropsTheSixth) {
    EXPECT_TRUE(visibleEntries().isEmpty());
    EXPECT_FALSE(main()->mnuFileBar4->isVisible());  // nor its separator
    for (int i = 1; i <= 3; ++i) openAndRecord(i - 1, QString("T%1").arg(i));
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.T3", "Sales.T2", "Sales.T1"}));
    EXPECT_TRUE(main()->mnuFileBar4->isVisible());
    for (int i = 4; i <= 7; ++i) openAndRecord(i - 1, QString("T%1").arg(i));
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.T7", "Sales.T6", "Sales.T5", "Sales.T4", "Sales.T3", "Sales.T2"}));
    // A name already listed, even the last one, changes nothing; nor does the
    // same table of another file with the same name.
    openAndRecord(8, "T2");
    std::filesystem::create_directory(dir.path() / "copy");
    std::filesystem::copy_file(path, dir.file("copy/Sales.mdb"));
    ASSERT_NE(openTable(9, dir.file("copy/Sales.mdb"), "T4"), nullptr);
    EnableMenus::SaveRecentRecordset();
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.T7", "Sales.T6", "Sales.T5", "Sales.T4", "Sales.T3", "Sales.T2"}));
    EXPECT_TRUE(rows()[3].startsWith("4|" + QString::fromStdString(path) + "|Sales.T4|")) << "the entry keeps its file";
}

// Entries move down by copying their values from row to row: always six rows
// numbered 1 to 6, each rectangle travelling with its name, MenuIndex written
// only into the first row.
TEST_F(RecentTest, RecordingCopiesEntriesDownTheSixRows) {
    frmGrid* t1 = openTable(0, path, "T1");
    ASSERT_NE(t1, nullptr);
    t1->MoveTwips(105, 210, 5010, 2010);
    EnableMenus::SaveRecentRecordset();
    frmGrid* big = openQuery(1, path, "SELECT * FROM Orders WHERE Qty > 10", "Big");
    ASSERT_NE(big, nullptr);
    EnableMenus::SaveRecentRecordset();
    const QString p = QString::fromStdString(path);
    EXPECT_EQ(rows(), QStringList({"1|" + p + "|Sales.Big|2|Big|" + rect(big) + "|1",
                                   "2|" + p + "|Sales.T1|1|T1|" + rect(t1) + "|0", "3|||0||0|0|0|0|0",
                                   "4|||0||0|0|0|0|0", "5|||0||0|0|0|0|0", "6|||0||0|0|0|0|0"}));
}

// The list outlives the run; reopening an entry makes the file's folder the
// current one, and a row without a size keeps the grid's own.
TEST_F(RecentTest, TheListSurvivesARestartAndReopensFromIt) {
    std::filesystem::create_directory(dir.path() / "elsewhere");
    std::string stock = dir.file("elsewhere/Stock.mdb");
    std::filesystem::copy_file(path, stock);
    frmGrid* orders = openTable(1, stock, "Orders");
    ASSERT_NE(orders, nullptr);
    orders->MoveTwips(400, 300, 5200, 2200);
    EnableMenus::SaveRecentRecordset();
    openAndRecord(0, "T1");
    stop();
    openDb(dir.file("TempTables.mdb"))->Execute("UPDATE RecentFiles SET PWidth = 0, PHeigth = 0 WHERE MIndex = 1");
    start();
    ASSERT_NE(main(), nullptr);
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.T1", "Stock.Orders"}));
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    selectLine(3);
    main()->mnuRecentFile[2]->trigger();
    frmGrid* reopened = moduleCreateGrid::WorkAreas[3];
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->rs1->RecordCount(), 20);
    EXPECT_NEAR(reopened->LeftTwips(), 400, 20);
    EXPECT_NEAR(reopened->WidthTwips(), 5200, 20);
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(QString::fromStdString(dir.file("elsewhere"))).canonicalPath());
    selectLine(4);
    main()->mnuRecentFile[1]->trigger();
    ASSERT_NE(moduleCreateGrid::WorkAreas[4], nullptr);
    EXPECT_NEAR(moduleCreateGrid::WorkAreas[4]->HeightTwips(), 2895, 20) << "a row without a size";
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(RecentTest, ReopenPutsTheGridInTheSelectedSlotAtItsRectangleWithItsSavedSql) {
    frmGrid* first = openTable(0, path, "Orders");
    ASSERT_NE(first, nullptr);
    first->MoveTwips(300, 450, 6000, 2400);
    EnableMenus::SaveRecentRecordset();
    selectLine(4);
    main()->mnuRecentFile_Click(1);
    frmGrid* reopened = moduleCreateGrid::WorkAreas[4];
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->statusname.toString(), "Sales.Orders");
    EXPECT_EQ(reopened->rs1->RecordCount(), 20);
    EXPECT_EQ(view()->lstTable->item(4)->text(), "Sales.Orders");
    EXPECT_NEAR(reopened->LeftTwips(), 300, 20);
    EXPECT_NEAR(reopened->TopTwips(), 450, 20);
    EXPECT_NEAR(reopened->WidthTwips(), 6000, 20);
    EXPECT_NEAR(reopened->HeightTwips(), 2400, 20);
    // Reopening neither records nor reorders.
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.Orders"}));
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();

    // A reopened query uses its current saved SQL, not the edited text it was opened with.
    ASSERT_NE(openQuery(1, path, "SELECT * FROM Orders WHERE Qty > 18", "Big"), nullptr);
    EnableMenus::SaveRecentRecordset();
    selectLine(2);
    main()->mnuRecentFile_Click(1);
    frmGrid* query = moduleCreateGrid::WorkAreas[2];
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(query->Fullclause.toString(), "SELECT * FROM Orders  WHERE Qty > 10");
    EXPECT_EQ(query->rs1->RecordCount(), 10);
}

// A moved file ends with the engine's message and the entry stays.
TEST_F(RecentTest, AMovedFileOrAPasswordThisRunDoesNotKnow) {
    openAndRecord(0, "T1");
    std::filesystem::rename(path, path + ".moved");
    selectLine(2);
    main()->mnuRecentFile_Click(1);
    EXPECT_EQ(moduleCreateGrid::WorkAreas[2], nullptr);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_TRUE(prompts->lastText().contains("Could not find file")) << prompts->lastText().toStdString();
    EXPECT_EQ(visibleEntries(), QStringList({"Sales.T1"}));
    prompts->messages.clear();

    // A password is asked for when this run does not know it.
    std::string secret = makeSales("Secret.mdb", 5, ";pwd=open sesame");
    {
        // An entry recorded by an earlier run.
        auto rs = main()->RecentFiles;
        rs->SetIndex("MIndex");
        rs->Seek("=", engine::Variant::integer(1));
        rs->Edit();
        rs->Fields("DBPath").SetValue(engine::Variant(secret));
        rs->Fields("StatusName").SetValue(engine::Variant("Secret.Orders"));
        rs->Fields("RSetType").SetValue(engine::Variant(1));
        rs->Fields("TableName").SetValue(engine::Variant("Orders"));
        rs->Fields("PWidth").SetValue(engine::Variant(6000.0));
        rs->Fields("PHeigth").SetValue(engine::Variant(2000.0));
        rs->Update();
        EnableMenus::LoadRecentMenu();
    }
    EXPECT_EQ(visibleEntries(), QStringList({"Secret.Orders"}));
    selectLine(1);
    prompts->inputs.push_back(QString("wrong"));
    main()->mnuRecentFile_Click(1);
    EXPECT_EQ(moduleCreateGrid::WorkAreas[1], nullptr);
    ASSERT_GE(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->messages[0].text, "Please enter the database password:");
    EXPECT_EQ(prompts->messages[0].caption, "Password Required");
    EXPECT_TRUE(prompts->lastText().contains("Not a valid password")) << prompts->lastText().toStdString();
    prompts->inputs.push_back(QString("open sesame"));
    main()->mnuRecentFile_Click(1);
    ASSERT_NE(moduleCreateGrid::WorkAreas[1], nullptr);
    EXPECT_EQ(moduleCreateGrid::WorkAreas[1]->rs1->RecordCount(), 5);
    // A row with a size but no place: the grid takes the size at the top left.
    EXPECT_NEAR(moduleCreateGrid::WorkAreas[1]->WidthTwips(), 6000, 20);
    EXPECT_NEAR(moduleCreateGrid::WorkAreas[1]->HeightTwips(), 2000, 20);
    EXPECT_NEAR(moduleCreateGrid::WorkAreas[1]->LeftTwips(), 0, 20);
    EXPECT_EQ(prompts->passwordPrompts, 2) << "both answers were typed into a box that masks them";
    // Known now: the next grid on the file opens without asking.
    frmGrid* again = openTable(2, secret, "Orders");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(prompts->inputs.empty());
}

}  // namespace
