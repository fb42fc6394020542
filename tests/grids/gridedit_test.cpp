// Typing into the grid as a person does: the window active, the current cell
// clicked, the editor opened by a key, text typed and committed with Enter.
// What an emptied cell and "" store, values the engine refuses, and cells
// that cannot be changed.
#include <filesystem>

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include "engine/engine_helpers.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"

namespace {

using engine::Variant;

class GridEditTest : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        path = dir.file("Staff.mdb");
        auto db = engine::DBEngine::CreateDatabase(path);
        using namespace engine;
        enginetest::addTable(*db, "Staff",
                             {{"ID", dbLong, 0, dbAutoIncrField}, {"Name", dbText, 20},  // Name: no zero-length strings
                              {"Nick", dbText, 20, 0, false, true}, {"Born", dbDate}, {"EmployeeID", dbLong},
                              {"Qty", dbInteger}, {"Active", dbBoolean}, {"DeptID", dbLong}, {"Photo", dbLongBinary}},
                             {{"PrimaryKey", {"ID"}, true}});
        db->Execute("INSERT INTO Staff (Name, Nick, Born, EmployeeID, Qty, Active, DeptID) "
                    "VALUES ('Ann', 'Annie', #1990-05-01#, 7, 3, True, 1)");
        db->Execute("INSERT INTO Staff (Name, Nick, Born, EmployeeID, Qty, Active, DeptID) "
                    "VALUES ('Bob', 'Bobby', #1985-02-11#, 8, 4, False, 2)");
        db->Execute("CREATE TABLE Depts (DeptID Long, DeptName Text(20))");
        db->Execute("INSERT INTO Depts VALUES (1, 'Sales')");
        db->Execute("INSERT INTO Depts VALUES (2, 'Stock')");
        db->Close();
    }

    // Shows and activates the grid window and gives the grid the focus.
    void activate(frmGrid* g) {
        grid = g;
        ASSERT_NE(grid, nullptr);
        main()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
        main()->mdiArea->setActiveSubWindow(grid->subWindow());
        grid->DBGrid1->setFocus();
        settle();
        ASSERT_EQ(QApplication::focusWidget(), grid->DBGrid1);
    }
    int column(const char* field) const { return static_cast<int>(grid->rs1->Fields(field).OrdinalPosition()); }
    QModelIndex cell(int row, const char* field) const { return grid->DBGrid1->model()->index(row, column(field)); }
    void clickCell(int row, const char* field) {
        QModelIndex index = cell(row, field);
        grid->DBGrid1->scrollTo(index);
        QTest::mouseClick(grid->DBGrid1->viewport(), Qt::LeftButton, {}, grid->DBGrid1->visualRect(index).center());
        ASSERT_EQ(grid->DBGrid1->currentIndex(), index);
    }
    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    bool editorOpen() const {
        for (QLineEdit* e : grid->DBGrid1->findChildren<QLineEdit*>())
            if (e->isVisible()) return true;
        return false;
    }
    // F2, select all, delete, Enter.
    void clearCell(int row, const char* field) {
        clickCell(row, field);
        key(Qt::Key_F2);
        ASSERT_NE(editor(), nullptr) << field;
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        ASSERT_EQ(editor()->text(), "");
        key(Qt::Key_Return);
        settle();
    }
    // Typing over the cell opens the editor with what is typed; Enter commits.
    void typeInto(int row, const char* field, const QString& text) {
        clickCell(row, field);
        type(text);
        ASSERT_NE(editor(), nullptr) << field;
        ASSERT_EQ(editor()->text(), text);
        key(Qt::Key_Return);
        settle();
    }
    // The value stored, read through a connection of its own.
    Variant stored(int id, const char* field) const {
        auto rs = engine::DBEngine::OpenDatabase(path)->OpenRecordset(
            std::string("SELECT ") + field + " FROM Staff WHERE ID = " + std::to_string(id));
        return rs->Fields(0).Value();
    }

    std::string path;
    frmGrid* grid = nullptr;
};

