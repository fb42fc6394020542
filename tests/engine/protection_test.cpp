// What a password protects, tried the way an attacker would through the
// program itself: statements and recordsets on the engine tables, links to a
// protected file, and passwords the connect string cannot carry.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "engine/dao.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

class Protected : public ::testing::Test {
protected:
    void SetUp() override {
        secret = dir.file("secret.db");
        auto s = DBEngine::CreateDatabase(secret, ";pwd=hidden");
        s->Execute("CREATE TABLE Salaries (Name Text(20), Amount Currency)");
        s->Execute("INSERT INTO Salaries VALUES ('Ann', 5000)");
        s->Close();
        mainPath = dir.file("main.db");
        db = DBEngine::CreateDatabase(mainPath);
        db->Execute("CREATE TABLE T (A Long)");
    }
    // The hash is still there and still asked for.
    void expectStillProtected() {
        EXPECT_EQ(rawQuery(secret, "SELECT count(*) FROM MSysAccess WHERE Property = 'PasswordHash'").at(0).at(0), "1");
        EXPECT_EQ(errorOf([&] { DBEngine::OpenDatabase(secret, false, false, ";pwd=wrong"); }), err::BadPassword);
    }
    TempDir dir;
    std::string secret, mainPath;
    std::shared_ptr<Database> db;
};

TEST_F(Protected, EngineTablesAreReadOnlyAndThePasswordTableUnreadable) {
    auto s = DBEngine::OpenDatabase(secret, false, false, ";pwd=hidden");
    const std::vector<std::pair<std::string, int>> statements = {
        {"SELECT * FROM MSysAccess", err::NoReadPermission},
        {"SELECT Name FROM Salaries WHERE Name In (SELECT Value FROM MSysAccess)", err::NoReadPermission},
        {"SELECT * INTO Copy FROM MSysAccess", err::NoReadPermission},
        {"DELETE FROM MSysAccess", err::NoReadPermission},
        {"SELECT * FROM Salaries WHERE DCount(\"*\", \"MSysAccess\") > 0", err::NoReadPermission},
        {"UPDATE Salaries SET Name = DLookup(\"Value\", \"[MSysAccess]\")", err::NoReadPermission},
        {"DELETE FROM MSysColumns", err::ReadOnly},
        {"UPDATE MSysQueries SET SQL = 'x'", err::ReadOnly},
        {"INSERT INTO MSysLinks VALUES ('L', ';DATABASE=x', 'T')", err::ReadOnly},
        {"UPDATE Salaries INNER JOIN MSysColumns ON Salaries.Name = MSysColumns.TableName SET MSysColumns.Size = 1",
         err::ReadOnly},
        {"DROP TABLE MSysIndexes", err::ReadOnly},
        {"ALTER TABLE MSysColumns ADD COLUMN Extra Long", err::ReadOnly},
        {"CREATE INDEX ByName ON MSysQueries (Name)", err::ReadOnly},
        {"CREATE TABLE MSysMine (A Long)", err::ReadOnly},
        {"SELECT * INTO MSysCopy FROM Salaries", err::ReadOnly},
    };
    for (const auto& [statement, number] : statements)
        EXPECT_EQ(errorOf([&] {
                      if (statement.rfind("SELECT * FROM", 0) == 0 || statement.find(" In (") != std::string::npos)
                          s->OpenRecordset(statement);
                      else
                          s->Execute(statement);
                  }),
                  number)
            << statement;
    EXPECT_EQ(errorOf([&] { s->OpenRecordset("MSysAccess"); }), err::NoReadPermission);
    EXPECT_EQ(errorOf([&] { s->OpenRecordset("Salaries")->FindFirst("DCount('*', 'MSysAccess') > 0"); }),
              err::NoReadPermission);
    EXPECT_EQ(errorOf([&] { s->TableDefs().Delete("MSysQueries"); }), err::ReadOnly);
    auto columns = s->OpenRecordset("MSysColumns");
    EXPECT_FALSE(columns->Updatable());
    EXPECT_EQ(errorOf([&] { columns->Edit(); }), err::ReadOnly);
    // Reading the other engine tables stays possible.
    EXPECT_GT(s->OpenRecordset("SELECT * FROM MSysColumns")->RecordCount(), 0);
    s->Close();
    expectStillProtected();
}

