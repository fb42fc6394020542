// Genuine Jet 3 / Jet 4 files: they open read-only through a converted copy
// kept in the cache folder, their records match an independent reader
// (mdb-export), values that reader prints wrongly come out right, and the
// files themselves are never changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <span>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/connection.h"
#include "engine/dao.h"
#include "engine/jet/convert.h"
#include "jetgrow.h"
#include "engine/jet/jetfile.h"
#include "engine/jet/querysql.h"
#include "engine/schema.h"
#include "engine_helpers.h"
#include "support/tempdir.h"

using namespace engine;
using namespace enginetest;
namespace fs = std::filesystem;

namespace {

const fs::path kJetDir = "/work/shared/testdata/jet";

std::vector<std::string> jetFiles() {
    std::vector<std::string> out;
    if (!fs::is_directory(kJetDir)) return out;
    for (const auto& e : fs::recursive_directory_iterator(kJetDir))
        if (e.path().extension() == ".mdb") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t checksum(const std::string& path) { return std::hash<std::string>{}(bytesOf(path)); }

bool haveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = s.find(sep, start)) != std::string::npos; start = at + sep.size())
        out.push_back(s.substr(start, at - start));
    out.push_back(s.substr(start));
    return out;
}

// Separators for mdb-export that no sample value holds (some hold every control character).
const std::string kField = "\x1f{F}\x1f", kRecord = "\x1e{R}\x1e", kNull = "\x1d{N}\x1d";

// Sets an environment variable for a scope, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? void(::setenv(name_, old_->c_str(), 1)) : void(::unsetenv(name_)); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Each test gets a cache folder of its own.
class JetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(kJetDir)) GTEST_SKIP() << "no Jet sample files on this machine";
    }
    std::vector<fs::path> cached() const {
        std::vector<fs::path> out;
        if (fs::is_directory(cache.path() / "ledgerly"))
            for (const auto& e : fs::directory_iterator(cache.path() / "ledgerly")) out.push_back(e.path());
        return out;
    }
    // A copy of a sample file with `from` replaced by `to`; `from` must occur once
    // unless `first` (then its first place is changed).
    std::string patched(const std::string& sample, const std::string& from, const std::string& to, bool first = false) {
        std::string bytes = bytesOf((kJetDir / sample).string());
        size_t at = bytes.find(from);
        EXPECT_NE(at, std::string::npos) << "pattern not in " << sample;
        if (!first) {
            EXPECT_EQ(bytes.find(from, at + 1), std::string::npos) << "pattern twice in " << sample;
        }
        if (at != std::string::npos) bytes.replace(at, from.size(), to);
        std::string path = work.file(std::to_string(++copies_) + "-" + fs::path(sample).filename().string());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    TempDir cache, work;

private:
    ScopedEnv cacheHome_{"XDG_CACHE_HOME", cache.path().string()};
    int copies_ = 0;
};

std::vector<std::string> userTables(Database& db) {
    std::vector<std::string> out;
    for (const auto& t : db.TableDefs())
        if (!schema::isSystemName(t->Name())) out.push_back(t->Name());
    return out;
}

std::vector<std::vector<Variant>> records(Database& db, const std::string& table) {
    std::vector<std::vector<Variant>> out;
    auto rs = db.OpenRecordset(table);
    for (; !rs->EOF_(); rs->MoveNext()) {
        std::vector<Variant> row;
        for (int i = 0; i < rs->Fields().Count(); ++i) row.push_back(rs->Fields()[i].Value());
        out.push_back(std::move(row));
    }
    return out;
}

std::string hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char ch : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", ch);
        out += buf;
    }
    return out;
}

