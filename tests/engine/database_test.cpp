// Opening database files, passwords, exclusive use, several Database objects
// on one file, transactions and files made by plain SQLite.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}


TEST(OpenDatabase, FilesThatAreNoDatabaseAreRefusedWithTheirNumbers) {
    TempDir dir;
    writeFile(dir.file("notes.txt"), "Dear diary,\nthis is not a database at all.\n");
    writeFile(dir.file("empty.db"), "");
    std::filesystem::create_directory(dir.path() / "sub.db");
    const std::pair<const char*, int> cases[] = {{"nothing.db", err::FileNotFound}, {"notes.txt", err::NotADatabase},
                                                 {"empty.db", err::NotADatabase}, {"sub.db", err::NotADatabase}};
    for (const auto& [file, error] : cases) EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(dir.file(file)); }), error) << file;
    // Creating over an existing file is refused.
    DBEngine::CreateDatabase(dir.file("a.db"))->Close();
    EXPECT_EQ(errorOf([&] { DBEngine::CreateDatabase(dir.file("a.db")); }), 3204);
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Opening, listing and a refused password leave the file's bytes and its
// journal mode as they were.
TEST(OpenDatabase, OpeningChangesNothingInTheFile) {
    TempDir dir;
    std::string foreign = dir.file("foreign.db");
    rawExec(foreign, "PRAGMA journal_mode=DELETE; CREATE TABLE T (A INTEGER, B TEXT); INSERT INTO T VALUES (1, 'x')");
    std::string locked = dir.file("locked.db");
    DBEngine::CreateDatabase(locked, ";pwd=secret")->Close();
    std::string foreignBefore = bytesOf(foreign), lockedBefore = bytesOf(locked);

    for (bool readOnly : {false, true}) {
        auto db = DBEngine::OpenDatabase(foreign, false, readOnly);
        EXPECT_EQ(column(*db->OpenRecordset("T"), "B"), Strings{"x"});
        db->TableDefs();
        db->Close();
    }
    EXPECT_EQ(bytesOf(foreign), foreignBefore);
    EXPECT_FALSE(std::filesystem::exists(foreign + "-wal"));
    EXPECT_EQ(rawQuery(foreign, "PRAGMA journal_mode").at(0).at(0), "delete");
    // A change through the engine keeps the maker's journal mode too.
    DBEngine::OpenDatabase(foreign)->Execute("UPDATE T SET B = 'y'");
    EXPECT_EQ(rawQuery(foreign, "PRAGMA journal_mode").at(0).at(0), "delete");

    for (bool readOnly : {false, true})
        EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(locked, false, readOnly, ";pwd=wrong"); }), err::BadPassword);
    EXPECT_EQ(bytesOf(locked), lockedBefore);
}

