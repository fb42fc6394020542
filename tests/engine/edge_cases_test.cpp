// Edge cases: a recordset emptied from its end,
// records deleted elsewhere, Integer limits, literal % and _ in Like, comparisons
// with Null, primary keys made every way, nested transactions, a killed writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;

namespace {

using Step = std::function<void(Database&)>;

// A new database in a folder of its own.
struct Fresh {
    TempDir dir;
    std::string path = dir.file("t.db");
    std::shared_ptr<Database> db = DBEngine::CreateDatabase(path);
    Database* operator->() { return db.get(); }
    Database& operator*() { return *db; }
};

long affected(Database& db, const std::string& sqlText) { return db.Execute(sqlText), db.RecordsAffected(); }
std::string text(Recordset& rs, const std::string& field) { return rs.Fields(field).Value().toText(); }

template <class T> T sorted(T v) { return std::sort(v.begin(), v.end()), v; }

// `field` of the rows of `table` that `where` picks, by a statement and by FindFirst/FindNext on `rs`.
void expectPicks(Database& db, Recordset& rs, std::string table, std::string field, std::string where, Strings want) {
    auto byStatement = db.OpenRecordset("SELECT " + field + " FROM " + table + " WHERE " + where);
    EXPECT_EQ(sorted(column(*byStatement, field)), want) << where;
    Strings found;
    for (rs.FindFirst(where); !rs.NoMatch(); rs.FindNext(where)) found.push_back(text(rs, field));
    EXPECT_EQ(sorted(found), want) << where << " by Find";
}

TEST(Emptying, DeletingBackwardsFromTheLastLeavesNoRecordAtEitherEnd) {
    for (const char* source : {"T", "SELECT * FROM T WHERE N > 0"}) {
        SCOPED_TRACE(source);
        Fresh f;
        addTable(*f, "T", {{"N", dbLong}});
        const int rows = 70;  // more than one page of the recordset's cache
        std::string values = "(1)";
        for (int n = 2; n <= rows; ++n) values += ", (" + std::to_string(n) + ")";
        f->Execute("INSERT INTO T (N) VALUES " + values);
        auto rs = f->OpenRecordset(source);
        int deleted = 0;
        for (rs->MoveLast(); !rs->BOF() && deleted <= rows; ++deleted, rs->MovePrevious()) {
            ASSERT_EQ(text(*rs, "N"), std::to_string(rows - deleted));
            rs->Delete();
        }
        EXPECT_EQ(deleted, rows);
        // The emptied recordset and ones opened on the empty table alike.
        for (auto r : {rs, f->OpenRecordset(source), rs->OpenRecordset()}) {
            EXPECT_TRUE(r->BOF() && r->EOF_() && r->RecordCount() == 0);
            EXPECT_EQ(r->AbsolutePosition(), -1);
            for (auto move : {&Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext, &Recordset::MovePrevious})
                EXPECT_EQ(errorOf([&] { (r.get()->*move)(); }), err::NoCurrentRecord);
            EXPECT_EQ(errorOf([&] { r->Bookmark(); }), err::NoCurrentRecord);
            EXPECT_EQ(errorOf([&] { r->SetAbsolutePosition(0); }), err::InvalidArgument);
            r->FindFirst("N = 1");
            EXPECT_TRUE(r->NoMatch());
        }
        EXPECT_EQ(rawQuery(f.path, "SELECT count(*) FROM T"), (Rows{{"0"}}));
    }
}

TEST(DeletedElsewhere, DeletingOrUpdatingTheRecordAgainGives3167) {
    for (const char* source : {"T", "SELECT * FROM T"}) {
        SCOPED_TRACE(source);
        Fresh f;
        addTable(*f, "T", {{"Code", dbText, 10}});
        f->Execute("INSERT INTO T (Code) VALUES ('a'), ('b'), ('c')");
        auto other = DBEngine::OpenDatabase(f.path);
        auto rs = f->OpenRecordset(source);
        rs->MoveNext();
        ASSERT_EQ(text(*rs, "Code"), "b");  // its page is read now
        other->Execute("DELETE FROM T WHERE Code = 'b'");
        EXPECT_EQ(errorOf([&] { rs->Delete(); }), 3167);
        rs->MoveNext();
        ASSERT_EQ(text(*rs, "Code"), "c");
        rs->Edit();
        other->Execute("DELETE FROM T WHERE Code = 'c'");
        rs->Fields("Code").SetValue("z");
        EXPECT_EQ(errorOf([&] { rs->Update(); }), 3167);
        EXPECT_EQ(rawQuery(f.path, "SELECT Code FROM T"), (Rows{{"a"}}));
    }
}

// A statement of the same connection changes a record a recordset holds: the
// recordset shows it as stored, and an edit started before it is refused.
TEST(SameConnection, ARecordsetShowsWhatAStatementChangedAndAnEarlierEditIsRefused) {
    Fresh f;
    addTable(*f, "T", {{"Code", dbText, 10}});
    f->Execute("INSERT INTO T (Code) VALUES ('a'), ('b')");
    auto rs = f->OpenRecordset("T");
    ASSERT_EQ(text(*rs, "Code"), "a");
    f->Execute("UPDATE T SET Code = 'x' WHERE Code = 'a'");
    EXPECT_EQ(text(*rs, "Code"), "x");
    rs->Edit();
    f->Execute("UPDATE T SET Code = 'y' WHERE Code = 'x'");
    rs->Fields("Code").SetValue("mine");
    EXPECT_EQ(errorOf([&] { rs->Update(); }), err::DataChanged);
    EXPECT_EQ(rawQuery(f.path, "SELECT Code FROM T ORDER BY Code"), (Rows{{"b"}, {"y"}}));
}

// Row ids of a table without an AutoNumber are given again once the last row is gone.
TEST(RowReuse, ARecordAddedInAnotherRecordsPlaceIsNeverTakenForIt) {
    Fresh f;
    addTable(*f, "T", {{"Code", dbText, 10}});
    f->Execute("INSERT INTO T (Code) VALUES ('a'), ('b')");
    auto other = DBEngine::OpenDatabase(f.path);
    auto replaceB = [&] { other->Execute("DELETE FROM T WHERE Code = 'b'"), other->Execute("INSERT INTO T (Code) VALUES ('new')"); };
    auto rs = f->OpenRecordset("T");
    rs->MoveLast();
    ASSERT_EQ(text(*rs, "Code"), "b");
    replaceB();
    EXPECT_EQ(errorOf([&] { rs->Delete(); }), err::DataChanged);
    rs = rs->OpenRecordset();
    rs->MoveLast();
    ASSERT_EQ(text(*rs, "Code"), "new");
    rs->Edit();
    other->Execute("UPDATE T SET Code = 'newer' WHERE Code = 'new'");
    rs->Fields("Code").SetValue("mine");
    EXPECT_EQ(errorOf([&] { rs->Update(); }), err::DataChanged);
    EXPECT_EQ(rawQuery(f.path, "SELECT Code FROM T ORDER BY Code"), (Rows{{"a"}, {"newer"}}));
    // Through one recordset: the last row deleted, then a row added.
    rs = rs->OpenRecordset();
    rs->MoveLast();
    Bookmark last = rs->Bookmark();
    rs->Delete();
    addRow(*rs, {{"Code", "c"}});
    EXPECT_EQ(errorOf([&] { rs->SetBookmark(last); }), err::BookmarkInvalid);
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(text(*rs, "Code"), "c");
    auto again = rs->OpenRecordset();
    EXPECT_EQ(column(*again, "Code"), (Strings{"a", "c"}));
    EXPECT_EQ(errorOf([&] { again->SetBookmark(last); }), err::BookmarkInvalid);
}

TEST(IntegerField, HoldsMinus32768To32767AndRefusesTheRest) {
    // A recordset refuses out of range with 3349; a statement may say 3349 or a conversion error.
    auto isRangeError = [](int e) { return e == err::ValueOutOfRange || e == err::ConversionError; };
    Fresh f;
    addTable(*f, "T", {{"Tag", dbText, 20}, {"I", dbInteger}});
    struct Case { Variant value; const char* stored; bool alsoByStatement = false; };  // stored nullptr: refused
    const std::vector<Case> cases = {
        {-32768, "-32768", true}, {32767, "32767", true}, {-32769, nullptr, true}, {32768, nullptr, true},
        {65536, nullptr, true},   {"-32768", "-32768"},   {"32768", nullptr},      {-65536, nullptr},
        {32767.5, nullptr},       {-32768.5, "-32768"},   {32766.5, "32766"},
    };
    auto rs = f->OpenRecordset("T");
    Rows expected;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::string n = std::to_string(i);
        SCOPED_TRACE(n + " <- " + c.value.toText());
        int got = errorOf([&] { addRow(*rs, {{"Tag", "rs" + n}, {"I", c.value}}); });
        if (rs->EditMode() != dbEditNone) rs->CancelUpdate();
        EXPECT_EQ(got, c.stored ? 0 : err::ValueOutOfRange);
        if (c.stored) expected.push_back({"rs" + n, c.stored});
        if (!c.alsoByStatement) continue;
        got = errorOf([&] { f->Execute("INSERT INTO T (Tag, I) VALUES ('sql" + n + "', " + c.value.toText() + ")"); });
        EXPECT_PRED1([&](int e) { return c.stored ? e == 0 : isRangeError(e); }, got) << "by a statement";
        if (c.stored) expected.push_back({"sql" + n, c.stored});
    }
    // An update that would carry a value past either end changes no row.
    EXPECT_PRED1(isRangeError, errorOf([&] { f->Execute("UPDATE T SET I = I + 1 WHERE I > 0"); }));
    EXPECT_PRED1(isRangeError, errorOf([&] { f->Execute("UPDATE T SET I = I - 1 WHERE I < 0"); }));
    EXPECT_EQ(rawQuery(f.path, "SELECT Tag, I FROM T ORDER BY Tag"), sorted(expected));
}

