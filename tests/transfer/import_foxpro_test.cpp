// Table, Import FoxPro Table: the modeless dialog driven from its menu on
// the shared sample tables and on tables written here, into database files
// made by the engine.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "shell/frmMain.h"
#include "support/app_fixture.h"
#include "support/case_file.h"
#include "support/dbf_writer.h"
#include "transfer/frmImportTo2000.h"

namespace {

namespace fs = std::filesystem;
const std::string kSamples = LEDGERLY_DBF_SAMPLES;
const std::string kCases = std::string(LEDGERLY_TEST_DATA) + "/dbf_samples.txt";

class ImportFoxPro : public StartedApp {
protected:
    void SetUp() override {
        StartedApp::SetUp();
        target = dir.file("Target.mdb");
        engine::DBEngine::CreateDatabase(target)->Close();
        // Every text the status bar's first panel shows.
        QObject::connect(main(), &frmMain::StatusTextChanged, main(), [this](const QString& t) { statusSeen.push_back(t); });
    }

    // The dialog as the menu shows it, made the active window.
    frmImportTo2000* openDialog() {
        main()->mnuImportFoxPro->trigger();
        auto* d = main()->findChild<frmImportTo2000*>();
        EXPECT_NE(d, nullptr);
        if (d) activateWindow(d);
        return d;
    }
    // Clicks a button that opens the file dialog, which answers `file` (nothing: Cancel).
    void choose(QPushButton* button, const std::optional<std::string>& file) {
        prompts->files.push_back(file ? std::optional<QString>(QString::fromStdString(*file)) : std::nullopt);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void typeName(frmImportTo2000* d, const QString& name) {
        QTest::mouseClick(d->txtName, Qt::LeftButton);
        d->txtName->selectAll();
        type(name);
    }
    // Chooses both files, the name and (by typing its first letters) the code page, and clicks Import.
    void runImport(frmImportTo2000* d, const std::string& database, const std::string& table, const QString& name,
                   const QString& codePage = {}) {
        choose(d->cmdDatabase, database);
        choose(d->cmdTable, table);
        typeName(d, name);
        if (!codePage.isEmpty()) {
            d->cboEncoding->setFocus();
            QTest::keyClicks(d->cboEncoding, codePage);
        }
        QTest::mouseClick(d->cmdImport, Qt::LeftButton);
        settle();
    }
    // Every row of a table as text, in order.
    std::vector<std::vector<std::string>> rowsOf(const std::string& path, const std::string& table) {
        std::vector<std::vector<std::string>> rows;
        auto db = engine::DBEngine::OpenDatabase(path);
        for (auto rs = db->OpenRecordset(table); !rs->EOF_(); rs->MoveNext()) {
            rows.emplace_back();
            for (const auto& f : rs->Fields()) rows.back().push_back(f->Value().toText());
        }
        return rows;
    }
    void writeDbf(const std::string& name, const std::vector<dbfwriter::Col>& cols, const std::vector<std::string>& rows,
                  std::uint8_t version = 0x03) {
        dbfwriter::writeFile(dir.file(name), dbfwriter::dbfBytes(version, 0x03, cols, rows));
    }

    std::string target;
    std::vector<QString> statusSeen;
};

TEST_F(ImportFoxPro, EverySampleTableComesInWhole) {
    if (!fs::exists(kSamples)) GTEST_SKIP() << "no sample tables in " << kSamples;
    int n = 0;
    for (const auto& c : readCases(kCases, "table")) {
        const std::string file = c.fields[0].substr(0, c.fields[0].find('@'));
        const bool big5 = c.fields[0].find("@BIG5") != std::string::npos;
        const QString name = QString("T%1").arg(++n);
        SCOPED_TRACE(file);
        prompts->messages.clear();
        QPointer<frmImportTo2000> d = openDialog();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->windowTitle(), "Import DBF into Access 2000 Database");
        EXPECT_FALSE(d->isModal());
        EXPECT_EQ(d->cboEncoding->currentText(), "Windows-1252 (from the file)");
        runImport(d, target, kSamples + "/" + file, name, big5 ? "Big5" : "");
        EXPECT_EQ(messageTexts(), std::vector<QString>{});
        EXPECT_FALSE(d) << "the dialog unloads after an import";
        const long visible = std::stol(c.fields[2]);
        EXPECT_EQ(main()->StatusText(), QString("  %1  Records copied to %2").arg(visible).arg(name));
        EXPECT_EQ(main()->findChild<QProgressBar*>(), nullptr);

        // The new table holds every visible row, each value as the source gives it.
        auto con = engine::DBEngine::CreateWorkspace("", "", "", engine::dbUseODBC)
                       ->OpenConnection("", 1, false, "ODBC;DSN=Visual FoxPro Tables;SourceDB=" + kSamples +
                                                          ";SourceType=DBF" + (big5 ? ";Encoding=BIG5" : ""));
        auto source = con->OpenRecordset("Select * from " + file);
        std::vector<std::vector<std::string>> expected;
        for (; !source->EOF_(); source->MoveNext()) {
            expected.emplace_back();
            for (const auto& f : source->Fields()) expected.back().push_back(f->Value().toText());
        }
        const auto got = rowsOf(target, name.toStdString());
        EXPECT_EQ(static_cast<long>(got.size()), visible);
        EXPECT_EQ(got, expected);
        auto db = engine::DBEngine::OpenDatabase(target);
        auto& fields = db->TableDefs()[name.toStdString()].Fields();
        ASSERT_EQ(fields.Count(), source->Fields().Count());
        for (int i = 0; i < fields.Count(); ++i) {
            const auto& from = source->Fields(i);
            const std::string want = from.Name() == "Point_ID" && i > 0 ? "Point_ID2" : from.Name();
            EXPECT_EQ(fields[i].Name(), want);
            const int type = from.Type() == engine::dbChar ? engine::dbText
                             : from.Type() == engine::dbNumeric ? engine::dbDecimal
                             : from.Type() == engine::dbFloat   ? engine::dbDouble
                                                                : from.Type();
            EXPECT_EQ(fields[i].Type(), type) << want;
            if (type == engine::dbText) {
                EXPECT_EQ(fields[i].Size(), from.Size()) << want;
            }
        }
    }
}

TEST_F(ImportFoxPro, RefusalsAndAChoiceCancelled) {
    writeDbf("t.dbf", {{"A", 'C', 3}}, {"abc"});
    QPointer<frmImportTo2000> d = openDialog();
    ASSERT_TRUE(d);
    struct Step { std::function<void()> before; const char* message; };
    const std::vector<Step> steps = {
        {[] {}, "Please enter a Database."},
        {[&] { choose(d->cmdDatabase, target); }, "Please enter a FoxPro Table."},
        // A cancelled file dialog leaves the choice as it was.
        {[&] { choose(d->cmdDatabase, std::nullopt), choose(d->cmdTable, std::nullopt); }, "Please enter a FoxPro Table."},
        {[&] { choose(d->cmdTable, dir.file("t.dbf")); }, "Please enter a name for the imported table."},
    };
    for (const auto& s : steps) {
        prompts->messages.clear();
        s.before();
        QTest::mouseClick(d->cmdImport, Qt::LeftButton);
        ASSERT_EQ(messageTexts(), std::vector<QString>{s.message});
        EXPECT_EQ(prompts->messages[0].caption, Prompts::kAppTitle);
        EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::None);
        EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OK);
        EXPECT_TRUE(d && d->isVisible());
    }
    EXPECT_EQ(d->mstrDatabasePath.toStdString(), target);
    // One dialog at a time: the menu shows the open one again.
    main()->mnuImportFoxPro->trigger();
    EXPECT_EQ(main()->findChildren<frmImportTo2000*>().size(), 1);
    QTest::mouseClick(d->cmdCancel, Qt::LeftButton);
    settle();
    EXPECT_FALSE(d);
    EXPECT_FALSE(engine::DBEngine::OpenDatabase(target)->TableDefs().Find("t"));
}

