// Table, Copy to Text: the fixed-width layout with widths in characters, each
// scope, the where condition joined to a query grid's own, the refusals and
// errors, and CSV in the form ledgerly-sql --csv prints.
#include "support/run_tool.h"
#include "transfer/text_fixture.h"

namespace {

class CopyTextTest : public TextTransferTest {
protected:
    // Stock.mdb with Parts (Code Text(5), Qty Long, Note Text(3), Remarks Memo).
    std::string makeParts() {
        const std::string path = dir.file("Stock.mdb");
        auto db = engine::DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE Parts (Code Text(5), Qty Long, Note Text(3), Remarks Memo)");
        db->Execute("INSERT INTO Parts (Code, Qty, Note) VALUES ('AB', 7, Null)");
        db->Execute("INSERT INTO Parts VALUES ('Zoë', 12345, '日本', 'a remark, \"whole\"')");
        return path;
    }
    std::string out(const char* name = "out.txt") const { return dir.file(name); }
};

TEST_F(CopyTextTest, PadsEachValueToItsFieldsSizeInCharactersAndWritesLongValuesWhole) {
    const std::string path = makeParts();
    ASSERT_NE(openTable(0, path, "Parts"), nullptr);
    // The example line: AB and three blanks, 7 and three blanks, the Null as three blanks.
    EXPECT_TRUE(copyToText({{"Code", "Qty", "Note"}, All, "", false, QString::fromStdString(out())}));
    EXPECT_EQ(readFile(out()), "AB   7      \r\nZoë  12345日本 \r\n");
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    EXPECT_EQ(main()->StatusText(), "  Stock.Parts  2  Records  2  Records copied");
    // A Memo (size 0) is written whole, a Null one as one blank.
    EXPECT_TRUE(copyToText({{"Remarks", "Code"}, All, "", false, QString::fromStdString(out())}));
    EXPECT_EQ(readFile(out()), " AB   \r\na remark, \"whole\"Zoë  \r\n");
}

TEST_F(CopyTextTest, EachScopeWritesItsRecordsAndTheGridGoesBackToItsFirst) {
    struct Case { Scope scope; const char* typed; int row; const char* lines; };
    const Case cases[] = {
        {All, "", 3, "1 2 3 4 5 6 7 8"},
        {Next, "2", 2, "3 4"},
        {Next, "10", 5, "6 7 8"},  // up to the end
        {Rest, "", 6, "7 8"},
        {Where, "where Qty > 5", 0, "6 7 8"},
        {Where, "Qty <= 2", 0, "1 2"},
        {Where, "WHERE Customer = 'C1'", 0, "1 8"},
    };
    const std::string path = makeSales("Sales.mdb", 8);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scope) + " " + c.typed);
        frmGrid* grid = openTable(0, path, "Orders");  // re-selected: a Where run re-opens it
        ASSERT_NE(grid, nullptr);
        grid->rs1->SetAbsolutePosition(c.row);
        EXPECT_TRUE(copyToText({{"Qty"}, c.scope, c.typed, false, QString::fromStdString(out())}));
        QString expected = QString(c.lines).replace(" ", "   \r\n") + "   \r\n";
        EXPECT_EQ(QString::fromStdString(readFile(out())), expected);
        const int written = static_cast<int>(QString(c.lines).split(' ').size());
        EXPECT_EQ(main()->StatusText(), "  Sales.Orders  8  Records  " + QString::number(written) + "  Records copied");
        EXPECT_EQ(moduleCreateGrid::WorkAreas[0]->rs1->AbsolutePosition(), 0);
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
    }
}

TEST_F(CopyTextTest, AQueryGridsOwnConditionStillHoldsWhenAnotherIsAdded) {
    const std::string path = makeSales("Sales.mdb", 10);
    ASSERT_NE(openQuery(0, path, "SELECT Customer, Qty FROM Orders WHERE Qty < 3 Or Qty > 8 ORDER BY Qty DESC", "Ends"),
              nullptr);
    // Customer C2 has Qty 2 and 9; Qty 1 (C1) is in the grid but not C2's.
    EXPECT_TRUE(copyToText({{"Qty"}, Where, "Customer = 'C2'", false, QString::fromStdString(out())}));
    EXPECT_EQ(readFile(out()), "9   \r\n2   \r\n");
}