TEST(LikePatterns, PercentAndUnderscoreAreOrdinaryCharacters) {
    Fresh f;
    addTable(*f, "V", {{"S", dbText, 20}});
    auto rs = f->OpenRecordset("V");
    for (const char* s : {"a%b", "axb", "ab", "a_b", "100%", "1000", "é%b", "éxb"}) addRow(*rs, {{"S", s}});
    // Were % or _ wildcards these would pick more; a class or a non-ASCII letter takes the general matcher.
    const std::vector<std::pair<std::string, Strings>> cases = {
        {"*%*", {"100%", "a%b", "é%b"}}, {"a%b", {"a%b"}},   {"100%", {"100%"}},   {"*_*", {"a_b"}},
        {"a_b", {"a_b"}},                {"[a]%b", {"a%b"}}, {"#0%", {}},          {"#00%", {"100%"}},
        {"[a]_b", {"a_b"}},              {"é%b", {"é%b"}},   {"a?b", {"a%b", "a_b", "axb"}},
        {"*[%]*", {"100%", "a%b", "é%b"}},
    };
    for (const auto& [pattern, picks] : cases) expectPicks(*f, *rs, "V", "S", "S Like '" + pattern + "'", picks);
    expectPicks(*f, *rs, "V", "S", "S Not Like '*%*'", {"1000", "a_b", "ab", "axb", "éxb"});
    EXPECT_EQ(affected(*f, "DELETE FROM V WHERE S Like 'a%b' Or S Like 'a_b'"), 2);
}

