// The open-recordset dialog: choosing a database, listing tables and
// queries, passwords, refusals, and handing a recordset to a work area,
// followed by the main window's entry in the recent list.
#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <cstdlib>

#include "dbwindow/frmView.h"
#include "engine/engine_helpers.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"
#include "support/app_fixture.h"
#include "support/case_file.h"

namespace {

QStringList listed(const frmTableOpen& d) {
    QStringList out;
    for (int i = 0; i < d.QryList->count(); ++i) out << d.QryList->item(i)->text();
    return out;
}

class TableOpenTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = makeSales("Sales.mdb", 20);
        auto db = openDb(path);
        db->Execute("CREATE TABLE Customers (Name Text(20))");
        db->Execute("CREATE TABLE USysSettings (Name Text(20))");
        db->CreateQueryDef("Big", "SELECT * FROM Orders WHERE Qty > 10 ORDER BY Qty");
        db->CreateQueryDef("Both", "SELECT Customer FROM Orders UNION SELECT Name FROM Customers");
        db->CreateQueryDef("Purge", "DELETE FROM Orders WHERE Qty < 0");
        db->CreateQueryDef("Raise", "UPDATE Orders SET Qty = Qty + 1");
        db->CreateQueryDef("Ask", "PARAMETERS [Which] Text; SELECT * FROM Orders WHERE Customer = [Which]");
        db->Close();
        // The engine keeps names beginning with "msys" in any case for itself; a
        // file of another program may still have one, and the list hides only "MSys".
        enginetest::rawExec(path, "CREATE TABLE msysLower (Name TEXT)");
    }

    // Shows the dialog through Table, Open Recordset; `drive` works it.
    void runDialog(const std::function<void(frmTableOpen&)>& drive) {
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<frmTableOpen*>(&d);
            ASSERT_NE(dialog, nullptr);
            drive(*dialog);
        };
        main()->mnuOpenRecordset->trigger();
        prompts->onModal = nullptr;
        settle();
    }
    void openDatabase(frmTableOpen& d, const std::string& file) {
        prompts->files.push_back(QString::fromStdString(file));
        d.cmdOpenDbase->click();
    }
    static void choose(frmTableOpen& d, const QString& name) {
        auto items = d.QryList->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        d.QryList->setCurrentItem(items[0]);
    }
    // Another window takes the activation for a while and hands it back, as a
    // message box does; the dialog's focus widget gets the focus again.
    static void awayAndBack(QWidget* w) {
        QWidget other;
        other.show();
        activateWindow(&other);
        other.close();
        activateWindow(w);
    }
    // Selects work area `slot` and opens `name` from the sales file, listed as a table or a query.
    void openInto(int slot, const QString& name, bool query = false) {
        selectLine(slot);
        runDialog([&](frmTableOpen& d) {
            openDatabase(d, path);
            if (query) d.optSource[2]->click();
            choose(d, name);
            d.cmdOpenRecordset->click();
        });
    }
    static QString engineError(const std::string& file, const std::string& connect = {}) {
        return engineMessage([&] { engine::DBEngine::OpenDatabase(file, false, false, connect); });
    }
    // Messages other than input prompts.
    std::vector<ScriptedPrompts::Message> boxes() const {
        std::vector<ScriptedPrompts::Message> out;
        for (const auto& m : prompts->messages)
            if (m.caption != "Password Required") out.push_back(m);
        return out;
    }
    // Columns of the recent list's rows, in their order.
    enginetest::Rows recent(const std::string& columns) {
        return enginetest::rawQuery(dir.file("TempTables.mdb"), "SELECT " + columns + " FROM RecentFiles ORDER BY MIndex");
    }
    QStringList recentNames() {
        QStringList out;
        for (const auto& row : recent("StatusName")) out << QString::fromStdString(row[0]);
        return out;
    }
    std::string path;
};