TEST_F(CopyTextTest, RefusesWhatIsMissingAndReportsErrorsWithTheReminder) {
    const std::string path = makeSales("Sales.mdb", 3);
    engine::DBEngine::OpenDatabase(path)->Execute("CREATE TABLE Empty (Qty Long)");
    ASSERT_NE(openTable(0, path, "Orders"), nullptr);
    const QString file = QString::fromStdString(out());
    struct Refusal { CopyRun run; const char* message; };
    const Refusal refusals[] = {
        {{{"Qty"}, Where, "  ", false, file}, "No where condition was specified."},
        {{{"Qty"}, All, "", false, std::nullopt}, "Please Click on 'Save As' and enter a file."},
        {{{}, All, "", false, file}, ""},  // Add All then Remove All below
    };
    for (const Refusal& r : refusals) {
        prompts->messages.clear();
        if (!*r.message) {
            prompts->files.push_back(file);
            runDialog<frmCopytoText>(main()->mnuCopytoText, [&](frmCopytoText& d) {
                click(d.cmdAddAll);
                click(d.cmdRemoveAll);
                clickOption(d.optScope[All]);
                click(d.cmdSaveAs);
                click(d.cmdCopy);
                EXPECT_TRUE(d.isVisible());
                click(d.cmdCancel);
            });
            EXPECT_EQ(prompts->lastText(), "No fields to copy.");
        } else {
            EXPECT_FALSE(copyToText(r.run));
            EXPECT_EQ(prompts->lastText(), r.message);
        }
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Exclamation);
        EXPECT_EQ(prompts->messages[0].caption, "Error");
    }
    // Errors keep the dialog open; what was written stays.
    struct Failure { const char* table; CopyRun run; const char* says; const char* file; };
    const Failure failures[] = {
        {"Empty", {{"Qty"}, All, "", false, file}, "No current record", ""},
        {"Orders", {{"Qty"}, Where, "Qty >", false, file}, "", ""},
        {"Orders", {{"Qty"}, Next, "two", false, file}, "'two' is not a whole number", ""},
        {"Empty", {{"Qty"}, All, "", true, file}, "No current record", "Qty\r\n"},  // the header is out before the error
        {"Orders", {{"Qty"}, All, "", false, QString::fromStdString(dir.file("no/such/folder/out.txt"))}, "cannot write",
         nullptr},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.run.typed.toStdString() + " on " + f.table);
        prompts->messages.clear();
        ASSERT_NE(openTable(0, path, f.table), nullptr);
        EXPECT_FALSE(copyToText(f.run));
        ASSERT_EQ(prompts->messages.size(), 1u);
        const QString text = prompts->messages[0].text;
        EXPECT_TRUE(text.endsWith(". Be sure to copy only fields which are currently selected.")) << text.toStdString();
        EXPECT_TRUE(text.contains(f.says)) << text.toStdString();
        EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::None);
        EXPECT_EQ(prompts->messages[0].caption, "Ledgerly");
        if (f.file) {
            EXPECT_EQ(readFile(out()), f.file);
        }
    }
    // No match is said, and ends the copy with an empty file.
    prompts->messages.clear();
    engine::DBEngine::OpenDatabase(path)->Execute("INSERT INTO Orders (Customer, Qty) VALUES ('C1', 1)");
    ASSERT_NE(openTable(0, path, "Orders"), nullptr);
    EXPECT_TRUE(copyToText({{"Qty"}, Where, "Qty > 100", false, file}));
    EXPECT_EQ(prompts->lastText(), "No records meet the Where condition");
    EXPECT_EQ(readFile(out()), "");
}

TEST_F(CopyTextTest, CsvIsWhatLedgerlySqlPrintsForTheSameRecords) {
    using V = engine::Variant;
    const std::vector<std::vector<V>> values = {
        {V::longInt(1), V::boolean(true), V::currencyScaled(1000), V::single(1.5f), V::dbl(3.141592653589793),
         V::date(engine::dates::fromParts(2024, 2, 29, 13, 45, 7)), V::text("Zoë, \"Q\""), V::text("two\r\nlines"),
         V::guid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}")},
        {V::longInt(2), V::boolean(false), V::currencyScaled(-123456), V::single(-0.25f), V::dbl(1e300),
         V::date(engine::dates::fromParts(1999, 12, 31)), V::text(""), V(), V()},
        {V::longInt(3), V(), V(), V(), V(), V(), V::text("plain"), V(), V()},
    };
    const std::string path = makeTable("Every.mdb", "Every (ID Long, Flag YesNo, Money Currency, Ratio Single, "
                                       "Measure Double, Day Date, Name Text(20), Note Memo, Tag GUID)", values);
    const RunResult printed = runTool(dir, "ledgerly-sql", "--csv " + shellQuoted(path) + " \"SELECT * FROM Every\"");
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    ASSERT_NE(openTable(0, path, "Every"), nullptr);
    EXPECT_EQ(printed.out,
              "ID,Flag,Money,Ratio,Measure,Day,Name,Note,Tag\r\n"
              "1,True,0.1,1.5,3.141592653589793,2024-02-29 13:45:07,\"Zoë, \"\"Q\"\"\",\"two\r\nlines\","
              "{6F9619FF-8B86-D011-B42D-00C04FC964FF}\r\n"
              "2,False,-12.3456,-0.25,1E+300,1999-12-31,\"\",,\r\n"
              "3,False,,,,,plain,,\r\n");
    const Strings every = {"ID", "Flag", "Money", "Ratio", "Measure", "Day", "Name", "Note", "Tag"};
    // Chosen as CSV, or by a file name ending in .csv.
    EXPECT_TRUE(copyToText({every, All, "", true, QString::fromStdString(out("every.txt"))}));
    EXPECT_EQ(readFile(out("every.txt")), printed.out);
    EXPECT_TRUE(copyToText({every, All, "", false, QString::fromStdString(out("every.csv"))}));
    EXPECT_EQ(readFile(out("every.csv")), printed.out);
}

}  // namespace
