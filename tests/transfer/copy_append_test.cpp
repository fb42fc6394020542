// Table, Copy to Table and Append from Table: new tables made from a grid's
// fields, records appended through the fields two tables share, and the
// temporary link to another database gone however a copy or append ends.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "grids/datacontrol.h"
#include "grids/frmGrid.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"
#include "transfer/frmAppendTable.h"
#include "transfer/frmCopytoTable.h"

namespace {

using Strings = std::vector<std::string>;

class TransferTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
    }
    Strings column(const std::string& file, const std::string& sql, const std::string& field) const {
        Strings out;
        for (auto rs = openDb(file)->OpenRecordset(sql); !rs->EOF_(); rs->MoveNext())
            out.push_back(rs->Fields(field).Value().toText());
        return out;
    }
    Strings fieldNames(const std::string& file, const std::string& table) const {
        Strings out;
        const auto db = openDb(file);
        for (const auto& f : db->TableDefs()[table].Fields()) out.push_back(f->Name());
        return out;
    }
    bool hasTable(const std::string& file, const std::string& table) const {
        return openDb(file)->TableDefs().Find(table) != nullptr;
    }
    static void pick(QListWidget* list, const QString& entry) {
        auto items = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << entry.toStdString();
        list->setCurrentItem(items.first());
    }
};

// ------------------------------------------------------------ Copy to Table

TEST_F(TransferTest, CopyToTableMovesFieldsAndCopiesEachScope) {
    enum { All = 0, Next = 1, Where = 3 };
    struct Case { int scope; const char* typed; int row; Strings qty; const char* status; };
    const std::vector<Case> cases = {
        {All, "", 0, {"1", "2", "3", "4", "5", "6"}, "  Sales.Orders  6 records copied"},
        {Where, "WHERE Qty > 4", 0, {"5", "6"}, "  Sales.Orders  2 records copied"},
        {Next, "2", 2, {"3", "4"}, "  Sales.Orders  6  Records  2  Records copied"},
        {Next, "10", 4, {"5", "6"}, ""},  // stops at the end, without the closing count
    };
    const std::string path = makeSales("Sales.mdb", 6);
    openDb(path)->Execute("ALTER TABLE Orders ADD COLUMN [Ship Name] Text(20)");
    frmGrid* grid = openTable(0, path, "Orders");
    ASSERT_NE(grid, nullptr);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i + 1));
        grid->rs1->SetAbsolutePosition(c.row);
        main()->SetStatusText("");
        const std::string table = "Copy " + std::to_string(i + 1);
        EXPECT_TRUE(runDialog<frmCopytoTable>(main()->mnuCopytoTable, [&](frmCopytoTable& d) {
            EXPECT_EQ(d.windowTitle(), "Copy to a Table   Sales.Orders");
            EXPECT_TRUE(d.optScope[Where]->isChecked());
            QTest::keyClicks(d.txtTableName, QString::fromStdString(table));
            // Add All arrives in reverse order; single moves follow the selection.
            d.cmdAddAll->click();
            EXPECT_EQ(d.lstCopyFields->item(0)->text(), "Ship Name");
            d.cmdRemoveAll->click();
            d.cmdAdd->click();  // nothing selected: nothing moves
            EXPECT_EQ(d.lstCopyFields->count(), 0);
            pick(d.lstFields, "Qty");
            d.cmdAdd->click();
            pick(d.lstFields, "Ship Name");
            d.cmdAdd->click();
            d.optScope[static_cast<size_t>(c.scope)]->click();
            if (c.scope == Next) d.txtRestNumber->setText(c.typed);
            else QTest::keyClicks(d.txtWhere, c.typed);
            d.cmdCopy->click();
            EXPECT_FALSE(d.isVisible());
            if (c.scope != Next) {
                EXPECT_EQ(d.TotalString.toStdString(), "Insert into [" + table + "] (Qty, [Ship Name]) Select Qty, [Ship Name] "
                                                       "From [Orders]" + (c.scope == Where ? " Where  Qty > 4" : ""));
            }
        }));
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        EXPECT_EQ(fieldNames(path, table), (Strings{"Qty", "Ship Name"}));
        EXPECT_EQ(column(path, "SELECT Qty FROM [" + table + "] ORDER BY Qty", "Qty"), c.qty);
        if (*c.status) {
            EXPECT_EQ(main()->StatusText(), c.status);
        }
        EXPECT_EQ(grid->rs1->AbsolutePosition(), 0) << "the grid goes back to its first record";
    }
}