TEST(NullComparisons, EqualsOrNotEqualsNullSelectsNothingAndIsNullDoes) {
    Fresh f;
    addTable(*f, "N", {{"Tag", dbText, 10}, {"V", dbLong}, {"S", dbText, 10}});
    f->Execute("INSERT INTO N (Tag, V, S) VALUES ('one', 1, 'x'), ('none', Null, Null), ('three', 3, 'y')");
    const std::vector<std::pair<const char*, Strings>> cases = {
        {"V = Null", {}}, {"V <> Null", {}}, {"S = Null", {}}, {"S <> Null", {}}, {"Null = Null", {}},
        {"Not (V = Null)", {}}, {"V <> 1", {"three"}}, {"S <> 'x'", {"three"}}, {"V Is Null", {"none"}},
        {"S Is Null", {"none"}}, {"IsNull(V)", {"none"}}, {"V Is Not Null", {"one", "three"}},
        {"Not V Is Null", {"one", "three"}}};
    auto rs = f->OpenRecordset("N");
    for (const auto& [where, tags] : cases) expectPicks(*f, *rs, "N", "Tag", where, tags);
    EXPECT_EQ(affected(*f, "UPDATE N SET Tag = 'hit' WHERE V = Null Or S <> Null"), 0);
    EXPECT_EQ(affected(*f, "DELETE FROM N WHERE V <> Null"), 0);
    EXPECT_EQ(affected(*f, "DELETE FROM N WHERE V Is Null"), 1);
}