TEST_F(Protected, LinksToAProtectedFileNeedItsPassword) {
    auto link = [&](const std::string& name, const std::string& connect, const std::string& source) {
        return errorOf([&] { db->TableDefs().Append(db->CreateTableDef(name, 0, source, connect)); });
    };
    EXPECT_EQ(link("NoPassword", ";DATABASE=" + secret, "Salaries"), err::BadPassword);
    EXPECT_EQ(link("WrongPassword", ";DATABASE=" + secret + ";PWD=guess", "Salaries"), err::BadPassword);
    EXPECT_EQ(link("Hash", ";DATABASE=" + secret + ";PWD=hidden", "MSysAccess"), err::NoReadPermission);
    EXPECT_EQ(link("Columns", ";DATABASE=" + secret + ";PWD=hidden", "MSysColumns"), err::NoReadPermission);
    EXPECT_EQ(db->TableDefs().Find("NoPassword"), nullptr) << "a refused link is not stored";

    ASSERT_EQ(link("Pay", ";DATABASE=" + secret + ";PWD=hidden", "Salaries"), 0);
    EXPECT_EQ(column(*db->OpenRecordset("Pay"), "Name"), std::vector<std::string>{"Ann"});
    db->Close();

    // Links written into the file by another program get no further.
    rawExec(mainPath, "INSERT INTO MSysLinks VALUES ('Planted', ';DATABASE=" + secret + "', 'Salaries');"
                      "INSERT INTO MSysLinks VALUES ('PlantedHash', ';DATABASE=" + secret + ";PWD=hidden', 'MSysAccess')");
    auto again = DBEngine::OpenDatabase(mainPath);
    EXPECT_EQ(errorOf([&] { again->OpenRecordset("Planted"); }), err::BadPassword);
    EXPECT_EQ(errorOf([&] { again->OpenRecordset("SELECT * FROM Planted"); }), err::BadPassword);
    EXPECT_EQ(errorOf([&] { again->Execute("DELETE FROM Planted"); }), err::BadPassword);
    EXPECT_EQ(errorOf([&] { again->OpenRecordset("PlantedHash"); }), err::NoReadPermission);
    EXPECT_EQ(column(*again->OpenRecordset("SELECT Name FROM Pay"), "Name"), std::vector<std::string>{"Ann"});
    again->Close();
    expectStillProtected();
}

TEST_F(Protected, PasswordsTheConnectStringCannotCarryAreRefused) {
    EXPECT_EQ(errorOf([&] { db->NewPassword("", "semi;colon"); }), err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { db->NewPassword("", std::string(21, 'x')); }), err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { db->NewPassword("", "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"); }), 0)
        << "twenty bytes of ten accented letters are ten characters";
    std::string longer = dir.file("long.db");
    EXPECT_EQ(errorOf([&] { DBEngine::CreateDatabase(longer, ";pwd=" + std::string(21, 'x')); }), err::InvalidArgument);
    EXPECT_FALSE(std::filesystem::exists(longer));
}

// A disk that fills while the file is made leaves nothing behind, so a later
// create or open is not confused by a broken file.
TEST(CreateDatabase, AFailedCreateLeavesNoFile) {
    TempDir dir;
    std::string path = dir.file("full.db");
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};  // smaller than the first pages of a database
        setrlimit(RLIMIT_FSIZE, &limit);
        int number = errorOf([&] { DBEngine::CreateDatabase(path); });
        _exit(number == 0 ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the create did not fail";
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "something was left beside the target";
    EXPECT_EQ(errorOf([&] { DBEngine::CreateDatabase(path)->Close(); }), 0);
}

}  // namespace