// A read-only open works where nothing may be written beside the file: a
// folder without write permission, or for root (who writes every folder) a
// read-only mount, as on read-only media.
TEST(OpenDatabase, ReadOnlyOpenWorksInAFolderThatCannotBeWritten) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "ro");
    std::string path = dir.file("ro/made.db");
    {
        auto db = DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE T (A Long)");
        db->Execute("INSERT INTO T VALUES (3)");
    }
    const std::string folder = "'" + (dir.path() / "ro").string() + "'";
    const bool root = geteuid() == 0;
    if (root && std::system(("mount --bind " + folder + " " + folder + " 2>/dev/null && mount -o remount,bind,ro " +
                             folder + " " + folder + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no read-only mount can be made here";
    if (!root)
        std::filesystem::permissions(dir.path() / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    int number = errorOf([&] {
        auto db = DBEngine::OpenDatabase(path, false, true);
        EXPECT_EQ(column(*db->OpenRecordset("T"), "A"), Strings{"3"});
    });
    if (root) EXPECT_EQ(std::system(("umount " + folder).c_str()), 0);
    else std::filesystem::permissions(dir.path() / "ro", std::filesystem::perms::owner_all);
    EXPECT_EQ(number, 0);
}

TEST(OpenDatabase, ALinkToABrokenFileNamesTheLinkAndItsFile) {
    TempDir dir;
    std::string target = dir.file("target.db");
    {
        auto t = DBEngine::CreateDatabase(target);
        t->Execute("CREATE TABLE Items (A Long)");
    }
    std::string mainPath = dir.file("main.db");
    auto db = DBEngine::CreateDatabase(mainPath);
    db->TableDefs().Append(db->CreateTableDef("Far", 0, "Items", ";DATABASE=" + target));
    db->Close();
    writeFile(target, std::string(8192, 'z'));
    db = DBEngine::OpenDatabase(mainPath);
    const Raised e = raised([&] { db->OpenRecordset("Far"); });
    EXPECT_EQ(e.number, err::NotADatabase);
    EXPECT_NE(e.text.find("'Far'"), std::string::npos) << e.text;
    EXPECT_NE(e.text.find(target), std::string::npos) << e.text;
    EXPECT_EQ(e.text.find(mainPath), std::string::npos) << e.text;
}

// Every grid opens its own connection without a connect string: once this
// process opened a file with its password, later opens of it need none, but a
// wrong password given is still refused; a new password set here is the one remembered.
TEST(OpenDatabase, PasswordIsCheckedRememberedChangedAndRemoved) {
    TempDir dir;
    std::string path = dir.file("locked.db");
    DBEngine::CreateDatabase(path, ";pwd=secret")->Close();
    auto open = [&](const char* connect, bool exclusive = false) {
        return errorOf([&] { DBEngine::OpenDatabase(path, exclusive, false, connect); });
    };
    for (const char* connect : {"", ";pwd=wrong", ";pwd=Secret"}) EXPECT_EQ(open(connect), err::BadPassword) << connect;
    DBEngine::OpenDatabase(path, false, false, ";pwd=secret")->Close();
    EXPECT_EQ(open("", true), 0);
    EXPECT_EQ(open(";pwd=wrong"), err::BadPassword);

    auto db = DBEngine::OpenDatabase(path);
    EXPECT_EQ(errorOf([&] { db->NewPassword("wrong", "other"); }), err::BadPassword);
    db->NewPassword("secret", "other");
    EXPECT_EQ(open(";pwd=secret"), err::BadPassword);
    EXPECT_EQ(open(";pwd=other"), 0);
    EXPECT_EQ(open(""), 0);
    db->NewPassword("other", "");
    EXPECT_EQ(open(""), 0);
}

TEST(OpenDatabase, FileWithoutReadPermissionIsNotPermitted) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    std::string path = dir.file("private.db");
    DBEngine::CreateDatabase(path)->Close();
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(path); }), err::NotPermitted);
    ::chmod(path.c_str(), 0600);
}

// Runs OpenDatabase in a child process; the exit code is the error number
// less 3000 (0 when it opened).
int openInChild(const std::string& path, bool exclusive) {
    pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            DBEngine::OpenDatabase(path, exclusive);
        } catch (const Error& e) {
            code = e.number() - 3000;
        } catch (...) {
            code = 255;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OpenDatabase, ExclusiveOpenKeepsOtherProcessesOutButNotThisOne) {
    TempDir dir;
    std::string path = dir.file("shared.db");
    DBEngine::CreateDatabase(path)->Close();

    auto holder = DBEngine::OpenDatabase(path, true);
    // Every grid of this program opens its own connection.
    auto again = DBEngine::OpenDatabase(path);
    EXPECT_TRUE(again->IsOpen());
    for (bool exclusive : {false, true, false})  // the last: still held after the children tried
        EXPECT_EQ(openInChild(path, exclusive), err::FileInUse - 3000) << exclusive;

    holder->Close();
    EXPECT_EQ(openInChild(path, false), 0);
    EXPECT_EQ(openInChild(path, true), err::FileInUse - 3000);  // `again` is still open here
    again->Close();
    EXPECT_EQ(openInChild(path, true), 0);
}