Step run(std::vector<std::string> sqls) { return [=](Database& db) { for (const auto& s : sqls) db.Execute(s); }; }

// Adds a primary index to a stored table; `unique` false sets Unique off, which a primary index ignores.
Step appendPrimary(const char* table, const char* name, const char* field, bool unique) {
    return [=](Database& db) {
        auto& td = db.TableDefs()[table];
        auto ix = td.CreateIndex(name);
        ix->SetPrimary(true);
        if (!unique) ix->SetUnique(false);
        ix->Fields().Append(ix->CreateField(field));
        td.Indexes().Append(ix);
    };
}

TEST(PrimaryKey, RefusesNullAndDuplicatesHoweverItWasMade) {
    // Ways to give table P (A Long, B Text) a primary key on A.
    const char* plain = "CREATE TABLE P (A Long, B Text(10))";
    const std::vector<std::pair<const char*, std::vector<Step>>> makers = {
        {"table constraint", {run({"CREATE TABLE P (A Long, B Text(10), CONSTRAINT pk PRIMARY KEY (A))"})}},
        {"field constraint", {run({"CREATE TABLE P (A Long PRIMARY KEY, B Text(10))"})}},
        {"CREATE INDEX WITH PRIMARY", {run({plain, "CREATE INDEX pk ON P (A) WITH PRIMARY"})}},
        {"ALTER TABLE ADD CONSTRAINT", {run({plain, "ALTER TABLE P ADD CONSTRAINT pk PRIMARY KEY (A)"})}},
        {"new TableDef, Primary only",
         {[](Database& db) { addTable(db, "P", {{"A", dbLong}, {"B", dbText, 10}}, {{"pk", {"A"}, true}}); }}},
        {"Indexes().Append on a stored table, Primary only", {run({plain}), appendPrimary("P", "pk", "A", false)}},
    };
    for (const auto& [how, steps] : makers) {
        SCOPED_TRACE(how);
        Fresh f;
        for (const auto& step : steps) step(*f);
        auto& ix = f->TableDefs()["P"].Indexes()[0];
        EXPECT_TRUE(ix.Primary() && ix.Unique());
        EXPECT_EQ(errorOf([&] { addRow(*f->OpenRecordset("P"), {{"B", "rs"}}); }), err::NullInPrimaryKey);
        EXPECT_EQ(errorOf([&] { f->Execute("INSERT INTO P (B) VALUES ('sql')"); }), err::NullInPrimaryKey);
        EXPECT_EQ(errorOf([&] { f->Execute("INSERT INTO P (A, B) VALUES (Null, 'sql')"); }), err::NullInPrimaryKey);
        EXPECT_EQ(rawQuery(f.path, "SELECT count(*) FROM P"), (Rows{{"0"}}));
        EXPECT_EQ(errorOf([&] { f->Execute("INSERT INTO P (A, B) VALUES (1, 'first')"); }), 0);
        EXPECT_EQ(errorOf([&] { f->Execute("INSERT INTO P (A, B) VALUES (1, 'again')"); }), err::DuplicateKey);
        auto rs = f->OpenRecordset("P");
        EXPECT_EQ(errorOf([&] { addRow(*rs, {{"A", 1}, {"B", "rs"}}); }), err::DuplicateKey);
        rs->CancelUpdate();
        EXPECT_EQ(errorOf([&] { addRow(*rs, {{"A", 2}, {"B", "two"}}); }), 0);
        rs->SetBookmark(rs->LastModified());
        rs->Edit();
        rs->Fields("A").SetValue(1);
        EXPECT_EQ(errorOf([&] { rs->Update(); }), err::DuplicateKey);
        rs->CancelUpdate();
        EXPECT_EQ(errorOf([&] { f->Execute("UPDATE P SET A = 1 WHERE A = 2"); }), err::DuplicateKey);
        EXPECT_EQ(rawQuery(f.path, "SELECT A, B FROM P ORDER BY A"), (Rows{{"1", "first"}, {"2", "two"}}));
    }
}

