// The DBF reader on the shared sample tables and on tables written here
// byte by byte from the published layout of each format.
#include "engine/dbf/dbffile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine_helpers.h"
#include "support/case_file.h"
#include "support/dbf_writer.h"
#include "support/tempdir.h"

using engine::Variant;
using namespace std::string_literals;
using engine::dbf::DbfTable;
using enginetest::errorOf;
namespace fs = std::filesystem;

namespace {

const std::string kSamples = LEDGERLY_DBF_SAMPLES;
const std::string kCases = std::string(LEDGERLY_TEST_DATA) + "/dbf_samples.txt";

// "name.dbf@BIG5": the sample opened with that code page.
std::unique_ptr<DbfTable> openSample(const std::string& name) {
    const auto at = name.find('@');
    return DbfTable::open(kSamples + "/" + name.substr(0, at), at == std::string::npos ? "" : name.substr(at + 1));
}

std::vector<std::vector<Variant>> readAll(DbfTable& t) {
    std::vector<std::vector<Variant>> rows;
    while (t.next()) rows.push_back(t.row());
    return rows;
}

const char* kindName(Variant::Kind k) {
    static const char* names[] = {"Null", "Boolean", "Byte", "Integer", "Long", "BigInt", "Currency",
                                  "Single", "Double", "Date", "Text", "Binary", "GUID"};
    return names[static_cast<int>(k)];
}

class DbfSamples : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSamples)) GTEST_SKIP() << "no sample tables in " << kSamples;
    }
};

TEST_F(DbfSamples, EveryTableReadsWhole) {
    std::set<std::string> listed;
    for (const auto& c : readCases(kCases, "table")) {
        SCOPED_TRACE("line " + std::to_string(c.line) + ": " + c.fields[0]);
        listed.insert(c.fields[0].substr(0, c.fields[0].find('@')));
        auto t = openSample(c.fields[0]);
        EXPECT_EQ(t->fileRecordCount(), std::stoll(c.fields[1]));
        EXPECT_EQ(t->recordCount(), std::stoll(c.fields[2]));
        EXPECT_EQ(t->fields().size(), std::stoul(c.fields[3]));
        EXPECT_EQ(t->encoding(), c.fields[4]);
        EXPECT_EQ(fs::path(t->memoPath()).filename().string(), c.fields[5] == "-" ? "" : c.fields[5]);
        EXPECT_EQ(static_cast<std::int64_t>(readAll(*t).size()), std::stoll(c.fields[2]));
        t->rewind();
        EXPECT_EQ(static_cast<std::int64_t>(readAll(*t).size()), std::stoll(c.fields[2])) << "after rewind";
    }
    for (const auto& e : fs::directory_iterator(kSamples)) {
        std::string ext = e.path().extension().string();
        for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (ext == ".dbf") {
            EXPECT_TRUE(listed.count(e.path().filename().string())) << e.path() << " has no case";
        }
    }
}

TEST_F(DbfSamples, Values) {
    std::map<std::string, std::vector<std::vector<Variant>>> rowsOf;
    std::map<std::string, std::unique_ptr<DbfTable>> tables;
    for (const auto& c : readCases(kCases, "value")) {
        SCOPED_TRACE("line " + std::to_string(c.line) + ": " + c.fields[0] + " " + c.fields[2]);
        auto& t = tables[c.fields[0]];
        if (!t) {
            t = openSample(c.fields[0]);
            rowsOf[c.fields[0]] = readAll(*t);
        }
        const int field = t->fieldIndex(c.fields[2]);
        ASSERT_GE(field, 0);
        const Variant& v = rowsOf[c.fields[0]].at(std::stoul(c.fields[1]))[static_cast<size_t>(field)];
        const std::string expected = unquoted(c.fields[4]);
        if (c.fields[3] == "Text^") {
            EXPECT_EQ(v.kind(), Variant::Kind::Text);
            EXPECT_EQ(v.toText().substr(0, expected.size()), expected);
        } else {
            EXPECT_STREQ(kindName(v.kind()), c.fields[3].c_str());
            EXPECT_EQ(v.toText(), expected);
        }
    }
}