TEST_F(ImportFoxPro, AnExistingTableIsReplacedOnlyWhenTheUserSaysSo) {
    writeDbf("new.dbf", {{"QTY", 'N', 5}}, {"    7", "    8"});
    {
        auto db = engine::DBEngine::OpenDatabase(target);
        db->Execute("CREATE TABLE Dest (Old Text(5))");
        db->Execute("INSERT INTO Dest VALUES ('kept')");
    }
    QPointer<frmImportTo2000> d = openDialog();
    prompts->answers.push_back(Prompts::Answer::Cancel);
    runImport(d, target, dir.file("new.dbf"), "Dest");
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "A table of that name already exists, overwrite it?");
    EXPECT_EQ(prompts->messages[0].caption, "Warning");
    EXPECT_EQ(prompts->messages[0].buttons, Prompts::Buttons::OKCancel);
    EXPECT_TRUE(d);
    EXPECT_EQ(rowsOf(target, "Dest"), (std::vector<std::vector<std::string>>{{"kept"}}));

    // Another letter case is another name: no question, and the engine refuses the table.
    prompts->messages.clear();
    typeName(d, "dest");
    QTest::mouseClick(d->cmdImport, Qt::LeftButton);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_NE(prompts->messages[0].text.indexOf("already exists"), -1) << prompts->messages[0].text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(d);

    prompts->messages.clear();
    prompts->answers.push_back(Prompts::Answer::OK);
    typeName(d, "Dest");
    QTest::mouseClick(d->cmdImport, Qt::LeftButton);
    settle();
    EXPECT_EQ(messageTexts(), std::vector<QString>{"A table of that name already exists, overwrite it?"});
    EXPECT_FALSE(d);
    EXPECT_EQ(rowsOf(target, "Dest"), (std::vector<std::vector<std::string>>{{"7"}, {"8"}}));
}

