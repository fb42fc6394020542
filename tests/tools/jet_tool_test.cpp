// ledgerly-sql with genuine Jet files: --convert writes a new database and
// reports what it did; statements read a Jet file and may not change it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/dao.h"
#include "support/run_tool.h"
#include "support/tempdir.h"

using namespace engine;
namespace fs = std::filesystem;

namespace {

const fs::path kSample = "/work/shared/testdata/jet/V2003/indexTestV2003.mdb";

class JetTool : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSample)) GTEST_SKIP() << "no Jet sample files on this machine";
        ::setenv("XDG_CACHE_HOME", tmp_.file("cache").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }
    RunResult sql(const std::string& args) { return runTool(tmp_, "ledgerly-sql", args); }
    TempDir tmp_;
};

TEST_F(JetTool, ConvertWritesADatabaseOfOurFormat) {
    std::string out = tmp_.file("converted.mdb");
    RunResult r = sql("--convert " + shellQuoted(kSample.string()) + " " + shellQuoted(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("3 tables, 11 records converted"), std::string::npos) << r.err;
    auto db = DBEngine::OpenDatabase(out);
    EXPECT_TRUE(db->Updatable());
    EXPECT_EQ(db->OpenRecordset("Table1")->RecordCount(), 4);
    db->Execute("DELETE FROM Table3");  // the copy is ours to change
    db->Close();
    // An existing file is never replaced.
    std::ifstream before(out, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(before)), {});
    r = sql("--convert " + shellQuoted(kSample.string()) + " " + shellQuoted(out));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error 3204"), std::string::npos) << r.err;
    std::ifstream after(out, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), bytes);
}

TEST_F(JetTool, StatementsReadAJetFileAndCannotChangeIt) {
    std::string file = shellQuoted(kSample.string());
    RunResult r = sql(file + " \"SELECT id, data FROM Table3 ORDER BY id DESC\"");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "id\tdata\n13\tbar13\n12\tbar12\n11\tbar11\n10\tbar10\n");
    r = sql(file + " \"UPDATE Table3 SET data = 'x'\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error 3027"), std::string::npos) << r.err;
}

}  // namespace