TEST_F(TableOpenTest, OpenDatabaseListsUserTablesThenSelectAndUnionQueriesWithTheirSql) {
    runDialog([&](frmTableOpen& d) {
        EXPECT_EQ(d.windowTitle(), "Open a Recordset");
        openDatabase(d, path);
        EXPECT_EQ(d.windowTitle(), "Open a Recorset  " + QString::fromStdString(path));
        EXPECT_TRUE(d.optSource[1]->isChecked());
        EXPECT_EQ(frmTableOpen::State().datasource, 1);
        EXPECT_EQ(listed(d), QStringList({"Customers", "msysLower", "Orders"}));
        EXPECT_EQ(d.txtSQL->toPlainText(), "");
        d.optSource[2]->click();
        EXPECT_EQ(listed(d), QStringList({"Ask", "Big", "Both"}));
        choose(d, "Big");
        EXPECT_EQ(d.txtSQL->toPlainText(), "SELECT * FROM Orders WHERE Qty > 10 ORDER BY Qty");
        choose(d, "Both");
        EXPECT_EQ(d.txtSQL->toPlainText(), "SELECT Customer FROM Orders UNION SELECT Name FROM Customers");
        d.optSource[1]->click();
        EXPECT_EQ(d.txtSQL->toPlainText(), "");
        EXPECT_EQ(listed(d).size(), 3);
        d.cmdClose->click();
    });
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(frmTableOpen::State().LastDatabase.toStdString(), path);
}

TEST_F(TableOpenTest, OpenFillsTheSelectedSlotAndRecordsWhatItOpened) {
    selectLine(2);
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        choose(d, "Orders");
        d.cmdOpenRecordset->click();
        EXPECT_FALSE(d.isVisible());
        EXPECT_TRUE(d.isopen);
    });
    frmGrid* grid = moduleCreateGrid::WorkAreas[2];
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(view()->lstTable->item(2)->text(), "Sales.Orders");
    auto& m = frmTableOpen::State();
    EXPECT_EQ(m.RSName.toString(), "Sales.Orders");
    EXPECT_EQ(m.RSSource.toString(), "Orders");
    EXPECT_EQ(m.TableorQueryName.toString(), "Orders");
    EXPECT_EQ(m.database, nullptr);
    EXPECT_EQ(recentNames(), QStringList({"Sales.Orders", "", "", "", "", ""}));
    EXPECT_EQ(main()->mnuRecentFile[1]->text(), "Sales.Orders");
    // A query opened from the dialog is recorded with the type and name it opened as.
    openInto(1, "Big", true);
    EXPECT_EQ(recent("DBPath, RSetType, TableName")[0], (std::vector<std::string>{path, "2", "Big"}));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(TableOpenTest, EditedSqlIsOpenedUnderTheQueryName) {
    selectLine(0);
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        d.optSource[2]->click();
        choose(d, "Big");
        d.txtSQL->setPlainText("SELECT * FROM Orders WHERE Qty > 15");
        d.cmdOpenRecordset->click();
    });
    frmGrid* grid = moduleCreateGrid::WorkAreas[0];
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->TableName.toString(), "Big");
    EXPECT_EQ(grid->statusname.toString(), "Sales.Big");
    EXPECT_EQ(grid->Fullclause.toString(), "SELECT * FROM Orders  WHERE Qty > 15");
    EXPECT_EQ(grid->rs1->RecordCount(), 5);
}

// No table chosen and parameter queries are refused with the dialog staying;
// bad query text fails once and records nothing.
TEST_F(TableOpenTest, RefusalsOpenNothing) {
    const QString texts[] = {"",  // the saved query as listed
                             "   parameters [x] Text; SELECT * FROM Orders WHERE Customer = [x]",
                             "Parameters [x] Long; SELECT * FROM Orders"};
    selectLine(1);
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        d.cmdOpenRecordset->click();
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, "Please select a table.");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        d.optSource[2]->click();
        choose(d, "Ask");
        for (const QString& text : texts) {
            if (!text.isEmpty()) d.txtSQL->setPlainText(text);
            prompts->messages.clear();
            d.cmdOpenRecordset->click();
            ASSERT_EQ(prompts->messages.size(), 1u) << text.toStdString();
            EXPECT_EQ(prompts->messages[0].text, "Parameter queries cannot be opened in this application.");
            EXPECT_EQ(prompts->messages[0].caption, "Error");
            EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Exclamation);
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        }
        for (frmGrid* g : moduleCreateGrid::WorkAreas) EXPECT_EQ(g, nullptr);
        prompts->messages.clear();
        choose(d, "Big");
        d.txtSQL->setPlainText("SELECT * FROM Missing");
        d.cmdOpenRecordset->click();
        EXPECT_FALSE(d.isopen);
    });
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(moduleCreateGrid::WorkAreas[1], nullptr);
    EXPECT_EQ(view()->lstTable->item(1)->text(), frmView::Placeholder(1));
    EXPECT_EQ(view()->CGrid, nullptr);
    EXPECT_FALSE(view()->cmdClose->isEnabled());
    EXPECT_EQ(recentNames(), QStringList({"", "", "", "", "", ""}));
}

