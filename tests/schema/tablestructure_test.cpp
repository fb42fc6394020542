// Table, Table Structure: the fields of a table of a chosen file, listed
// through the scratch table "TempTableStructure", and fields added and deleted.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "grids/datacontrol.h"
#include "schema/frmTableStructure.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class TableStructureTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = dir.file("Shop.mdb");
        auto db = engine::DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE Items (ID Counter, Name Text(40) NOT NULL, Price Currency, Sold YesNo, Picture LongBinary)");
        db->Execute("CREATE TABLE Notes (Line Memo, Day DateTime)");
        db->Execute("CREATE TABLE USysPrefs (X Long)");
        auto link = db->CreateTableDef("Linked", engine::dbAttachedTable, "Notes", ";DATABASE=" + path);
        db->TableDefs().Append(link);
        db->Close();
    }
    // Opens the dialog from its menu, chooses the file and shows `table`.
    frmTableStructure* open(const char* table) {
        main()->mnuTableStructure->trigger();
        auto* d = main()->findChild<frmTableStructure*>();
        EXPECT_NE(d, nullptr);
        activateWindow(d);
        prompts->files.push_back(QString::fromStdString(path));
        QTest::mouseClick(d->cmdChooseDatabase, Qt::LeftButton);
        show(d, table);
        return d;
    }
    void show(frmTableStructure* d, const char* table) {
        auto items = d->lstTables->findItems(table, Qt::MatchExactly);
        EXPECT_EQ(items.size(), 1) << table;
        if (items.isEmpty()) return;
        QTest::mouseClick(d->lstTables->viewport(), Qt::LeftButton, {}, d->lstTables->visualItemRect(items[0]).center());
    }
    // The grid's rows: name, type word, size, required, allow zero length.
    static Strings listing(frmTableStructure* d) {
        Strings out;
        auto* model = d->DBGrid1->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            std::string line;
            for (int c = 0; c < model->columnCount(); ++c)
                line += (c ? "|" : "") + model->index(r, c).data().toString().toStdString();
            out.push_back(line);
        }
        return out;
    }
    void addField(frmTableStructure* d, const QString& name, const QString& type, const QString& size = {}) {
        d->txtFieldName->setFocus();
        QTest::keyClick(d->txtFieldName, Qt::Key_A, Qt::ControlModifier);  // typing replaces what stands there
        QTest::keyClicks(d->txtFieldName, name);
        // A pause as a person makes: typed letters search the list only within the interval.
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(d->ComboFieldTypes, type);
        if (!size.isEmpty()) {
            QTest::keyClick(d->txtSize, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(d->txtSize, size);
        }
        QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
    }
    std::string path;
};

TEST_F(TableStructureTest, ListsTablesAndFieldsAsTheyAre) {
    frmTableStructure* d = open("Items");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Table Structure");
    std::vector<QString> tables;
    for (int i = 0; i < d->lstTables->count(); ++i) tables.push_back(d->lstTables->item(i)->text());
    EXPECT_EQ(tables, (std::vector<QString>{"Items", "Notes"})) << "links and USys tables are not listed";
    EXPECT_EQ(listing(d), (Strings{"ID|Long||No|", "Name|Text|40|Yes|Yes", "Price|Currency||No|", "Sold|YesNo||No|",
                                   "Picture|LongBinary||No|"}));
    EXPECT_TRUE(d->cmdAdd->isEnabled());
    // Each listing replaces the last; the scratch table is made once and kept.
    show(d, "Notes");
    EXPECT_EQ(listing(d), (Strings{"Line|Memo||No|", "Day|Date||No|"}));
    d->close();
    QApplication::processEvents();
    d = open("Notes");
    EXPECT_EQ(listing(d), (Strings{"Line|Memo||No|", "Day|Date||No|"}));
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(TableStructureTest, AddsAndDeletesFieldsAndRefusesWhatCannotBeMade) {
    frmTableStructure* d = open("Notes");
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
    addField(d, "Flag", "");
    EXPECT_EQ(messageTexts(), (std::vector<QString>{"Please enter a field name.", "Please enter a field type."}));
    prompts->messages.clear();
    // Boolean is listed as YesNo; Text takes its size, and the two empty combos mean No and Yes.
    addField(d, "Flag", "Boolean");
    EXPECT_FALSE(d->txtSize->isEnabled());
    addField(d, "Code", "Text", "12");
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(listing(d), (Strings{"Line|Memo||No|", "Day|Date||No|", "Flag|YesNo||No|", "Code|Text|12|No|Yes"}));
    auto db = engine::DBEngine::OpenDatabase(path);
    engine::Field& code = db->TableDefs()["Notes"].Fields()["Code"];
    EXPECT_FALSE(code.Required());
    EXPECT_TRUE(code.AllowZeroLength());
    db->Close();
    // A size that is no number, or a name taken, gives the engine's description; nothing is added.
    addField(d, "Bad", "Text", "many");
    addField(d, "flag", "Long");
    EXPECT_EQ(prompts->messages.size(), 2u);
    for (const auto& m : prompts->messages) EXPECT_EQ(m.icon, Prompts::Icon::None);
    EXPECT_EQ(listing(d).size(), 4u);
    // Delete takes the field under the grid's cursor, without asking.
    d->DBGrid1->setFocus();
    d->DBGrid1->setCurrentIndex(d->DBGrid1->model()->index(1, 0));
    QTest::mouseClick(d->cmdDelete, Qt::LeftButton);
    EXPECT_EQ(listing(d), (Strings{"Line|Memo||No|", "Flag|YesNo||No|", "Code|Text|12|No|Yes"}));
    db = engine::DBEngine::OpenDatabase(path);
    EXPECT_EQ(db->TableDefs()["Notes"].Fields().Count(), 3);
}

}  // namespace