std::string unhex(const std::string& text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

// Whether our value `v` of a field of type `type` agrees with mdb-export's
// text `theirs`, allowing for what that reader prints wrongly.
bool agrees(const Variant& v, int type, const std::string& theirs, bool jet3, std::string& why) {
    if (v.isNull()) return theirs == kNull;
    if (theirs == kNull) return why = "we read a value, mdb-export a Null", false;
    auto number = [&](double tolerance) {
        double a = v.toDouble(), b = std::strtod(theirs.c_str(), nullptr);
        return std::fabs(a - b) <= tolerance * std::max(1.0, std::fabs(b));
    };
    switch (type) {
    case dbBoolean: return (v.toBool() ? "1" : "0") == theirs;
    case dbByte:
    case dbInteger:
    case dbLong: return std::to_string(v.toInt64()) == theirs;
    case dbCurrency: {
        std::int64_t s = v.intValue();
        char buf[40];
        std::snprintf(buf, sizeof buf, "%s%lld.%04lld", s < 0 ? "-" : "", static_cast<long long>(std::llabs(s) / 10000),
                      static_cast<long long>(std::llabs(s) % 10000));
        return theirs == buf;
    }
    case dbSingle: return number(1e-6);
    case dbDouble:
    case dbDecimal: return number(1e-12);
    case dbDate: {
        if (v.realValue() < 0) return true;  // mdb-export counts these days the wrong way
        auto p = dates::toParts(v.realValue());
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        return theirs == buf;
    }
    case dbGUID: {
        // mdb-export leaves out the hyphen between the fourth and fifth groups,
        // and with -b hex writes the text in hex.
        std::string a = v.bytes(), b = theirs;
        if (!b.empty() && b[0] != '{') b = unhex(b);
        std::erase(a, '-');
        std::erase(b, '-');
        return a == b;
    }
    case dbBinary:
    case dbLongBinary: {
        std::string ours = hex(v.bytes());
        if (ours == theirs) return true;
        // mdb-export stops at the first zero byte.
        size_t zero = v.bytes().find('\0');
        return zero != std::string::npos && hex(v.bytes().substr(0, zero)) == theirs;
    }
    default: {
        // Text: mdb-export stops at U+0000 and shows the five bytes Windows-1252
        // leaves undefined as "?".
        std::string s = v.bytes();
        if (jet3)
            for (const char* c1 : {"\u0081", "\u008D", "\u008F", "\u0090", "\u009D"})
                for (size_t at; (at = s.find(c1)) != std::string::npos;) s.replace(at, 2, "?");
        if (s == theirs || s.substr(0, s.find('\0')) == theirs) return true;
        size_t at = std::mismatch(s.begin(), s.begin() + static_cast<long>(std::min(s.size(), theirs.size())), theirs.begin()).first - s.begin();
        why = "first difference at byte " + std::to_string(at) + ": ours " + hex(s.substr(at, 8)) + " theirs " +
              hex(theirs.substr(at, 8));
        return false;
    }
    }
}

}  // namespace