// An emptied cell stores Null; two double quotes store a zero-length string
// where the field allows it.
TEST_F(GridEditTest, AnEmptiedCellStoresNullAndTwoDoubleQuotesAZeroLengthString) {
    activate(openTable(0, path, "Staff"));
    for (const char* field : {"Name", "Nick", "Born", "EmployeeID", "Qty"}) {
        SCOPED_TRACE(field);
        ASSERT_FALSE(stored(1, field).isNull());
        clearCell(0, field);
        EXPECT_TRUE(stored(1, field).isNull()) << stored(1, field).toText();
        EXPECT_EQ(cell(0, field).data().toString(), "");
        EXPECT_FALSE(editorOpen());
        EXPECT_FALSE(stored(2, field).isNull()) << "the other row changed";
    }
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();

    typeInto(0, "Nick", "\"\"");
    Variant nick = stored(1, "Nick");
    EXPECT_TRUE(nick.isText());
    EXPECT_EQ(nick.toText(), "");
    EXPECT_EQ(cell(0, "Nick").data().toString(), "");
    EXPECT_TRUE(prompts->messages.empty());
    // The editor shows the zero-length string as typed, and Enter keeps it.
    clickCell(0, "Nick");
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "\"\"");
    key(Qt::Key_Return);
    settle();
    EXPECT_TRUE(stored(1, "Nick").isText());

    // Where the field does not allow it the engine says so and nothing changes.
    typeInto(1, "Name", "\"\"");
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "Field 'Staff.Name' cannot be a zero-length string.");
    EXPECT_EQ(stored(2, "Name").toText(), "Bob");
    EXPECT_EQ(cell(1, "Name").data().toString(), "Bob");
}

TEST_F(GridEditTest, RefusedValuesNameTheFieldTypeAndValueAndTheCellGoesBack) {
    activate(openTable(0, path, "Staff"));
    struct Case { const char* field; const char* typed; const char* message; } cases[] = {
        {"EmployeeID", "abc", "'abc' is not a valid Long Integer for field 'EmployeeID'."},
        {"Qty", "70000", "'70000' is out of range for field 'Qty' (Integer)."},
        {"Born", "soon", "'soon' is not a valid Date/Time for field 'Born'."},
        {"Active", "perhaps", "'perhaps' is not a valid Yes/No for field 'Active'."},
        {"Name", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", nullptr},  // too long: the engine's own text names the field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        prompts->messages.clear();
        const QString before = cell(0, c.field).data().toString();
        const std::string storedBefore = stored(1, c.field).toText();
        typeInto(0, c.field, c.typed);
        ASSERT_EQ(prompts->messages.size(), 1u);
        if (c.message) EXPECT_EQ(prompts->messages[0].text, c.message);
        else EXPECT_TRUE(prompts->messages[0].text.contains("Name")) << prompts->messages[0].text.toStdString();
        EXPECT_EQ(prompts->messages[0].caption, "Ledgerly");
        EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OK);
        EXPECT_EQ(cell(0, c.field).data().toString(), before);
        EXPECT_EQ(stored(1, c.field).toText(), storedBefore);
        EXPECT_EQ(grid->rs1->EditMode(), engine::dbEditNone);
        EXPECT_FALSE(editorOpen());
    }
    // The grid goes on taking good values.
    prompts->messages.clear();
    typeInto(0, "EmployeeID", "42");
    EXPECT_EQ(stored(1, "EmployeeID").toText(), "42");
    EXPECT_TRUE(prompts->messages.empty());
}

// Opening the editor and pressing Enter without typing changes nothing, also
// where the text shown is no value of the field.
TEST_F(GridEditTest, EnterWithoutTypingWritesNothing) {
    enginetest::rawExec(path, "PRAGMA ignore_check_constraints = 1; UPDATE Staff SET EmployeeID = 'x7' WHERE ID = 1");
    activate(openTable(0, path, "Staff"));
    ASSERT_EQ(cell(0, "EmployeeID").data().toString(), "x7");  // no Long Integer
    for (const char* field : {"EmployeeID", "Name", "Born", "Active"}) {
        SCOPED_TRACE(field);
        clickCell(0, field);
        key(Qt::Key_F2);
        ASSERT_NE(editor(), nullptr);
        key(Qt::Key_Return);
        settle();
        EXPECT_FALSE(editorOpen());
    }
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(enginetest::rawQuery(path, "SELECT EmployeeID, Name, Born, Active FROM Staff WHERE ID = 1")[0],
              (std::vector<std::string>{"x7", "Ann", "1990-05-01", "-1"}));
}