TEST_F(TransferTest, CopyToTableRefusesAsksBeforeOverwritingAndReportsTheEnginesErrors) {
    const std::string path = makeSales("Sales.mdb", 4);
    openDb(path)->Execute("CREATE TABLE Old (X Long)");
    ASSERT_NE(openTable(0, path, "Orders"), nullptr);
    // Each refusal names what is missing and leaves the dialog open.
    runDialog<frmCopytoTable>(main()->mnuCopytoTable, [&](frmCopytoTable& d) {
        d.txtTableName->setText("  ");
        d.cmdCopy->click();
        d.txtTableName->setText("New");
        d.cmdCopy->click();
        pick(d.lstFields, "Customer");
        d.cmdAdd->click();
        d.txtWhere->setPlainText("  ");
        d.cmdCopy->click();
        EXPECT_TRUE(d.isVisible());
        d.cmdCancel->click();
    });
    EXPECT_EQ(messageTexts(), (std::vector<QString>{"No Table name was supplied.", "No fields to copy.",
                                                    "No where condition was specified."}));
    for (const auto& m : prompts->messages) EXPECT_EQ(m.icon, Prompts::Icon::Exclamation);
    EXPECT_FALSE(hasTable(path, "New"));
    auto copy = [&](const QString& name, const QString& where = "Qty > 0") {
        prompts->messages.clear();
        runDialog<frmCopytoTable>(main()->mnuCopytoTable, [&](frmCopytoTable& d) {
            d.txtTableName->setText(name);
            pick(d.lstFields, "Customer");
            d.cmdAdd->click();
            d.txtWhere->setPlainText(where);
            d.cmdCopy->click();
            if (d.isVisible()) d.cmdCancel->click();
        });
    };
    // Cancel keeps the old table; OK drops it and makes the new one.
    prompts->answers = {Prompts::Answer::Cancel};
    copy("Old");
    EXPECT_EQ(messageTexts(), std::vector<QString>{"A table of that name already exists, overwrite it?"});
    EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OKCancel);
    EXPECT_EQ(prompts->messages[0].caption, "Warning");
    EXPECT_EQ(fieldNames(path, "Old"), Strings{"X"});
    prompts->answers = {Prompts::Answer::OK};
    copy("Old");
    EXPECT_EQ(fieldNames(path, "Old"), Strings{"Customer"});
    EXPECT_EQ(column(path, "Old", "Customer").size(), 4u);
    // Another spelling is not asked about: the engine refuses the name, the dialog stays.
    copy("OLD");
    EXPECT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::None);
    EXPECT_TRUE(prompts->lastText().contains("already exists")) << prompts->lastText().toStdString();
    copy("Bad", "Qty >");  // a condition the engine cannot read
    EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::None);
    EXPECT_TRUE(column(path, "Bad", "Customer").empty()) << "the table made stays, empty";
}

TEST_F(TransferTest, CopyToTableFromAQueryGridCopiesTheNextRecordsOnly) {
    const std::string path = makeSales("Sales.mdb", 8);
    frmGrid* grid = openQuery(0, path, "SELECT Customer, Qty FROM Orders WHERE Qty < 5", "Small");
    ASSERT_NE(grid, nullptr);
    grid->rs1->MoveFirst();
    grid->rs1->MoveNext();
    EXPECT_TRUE(runDialog<frmCopytoTable>(main()->mnuCopytoTable, [&](frmCopytoTable& d) {
        EXPECT_TRUE(d.optScope[1]->isChecked());
        EXPECT_FALSE(d.optScope[0]->isEnabled());
        EXPECT_FALSE(d.optScope[3]->isEnabled());
        d.txtTableName->setText("Few");
        d.cmdAddAll->click();
        d.txtRestNumber->setText("10");
        d.cmdCopy->click();
    }));
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(column(path, "SELECT Qty FROM Few ORDER BY Qty", "Qty"), (Strings{"2", "3", "4"}));
}