// Two Database objects, `a` and `b`, on one file.
class TwoDatabases : public NewDatabase {
protected:
    void SetUp() override {
        addTable(*a, "Items", {{"ID", dbLong, 0, dbAutoIncrField}, {"Code", dbText, 10}},
                 {{"PrimaryKey", {"ID"}, true}, {"CodeIdx", {"Code"}, false, true}});
    }
    std::shared_ptr<Database> a = db, b = DBEngine::OpenDatabase(path);
};

// Changes of one are seen by the other's next recordset, and neither blocks the other.
TEST_F(TwoDatabases, SeeEachOthersChangesAndNeitherBlocksTheOther) {
    auto ra = a->OpenRecordset("Items");
    addRow(*ra, {{"Code", "x1"}});
    auto rb = b->OpenRecordset("Items");
    EXPECT_EQ(column(*rb, "Code"), Strings{"x1"});
    rb->MoveFirst();
    editField(*rb, "Code", "y1");
    EXPECT_EQ(column(*a->OpenRecordset("Items"), "Code"), Strings{"y1"});
    for (int i = 0; i < 5; ++i) {
        addRow(*ra, {{"Code", "a" + std::to_string(i)}});
        addRow(*rb, {{"Code", "b" + std::to_string(i)}});
        // A recordset open for reading on the other side does not block either.
        ra->MoveFirst();
        ASSERT_FALSE(ra->EOF_());
    }
    EXPECT_EQ(a->OpenRecordset("Items")->RecordCount(), 11);
    EXPECT_EQ(b->TableDefs()["Items"].RecordCount(), 11);
}


TEST_F(TwoDatabases, LoopThatStopsOnAnErrorKeepsWhatWasDone) {
    auto rs = a->OpenRecordset("Items");
    const Strings codes = {"a", "b", "A", "c"};  // "A" repeats "a" in the unique index
    int failed = 0;
    a->BeginTrans();
    for (const auto& code : codes) {
        failed = errorOf([&] { addRow(*rs, {{"Code", code}}); });
        if (failed) break;
    }
    a->CommitTrans();
    EXPECT_EQ(failed, err::DuplicateKey);
    EXPECT_EQ(column(*b->OpenRecordset("Items"), "Code"), (Strings{"a", "b"}));
}


TEST(ForeignFile, TableMadeByPlainSqliteOpensWithSensibleTypesAndCanBeEdited) {
    TempDir dir;
    std::string path = dir.file("foreign.sqlite");
    rawExec(path,
            "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(30), price REAL, note TEXT, born DATE);"
            "INSERT INTO t VALUES (1, 'Ann', 2.5, 'first', '1990-04-01');"
            "INSERT INTO t VALUES (2, 'Bob', NULL, NULL, '1985-12-24');");
    auto db = DBEngine::OpenDatabase(path);
    auto& t = db->TableDefs()["t"];
    EXPECT_EQ(t.Attributes(), 0);
    struct Expect { const char* name; int type; int size; };
    const std::vector<Expect> expect = {
        {"id", dbLong, 4}, {"name", dbText, 30}, {"price", dbDouble, 8}, {"note", dbMemo, -1}, {"born", dbDate, 8}};
    ASSERT_EQ(t.Fields().Count(), int(expect.size()));
    for (size_t i = 0; i < expect.size(); ++i) {
        Field& f = t.Fields()[int(i)];
        EXPECT_EQ(f.Name(), expect[i].name);
        EXPECT_EQ(f.Type(), expect[i].type) << expect[i].name;
        if (expect[i].size >= 0) {
            EXPECT_EQ(f.Size(), expect[i].size) << expect[i].name;
        }
    }

    auto rs = db->OpenRecordset("t");
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(column(*rs, "name"), (Strings{"Ann", "Bob"}));
    EXPECT_EQ(column(*rs, "born"), (Strings{"1990-04-01", "1985-12-24"}));
    EXPECT_EQ(column(*rs, "price"), (Strings{"2.5", ""}));

    rs->MoveLast();
    rs->Edit();
    rs->Fields("price").SetValue("3.75");
    rs->Fields("note").SetValue("edited");
    rs->Update();
    addRow(*rs, {{"id", 10}, {"name", "Cy"}});
    db->Close();
    EXPECT_EQ(rawQuery(path, "SELECT id, name, price, note FROM t ORDER BY id"),
              (Rows{
                  {"1", "Ann", "2.5", "first"}, {"2", "Bob", "3.75", "edited"}, {"10", "Cy", "<null>", "<null>"}}));
}