TEST(PrimaryKey, ASecondPrimaryKeyIsRefusedWith3283) {
    Step keyOnA = run({"CREATE TABLE T (A Long, B Long, CONSTRAINT pk PRIMARY KEY (A))"}), none = run({});
    Step onB = appendPrimary("T", "pk2", "B", true);
    struct Case { const char* what; Step table, second; bool tableRefused = false; /* else T keeps its one key */ };
    const std::vector<Case> cases = {
        {"Indexes().Append", keyOnA, onB},
        {"CREATE INDEX WITH PRIMARY", keyOnA, run({"CREATE INDEX pk2 ON T (B) WITH PRIMARY"})},
        {"CREATE UNIQUE INDEX WITH PRIMARY", keyOnA, run({"CREATE UNIQUE INDEX pk2 ON T (B) WITH PRIMARY"})},
        {"ALTER TABLE ADD CONSTRAINT", keyOnA, run({"ALTER TABLE T ADD CONSTRAINT pk2 PRIMARY KEY (B)"})},
        {"on an AutoNumber key", run({"CREATE TABLE T (A Counter PRIMARY KEY, B Long)"}), onB},
        {"two in CREATE TABLE", none, run({"CREATE TABLE T (A Long PRIMARY KEY, B Long, CONSTRAINT pk2 PRIMARY KEY (B))"}), true},
        {"two in a new TableDef", none, [](Database& db) {
             addTable(db, "T", {{"A", dbLong}, {"B", dbLong}}, {{"pk1", {"A"}, true, true}, {"pk2", {"B"}, true, true}});
         }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh f;
        c.table(*f);
        EXPECT_EQ(errorOf([&] { c.second(*f); }), 3283);
        auto fresh = DBEngine::OpenDatabase(f.path);
        EXPECT_EQ(fresh->TableDefs().Find("T") == nullptr, c.tableRefused);
        if (c.tableRefused) continue;
        EXPECT_EQ(fresh->TableDefs()["T"].Indexes().Count(), 1);
        // Nothing of the refused key is left: B takes duplicates and the name is free.
        fresh->Execute("INSERT INTO T (A, B) VALUES (1, 5)");
        EXPECT_EQ(errorOf([&] { fresh->Execute("INSERT INTO T (A, B) VALUES (2, 5)"); }), 0);
        EXPECT_EQ(errorOf([&] { fresh->Execute("CREATE INDEX pk2 ON T (B)"); }), 0);
    }
}

TEST(Transactions, ASixthLevelIsRefusedAndTheFiveStillWork) {
    Fresh f;
    addTable(*f, "T", {{"Code", dbText, 10}});
    auto other = DBEngine::OpenDatabase(f.path);
    auto codes = [&] { return sorted(column(*other->OpenRecordset("SELECT Code FROM T"), "Code")); };
    auto add = [&](const std::string& code) { f->Execute("INSERT INTO T (Code) VALUES ('" + code + "')"); };
    auto fiveDeep = [&](const std::string& prefix) {
        for (int level = 1; level <= 5; ++level) f->BeginTrans(), add(prefix + std::to_string(level));
        EXPECT_EQ(errorOf([&] { f->BeginTrans(); }), err::TooManyTransactions);
    };
    fiveDeep("L");
    add("L5b");         // still inside level five
    f->Rollback();      // 5: L5, L5b
    f->CommitTrans();   // 4
    f->CommitTrans();   // 3
    f->Rollback();      // 2: L2, L3, L4
    EXPECT_EQ(codes(), Strings{});
    f->CommitTrans();   // 1
    EXPECT_EQ(codes(), (Strings{"L1"}));
    EXPECT_EQ(errorOf([&] { f->CommitTrans(); }), err::CommitWithoutBegin);
    EXPECT_EQ(errorOf([&] { f->Rollback(); }), err::CommitWithoutBegin);
    // The refused level left the count of levels right: five deep works again.
    fiveDeep("M");
    for (int level = 1; level <= 5; ++level) f->CommitTrans();
    EXPECT_EQ(codes(), (Strings{"L1", "M1", "M2", "M3", "M4", "M5"}));
}

TEST(Crash, KilledDuringABulkUpdateLeavesTheFileWholeAndTheStatementAllOrNothing) {
    namespace fs = std::filesystem;
    using namespace std::chrono;
    Fresh f;
    const std::string& path = f.path;
    const long rows = 262144;
    addTable(*f, "T", {{"V", dbLong}, {"Pad", dbText, 60}});
    f->BeginTrans();
    f->Execute("INSERT INTO T (V, Pad) VALUES (0, '" + std::string(50, 'p') + "')");
    for (int i = 0; i < 18; ++i) f->Execute("INSERT INTO T (V, Pad) SELECT V, Pad FROM T");  // doubles the rows
    f->CommitTrans();
    f.db.reset();
    ASSERT_EQ(rawQuery(path, "SELECT count(*), sum(V) FROM T"), (Rows{{std::to_string(rows), "0"}}));
    // The update has written part of its pages once the WAL grew by a megabyte or the file itself changed.
    auto walSize = [&] { std::error_code ec; auto n = fs::file_size(path + "-wal", ec); return ec ? 0 : n; };
    const auto timeBefore = fs::last_write_time(path);
    const auto walBefore = walSize();
    auto partlyWritten = [&] { return walSize() > walBefore + (1u << 20) || fs::last_write_time(path) != timeBefore; };
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        try {
            auto db = DBEngine::OpenDatabase(path);
            if (write(ready[1], "u", 1) != 1) _exit(3);
            db->Execute("UPDATE T SET V = V + 1");
        } catch (...) { _exit(2); }
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    const bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    // Kill it once it has written part of its pages, unless it ends first or is stuck for ten seconds.
    int status = 0;
    bool finished = !started;
    for (auto end = steady_clock::now() + 10s; !finished && !partlyWritten() && steady_clock::now() < end;)
        if (!(finished = waitpid(pid, &status, WNOHANG) == pid)) std::this_thread::sleep_for(1ms);
    if (!finished) ::kill(pid, SIGKILL);
    if (!finished || !started) waitpid(pid, &status, 0);
    ASSERT_TRUE(started) << "the child could not open the database";
    if (finished) { EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the update failed on its own"; }
    EXPECT_EQ(rawQuery(path, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    auto got = rawQuery(path, "SELECT count(*), min(V), max(V) FROM T");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], std::to_string(rows));
    EXPECT_EQ(got[0][1], got[0][2]) << "part of the update was kept";
    EXPECT_TRUE(got[0][1] == "0" || got[0][1] == "1") << got[0][1];
    EXPECT_EQ(DBEngine::OpenDatabase(path)->OpenRecordset("T")->RecordCount(), rows);
}

// A writer waits for another that holds the file longer than a short busy
// timeout would allow, instead of giving up with 3260.
TEST(Contention, AWriterWaitsForAnotherThatHoldsTheFileForSeconds) {
    Fresh f;
    addTable(*f, "T", {{"Who", dbText, 10}});
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        try {
            auto db = DBEngine::OpenDatabase(f.path);
            db->BeginTrans();
            db->Execute("INSERT INTO T (Who) VALUES ('first')");
            if (write(ready[1], "w", 1) != 1) _exit(3);
            std::this_thread::sleep_for(std::chrono::seconds(6));
            db->CommitTrans();
        } catch (...) { _exit(2); }
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    const bool holding = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    int waited = errorOf([&] { f->Execute("INSERT INTO T (Who) VALUES ('second')"); });
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(holding) << "the other writer could not start";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(waited, 0);
    EXPECT_EQ(rawQuery(f.path, "SELECT Who FROM T ORDER BY rowid"), (Rows{{"first"}, {"second"}}));
}

}  // namespace
