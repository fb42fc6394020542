// ledgerly-sql run as a program: statements from arguments and from standard
// input, plain and CSV output, listings, and errors with their numbers.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dao.h"
#include "support/run_tool.h"
#include "support/tempdir.h"

using namespace engine;

namespace {

class SqlTool : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = tmp_.file("shop.mdb");
        auto db = DBEngine::CreateDatabase(path_);
        db->Execute("CREATE TABLE [Stock Items] (ID Counter PRIMARY KEY, Name Text (20) NOT NULL, Price Currency, "
                    "Added DateTime, Note Memo, Active YesNo)");
        db->Execute("CREATE UNIQUE INDEX ByName ON [Stock Items] (Name DESC) WITH IGNORE NULL");
        db->Execute("INSERT INTO [Stock Items] (Name, Price, Added, Note, Active) VALUES ('Bolt', 0.1, #1/31/2024#, 'plain', True)");
        db->Execute("INSERT INTO [Stock Items] (Name, Price, Added, Note, Active) VALUES ('Nut, small', 0.2, #2024-02-01 14:05:00#, '', False)");
        db->Execute("INSERT INTO [Stock Items] (Name, Price, Note) VALUES ('Washer', Null, 'say \"hi\"')");
        db->CreateQueryDef("Cheap", "SELECT Name FROM [Stock Items] WHERE Price < 0.15");
        db->Close();
    }

    RunResult sql(const std::string& args, const std::string& input = {}) {
        return runTool(tmp_, "ledgerly-sql", args, input);
    }
    std::string db() const { return shellQuoted(path_); }

    TempDir tmp_;
    std::string path_;
};

