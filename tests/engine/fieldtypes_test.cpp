#include "engine/fieldtypes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "engine_helpers.h"

using namespace engine;
using enginetest::typeCode;

namespace {

const std::vector<int> kAllCodes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23};

// Codes outside the table have no type word (callers report them).
TEST(FieldTypes, UnknownCodesHaveNoTypeWord) {
    for (int code : {0, 13, 14, 24, -1}) {
        EXPECT_EQ(fieldTypeInfo(code), nullptr) << code;
        EXPECT_EQ(typeWord(code), "");
    }
}

// What each type word stands for in CREATE TABLE, so a field written out by
// its own word comes back with the same (or the equivalent) type.
TEST(FieldTypes, OwnTypeWordsReadBack) {
    // The words that stand for another type; every other word stands for its own.
    const std::map<int, int> becomes = {{dbVarBinary, dbBinary}, {dbChar, dbText},  {dbNumeric, dbDecimal},
                                        {dbFloat, dbDouble},     {dbTime, dbDate},  {dbTimeStamp, dbDate}};
    for (int code : kAllCodes) {
        const int expected = becomes.count(code) ? becomes.at(code) : code;
        auto t = typeFromWord(typeWord(code));
        ASSERT_TRUE(t.has_value()) << typeWord(code);
        EXPECT_EQ(t->code, expected) << typeWord(code);
        EXPECT_FALSE(t->autoIncrement);
    }
}

std::vector<CaseLine> cases(const char* key) { return readCases(LEDGERLY_TEST_DATA "/field_types.txt", key); }

TEST(FieldTypes, TypeWordSynonyms) {
    for (const auto& c : cases("word")) {
        auto t = typeFromWord(c.fields[0]);
        ASSERT_TRUE(t.has_value()) << c.fields[0];
        EXPECT_EQ(t->code, typeCode(c.fields[1])) << c.fields[0];
        EXPECT_EQ(t->autoIncrement, c.fields.size() > 2) << c.fields[0];
    }
    for (const char* unknown : {"", "Textual", "Varchar2x", "Count"})
        EXPECT_FALSE(typeFromWord(unknown).has_value()) << unknown;
}

// Each declared type must give its column the SQLite affinity that keeps the
// type's values as they are stored: numbers stay numbers, text stays text.
TEST(FieldTypes, DeclaredTypesHaveTheRightSqliteAffinity) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    for (int code : kAllCodes) {
        const FieldTypeInfo* info = fieldTypeInfo(code);
        const std::string table = "t" + std::to_string(code);
        // What is written, and the storage class SQLite must keep it in.
        std::string value, expected;
        switch (info->storage) {
        case Storage::Integer: value = "'12'", expected = "integer"; break;
        case Storage::Real: value = "'2.5'", expected = "real"; break;
        case Storage::Text:
            // Dates are kept as their text form, which no affinity turns into a number.
            value = (code == dbDate || code == dbTime || code == dbTimeStamp) ? "'2024-01-31 10:00:00'" : "12";
            expected = "text";
            break;
        case Storage::Blob: value = "x'3132'", expected = "blob"; break;
        }
        const std::string sql = "CREATE TABLE " + table + " (c " + info->declType + ");" +
                                "INSERT INTO " + table + " VALUES (" + value + ");";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_stmt* st = nullptr;
        const std::string q = "SELECT typeof(c) FROM " + table;
        ASSERT_EQ(sqlite3_prepare_v2(db, q.c_str(), -1, &st, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), expected)
            << info->label << " declared " << info->declType;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
}

TEST(FieldTypes, OwnDeclaredTypesReadBack) {
    for (int code : kAllCodes) {
        const FieldTypeInfo* info = fieldTypeInfo(code);
        const bool sized = code == dbText || code == dbChar;
        const std::string declared = std::string(info->declType) + (sized ? "(40)" : "");
        const DeclaredType t = typeFromDeclared(declared);
        EXPECT_EQ(t.code, code) << declared;
        EXPECT_EQ(t.size, sized ? 40 : info->fixedSize) << declared;
    }
}

TEST(FieldTypes, ForeignDeclaredTypes) {
    for (const auto& c : cases("declared")) {
        const std::string declared = unquoted(c.fields[0]);
        const DeclaredType t = typeFromDeclared(declared);
        EXPECT_EQ(t.code, typeCode(c.fields[1])) << "'" << declared << "'";
        EXPECT_EQ(t.size, std::stoi(c.fields[2])) << "'" << declared << "'";
    }
}

}  // namespace