// A grid of a file that can only be read (the older Jet format) copies into a
// database the user chooses, a protected one after its password; the link the
// statement reads through goes and the Jet file stays as it was.
TEST_F(TransferTest, CopyToTableFromAReadOnlyGridCopiesIntoAChosenDatabase) {
    enum { All = 0, Next = 1 };
    struct Case {
        const char* what;
        int scope;
        bool choose;                                // false: the file dialog is cancelled
        const char* connect;                        // the chosen database's
        std::deque<std::optional<QString>> passwords;
        size_t messages;                            // password prompts included
        size_t rows;                                // copied; none when the dialog stays open
        const char* status;
    };
    const std::vector<Case> cases = {
        {"all", All, true, "", {}, 1, 2, "  Old.Table1  2 records copied"},
        {"next", Next, true, "", {}, 1, 1, "  Old.Table1  2  Records  1  Records copied"},
        {"password", All, true, ";pwd=secret", {"secret"}, 2, 2, "  Old.Table1  2 records copied"},
        {"wrong password", All, true, ";pwd=secret", {"guess"}, 3, 0, ""},
        {"cancelled password", All, true, ";pwd=secret", {std::nullopt}, 2, 0, ""},
        {"cancelled", All, false, "", {}, 1, 0, ""},
    };
    // Each row as field name and value.
    using Row = std::map<std::string, std::string>;
    auto rows = [](engine::Database& db, const std::string& table) {
        std::vector<Row> out;
        for (auto rs = db.OpenRecordset(table); !rs->EOF_(); rs->MoveNext()) {
            Row row;
            for (const auto& f : rs->Fields()) row[f->Name()] = f->Value().toText();
            out.push_back(row);
        }
        return out;
    };
    const std::string jet = dir.file("Old.mdb");
    const auto sample = std::filesystem::path(LEDGERLY_DBF_SAMPLES).parent_path() / "jet/V2000/testV2000.mdb";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no Jet sample files on this machine";
    std::filesystem::copy_file(sample, jet);
    auto bytes = [&] {
        std::ifstream in(jet, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    const std::vector<Row> jetRows = rows(*openDb(jet), "Table1");
    ASSERT_EQ(jetRows.size(), 2u);
    ASSERT_NE(openTable(0, jet, "Table1"), nullptr);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string target = makeSales("Target" + std::to_string(i) + ".mdb", 2, c.connect);
        prompts->messages.clear();
        prompts->files = {c.choose ? std::optional<QString>(QString::fromStdString(target)) : std::nullopt};
        prompts->inputs = c.passwords;
        main()->SetStatusText("");
        EXPECT_TRUE(runDialog<frmCopytoTable>(main()->mnuCopytoTable, [&](frmCopytoTable& d) {
            QTest::keyClicks(d.txtTableName, "From Jet");
            d.cmdAddAll->click();
            d.optScope[static_cast<size_t>(c.scope)]->click();
            if (c.scope == Next) d.txtRestNumber->setText("1");
            d.cmdCopy->click();
            EXPECT_EQ(d.isVisible(), c.rows == 0);
            if (d.isVisible()) d.cmdCancel->click();
        }));
        ASSERT_EQ(prompts->messages.size(), c.messages) << prompts->lastText().toStdString();
        EXPECT_EQ(prompts->messages[0].text,
                  "The records of this grid can only be read. Choose a Ledgerly database to copy them into.");
        EXPECT_EQ(prompts->messages[0].caption, "Copy to a Table");
        EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Information);
        EXPECT_TRUE(prompts->files.empty() && prompts->inputs.empty()) << "a prompt was not asked";
        const auto db = engine::DBEngine::OpenDatabase(target, false, false, c.connect);
        for (const auto& td : db->TableDefs()) EXPECT_NE(td->Name().rfind("KORVA", 0), 0u) << td->Name();
        if (c.rows == 0) {
            EXPECT_EQ(db->TableDefs().Find("From Jet"), nullptr);
            continue;
        }
        EXPECT_EQ(rows(*db, "From Jet"), std::vector<Row>(jetRows.begin(), jetRows.begin() + static_cast<long>(c.rows)));
        EXPECT_EQ(main()->StatusText(), c.status);
    }
    EXPECT_TRUE(before == bytes()) << "the Jet file changed";
}