TEST_F(TableOpenTest, PasswordIsAskedOnceAndAWrongOneLeavesTheList) {
    std::string secret = makeSales("Secret.mdb", 3, ";pwd=abc");
    std::string other = makeSales("Other.mdb", 2, ";pwd=xyz");
    QString expected = engineError(secret, ";pwd=wrong");
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        QStringList before = listed(d);
        prompts->inputs.push_back(QString("wrong"));
        openDatabase(d, secret);
        EXPECT_EQ(prompts->passwordPrompts, 1) << "the password is asked for in a box that masks it";
        ASSERT_EQ(prompts->messages.size(), 2u);
        EXPECT_EQ(prompts->messages[0].text, "Please enter the database password:");
        EXPECT_EQ(prompts->messages[0].caption, "Password Required");
        EXPECT_EQ(prompts->messages[1].text, expected);
        EXPECT_EQ(listed(d), before);
        prompts->messages.clear();
        prompts->inputs.push_back(QString("abc"));
        openDatabase(d, secret);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].caption, "Password Required");
        EXPECT_EQ(listed(d), QStringList({"Orders"}));
        EXPECT_EQ(frmTableOpen::State().LastDatabase.toStdString(), secret);
        // Given once, the password serves the rest of the run: no second prompt.
        prompts->messages.clear();
        openDatabase(d, secret);
        EXPECT_TRUE(prompts->messages.empty());
        EXPECT_EQ(listed(d), QStringList({"Orders"}));
        // A cancelled prompt tries no password and says why once.
        prompts->inputs.push_back(std::nullopt);
        openDatabase(d, other);
        ASSERT_EQ(prompts->messages.size(), 2u);
        EXPECT_EQ(listed(d), QStringList({"Orders"}));
        d.cmdClose->click();
    });
}

// A file of the older Jet format lists its tables, read-only; the dialog
// offers to save it as a database of our own, which can be changed.
TEST_F(TableOpenTest, AJetFileCanBeSavedAsACopyInLedgerlyFormat) {
    const std::string jet = dir.file("Old.mdb"), copy = dir.file("Old copy.mdb");
    std::filesystem::copy_file(std::filesystem::path(LEDGERLY_DBF_SAMPLES).parent_path() / "jet/V2000/testV2000.mdb", jet);
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        EXPECT_FALSE(d.cmdSaveCopy->isVisible()) << "a database of our own needs no copy";
        openDatabase(d, jet);
        EXPECT_EQ(listed(d), QStringList({"Table1", "Table2", "Table3", "Table4"}));
        ASSERT_TRUE(d.cmdSaveCopy->isVisible());
        prompts->files.push_back(QString::fromStdString(jet));  // the original is never written
        d.cmdSaveCopy->click();
        EXPECT_TRUE(prompts->lastText().contains("already exists")) << prompts->lastText().toStdString();
        prompts->files.push_back(QString::fromStdString(copy));
        d.cmdSaveCopy->click();
        long records = 0;
        auto original = openDb(jet);
        for (const char* t : {"Table1", "Table2", "Table3", "Table4"}) records += original->OpenRecordset(t)->RecordCount();
        EXPECT_EQ(prompts->lastText(), "The copy was saved as '" + QString::fromStdString(copy) + "': 4 tables, " +
                                           QString::number(records) + " records.");
        d.cmdClose->click();
    });
    auto saved = openDb(copy);
    EXPECT_TRUE(saved->Updatable());
    saved->Execute("DELETE FROM Table1");
    EXPECT_EQ(saved->OpenRecordset("Table1")->RecordCount(), 0);
}