// Every sample file opens; its tables, record counts and values match
// mdb-export; the files' bytes are the same afterwards.
TEST_F(JetFiles, EveryFileOpensAndMatchesMdbExport) {
    bool compare = haveTool("mdb-export") && haveTool("mdb-tables");
    std::map<std::string, std::size_t> before;
    for (const auto& f : jetFiles()) before[f] = checksum(f);
    ASSERT_GE(before.size(), 40u);
    int tablesCompared = 0;
    for (const auto& file : jetFiles()) {
        SCOPED_TRACE(file);
        auto db = DBEngine::OpenDatabase(file);
        EXPECT_FALSE(db->Updatable());
        const bool jet3 = file.find("V1997") != std::string::npos;
        std::vector<std::string> ours = userTables(*db);
        if (!compare) continue;
        std::vector<std::string> theirs = split(run("mdb-tables -1 '" + file + "'"), "\n");
        std::erase(theirs, std::string());
        std::sort(theirs.begin(), theirs.end(), [](auto& a, auto& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
        EXPECT_EQ(ours, theirs);
        for (const auto& table : ours) {
            SCOPED_TRACE(table);
            auto td = db->TableDefs()[table].shared_from_this();
            std::vector<int> types;
            for (const auto& f : td->Fields()) types.push_back(f->Type());
            auto ourRows = records(*db, table);
            std::string text = run("mdb-export -H -Q -d '" + kField + "' -R '" + kRecord + "' -0 '" + kNull +
                                   "' -T '%Y-%m-%d %H:%M:%S' -b hex '" + file + "' '" + table + "'");
            std::vector<std::string> lines = split(text, kRecord);
            if (!lines.empty() && lines.back().empty()) lines.pop_back();
            ASSERT_EQ(ourRows.size(), lines.size());
            std::vector<std::vector<std::string>> theirRows;
            for (const auto& l : lines) theirRows.push_back(split(l, kField));
            // mdb-export lists records moved to another page where they now are; we keep their place.
            if (file.find("overflowTest") != std::string::npos) {
                auto key = [](const std::vector<Variant>& r) {
                    std::string k;
                    for (const auto& v : r) k += (v.isNull() ? "\x1d" : v.toText()) + "\x1f";
                    return k;
                };
                std::sort(ourRows.begin(), ourRows.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
                std::sort(theirRows.begin(), theirRows.end(), [](auto& a, auto& b) {
                    std::string ka, kb;
                    for (auto& s : a) ka += s + "\x1f";
                    for (auto& s : b) kb += s + "\x1f";
                    return ka < kb;
                });
            }
            for (size_t r = 0; r < ourRows.size(); ++r) {
                ASSERT_EQ(theirRows[r].size(), types.size()) << "record " << r;
                for (size_t c = 0; c < types.size(); ++c) {
                    std::string why;
                    EXPECT_TRUE(agrees(ourRows[r][c], types[c], theirRows[r][c], jet3, why))
                        << "record " << r << " field " << c << ": ours '" << ourRows[r][c].toText() << "' theirs '"
                        << theirRows[r][c] << "' " << why;
                }
            }
            ++tablesCompared;
        }
    }
    if (compare) {
        EXPECT_GT(tablesCompared, 60);
    }
    for (const auto& [f, sum] : before) EXPECT_EQ(checksum(f), sum) << f << " changed";
}

// A table on more pages than one bitmap of its usage map covers is listed by
// a map of the other kind, pages holding the bitmaps: large files have them,
// the samples do not, so copies are grown to that size.
TEST_F(JetFiles, ATableOnManyPagesIsReadWhole) {
    for (const char* version : {"V1997", "V2000"}) {
        SCOPED_TRACE(version);
        const std::string grown = work.file(std::string("grown") + version + ".mdb");
        const long rows = bench::growJetTable((kJetDir / version / (std::string("compIndexTest") + version + ".mdb")).string(),
                                              "Table1", grown, 40000);
        jet::ConvertResult r = jet::convert(grown, work.file(std::string("grown") + version + "-out.mdb"));
        EXPECT_EQ(r.records, rows);
        auto db = DBEngine::OpenDatabase(work.file(std::string("grown") + version + "-out.mdb"));
        // Numbered 1 to rows on the pages in turn: read in the file's order, each follows the last.
        auto rs = db->OpenRecordset("Table1", dbOpenTable);
        long read = 0, inTurn = 0;
        for (; !rs->EOF_(); rs->MoveNext())
            if (rs->Fields("CD_AGENTE").Value().toInt64() == ++read) ++inTurn;
        EXPECT_EQ(read, rows);
        EXPECT_EQ(inTurn, rows);
        EXPECT_EQ(db->TableDefs()["Table1"].Indexes().Count(), 1) << "its index is built after the records";
        if (haveTool("mdb-export")) {
            const std::string text = run("mdb-export -H '" + grown + "' Table1");
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), rows) << "libmdb reads the grown table alike";
        }
    }
}

// Values libmdb's text forms get wrong, stated from the bytes stored: each
// case patches one value of a copy of a sample file.
TEST_F(JetFiles, ValuesAreTakenFromTheirStoredBytes) {
    auto dbl = [](double d) { return std::string(reinterpret_cast<const char*>(&d), 8); };
    struct Case {
        const char* what;
        const char* sample;
        std::string from, to;
        const char* field;
        Variant expected;
        long e = 333333333;  // field E of the record patched
        bool first = false;  // `from` occurs more than once; its first place is patched
    };
    // The end of Table1's second record in testV1997: "a" and "b", the offsets
    // where B ends, B starts and A starts, two variable fields, the null mask.
    // Stale bytes in the unused end of the next page repeat it: the first place is the record.
    const std::string record("ab\x22\x21\x20\x02\xff\x00", 8);
    const Case cases[] = {
        {"date before 1899-12-30", "V1997/testV1997.mdb", dbl(27293.0), dbl(-1.25), "G",
         Variant::date(dates::fromParts(1899, 12, 29, 6, 0, 0))},
        {"date far before 1899", "V2003/testV2003.mdb", dbl(27293.0), dbl(-36522.5), "G",
         Variant::date(dates::fromParts(1800, 1, 1, 12, 0, 0))},
        {"a time a hair before midnight", "V2000/testV2000.mdb", dbl(27293.0), dbl(0.9999999999), "G",
         Variant::date(dates::fromParts(1899, 12, 31))},
        {"a Double's last digits", "V2003/testV2003.mdb", dbl(444.555), dbl(0.1 + 0.2), "F", Variant::dbl(0.1 + 0.2)},
        {"a Double needing 17 digits", "V1997/testV1997.mdb", dbl(444.555), dbl(1.0 / 3.0), "F", Variant::dbl(1.0 / 3.0)},
        {"Windows-1252 bytes Windows leaves undefined", "V1997/testV1997.mdb", "abcdefg",
         "\x81\x8D\x8F\x90\x9D\x80g", "A", Variant::text("\u0081\u008D\u008F\u0090\u009D\u20ACg")},
        {"Jet 3 text holding a zero byte", "V1997/testV1997.mdb", "hijklmnop", std::string("hijk\0mnop", 9), "B",
         Variant::text(std::string("hijk\0mnop", 9))},
        {"Jet 4 text holding U+0000", "V2003/testV2003.mdb", std::string("l\0m\0n\0", 6), std::string("\0\0m\0n\0", 6),
         "B", Variant::text(std::string("hijk\0mnop", 9))},
        {"zero-length text: B starts where it ends", "V1997/testV1997.mdb", record,
         std::string("ab\x22\x22\x20\x02\xff\x00", 8), "B", Variant::text(""), 0, true},
        {"zero-length text: A ends where B starts", "V1997/testV1997.mdb", record,
         std::string("ab\x22\x22\x20\x02\xff\x00", 8), "A", Variant::text("ab"), 0, true},
        {"Null text: B's bit cleared in the null mask", "V1997/testV1997.mdb", record,
         std::string("ab\x22\x21\x20\x02\xfd\x00", 8), "B", Variant::null(), 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = patched(c.sample, c.from, c.to, c.first);
        auto db = DBEngine::OpenDatabase(path);
        auto rs = db->OpenRecordset("Table1");
        bool found = false;
        for (; !rs->EOF_(); rs->MoveNext())
            if (rs->Fields()["E"].Value().toInt64() == c.e) {
                found = true;
                Variant v = rs->Fields()[c.field].Value();
                EXPECT_TRUE(v == c.expected) << "read '" << v.toText() << "', expected '" << c.expected.toText() << "'";
            }
        EXPECT_TRUE(found);
    }
}

TEST(JetDecoding, GuidsHaveAllFourHyphens) {
    const unsigned char bytes[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                                     0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(jet::File::guidText(bytes), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
}

TEST(JetDecoding, DecimalsKeepEveryDigitAndTheirSign) {
    struct Case {
        std::vector<unsigned char> bytes;  // sign, then four little-endian words, most significant first
        int scale;
        const char* expected;
    };
    const Case cases[] = {
        {{0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}, 2, "123.45"},
        {{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0, 0, 0}, 3, "-0.005"},
        {{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 2, "0.00"},
        // 2^64 + 1: the second word counts from 2^64.
        {{0x00, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 0, "18446744073709551617"},
    };
    for (const Case& c : cases) EXPECT_EQ(jet::File::decimalText(c.bytes.data(), c.scale), c.expected);
}

// Records moved to another page by an update keep their place.
TEST_F(JetFiles, MovedRecordsKeepTheirOrder) {
    for (const char* sample : {"V1997/overflowTestV1997.mdb", "V2000/overflowTestV2000.mdb", "V2003/overflowTestV2003.mdb"}) {
        SCOPED_TRACE(sample);
        auto db = DBEngine::OpenDatabase((kJetDir / sample).string());
        auto rows = records(*db, "Table1");
        ASSERT_EQ(rows.size(), 7u);
        for (size_t r = 0; r < rows.size(); ++r) {
            std::string any;
            for (const auto& v : rows[r])
                if (!v.isNull()) any = v.toText();
            EXPECT_EQ(any.substr(0, 4), "row" + std::to_string(r + 1)) << any;
        }
    }
}

// Field types and properties, indexes and relationships come over.
TEST_F(JetFiles, DefinitionsAreConverted) {
    for (const char* version : {"V1997", "V2000", "V2003"}) {
        SCOPED_TRACE(version);
        auto db = DBEngine::OpenDatabase((kJetDir / version / (std::string("testV") + (version + 1) + ".mdb")).string());
        TableDef& t1 = db->TableDefs()["Table1"];
        const std::pair<const char*, int> types[] = {{"A", dbText},  {"C", dbByte},  {"D", dbInteger},
                                                     {"E", dbLong},  {"F", dbDouble}, {"G", dbDate},
                                                     {"H", dbCurrency}, {"I", dbBoolean}};
        for (const auto& [name, type] : types) EXPECT_EQ(t1.Fields()[name].Type(), type) << name;
        EXPECT_EQ(t1.Fields()["A"].Size(), 50);
        EXPECT_EQ(t1.Fields()["B"].Size(), 100);
        EXPECT_EQ(db->TableDefs()["Table3"].Fields()["a"].Attributes() & dbAutoIncrField, dbAutoIncrField);
        EXPECT_EQ(db->TableDefs()["Table4"].Fields()["data"].Type(), dbGUID);
        EXPECT_TRUE(db->TableDefs()["Table4"].Indexes()["PrimaryKey"].Primary());
        EXPECT_EQ(db->TableDefs()["Table2"].Fields().Count(), 89);
    }
    // Decimal precision and scale (libmdb swaps the two).
    for (const char* sample : {"V2000/fixedNumericTestV2000.mdb", "V2003/fixedNumericTestV2003.mdb"}) {
        auto db = DBEngine::OpenDatabase((kJetDir / sample).string());
        Field& f = db->TableDefs()["test"].Fields()["col2"];
        EXPECT_EQ(f.Type(), dbDecimal);
        EXPECT_EQ(f.Precision(), 18) << sample;
        EXPECT_EQ(f.Scale(), 0) << sample;
    }
    // A descending index field; AllowZeroLength.
    for (const char* sample : {"V1997/compIndexTestV1997.mdb", "V2003/compIndexTestV2003.mdb"}) {
        auto db = DBEngine::OpenDatabase((kJetDir / sample).string());
        Index& ix = db->TableDefs()["Table1"].Indexes()["CD_AGENTE"];
        EXPECT_EQ(ix.Fields()[0].Attributes() & dbDescending, dbDescending) << sample;
    }
    {
        auto db = DBEngine::OpenDatabase((kJetDir / "V2003/testV2003.mdb").string());
        EXPECT_TRUE(db->TableDefs()["Table2"].Fields()["column1"].AllowZeroLength());
        EXPECT_FALSE(db->TableDefs()["Table1"].Fields()["A"].AllowZeroLength());
        EXPECT_FALSE(db->TableDefs()["Table1"].Fields()["A"].Required());
    }
    for (const char* sample : {"V2000/fixedTextTestV2000.mdb", "V2003/fixedTextTestV2003.mdb"}) {
        auto db = DBEngine::OpenDatabase((kJetDir / sample).string());
        EXPECT_TRUE(db->TableDefs()["users"].Fields()["c_user_login"].Required()) << sample;
    }
    // Indexes as the table definition has them: the right fields, Unique and
    // IgnoreNulls, and those whose numbers have gaps after a deletion.
    struct IndexCase {
        const char* sample;
        const char* table;
        const char* index;
        const char* fields;
        bool unique, ignoreNulls;
    };
    const IndexCase indexCases[] = {
        {"V1997/testV1997.mdb", "Table1", "B", "B", false, false},
        {"V2003/testV2003.mdb", "Table1", "B", "B", false, false},
        {"V2003/testV2003.mdb", "Table1", "PrimaryKey", "A", true, false},
        {"V2000/delColTestV2000.mdb", "Table1", "id2", "id2", false, false},
        {"V2003/delColTestV2003.mdb", "Table1", "id2", "id2", false, false},
        {"V2000/testIndexPropertiesV2000.mdb", "TableIgnoreNulls2", "DataIndex", "data1,data2", false, true},
        {"V2003/testIndexPropertiesV2003.mdb", "TableIgnoreNulls1", "DataIndex", "data", false, true},
        {"V2003/testIndexPropertiesV2003.mdb", "TableUnique2_temp", "DataIndex", "data1,data2", true, false},
    };
    for (const auto& c : indexCases) {
        SCOPED_TRACE(std::string(c.sample) + " " + c.index);
        auto db = DBEngine::OpenDatabase((kJetDir / c.sample).string());
        Index& ix = db->TableDefs()[c.table].Indexes()[c.index];
        std::string fields;
        for (const auto& f : ix.Fields()) fields += (fields.empty() ? "" : ",") + f->Name();
        EXPECT_EQ(fields, c.fields);
        EXPECT_EQ(ix.Unique(), c.unique);
        EXPECT_EQ(ix.IgnoreNulls(), c.ignoreNulls);
    }
    // Relationships, from the file's MSysRelationships.
    for (const char* sample : {"V1997/indexTestV1997.mdb", "V2003/indexTestV2003.mdb"}) {
        SCOPED_TRACE(sample);
        auto db = DBEngine::OpenDatabase((kJetDir / sample).string());
        auto rels = schema::relations(db->connection());
        ASSERT_EQ(rels.size(), 2u);
        EXPECT_EQ(rels[0].name, "Table2Table1");
        EXPECT_EQ(rels[0].table, "Table1");
        EXPECT_EQ(rels[0].foreignTable, "Table2");
        EXPECT_EQ(rels[0].fields, std::vector<std::string>{"otherfk1"});
        EXPECT_EQ(rels[0].foreignFields, std::vector<std::string>{"id"});
        EXPECT_EQ(rels[1].fields, std::vector<std::string>{"otherfk2"});
        EXPECT_TRUE(db->TableDefs()["Table2"].Indexes()["PrimaryKey"].Primary());
    }
}

// The copy is made once and again only when the file changes, whatever the file is called.
TEST_F(JetFiles, SecondOpenUsesTheCachedCopy) {
    std::string path = work.file("orders.data");
    fs::copy_file(kJetDir / "V2000/indexTestV2000.mdb", path);
    bool converted = false;
    std::string copy = jet::cachedCopy(path, &converted);
    EXPECT_TRUE(converted);
    auto stamp = fs::last_write_time(copy);
    DBEngine::OpenDatabase(path)->Close();
    EXPECT_EQ(jet::cachedCopy(path, &converted), copy);
    EXPECT_FALSE(converted);
    EXPECT_EQ(fs::last_write_time(copy), stamp);
    EXPECT_EQ(cached().size(), 1u);
    // A changed file gets a new copy, and the old one goes.
    fs::copy_file(kJetDir / "V2003/testV2003.mdb", path, fs::copy_options::overwrite_existing);
    auto db = DBEngine::OpenDatabase(path);
    EXPECT_EQ(userTables(*db), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
    ASSERT_EQ(cached().size(), 1u);
    EXPECT_NE(cached()[0].string(), copy);
}

// Every kind of change is refused with 3027 and advice to convert.
TEST_F(JetFiles, WritesAreRefusedWithAdvice) {
    std::string path = (kJetDir / "V2003/testV2003.mdb").string();
    auto before = checksum(path);
    auto db = DBEngine::OpenDatabase(path, false, false);
    const std::pair<const char*, std::function<void()>> writes[] = {
        {"delete statement", [&] { db->Execute("DELETE FROM Table1"); }},
        {"create table", [&] { db->Execute("CREATE TABLE T (A Long)"); }},
        {"delete table", [&] { db->TableDefs().Delete("Table1"); }},
        {"add record", [&] {
             auto rs = db->OpenRecordset("Table1");
             rs->AddNew();
         }},
        {"edit record", [&] {
             auto rs = db->OpenRecordset("Table1");
             rs->Edit();
         }},
    };
    // Saved queries are part of the file too.
    const std::string queries = (kJetDir / "V2003/queryTestV2003.mdb").string();
    auto queriesBefore = checksum(queries);
    auto withQueries = DBEngine::OpenDatabase(queries, false, false);
    const std::pair<const char*, std::function<void()>> queryWrites[] = {
        {"query text", [&] { withQueries->QueryDefs()["SelectQuery"].SetSQL("SELECT 1 AS One"); }},
        {"query source", [&] { withQueries->QueryDefs()["PassthroughQuery"].SetConnect("ODBC;DSN=Other"); }},
        {"new query", [&] { withQueries->CreateQueryDef("New", "SELECT 1 AS One"); }},
        {"delete query", [&] { withQueries->QueryDefs().Delete("SelectQuery"); }},
    };
    using Writes = std::span<const std::pair<const char*, std::function<void()>>>;
    for (Writes list : {Writes(writes), Writes(queryWrites)})
        for (const auto& [what, write] : list) {
            const Raised e = raised(write);
            EXPECT_EQ(e.number, err::ReadOnly) << what;
            EXPECT_NE(e.text.find("Save a Copy in Ledgerly Format"), std::string::npos) << e.text;
        }
    db->Close();
    withQueries->Close();
    EXPECT_EQ(checksum(path), before);
    EXPECT_EQ(checksum(queries), queriesBefore);
}

// A table that cannot be converted is named; the others still come over.
// Table3 renamed to a name the engine keeps for its own tables.
TEST_F(JetFiles, AFailingTableIsNamedAndTheRestConverted) {
    std::string bytes = bytesOf((kJetDir / "V1997/testV1997.mdb").string());
    for (size_t at = bytes.find("Table3"); at != std::string::npos; at = bytes.find("Table3", at))
        bytes.replace(at, 6, "MSysT3");
    std::string path = work.file("renamed.mdb");
    std::ofstream(path, std::ios::binary) << bytes;
    jet::ConvertResult r = jet::convert(path, work.file("out.mdb"));
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("'MSysT3'"), std::string::npos) << r.problems[0];
    EXPECT_EQ(r.tables, 3);
    EXPECT_EQ(r.records, 2);
    auto db = DBEngine::OpenDatabase(work.file("out.mdb"));
    EXPECT_EQ(userTables(*db), (std::vector<std::string>{"Table1", "Table2", "Table4"}));
    EXPECT_EQ(db->OpenRecordset("Table1")->RecordCount(), 2);
    EXPECT_EQ(schema::property(db->connection(), jet::kProblemsProperty).value_or(""), r.problems[0]);
    db->Close();
    // Records that break AllowZeroLength keep their table, without the setting.
    std::string zeroLength = patched("V1997/testV1997.mdb", std::string("ab\x22\x21\x20\x02\xff\x00", 8),
                                     std::string("ab\x22\x22\x20\x02\xff\x00", 8), true);
    r = jet::convert(zeroLength, work.file("lenient.mdb"));
    EXPECT_TRUE(r.problems.empty());
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("'Table1'"), std::string::npos) << r.notes[0];
    EXPECT_EQ(r.tables, 4);
    db = DBEngine::OpenDatabase(work.file("lenient.mdb"));
    EXPECT_TRUE(db->TableDefs()["Table1"].Fields()["B"].AllowZeroLength());
    EXPECT_EQ(db->OpenRecordset("Table1")->RecordCount(), 2);
    db->Close();
    // A unique index the records break (it is built after them): that table is named, the rest come over.
    std::string unique = bytesOf((kJetDir / "V2000/testIndexPropertiesV2000.mdb").string());
    for (size_t at = unique.find("\xff\xfemore"); at != std::string::npos; at = unique.find("\xff\xfemore", at))
        unique.replace(at + 2, 4, "some");  // TableUnique1_temp's "more" and "some" become equal
    std::ofstream(work.file("unique.mdb"), std::ios::binary) << unique;
    r = jet::convert(work.file("unique.mdb"), work.file("unique-out.mdb"));
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("'TableUnique1_temp'"), std::string::npos) << r.problems[0];
    EXPECT_EQ(r.tables, 5);
    db = DBEngine::OpenDatabase(work.file("unique-out.mdb"));
    EXPECT_EQ(db->TableDefs().Find("TableUnique1_temp"), nullptr);
    EXPECT_EQ(db->TableDefs()["TableUnique2_temp"].Indexes().Count(), 2);
    db->Close();
    // A copy converted whole says nothing.
    jet::convert((kJetDir / "V1997/testV1997.mdb").string(), work.file("whole.mdb"));
    db = DBEngine::OpenDatabase(work.file("whole.mdb"));
    EXPECT_FALSE(schema::property(db->connection(), jet::kProblemsProperty));
}

// Damaged files give an error, never a crash, and leave nothing in the cache.
TEST_F(JetFiles, DamagedFilesAreRefused) {
    std::string whole = bytesOf((kJetDir / "V2003/testV2003.mdb").string());
    const std::pair<const char*, std::string> cases[] = {
        {"header only", whole.substr(0, 4096)},
        {"cut after the catalog's first page", whole.substr(0, 4096 * 3)},
        {"header then zeros", whole.substr(0, 4096) + std::string(whole.size() - 4096, '\0')},
        {"header then noise", whole.substr(0, 4096) + std::string(whole.size() - 4096, '\xA5')},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        std::string path = work.file("damaged.mdb");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        int error = errorOf([&] { DBEngine::OpenDatabase(path); });
        EXPECT_EQ(error, err::NotADatabase);
        EXPECT_TRUE(cached().empty());
    }
}

// Saved queries come over with their statements rebuilt (a crosstab's value,
// row and column headings told by the flags of its parts); the kinds not
// rebuilt yet are named.
TEST_F(JetFiles, SavedQueriesAreRebuilt) {
    const std::map<std::string, std::string> expected = {
        {"SelectQuery",
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\nFROM (Table1 LEFT JOIN Table3 ON "
         "Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = Table2.col1) AND (Table3.col1 = "
         "Table2.col2)\r\nWHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\nORDER BY "
         "Table2.col1;"},
        {"DeleteQuery",
         "DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE (((Table1.col1)>\"blah\"));"},
        {"MakeTableQuery",
         "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\nFROM (Table2 INNER JOIN Table1 "
         "ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3\r\nGROUP BY Table2.col2, "
         "Table3.col2\r\nHAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
        {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
        {"PassthroughQuery", "ALTER TABLE Table4 DROP COLUMN col5;"},
        {"UpdateQuery",
         "PARAMETERS [User Name] Text;\r\nUPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], "
         "[Table2].[col1] = [User Name]\r\nWHERE ((([Table2].[col1]) Is Not Null));"},
        {"CrosstabQuery",
         "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\r\nSELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) "
         "AS AvgOfcol2\r\nFROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 "
         "ON [Table2].[col1]=Table2_1.col3\r\nWHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And "
         "((Avg(Table2_1.col2))>\"10\"))\r\nGROUP BY Table2_1.col1, [Table2].[col3]\r\nORDER BY [Table2].[col3]\r\nPIVOT "
         "[Table1].[col1];"},
        {"UnionQuery",
         "Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect Table2.col1, Table2.col2\r\n"
         "UNION ALL Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > \"blah\";"},
        {"AppendQuery",
         "INSERT INTO Table3 ( col2, col2, col3 )\r\nSELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\r\nFROM "
         "Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
    };
    for (const char* version : {"V1997", "V2000", "V2003"}) {
        SCOPED_TRACE(version);
        std::string out = work.file(std::string(version) + ".mdb");
        jet::ConvertResult r =
            jet::convert((kJetDir / version / (std::string("queryTestV") + (version + 1) + ".mdb")).string(), out);
        std::string notes;
        for (const auto& n : r.notes) notes += n + "\n";
        EXPECT_EQ(r.queries, 9) << notes;
        auto db = DBEngine::OpenDatabase(out);
        for (const auto& [name, sql] : expected) EXPECT_EQ(db->QueryDefs()[name].SQL(), sql) << name;
        EXPECT_EQ(db->QueryDefs()["SelectQuery"].OpenRecordset()->Fields().Count(),
                  db->TableDefs()["Table1"].Fields().Count() + 3);
        EXPECT_EQ(db->QueryDefs()["UnionQuery"].Type(), 128);  // its parts name no tables: it is kept, not run
        EXPECT_EQ(db->QueryDefs()["PassthroughQuery"].Type(), 112);
        EXPECT_EQ(db->QueryDefs()["PassthroughQuery"].Connect(), "ODBC;");
        // Run from the file itself (only read), it goes to its data source, which names none
        // (and no default one exists: the driver manager reads empty settings of this test's own).
        std::ofstream(work.file("odbc.ini")) << "";
        std::ofstream(work.file("odbcinst.ini")) << "";
        ScopedEnv sysIni("ODBCSYSINI", work.path()), userIni("ODBCINI", work.file("odbc.ini"));
        auto original = DBEngine::OpenDatabase((kJetDir / version / (std::string("queryTestV") + (version + 1) + ".mdb")).string());
        const Raised e = raised([&] { original->QueryDefs()["PassthroughQuery"].Execute(); });
        EXPECT_EQ(e.number, 3151) << e.text;
        EXPECT_NE(e.text.find("names no DSN or DRIVER"), std::string::npos) << e.text;
    }
}

TEST(JetQueries, StatementsFromTheirParts) {
    auto P = [](int attribute, int flag, std::string name1 = {}, std::string name2 = {}, std::string expression = {}) {
        jet::QueryPart p;
        p.attribute = attribute;
        p.flag = flag;
        p.name1 = std::move(name1);
        p.name2 = std::move(name2);
        p.expression = std::move(expression);
        return p;
    };
    struct Case {
        const char* what;
        std::vector<jet::QueryPart> parts;
        const char* expected;  // "" when the query cannot be rebuilt
    };
    const Case cases[] = {
        {"top percent, alias, descending order",
         {P(1, 1), P(3, 0x10 | 0x20, "25"), P(5, 0, "Order Details", "d"), P(6, 0, "Total", "", "Sum(d.Qty)"),
          P(9, 0, "", "", "d.Item"), P(10, 0, "", "", "Sum(d.Qty)>1"), P(11, 0, "D", "", "Sum(d.Qty)")},
         "SELECT TOP 25 PERCENT Sum(d.Qty) AS Total\r\nFROM [Order Details] AS d\r\nGROUP BY d.Item\r\nHAVING "
         "Sum(d.Qty)>1\r\nORDER BY Sum(d.Qty) DESC;"},
        {"a right join and a table not joined",
         {P(1, 1), P(5, 0, "A"), P(5, 0, "B"), P(5, 0, "C"), P(6, 0, "", "", "*"), P(7, 3, "A", "B", "A.x=B.x")},
         "SELECT *\r\nFROM A RIGHT JOIN B ON A.x=B.x, C;"},
        {"parameters",
         {P(1, 1), P(2, 8, "Since"), P(2, 0, "Any"), P(5, 0, "A"), P(6, 0, "", "", "*"), P(8, 0, "", "", "A.d > Since")},
         "PARAMETERS [Since] DateTime, [Any] Value;\r\nSELECT *\r\nFROM A\r\nWHERE A.d > Since;"},
        {"a pass-through query keeps its text", {P(1, 8, "ODBC;DSN=Sales", "", "EXEC total 3 ;  \r\n")},
         "EXEC total 3 ;"},
        {"an update query", {P(1, 4), P(5, 0, "A"), P(6, 0, "", "A.x", "A.x + 1"), P(6, 0, "", "A.y", "Null")},
         "UPDATE A SET A.x = A.x + 1, A.y = Null;"},
        {"an append query without field names", {P(1, 3, "B"), P(5, 0, "A"), P(6, 0, "", "", "A.*")},
         "INSERT INTO B\r\nSELECT A.*\r\nFROM A;"},
        {"a union of distinct rows, sorted",
         {P(1, 9), P(3, 2), P(5, 0, "", "X7YZ_____2", "SELECT b FROM B;\r\n"), P(5, 0, "", "X7YZ_____1", "SELECT a FROM A"),
          P(11, 0, "D", "", "a")},
         "SELECT a FROM A\r\nUNION SELECT b FROM B\r\nORDER BY a DESC;"},
        {"a union without its second part", {P(1, 9), P(5, 0, "", "X7YZ_____1", "Select 1")}, ""},
        {"a parameter of a type of its own", {P(1, 1), P(2, 99, "P"), P(5, 0, "A"), P(6, 0, "", "", "*")}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jet::SavedQuery q{"Q", c.parts.front().flag, c.parts};
        if (*c.expected) {
            EXPECT_EQ(jet::querySql(q), c.expected);
        } else {
            EXPECT_EQ(errorOf([&] { jet::querySql(q); }), err::OperationNotSupported);
        }
    }
}

// A table of a Jet file linked into a database of our own is read through the
// file's converted copy; the link cannot write to it.
TEST_F(JetFiles, ALinkedTableIsReadButNotChanged) {
    const std::string original = (kJetDir / "V2000/testV2000.mdb").string();
    const std::string sum = bytesOf(original);
    auto db = DBEngine::CreateDatabase(work.file("Links.mdb"));
    auto link = db->CreateTableDef("Old Table1", 0, "Table1", ";DATABASE=" + original);
    db->TableDefs().Append(link);
    auto rs = db->OpenRecordset("Old Table1");
    EXPECT_EQ(rs->RecordCount(), DBEngine::OpenDatabase(original)->OpenRecordset("Table1")->RecordCount());
    EXPECT_EQ(errorOf([&] { db->Execute("DELETE FROM [Old Table1]"); }), err::ReadOnly) << "deleted through the link";
    EXPECT_EQ(db->OpenRecordset("Old Table1")->RecordCount(), rs->RecordCount());
    EXPECT_EQ(bytesOf(original), sum);
}