// ---------------------------------------------------------- Append from Table

class AppendTest : public TransferTest {
protected:
    // Destination Orders2 in Target.mdb: OrderID and Customer like the source, Qty of another type.
    void SetUp() override {
        TransferTest::SetUp();
        source = makeSales("Source.mdb", 5);
        target = dir.file("Target.mdb");
        engine::DBEngine::CreateDatabase(target)->Execute(
            "CREATE TABLE Orders2 (OrderID Long CONSTRAINT PrimaryKey PRIMARY KEY, Customer Text(10), Qty Text(5))");
        destination = openTable(0, target, "Orders2");
        ASSERT_NE(destination, nullptr);
        ASSERT_NE(openTable(1, source, "Orders"), nullptr);
    }
    // Runs Append from Table into work area A with work area `from` chosen and `where`.
    void append(int from, const QString& where, bool expectClosed) {
        prompts->messages.clear();
        selectLine(0);
        EXPECT_TRUE(runDialog<frmAppendTable>(main()->mnuAppendfromTable, [&](frmAppendTable& d) {
            EXPECT_EQ(d.windowTitle(), "Append from Table   Appending into Target.Orders2");
            EXPECT_EQ(d.lstTable->count(), 12);
            d.lstTable->setCurrentRow(from);
            d.lstTable_Click();
            if (where.isEmpty()) d.optScope[0]->click();
            else QTest::keyClicks(d.txtWhere, where);
            d.cmdAppend->click();
            EXPECT_EQ(d.isVisible(), !expectClosed);
            if (d.isVisible()) d.cmdCancel->click();
        }));
        EXPECT_FALSE(hasTable(target, "KORVAOrders")) << "the link is gone";
    }
    std::string source, target;
    frmGrid* destination = nullptr;
};

TEST_F(AppendTest, CommonFieldsComeThroughALinkThatGoesAgain) {
    append(1, "where Qty > 3", true);
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(column(target, "SELECT OrderID FROM Orders2 ORDER BY OrderID", "OrderID"), (Strings{"4", "5"}));
    EXPECT_EQ(column(target, "SELECT Qty FROM Orders2 WHERE Qty Is Null", "Qty").size(), 2u) << "Qty differs in type";
    EXPECT_EQ(main()->StatusText(), "  Target.Orders2  2 records inserted");
    EXPECT_EQ(destination->rs1->RecordCount(), 2) << "the destination grid was refreshed";
    // The same keys again: the engine's error, nothing more inserted, the dialog open.
    append(1, "", false);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::None);
    EXPECT_EQ(column(target, "Orders2", "OrderID").size(), 2u);
}

TEST_F(AppendTest, SourcesThatCannotBeUsedAreRefused) {
    const std::string query = "SELECT * FROM Orders";
    ASSERT_NE(openQuery(2, source, QString::fromStdString(query), "All orders"), nullptr);
    ASSERT_NE(openTable(3, target, "Orders2", "Again"), nullptr);
    engine::DBEngine::CreateDatabase(dir.file("Other.mdb"))->Execute("CREATE TABLE Orders2 (Note Text(5), Qty Long)");
    ASSERT_NE(openTable(4, dir.file("Other.mdb"), "Orders2"), nullptr);
    struct Case { int slot; const char* message; };
    for (const Case& c : std::vector<Case>{{5, "No Recordset was selected."},
                                           {2, "The Recordset must have been opened as a Table."},
                                           {0, "You must open a second instance of the Table and select it."}}) {
        prompts->messages.clear();
        runDialog<frmAppendTable>(main()->mnuAppendfromTable, [&](frmAppendTable& d) {
            d.lstTable->setCurrentRow(c.slot);
            d.lstTable_Click();
            EXPECT_EQ(prompts->lastText(), c.message);
            EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Exclamation);
            d.cmdCancel->click();
        });
        selectLine(0);
    }
    // Another grid on the same file is a source of its own (linked); no common field, or no record, is refused.
    append(4, "", false);
    EXPECT_EQ(prompts->lastText(), "No common fields.");
    append(3, "", false);
    EXPECT_EQ(prompts->lastText(), "No Records to Append.");
    EXPECT_TRUE(column(target, "Orders2", "OrderID").empty());
}

}  // namespace