TEST_F(TableOpenTest, FirstCancelledFileDialogChangesNothingAndMembersSurviveASecondShowing) {
    runDialog([&](frmTableOpen& d) {
        prompts->files.push_back(std::nullopt);
        d.cmdOpenDbase->click();
        EXPECT_EQ(d.QryList->count(), 0);
        EXPECT_EQ(d.windowTitle(), "Open a Recordset");
        EXPECT_TRUE(prompts->messages.empty());
        openDatabase(d, path);
        d.cmdClose->click();
    });
    runDialog([&](frmTableOpen& d) {
        EXPECT_FALSE(d.isopen);
        EXPECT_EQ(frmTableOpen::State().DBPath.toString().toStdString(), path);
        // Cancelling the file dialog re-chooses the previous file.
        prompts->files.push_back(std::nullopt);
        d.cmdOpenDbase->click();
        EXPECT_EQ(prompts->lastFileInitial.toStdString(), path);
        EXPECT_EQ(listed(d), QStringList({"Customers", "msysLower", "Orders"}));
        d.cmdClose->click();
    });
    EXPECT_TRUE(boxes().empty());
}

TEST_F(TableOpenTest, OnlyChoosingAnOptionAsksForADatabase) {
    runDialog([&](frmTableOpen& d) {
        activateWindow(&d);
        EXPECT_EQ(QApplication::focusWidget(), d.cmdOpenDbase);
        // The focus moves there as the window system moves it: no question.
        d.optSource[1]->setFocus(Qt::TabFocusReason);
        d.optSource[2]->setFocus(Qt::TabFocusReason);
        d.QryList->setFocus(Qt::TabFocusReason);
        d.optSource[2]->setFocus(Qt::BacktabFocusReason);
        d.optSource[1]->setFocus(Qt::OtherFocusReason);
        awayAndBack(&d);
        EXPECT_EQ(QApplication::focusWidget(), d.optSource[1]);
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();

        // Chosen with the mouse: asked once, also when the box hands the focus back.
        clickOption(d.optSource[1]);
        awayAndBack(&d);
        EXPECT_EQ(QApplication::focusWidget(), d.optSource[1]);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].text, "Please select a database.");
        EXPECT_EQ(frmTableOpen::State().datasource, 1);

        // Chosen with the arrow key: asked once more.
        QTest::keyClick(d.optSource[1], Qt::Key_Right);
        awayAndBack(&d);
        EXPECT_EQ(QApplication::focusWidget(), d.optSource[2]);
        ASSERT_EQ(prompts->messages.size(), 2u);
        EXPECT_EQ(prompts->messages[1].text, "Please select a database.");
        EXPECT_EQ(frmTableOpen::State().datasource, 2);

        QTest::mouseClick(d.cmdClose, Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(prompts->messages.size(), 2u) << prompts->lastText().toStdString();
}

TEST_F(TableOpenTest, KeyboardChoiceListsAndFocusMovesDoNotRelist) {
    runDialog([&](frmTableOpen& d) {
        activateWindow(&d);
        openDatabase(d, path);
        d.optSource[1]->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d.optSource[1], Qt::Key_Right);
        EXPECT_TRUE(d.optSource[2]->isChecked());
        EXPECT_EQ(listed(d), QStringList({"Ask", "Big", "Both"}));
        choose(d, "Big");
        // Leaving the list for the option and coming back keeps the choice.
        d.optSource[2]->setFocus(Qt::BacktabFocusReason);
        awayAndBack(&d);
        ASSERT_NE(d.QryList->currentItem(), nullptr);
        EXPECT_EQ(d.QryList->currentItem()->text(), "Big");
        EXPECT_EQ(d.txtSQL->toPlainText(), "SELECT * FROM Orders WHERE Qty > 10 ORDER BY Qty");
        QTest::keyClick(d.optSource[2], Qt::Key_Left);
        EXPECT_EQ(listed(d), QStringList({"Customers", "msysLower", "Orders"}));
        EXPECT_EQ(d.txtSQL->toPlainText(), "");
        QTest::mouseClick(d.cmdClose, Qt::LeftButton);
    });
    EXPECT_TRUE(boxes().empty()) << prompts->lastText().toStdString();
}