// Views, tables without row ids and generated columns of files made by other programs.
TEST(ForeignFile, ViewsKeyedTablesAndGeneratedColumns) {
    TempDir dir;
    std::string path = dir.file("other.db");
    rawExec(path,
            "CREATE TABLE Items (ID INTEGER, Name TEXT, Price REAL, Qty INTEGER,"
            " Total REAL GENERATED ALWAYS AS (Price * Qty) VIRTUAL, Up TEXT GENERATED ALWAYS AS (upper(Name)) STORED);"
            "INSERT INTO Items (ID, Name, Price, Qty) VALUES (1, 'a', 2.5, 2), (2, 'b', 1, 3);"
            "CREATE VIEW Cheap AS SELECT Name, Price FROM Items WHERE Price < 2;"
            "CREATE TABLE Keyed (K INTEGER PRIMARY KEY, V TEXT) WITHOUT ROWID;"
            "INSERT INTO Keyed VALUES (10, 'x'), (20, 'y');"
            "CREATE TABLE Coded (Code TEXT PRIMARY KEY, V TEXT) WITHOUT ROWID;"
            "INSERT INTO Coded VALUES ('b', '2'), ('a', '1');");
    auto db = DBEngine::OpenDatabase(path);

    // A view reads as a read-only set of rows.
    for (const char* source : {"Cheap", "SELECT * FROM Cheap"}) {
        auto rs = db->OpenRecordset(source);
        EXPECT_EQ(column(*rs, "Name"), Strings{"b"}) << source;
        EXPECT_FALSE(rs->Updatable()) << source;
    }
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Cheap SET Price = 0"); }), err::ReadOnly);
    EXPECT_EQ(errorOf([&] { db->Execute("DROP TABLE Cheap"); }), err::ReadOnly);

    // A table keyed by an integer primary key is read and written through it.
    auto keyed = db->OpenRecordset("Keyed");
    EXPECT_EQ(column(*keyed, "V"), (Strings{"x", "y"}));
    keyed->MoveLast();
    editField(*keyed, "V", Variant::text("z"));
    addRow(*keyed, {{"K", Variant::longInt(15)}, {"V", Variant::text("n")}});
    keyed->SetBookmark(keyed->LastModified());
    EXPECT_EQ(keyed->Fields("V").Value().toText(), "n");
    keyed->MoveFirst();
    keyed->Delete();
    EXPECT_EQ(rawQuery(path, "SELECT K, V FROM Keyed ORDER BY K"),
              (Rows{{"15", "n"}, {"20", "z"}}));
    // One keyed by text is read (and written, see the row key tests); statements change it too.
    auto coded = db->OpenRecordset("Coded");
    EXPECT_EQ(coded->RecordCount(), 2);
    db->Execute("UPDATE Coded SET V = 'q' WHERE Code = 'a'");
    EXPECT_EQ(rawQuery(path, "SELECT V FROM Coded WHERE Code = 'a'").at(0).at(0), "q");

    // Generated columns are listed and read, and refused on write.
    EXPECT_EQ(db->TableDefs()["Items"].Fields().Count(), 6);
    auto items = db->OpenRecordset("SELECT Name, Total, Up FROM Items ORDER BY ID");
    EXPECT_EQ(column(*items, "Total"), (Strings{"5", "3"}));
    EXPECT_EQ(column(*items, "Up"), (Strings{"A", "B"}));
    auto table = db->OpenRecordset("Items");
    table->MoveFirst();
    table->Edit();
    EXPECT_EQ(errorOf([&] { table->Fields("Total").SetValue(Variant::dbl(1)); }), 3164);
    table->Fields("Qty").SetValue(Variant::longInt(4));
    table->Update();
    EXPECT_EQ(table->Fields("Total").Value().toText(), "10");
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Items SET Total = 1"); }), 3164);
    EXPECT_EQ(errorOf([&] { db->Execute("INSERT INTO Items (Up) VALUES ('x')"); }), 3164);
    addRow(*table, {{"ID", Variant::longInt(3)}, {"Name", Variant::text("c")}});
    EXPECT_EQ(rawQuery(path, "SELECT Up FROM Items WHERE ID = 3").at(0).at(0), "C");
}