TEST_F(DbfSamples, FieldListsMatchTheSummaries) {
    for (const char* name : {"dbase_31", "dbase_83", "dbase_8b"}) {
        SCOPED_TRACE(name);
        std::ifstream in(kSamples + "/" + name + "_summary.txt");
        std::string line;
        while (std::getline(in, line) && line.rfind("----", 0) != 0) {}
        std::vector<std::string> expected, got;
        for (std::string n, type, length, decimals; in >> n >> type >> length >> decimals;)
            if (type != "0") expected.push_back(n + " " + type + " " + length + " " + decimals);  // _NullFlags is hidden
        auto t = openSample(std::string(name) + ".dbf");
        for (const auto& f : t->fields())
            got.push_back(f.name + " " + f.dbfType + " " + std::to_string(f.length) + " " + std::to_string(f.decimals));
        EXPECT_EQ(got, expected);
    }
}

TEST_F(DbfSamples, EngineTypesAndSizes) {
    auto t = openSample("dbase_31.dbf");
    std::vector<std::pair<int, int>> got;
    for (const auto& f : t->fields()) got.emplace_back(f.type, f.size);
    using namespace engine;
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{dbLong, 4}, {dbChar, 40}, {dbLong, 4}, {dbLong, 4}, {dbChar, 20},
                                                      {dbCurrency, 8}, {dbLong, 4}, {dbLong, 4}, {dbLong, 4}, {dbBoolean, 1}}));
    EXPECT_EQ(openSample("dbase_8b.dbf")->fields()[4].type, dbFloat);
    EXPECT_EQ(openSample("dbase_8b.dbf")->fields()[5].type, dbMemo);
    EXPECT_EQ(openSample("dbase_03.dbf")->fields()[10].type, dbNumeric);
}

TEST_F(DbfSamples, Big5NamesNeedTheChosenCodePage) {
    auto big5 = openSample("dbase_not_latin1.dbf@BIG5");
    std::vector<std::string> names;
    for (const auto& f : big5->fields()) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"畜主姓名", "電話", "地址", "微晶片號碼", "狂犬病牌號", "犬名", "品種",
                                               "性別", "出生日期", "登入日期"}));
    // Its code-page byte is 0: without a choice the bytes read as Windows-1252.
    auto plain = openSample("dbase_not_latin1.dbf");
    EXPECT_EQ(plain->encoding(), "CP1252");
    EXPECT_EQ(plain->fieldIndex("畜主姓名"), -1);
    EXPECT_EQ(plain->recordCount(), 1);
}

// ------------------------------------------------------- written tables

using namespace dbfwriter;

struct MemoCase {
    const char* name;
    std::uint8_t version;
    MemoFile::Style style;
    int blockSize;
    const char* memoName;  // beside t.dbf
    int pointerLength;
};

// Memos longer than a block, an empty memo, and CP850 text, in each memo layout.
TEST(DbfMemos, EachLayoutReadsItsMemos) {
    const MemoCase cases[] = {
        {"dBASE III", 0x83, MemoFile::Dbt3, 512, "t.dbt", 10},
        {"dBASE IV", 0x8B, MemoFile::Dbt4, 1024, "T.DBT", 10},
        {"FoxPro 2", 0xF5, MemoFile::Fpt, 64, "T.FPT", 10},
        {"Visual FoxPro", 0x30, MemoFile::Fpt, 1, "t.fpt", 4},
    };
    std::string longText;
    for (int i = 0; longText.size() < 2500; ++i) longText += "line " + std::to_string(i) + "\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        MemoFile memo{c.style, c.blockSize};
        const auto pointer = [&](std::uint32_t block) {
            return c.pointerLength == 4 ? le(block, 4) : rightAligned(std::to_string(block), 10);
        };
        const std::string p1 = pointer(memo.add(longText)), p2 = pointer(memo.add("M\x81ller \xA5" "and\xA3"));
        writeFile(dir.file("t.dbf"), dbfBytes(c.version, 0x02, {{"NAME", 'C', 4}, {"NOTES", 'M', c.pointerLength}},
                                              {"one " + p1, "two " + std::string(c.pointerLength, c.pointerLength == 4 ? '\0' : ' '),
                                               "*del " + pointer(99999), "tri " + p2}));
        writeFile(dir.file(c.memoName), memo.file());
        auto t = DbfTable::open(dir.file("t.dbf"));
        EXPECT_EQ(t->memoPath(), dir.file(c.memoName));
        auto rows = readAll(*t);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0][1], Variant::text(longText));
        EXPECT_EQ(rows[1][1], Variant::text(""));
        EXPECT_EQ(rows[2][0], Variant::text("tri"));
        EXPECT_EQ(rows[2][1], Variant::text("Müller Ñandú"));
    }
}