TEST_F(GridEditTest, TypingWhereNothingCanChangeSaysWhyInTheStatusBarOnce) {
    // sql: empty for the Staff table itself.
    struct Case { const char* what; QString sql; const char* field; QString reason; } cases[] = {
        {"joined query", "SELECT s.Name, d.DeptName FROM Staff AS s INNER JOIN Depts AS d ON s.DeptID = d.DeptID",
         "Name",
         "Read-only: the records of a query that joins tables, groups records or combines results cannot be "
         "changed."},
        {"grouping query", "SELECT DeptID, Count(*) AS People FROM Staff GROUP BY DeptID", "DeptID",
         "Read-only: the records of a query that joins tables, groups records or combines results cannot be "
         "changed."},
        {"calculated column", "SELECT ID, Qty * 2 AS Twice FROM Staff", "Twice",
         "Field 'Twice' is calculated by the query and cannot be changed."},
        {"automatic number", {}, "ID", "Field 'ID' is numbered automatically and cannot be changed."},
        {"binary data", {}, "Photo", "Field 'Photo' holds binary data, which cannot be typed in."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmGrid* g = c.sql.isEmpty() ? openTable(0, path, "Staff") : openQuery(0, path, c.sql, "Q");
        activate(g);
        const QString before = cell(0, c.field).data().toString();
        const QString status = main()->StatusText();
        ASSERT_NE(status, c.reason);
        clickCell(0, c.field);
        type("Bxyz");  // "Bob" is on the next row: a search would move there
        EXPECT_EQ(main()->StatusText(), c.reason);
        EXPECT_FALSE(editorOpen());
        EXPECT_EQ(QApplication::focusWidget(), grid->DBGrid1);
        EXPECT_EQ(grid->DBGrid1->currentIndex(), cell(0, c.field)) << "typed text moved the current cell";
        EXPECT_EQ(cell(0, c.field).data().toString(), before);
        // F2 gives the same reason and nothing else.
        key(Qt::Key_F2);
        EXPECT_EQ(main()->StatusText(), c.reason);
        EXPECT_FALSE(editorOpen());
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    }
}

// A table of a file of the older Jet format opens in a grid like any other,
// read-only: typing says so and changes nothing.
TEST_F(GridEditTest, AJetFilesTableShowsItsRecordsAndSaysItIsReadOnly) {
    const std::string jet = dir.file("Old.mdb");
    std::filesystem::copy_file(std::filesystem::path(LEDGERLY_DBF_SAMPLES).parent_path() / "jet/V2000/testV2000.mdb", jet);
    activate(openTable(0, jet, "Table1"));
    EXPECT_EQ(grid->rs1->RecordCount(), 2);
    EXPECT_EQ(grid->DBGrid1->model()->rowCount(), 2);
    const QString before = grid->DBGrid1->model()->index(0, 0).data().toString();
    clickCell(0, grid->rs1->Fields(0).Name().c_str());
    type("Bxyz");
    EXPECT_EQ(main()->StatusText(), "This table is read-only.");
    EXPECT_FALSE(editorOpen());
    EXPECT_EQ(grid->DBGrid1->model()->index(0, 0).data().toString(), before);
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
}

TEST_F(GridEditTest, AQueryGridSaysWhyAgainAfterTheRowMoved) {
    activate(openQuery(0, path, "SELECT s.Name, d.DeptName FROM Staff AS s, Depts AS d WHERE s.DeptID = d.DeptID",
                       "Joined"));
    clickCell(0, "Name");
    type("x");
    const QString reason = main()->StatusText();
    ASSERT_TRUE(reason.startsWith("Read-only")) << reason.toStdString();
    key(Qt::Key_Down);
    EXPECT_EQ(main()->StatusText(), "  Staff.Joined  Record: 1/2  ");
    type("y");
    EXPECT_EQ(main()->StatusText(), reason);
}

}  // namespace