// Plain text output in the default text form, CSV quoting only where needed and
// telling Null from empty text, listings, statements from standard input ending
// at a semicolon at a line's end, and records affected by actions (run last).
TEST_F(SqlTool, PrintsRowsListingsAndRecordsAffected) {
    struct Case { std::string args, input, out; };
    const Case cases[] = {
        {db() + " \"SELECT Name, Price, Added, Active FROM [Stock Items] ORDER BY ID\"", "",
         "Name\tPrice\tAdded\tActive\nBolt\t0.1\t2024-01-31\tTrue\nNut, small\t0.2\t2024-02-01 14:05:00\tFalse\n"
         "Washer\t\t\tFalse\n"},
        {"--csv " + db() + " \"SELECT Name, Price, Note FROM [Stock Items] ORDER BY ID\"", "",
         "Name,Price,Note\r\nBolt,0.1,plain\r\n\"Nut, small\",0.2,\"\"\r\nWasher,,\"say \"\"hi\"\"\"\r\n"},
        {db() + " --tables", "", "Stock Items\n"},  // the engine's own tables are not listed
        {db() + " --queries", "", "Cheap\t0\tSELECT Name FROM [Stock Items] WHERE Price < 0.15\n"},
        {db() + " --describe 'stock items'", "",
         "ID\t4\t4\tFalse\tTrue\nName\t10\t20\tTrue\tTrue\nPrice\t5\t8\tFalse\tTrue\nAdded\t8\t8\tFalse\tTrue\n"
         "Note\t12\t0\tFalse\tTrue\nActive\t1\t1\tFalse\tTrue\nindex\tByName\tFalse\tTrue\tTrue\tName DESC\n"
         "index\tPrimaryKey\tTrue\tTrue\tFalse\tID ASC\n"},
        {db(),
         "SELECT Count(*) AS N\n  FROM [Stock Items];\nUPDATE [Stock Items] SET Note = 'a;b' WHERE ID = 1;\n"
         "SELECT Note FROM [Stock Items] WHERE ID = 1;\n",
         "N\n3\n1 records affected\nNote\na;b\n"},
        {db() + " \"UPDATE [Stock Items] SET Price = Price * 2 WHERE Price Is Not Null\" "
                "\"DELETE FROM [Stock Items] WHERE Name = 'washer'\"", "", "2 records affected\n1 records affected\n"},
    };
    for (const Case& c : cases) {
        RunResult r = sql(c.args, c.input);
        ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
}

TEST_F(SqlTool, ErrorsGoToStandardErrorWithTheirNumber) {
    struct Case { std::string args; std::string start; };
    const Case cases[] = {
        {db() + " \"SELECT * FROM Missing\"", "Error 3078: "},
        {db() + " \"SELECT * FROM [Stock Items] WHERE\"", "Error 3"},
        {db() + " \"INSERT INTO [Stock Items] (Name) VALUES ('Bolt')\"", "Error 3022: "},
        {db() + " \"INSERT INTO [Stock Items] (Name) VALUES ('far too long for the twenty')\"", "Error 3163: "},
        {shellQuoted(tmp_.file("absent.mdb")) + " --tables", "Error 3024: "},
    };
    for (const Case& c : cases) {
        RunResult r = sql(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args;
        EXPECT_EQ(r.err.rfind(c.start, 0), 0u) << c.args << " gave " << r.err;
        EXPECT_EQ(r.err.find("SQLITE"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("sqlite"), std::string::npos) << r.err;
    }
}

TEST_F(SqlTool, CreateMakesANewDatabaseWithItsPasswordOrNothing) {
    std::string fresh = shellQuoted(tmp_.file("fresh.mdb"));
    RunResult made = sql("--create --password s3cret " + fresh + " \"CREATE TABLE T (A Long)\" \"INSERT INTO T VALUES (7)\"");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out, "1 records affected\n");
    RunResult refused = sql(fresh + " --tables");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.rfind("Error 3031: ", 0), 0u) << refused.err;
    RunResult read = sql("--password s3cret " + fresh + " \"SELECT A FROM T\"");
    EXPECT_EQ(read.out, "A\n7\n");

    // --create never reports success over an existing file, and a password the
    // connect string cannot carry is refused before anything is made.
    RunResult over = sql("--create --password s3cret " + db() + " \"SELECT 1\"");
    EXPECT_EQ(over.exitCode, 1);
    EXPECT_NE(over.err.find("already exists"), std::string::npos) << over.err;
    EXPECT_EQ(sql(db() + " --tables").exitCode, 0) << "the existing file stays without a password";

    std::string semiFile = tmp_.file("semi.mdb");
    RunResult semi = sql("--create --password 'a;b' " + shellQuoted(semiFile));
    EXPECT_EQ(semi.exitCode, 1);
    EXPECT_NE(semi.err.find("';'"), std::string::npos) << semi.err;
    RunResult tooLong = sql("--create --password " + std::string(21, 'p') + " " + shellQuoted(semiFile));
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(semiFile));
}

// A failed statement is named with the count done before it; read-only use
// changes nothing; bad usage shows how to call the tool.
TEST_F(SqlTool, FailuresReadOnlyUseAndBadUsage) {
    RunResult r = sql(db() + " \"UPDATE [Stock Items] SET Price = 1\" \"UPDATE [Stock Items] SET Price = 1 / 0\" "
                             "\"DELETE FROM [Stock Items]\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Statement 2 of 3 failed (UPDATE [Stock Items] SET Price = 1 / 0); the 1 before it succeeded."),
              std::string::npos) << r.err;
    EXPECT_EQ(sql(db() + " \"SELECT Count(*) FROM [Stock Items] WHERE Price = 1\"").out, "Expr1000\n3\n");

    // Listings and --read-only open the file read-only: nothing in it changes.
    RunResult w = sql("--read-only " + db() + " \"DELETE FROM [Stock Items]\"");
    EXPECT_EQ(w.exitCode, 1);
    EXPECT_EQ(w.err.rfind("Error 3027: ", 0), 0u) << w.err;
    EXPECT_EQ(sql("--read-only " + db() + " \"SELECT Count(*) FROM [Stock Items]\"").out, "Expr1000\n3\n");

    RunResult usage = sql("--no-such-option");
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("usage: ledgerly-sql"), std::string::npos);
}

}  // namespace