TEST_F(TableOpenTest, NextShowingAfterAHandOverListsTheSameDatabase) {
    selectLine(0);
    runDialog([&](frmTableOpen& d) {
        activateWindow(&d);
        openDatabase(d, path);
        choose(d, "Orders");
        QTest::mouseClick(d.cmdOpenRecordset, Qt::LeftButton);
    });
    ASSERT_NE(moduleCreateGrid::WorkAreas[0], nullptr);
    selectLine(1);
    runDialog([&](frmTableOpen& d) {
        activateWindow(&d);
        EXPECT_EQ(d.QryList->count(), 0);
        clickOption(d.optSource[2]);
        EXPECT_EQ(listed(d), QStringList({"Ask", "Big", "Both"}));
        choose(d, "Big");
        EXPECT_EQ(d.txtSQL->toPlainText(), "SELECT * FROM Orders WHERE Qty > 10 ORDER BY Qty");
        clickOption(d.optSource[1]);
        EXPECT_EQ(listed(d), QStringList({"Customers", "msysLower", "Orders"}));
        choose(d, "Customers");
        emit d.QryList->itemDoubleClicked(d.QryList->currentItem());  // a double click opens the line
    });
    EXPECT_TRUE(boxes().empty()) << prompts->lastText().toStdString();
    ASSERT_NE(moduleCreateGrid::WorkAreas[1], nullptr);
    EXPECT_EQ(view()->lstTable->item(1)->text(), "Sales.Customers");
    EXPECT_EQ(frmTableOpen::State().database, nullptr);
}

TEST_F(TableOpenTest, NextShowingSaysWhenTheChosenFileIsGone) {
    std::string other = makeSales("Other.mdb", 2);
    view()->lstTable->setCurrentRow(-1);  // hand over without opening a grid on the file
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, other);
        choose(d, "Orders");
        d.cmdOpenRecordset->click();
    });
    std::string moved = dir.file("Moved.mdb");
    ASSERT_EQ(std::rename(other.c_str(), moved.c_str()), 0);
    QString gone = engineError(other);
    runDialog([&](frmTableOpen& d) {
        activateWindow(&d);
        d.optSource[1]->click();
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, gone);
        EXPECT_EQ(d.QryList->count(), 0);
        ASSERT_EQ(std::rename(moved.c_str(), other.c_str()), 0);
        d.optSource[1]->click();
        EXPECT_EQ(listed(d), QStringList({"Orders"}));
        d.cmdClose->click();
    });
    EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(TableOpenTest, FilesThatCannotBeOpenedAreReported) {
    std::string notDb = dir.file("Notes.mdb");
    {
        FILE* f = fopen(notDb.c_str(), "w");
        fputs("just some text, not a database at all\n", f);
        fclose(f);
    }
    std::string locked = makeSales("Locked.mdb", 1);
    bool immutable = std::system(("chattr +i '" + locked + "' 2>/dev/null").c_str()) == 0;
    struct Case { std::string file; QString suffix; };
    std::vector<Case> cases = {{dir.file("Gone.mdb"), "   3024"}, {notDb, "   3343"}};
    if (immutable)
        cases.push_back({locked, "  Error number 3173.  Try opening a local drive table first to set permissions and "
                                 "retry to open this database."});
    runDialog([&](frmTableOpen& d) {
        for (const Case& c : cases) {
            QString description = engineError(c.file);
            prompts->messages.clear();
            openDatabase(d, c.file);
            ASSERT_EQ(prompts->messages.size(), 1u) << c.file;
            EXPECT_EQ(prompts->messages[0].text, description + c.suffix);
            EXPECT_EQ(d.QryList->count(), 0);
        }
        d.cmdClose->click();
    });
    if (immutable) std::system(("chattr -i '" + locked + "'").c_str());
}

TEST_F(TableOpenTest, NoSelectedWorkAreaOpensNothingAndUpdatesNothing) {
    view()->lstTable->setCurrentRow(-1);
    runDialog([&](frmTableOpen& d) {
        openDatabase(d, path);
        choose(d, "Orders");
        d.cmdOpenRecordset->click();
        EXPECT_FALSE(d.isopen);
        EXPECT_FALSE(d.isVisible());
    });
    for (frmGrid* g : moduleCreateGrid::WorkAreas) EXPECT_EQ(g, nullptr);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(view()->lstTable->item(k)->text(), frmView::Placeholder(k));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(recentNames(), QStringList({"", "", "", "", "", ""}));
}

// The extension after the last full stop goes (for ".mdb" the same as dropping
// four characters); names without one, or shorter than four, stay whole.
TEST(DBName, DropsFolderAndExtension) {
    for (const auto& c : readCases(LEDGERLY_TEST_DATA "/db_names.txt", "name"))
        EXPECT_EQ(frmTableOpen::DBName(QString::fromStdString(unquoted(c.fields[0]))),
                  QString::fromStdString(unquoted(c.fields[1])))
            << c.fields[0];
}

}  // namespace