TEST(DbfMemos, MissingOrDamagedMemoFilesAreErrors) {
    TempDir dir;
    MemoFile memo{MemoFile::Fpt, 64};
    const std::string good = le(memo.add("fine"), 4);
    writeFile(dir.file("t.dbf"), dbfBytes(0x30, 0x03, {{"NOTES", 'M', 4}}, {good, le(1000, 4)}));
    EXPECT_EQ(errorOf([&] { DbfTable::open(dir.file("t.dbf")); }), engine::err::FileNotFound);
    writeFile(dir.file("t.fpt"), memo.file());
    auto t = DbfTable::open(dir.file("t.dbf"));
    ASSERT_TRUE(t->next());
    EXPECT_EQ(t->row()[0], Variant::text("fine"));
    EXPECT_EQ(errorOf([&] { t->next(); }), engine::err::NotADatabase);
    // A length running past the end of the file.
    std::string cut = memo.file();
    cut.replace(512 + 4, 4, be(1u << 30, 4));
    writeFile(dir.file("t.fpt"), cut);
    EXPECT_EQ(errorOf([&] { DbfTable::open(dir.file("t.dbf"))->next(); }), engine::err::NotADatabase);
}

// Visual FoxPro Varchar, Varbinary, Currency, DateTime, Integer and Double,
// with Null and length bits in the hidden _NullFlags field.
TEST(DbfVisualFoxPro, NullFlagsVarcharAndBinaryTypes) {
    TempDir dir;
    const std::vector<Col> cols = {{"ID", 'I', 4},     {"NAME", 'V', 10, 0, 0x02}, {"RAW", 'Q', 6},
                                   {"PRICE", 'Y', 8, 4, 0x02}, {"WHEN", 'T', 8, 0, 0x02}, {"RATIO", 'B', 8},
                                   {"_NullFlags", '0', 1, 0, 0x05}};
    // Bits: NAME length 0, NAME Null 1, RAW length 2, PRICE Null 3, WHEN Null 4.
    double ratio = 0.1;
    std::string ratioBytes(8, '\0');
    std::memcpy(ratioBytes.data(), &ratio, 8);
    const std::string when = le(2460370, 4) + le((13 * 3600 + 45 * 60 + 10) * 1000 - 1, 4);  // 2024-02-29 13:45:09.999
    const std::string full = "abcdefghij";
    writeFile(dir.file("v.dbf"),
              dbfBytes(0x32, 0x03, cols,
                       {le(1, 4) + padded("\xD1" "and\xFA", 9, '\0') + "\x05" + "\x01\x02\x00\0\0\x03"s + le(123456, 8) + when +
                            ratioBytes + "\x05",
                        le(-7, 4) + full + "\x00\xFF\x00\xFF\x00\xFF"s + le(std::uint64_t(1) << 63, 8) + std::string(8, '\0') +
                            ratioBytes + "\x10",
                        "*" + std::string(45, 'x'),
                        le(3, 4) + std::string(10, ' ') + std::string(6, '\0') + std::string(8, '\0') + std::string(8, '\0') +
                            ratioBytes + "\x0A"}));
    auto t = DbfTable::open(dir.file("v.dbf"));
    std::vector<std::string> fields;
    for (const auto& f : t->fields()) fields.push_back(f.name + ":" + std::to_string(f.type) + ":" + std::to_string(f.size));
    EXPECT_EQ(fields, (std::vector<std::string>{"ID:4:4", "NAME:10:10", "RAW:11:0", "PRICE:5:8", "WHEN:8:8", "RATIO:7:8"}));
    EXPECT_TRUE(t->fields()[1].nullable);
    auto rows = readAll(*t);
    ASSERT_EQ(rows.size(), 3u);
    using V = std::vector<Variant>;
    EXPECT_EQ(rows[0], (V{Variant::longInt(1), Variant::text("Ñandú"), Variant::binary(std::string("\x01\x02\x00", 3)),
                          Variant::currencyScaled(123456), Variant::date(engine::dates::fromParts(2024, 2, 29, 13, 45, 10)),
                          Variant::dbl(0.1)}));
    EXPECT_EQ(rows[1], (V{Variant::longInt(-7), Variant::text(full), Variant::binary("\x00\xFF\x00\xFF\x00\xFF"s),
                          Variant::currencyScaled(INT64_MIN), Variant(), Variant::dbl(0.1)}));
    EXPECT_EQ(rows[1][3].toText(), "-922337203685477.5808");
    // A Null Varchar; an empty DateTime is Null without its bit.
    EXPECT_EQ(rows[2][1], Variant());
    EXPECT_EQ(rows[2][3], Variant());
    EXPECT_EQ(rows[2][4], Variant());
}