// Data definition that cannot be done says why with its own number.
TEST(ForeignFile, RefusedDataDefinitionHasItsOwnNumber) {
    TempDir dir;
    auto db = DBEngine::CreateDatabase(dir.file("ddl.db"));
    db->Execute("CREATE TABLE T (A Long)");
    db->Execute("INSERT INTO T VALUES (1)");
    EXPECT_EQ(errorOf([&] { db->Execute("ALTER TABLE T ADD COLUMN B Long NOT NULL"); }), err::RequiredMissing);
    EXPECT_EQ(db->TableDefs()["T"].Fields().Count(), 1);
}

}  // namespace
// An action statement is atomic with or without dbFailOnError; a text run
// again follows saved queries changed here or by the other connection; a
// deny-write run leaves no lock behind and stays inside an open transaction.
TEST_F(TwoDatabases, ActionStatementsAreWholeFollowChangesAndHonourTheirOptions) {
    a->Execute("INSERT INTO Items (Code) VALUES ('a1234')");
    a->Execute("INSERT INTO Items (Code) VALUES ('b12345678')");
    for (int options : {0, dbFailOnError}) {
        EXPECT_EQ(errorOf([&] { a->Execute("UPDATE Items SET Code = Code & 'xx'", options); }), err::FieldTooSmall);
        EXPECT_EQ(column(*b->OpenRecordset("SELECT Code FROM Items ORDER BY ID"), "Code"), (Strings{"a1234", "b12345678"}))
            << "options " << options;
    }
    EXPECT_EQ(errorOf([&] { a->Execute("DELETE FROM Items", 2); }), err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { a->Execute("DELETE FROM Items", dbConsistent | dbInconsistent); }), err::InvalidArgument);

    addTable(*a, "Picked", {{"Code", dbText, 10}});
    a->CreateQueryDef("Pick", "SELECT Code FROM Items WHERE Code Like 'a*'");
    const std::string copy = "INSERT INTO Picked (Code) SELECT Code FROM Pick";
    a->Execute(copy);
    a->QueryDefs()["Pick"].SetSQL("SELECT Code FROM Items WHERE Code Like 'b*'");
    a->Execute(copy);
    b->QueryDefs()["Pick"].SetSQL("SELECT 'other' AS Code FROM Items WHERE ID = 1");
    a->Execute(copy);
    EXPECT_EQ(column(*a->OpenRecordset("Picked"), "Code"), (Strings{"a1234", "b12345678", "other"}));

    a->Execute("DELETE FROM Picked WHERE Code = 'other'", dbDenyWrite | dbFailOnError);
    EXPECT_EQ(a->RecordsAffected(), 1);
    EXPECT_EQ(errorOf([&] { b->Execute("DELETE FROM Picked WHERE Code = 'a1234'"); }), 0) << "the write lock was let go";
    a->BeginTrans();
    a->Execute("DELETE FROM Picked", dbDenyWrite);
    a->Rollback();
    EXPECT_EQ(b->OpenRecordset("Picked")->RecordCount(), 1);
}
