// Table, Append from Text: fixed-width lines cut by the field sizes (in
// characters), CSV columns matched by the header's names, files written by
// Copy to Text coming back as they left, and errors that name their number
// while the records before them stay.
#include "transfer/text_fixture.h"

namespace {

using V = engine::Variant;

class AppendTextTest : public TextTransferTest {
protected:
    std::vector<std::vector<V>> values(const std::string& path, const std::string& sql) const {
        std::vector<std::vector<V>> out;
        for (auto rs = openDb(path)->OpenRecordset(sql); !rs->EOF_(); rs->MoveNext()) {
            out.emplace_back();
            for (const auto& f : rs->Fields()) out.back().push_back(f->Value());
        }
        return out;
    }
    static Strings names(const std::string& path, const std::string& table) {
        Strings out;
        const auto db = engine::DBEngine::OpenDatabase(path);
        for (const auto& f : db->TableDefs()[table].Fields()) out.push_back(f->Name());
        return out;
    }
    // Copies every field of `table` in `path` to `file`, appends it into an
    // empty table of the same definition, and copies that again: the same file.
    void roundTrip(const std::string& path, const std::string& definition, const std::string& file, bool csv) {
        const std::string table = definition.substr(0, definition.find(' '));
        ASSERT_NE(openTable(0, path, QString::fromStdString(table)), nullptr);
        ASSERT_TRUE(copyToText({names(path, table), All, "", csv, QString::fromStdString(dir.file(file))}));
        const std::string copy = makeTable("Copy of " + file + ".mdb", definition);
        ASSERT_NE(openTable(1, copy, QString::fromStdString(table)), nullptr);
        EXPECT_TRUE(appendText(dir.file(file)));
        EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        ASSERT_TRUE(copyToText({names(path, table), All, "", csv, QString::fromStdString(dir.file("again " + file))}));
        EXPECT_EQ(readFile(dir.file("again " + file)), readFile(dir.file(file)));
        copyPath = copy;
    }
    std::string copyPath;
};

TEST_F(AppendTextTest, FixedWidthFilesOfValuesThatFitComeBackAsTheyLeft) {
    const std::string definition =
        "Fits (Code Text(6), Small Byte, Mid Integer, Big Long, Money Currency, Ratio Single, Measure Double)";
    const std::vector<std::vector<V>> rows = {
        {V::text("Ærø"), V::byte(7), V::integer(-5), V::longInt(9999), V::currencyScaled(-123456), V::single(0.25f),
         V::dbl(1e300)},
        {V::text("日本語"), V::byte(0), V::integer(12), V::longInt(-1), V::currencyScaled(1000), V::single(-1.5f),
         V::dbl(3.14159)},
    };
    const std::string path = makeTable("Fits.mdb", definition, rows);
    roundTrip(path, definition, "fits.txt", false);
    EXPECT_EQ(readFile(dir.file("fits.txt")), "Ærø   7-59999-12.34560.251E+300  \r\n日本語   012-1  0.1     -1.53.14159 \r\n");
    // Text keeps its padding blanks.
    std::vector<std::vector<V>> expected = rows;
    expected[0][0] = V::text("Ærø   ");
    expected[1][0] = V::text("日本語   ");
    EXPECT_EQ(values(copyPath, "Fits"), expected);
    // The same lines with LF only.
    std::string lf = readFile(dir.file("fits.txt"));
    for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    writeFile(dir.file("lf.txt"), lf);
    EXPECT_TRUE(appendText(dir.file("lf.txt")));
    EXPECT_EQ(values(copyPath, "Fits").size(), 4u);
    EXPECT_EQ(main()->StatusText(), "  Copy of fits.txt.Fits  4  Records  2  Records Appended");
}

TEST_F(AppendTextTest, CsvFilesOfEveryFieldTypeComeBackAsTheyLeft) {
    const std::string definition = "Every (Flag YesNo, Small Byte, Mid Integer, Big Long, Money Currency, Ratio Single, "
                                   "Measure Double, Day Date, Name Text(12), Blob LongBinary, Note Memo, Tag GUID)";
    const std::vector<std::vector<V>> rows = {
        {V::boolean(true), V::byte(255), V::integer(-32768), V::longInt(2147483647),
         V::currencyScaled(1234567890123456LL), V::single(3.4e38f), V::dbl(-2.2250738585072014e-308),
         V::date(engine::dates::fromParts(2024, 2, 29, 13, 45, 7)), V::text("Zoë, \"Q\""),
         V::binary(std::string("\0\r\n,\"x", 6)), V::text("two\r\nlines\nand \"more\""),
         V::guid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}")},
        {V::boolean(false), V::byte(0), V::integer(0), V::longInt(-1), V::currencyScaled(1), V::single(-0.1f),
         V::dbl(0.1), V::date(engine::dates::fromParts(100, 1, 1)), V::text(""), V(), V::text("日本"), V()},
        {V::boolean(false), V(), V(), V(), V(), V(), V(), V(), V(), V(), V(), V()},
    };
    const std::string path = makeTable("Every.mdb", definition, rows);
    roundTrip(path, definition, "every.csv", true);
    EXPECT_EQ(values(copyPath, "Every"), rows);
}

// Files other programs write: header names in any order and case, quoted
// fields with commas, quotes and line breaks, LF or CR LF, a byte-order mark,
// Windows-1252 text; and files that cannot be read as CSV.
TEST_F(AppendTextTest, CsvColumnsGoToTheFieldsTheHeaderNames) {
    struct Case { const char* file; std::string bytes; const char* rows; const char* error; };
    const Case cases[] = {
        {"order.csv", "note,Code,QTY\nsecond,AB,2\n\nthird,CD,3", "AB,2,second/CD,3,third", ""},
        {"quoted.csv", "Code,Qty,Note\r\n\"A,B\",1,\"say \"\"hi\"\"\r\nbye\"\r\n", "A,B,1,say \"hi\"\r\nbye", ""},
        {"nulls.csv", "Code,Note\r\n,\"\"\r\n", "<Null>,<Null>,", ""},
        {"chosen.txt", "Code,Qty\r\nXY,5\r\n", "XY,5,<Null>", ""},  // CSV chosen in the dialog
        {"legacy.csv", "\xEF\xBB\xBF" "Code,Note\r\nCaf\xE9,\xC5ngstr\xF6m\r\n", "Café,<Null>,Ångström", ""},
        {"unknown.csv", "Code,Price\r\nAB,1\r\n", "", "3265"},
        {"count.csv", "Code,Qty\r\nAB,1\r\nCD,2,extra\r\n", "AB,1,<Null>", "3274"},
        {"open.csv", "Code,Note\r\nAB,\"never closed\r\n", "", "3274"},
        {"type.csv", "Code,Qty\r\nAB,1\r\nCD,many\r\n", "AB,1,<Null>", "3421"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        prompts->messages.clear();
        const std::string path = makeTable(std::string(c.file) + ".mdb", "Parts (Code Text(5), Qty Long, Note Text(20))");
        ASSERT_NE(openTable(0, path, "Parts"), nullptr);
        writeFile(dir.file(c.file), c.bytes);
        EXPECT_EQ(appendText(dir.file(c.file), std::string(c.file) == "chosen.txt"), !*c.error);
        std::string got;
        for (const auto& row : rows(path, "Parts")) got += (got.empty() ? "" : "/") + row[0] + "," + row[1] + "," + row[2];
        EXPECT_EQ(got, c.rows);
        if (*c.error) {
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_TRUE(prompts->lastText().endsWith(c.error)) << prompts->lastText().toStdString();
            EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::None);
        } else {
            EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        }
    }
}

// Columns 1-5, 6-9 and 10-12 for Text(5), Long, Text(3); a short line leaves
// blanks, characters past the last column are ignored; an error names its
// number after the description, and the lines before it stay appended.
TEST_F(AppendTextTest, FixedWidthLinesAreCutByTheFieldSizes) {
    struct Case { const char* name; std::string bytes; const char* rows; const char* error; const char* status; };
    const Case cases[] = {
        {"cut", "AB   7   xyz\r\nCD   42\nABCDE1234xyzMORE", "AB   |7|xyz/CD   |42| /ABCDE|1234|xyz", "",
         "  cut.Parts  3  Records  3  Records Appended"},
        {"legacy", "Caf\xE9 7   \xE0 b\r\n", "Café |7|à b", "", ""},
        {"empty", "", "", "", "  empty.Parts  0  Records  0  Records Appended"},
        {"blank number", "AB   7   xyz\r\nCD       abc\r\nEF   9   zzz\r\n", "AB   |7|xyz", "3421",
         "  blank number.Parts  1  Records  1  Records Appended"},
        {"wide date", "2024-01-31AB \r\n", "", "3421", ""},  // a date is wider than its size, 8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts->messages.clear();
        main()->SetStatusText("");
        const bool date = std::string(c.name) == "wide date";
        const std::string path = makeTable(std::string(c.name) + ".mdb", date ? "Parts (Day Date, Code Text(3), Qty Long)"
                                                                             : "Parts (Code Text(5), Qty Long, Note Text(3))");
        ASSERT_NE(openTable(0, path, "Parts"), nullptr);
        writeFile(dir.file("in.txt"), c.bytes);
        EXPECT_EQ(appendText(dir.file("in.txt")), !*c.error);
        std::string got;
        for (const auto& row : rows(path, "Parts")) got += (got.empty() ? "" : "/") + row[0] + "|" + row[1] + "|" + row[2];
        EXPECT_EQ(got, c.rows);
        if (*c.status) {
            EXPECT_EQ(main()->StatusText(), c.status);
        }
        if (*c.error) {
            ASSERT_EQ(prompts->messages.size(), 1u);
            const QString text = prompts->lastText();
            EXPECT_TRUE(text.endsWith(QString(".") + c.error)) << text.toStdString();
        } else {
            EXPECT_TRUE(prompts->messages.empty()) << prompts->lastText().toStdString();
        }
    }
}

TEST_F(AppendTextTest, RefusesToAppendWithoutAFileAndSaysWhenItCannotBeRead) {
    const std::string path = makeSales("Sales.mdb", 2);
    ASSERT_NE(openTable(0, path, "Orders"), nullptr);
    prompts->files.push_back(std::nullopt);  // the file dialog cancelled
    runDialog<frmAppendText>(main()->mnuAppendfromText, [&](frmAppendText& d) {
        EXPECT_EQ(d.windowTitle(), "Append Text   Sales.Orders");
        click(d.cmdAppendFrom);
        click(d.cmdAppend);
        EXPECT_TRUE(d.isVisible());
        click(d.cmdCancel);
    });
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "No text file was specified.");
    EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Exclamation);
    EXPECT_EQ(prompts->messages[0].caption, "Error");
    prompts->messages.clear();
    EXPECT_FALSE(appendText(dir.file("missing.txt")));
    EXPECT_EQ(prompts->lastText(), "Could not find file '" + QString::fromStdString(dir.file("missing.txt")) + "'.3024");
}

}  // namespace