// Text in the code page the table's byte names, or the one chosen.
TEST(DbfCodePages, TextAndNamesDecodeToUtf8) {
    struct Case {
        std::uint8_t byte;
        const char* chosen;
        std::string name, text;
        const char* expectedName;
        const char* expectedText;
    } cases[] = {
        {0x01, "", "GR\x99SSE", "M\x81ller \xA5" "and\xA3 \x9B", "GRÖSSE", "Müller Ñandú ¢"},
        {0x02, "", "GR\x99SSE", "M\x81ller \xA5" "and\xA3 \x9B", "GRÖSSE", "Müller Ñandú ø"},
        {0x03, "", "GR\xD6SSE", "M\xFCller \xD1" "and\xFA \x80", "GRÖSSE", "Müller Ñandú €"},
        {0x00, "", "GR\xD6SSE", "M\xFCller \xD1" "and\xFA \x80", "GRÖSSE", "Müller Ñandú €"},
        {0x65, "", "\x8C\xAE\xE1", "\x8C\xAE\xE1\xAA\xA2\xA0", "Мос", "Москва"},
        {0xC9, "", "\xCC\xEE\xF1", "\xCC\xEE\xF1\xEA\xE2\xE0", "Мос", "Москва"},
        {0x03, "CP850", "GR\x99SSE", "M\x81ller", "GRÖSSE", "Müller"},
        {0x00, "UTF-8", "N\xC3\x9C", "\xC3\xB1\xFF!", "NÜ", "ñ\xEF\xBF\xBD!"},  // a bad byte reads as U+FFFD
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedText);
        TempDir dir;
        writeFile(dir.file("c.dbf"), dbfBytes(0x03, c.byte, {{c.name, 'C', 20}}, {padded(c.text, 20)}));
        auto t = DbfTable::open(dir.file("c.dbf"), c.chosen);
        EXPECT_EQ(t->fields()[0].name, c.expectedName);
        ASSERT_TRUE(t->next());
        EXPECT_EQ(t->row()[0], Variant::text(c.expectedText));
    }
    TempDir dir;
    writeFile(dir.file("c.dbf"), dbfBytes(0x03, 0, {{"A", 'C', 1}}, {}));
    EXPECT_EQ(errorOf([&] { DbfTable::open(dir.file("c.dbf"), "NO-SUCH-CODEPAGE"); }), engine::err::InvalidArgument);
}

// ---------------------------------------------------------------- damage

std::string goodTable() {
    return dbfBytes(0x03, 0x03, {{"NAME", 'C', 5}, {"N", 'N', 4, 1}, {"D", 'D', 8}, {"I", 'I', 4}},
                    {"alpha 1.5" "20240131" + le(1, 4), "beta -2.0" "        " + le(2, 4),
                     "gamma    " "19991231" + le(3, 4)});
}