TEST_F(ImportFoxPro, ErrorsBeforeCopyingLeaveTheDialogOpen) {
    writeDbf("t.dbf", {{"A", 'C', 3}}, {"abc"});
    writeDbf("odd.dbf", {{"B", 'C', 1}}, {"x"}, 0x02);  // a level no reader knows
    QPointer<frmImportTo2000> d = openDialog();
    // The engine's description, as it is.
    struct Case { std::string database, table; QString name; const char* says; };
    const std::vector<Case> cases = {
        {dir.file("t.dbf"), dir.file("t.dbf"), "A", "Unrecognized database format"},
        {target, dir.file("none.dbf"), "A", "cannot find the input table or query 'none.dbf'"},
        {target, dir.file("odd.dbf"), "A", "is not that of a table"},
        {target, dir.file("t.dbf"), "Two Words", "Syntax error in CREATE TABLE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table + " as " + c.name.toStdString());
        prompts->messages.clear();
        runImport(d, c.database, c.table, c.name);
        ASSERT_TRUE(d);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_NE(prompts->messages[0].text.indexOf(c.says), -1) << prompts->messages[0].text.toStdString();
        EXPECT_EQ(prompts->messages[0].caption, Prompts::kAppTitle);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    // What the failed tries left open is let go: the next try goes through.
    prompts->messages.clear();
    runImport(d, target, dir.file("t.dbf"), "Good");
    EXPECT_EQ(messageTexts(), std::vector<QString>{});
    EXPECT_EQ(rowsOf(target, "Good"), (std::vector<std::vector<std::string>>{{"abc"}}));
}

TEST_F(ImportFoxPro, CopyingReportsProgressAndKeepsWhatCameBeforeAnError) {
    // 450 rows with a memo each; the memo of row 301 points past its memo file.
    dbfwriter::MemoFile memo{dbfwriter::MemoFile::Dbt3, 512};
    const std::uint32_t block = memo.add("a memo");
    std::vector<std::string> rows;
    for (int i = 1; i <= 450; ++i)
        rows.push_back(dbfwriter::rightAligned(std::to_string(i), 5) +
                       dbfwriter::rightAligned(std::to_string(i == 301 ? 99999 : block), 10));
    dbfwriter::writeFile(dir.file("big.dbf"), dbfwriter::dbfBytes(0x83, 0x03, {{"N", 'N', 5}, {"M", 'M', 10}}, rows));
    dbfwriter::writeFile(dir.file("big.dbt"), memo.file());
    writeDbf("empty.dbf", {{"A", 'C', 3}}, {});

    QPointer<frmImportTo2000> d = openDialog();
    runImport(d, target, dir.file("big.dbf"), "Big");
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_NE(prompts->messages[0].text.indexOf("big.dbt"), -1) << prompts->messages[0].text.toStdString();
    EXPECT_FALSE(d) << "the import ends after an error while copying";
    EXPECT_EQ(main()->StatusText(), "  300  Records copied to Big");
    std::vector<QString> progress;
    for (const QString& t : statusSeen)
        if (t.endsWith("copied to Big")) progress.push_back(t);
    EXPECT_EQ(progress, (std::vector<QString>{"  200  Records copied to Big", "  300  Records copied to Big"}));
    const auto copied = rowsOf(target, "Big");
    ASSERT_EQ(copied.size(), 300u);
    EXPECT_EQ(copied.back(), (std::vector<std::string>{"300", "a memo"}));

    // An empty table: the new table stays, empty, and the move to its first row is reported.
    prompts->messages.clear();
    d = openDialog();
    runImport(d, target, dir.file("empty.dbf"), "Nothing");
    EXPECT_EQ(messageTexts(), std::vector<QString>{"No current record."});
    EXPECT_FALSE(d);
    EXPECT_TRUE(engine::DBEngine::OpenDatabase(target)->TableDefs().Find("Nothing"));
    EXPECT_TRUE(rowsOf(target, "Nothing").empty());
}

}  // namespace