// Damaged headers give an error; a table cut short gives the rows it holds.
TEST(DbfDamage, HeadersAndTruncation) {
    using namespace engine::err;
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        int error;
        int rows;
    } cases[] = {
        {"intact", [](std::string&) {}, 0, 3},
        {"empty", [](std::string& s) { s.clear(); }, NotADatabase, 0},
        {"shorter than a header", [](std::string& s) { s.resize(20); }, NotADatabase, 0},
        {"not a table", [](std::string& s) { s[0] = 'P'; }, NotADatabase, 0},
        {"level 7", [](std::string& s) { s[0] = 0x04; }, OperationNotSupported, 0},
        {"header past the end", [](std::string& s) { s.replace(8, 2, le(60000, 2)); }, NotADatabase, 0},
        {"header without fields", [](std::string& s) { s.replace(8, 2, le(33, 2)); }, NotADatabase, 0},
        {"record length 0", [](std::string& s) { s.replace(10, 2, le(0, 2)); }, NotADatabase, 0},
        {"fields longer than records", [](std::string& s) { s.replace(10, 2, le(12, 2)); }, NotADatabase, 0},
        {"unknown field type", [](std::string& s) { s[32 + 11] = 'Z'; }, OperationNotSupported, 0},
        {"integer of 3 bytes", [](std::string& s) { s[32 * 4 + 16] = 3; }, NotADatabase, 0},
        {"no terminator", [](std::string& s) { s[32 * 5] = 'X'; }, 0, 3},
        {"count past the end", [](std::string& s) { s.replace(4, 4, le(0xFFFFFFFF, 4)); }, 0, 3},
        {"cut inside the last record", [](std::string& s) { s.resize(s.size() - 10); }, 0, 2},
        {"cut after the header", [](std::string& s) { s.resize(32 * 5 + 1); }, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string bytes = goodTable();
        c.damage(bytes);
        writeFile(dir.file("d.dbf"), bytes);
        size_t rows = 0;
        EXPECT_EQ(errorOf([&] {
                      auto t = DbfTable::open(dir.file("d.dbf"));
                      rows = readAll(*t).size();
                      EXPECT_EQ(static_cast<size_t>(t->recordCount()), rows);
                  }),
                  c.error);
        EXPECT_EQ(rows, static_cast<size_t>(c.rows));
    }
    TempDir dir;
    EXPECT_EQ(errorOf([&] { DbfTable::open(dir.file("none.dbf")); }), FileNotFound);
    EXPECT_EQ(errorOf([&] { DbfTable::open(dir.path().string()); }), NotADatabase);
}

// Random bytes anywhere in a table and its memo file: an error or rows, never a crash.
TEST(DbfDamage, RandomBytesNeverCrash) {
    TempDir dir;
    MemoFile memo{MemoFile::Fpt, 8};
    std::vector<std::string> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back("r" + std::to_string(i) + le(memo.add(std::string(20 + i * 30, 'm')), 4) +
                       padded("v", 5, '\0') + "\x01" + le(0, 8) + "\0"s);
    const std::string table = dbfBytes(0x32, 0x03, {{"K", 'C', 2}, {"M", 'M', 4}, {"V", 'V', 6, 0, 2}, {"Y", 'Y', 8},
                                                     {"_NullFlags", '0', 1, 0, 5}}, rows);
    const std::string memoBytes = memo.file();
    std::mt19937 rnd(5);
    for (int round = 0; round < 1000; ++round) {
        std::string t = table, m = memoBytes;
        std::string& target = round % 3 == 2 ? m : t;
        for (int k = 0, n = 1 + static_cast<int>(rnd() % 4); k < n; ++k) {
            const size_t at = rnd() % (round % 2 ? 40 : target.size());  // headers more often
            target[at] = static_cast<char>(rnd());
        }
        if (round % 7 == 0) target.resize(rnd() % target.size());
        writeFile(dir.file("r.dbf"), t);
        writeFile(dir.file("r.fpt"), m);
        errorOf([&] {
            auto tab = DbfTable::open(dir.file("r.dbf"));
            tab->recordCount();
            while (tab->next()) {}
        });
    }
}

}  // namespace
