#include "engine/fieldtypes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

using namespace engine;

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
    const std::vector<std::pair<int, int>> wordToCode = {
        {dbBoolean, dbBoolean}, {dbByte, dbByte},       {dbInteger, dbInteger},
        {dbLong, dbLong},       {dbCurrency, dbCurrency}, {dbSingle, dbSingle},
        {dbDouble, dbDouble},   {dbDate, dbDate},       {dbBinary, dbBinary},
        {dbText, dbText},       {dbLongBinary, dbLongBinary}, {dbMemo, dbMemo},
        {dbGUID, dbGUID},       {dbBigInt, dbBigInt},   {dbVarBinary, dbBinary},
        {dbChar, dbText},       {dbNumeric, dbDecimal}, {dbDecimal, dbDecimal},
        {dbFloat, dbDouble},    {dbTime, dbDate},       {dbTimeStamp, dbDate},
    };
    for (auto [code, expected] : wordToCode) {
        auto t = typeFromWord(typeWord(code));
        ASSERT_TRUE(t.has_value()) << typeWord(code);
        EXPECT_EQ(t->code, expected) << typeWord(code);
        EXPECT_FALSE(t->autoIncrement);
    }
}

TEST(FieldTypes, TypeWordSynonyms) {
    struct Case { const char* word; int code; bool autoIncrement; };
    const std::vector<Case> cases = {
        {"varchar", dbText, false},     {"STRING", dbText, false},     {"Alphanumeric", dbText, false},
        {"Char", dbText, false},        {"LongText", dbMemo, false},   {"longchar", dbMemo, false},
        {"Note", dbMemo, false},        {"TinyInt", dbByte, false},    {"Short", dbInteger, false},
        {"SmallInt", dbInteger, false}, {"Integer2", dbInteger, false}, {"Int", dbLong, false},
        {"Integer4", dbLong, false},    {"Counter", dbLong, true},     {"AUTOINCREMENT", dbLong, true},
        {"Identity", dbLong, true},     {"Money", dbCurrency, false},  {"Real", dbSingle, false},
        {"Float4", dbSingle, false},    {"IEEESingle", dbSingle, false}, {"Float", dbDouble, false},
        {"Float8", dbDouble, false},    {"Number", dbDouble, false},   {"IEEEDouble", dbDouble, false},
        {"DateTime", dbDate, false},    {"Time", dbDate, false},       {"TimeStamp", dbDate, false},
        {"Bit", dbBoolean, false},      {"Logical", dbBoolean, false}, {"Logical1", dbBoolean, false},
        {"Boolean", dbBoolean, false},  {"OLEObject", dbLongBinary, false}, {"General", dbLongBinary, false},
        {"Image", dbLongBinary, false}, {"VarBinary", dbBinary, false}, {"UniqueIdentifier", dbGUID, false},
        {"Numeric", dbDecimal, false},  {"Dec", dbDecimal, false},
    };
    for (const auto& c : cases) {
        auto t = typeFromWord(c.word);
        ASSERT_TRUE(t.has_value()) << c.word;
        EXPECT_EQ(t->code, c.code) << c.word;
        EXPECT_EQ(t->autoIncrement, c.autoIncrement) << c.word;
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
    struct Case { const char* declared; int code; int size; };
    const std::vector<Case> cases = {
        {"INT", dbLong, 4}, {"integer", dbLong, 4}, {"MEDIUMINT", dbLong, 4}, {"BIGINT", dbBigInt, 8},
        {"UNSIGNED BIG INT", dbBigInt, 8}, {"INT8", dbBigInt, 8}, {"BOOLEAN", dbBoolean, 1}, {"bool", dbBoolean, 1},
        {"varchar(40)", dbText, 40}, {"NVARCHAR( 100 )", dbText, 100}, {"CHARACTER(20)", dbText, 20},
        {"VARYING CHARACTER(255)", dbText, 255}, {"VARCHAR(1000)", dbMemo, 0}, {"VARCHAR", dbMemo, 0},
        {"TEXT", dbMemo, 0}, {"TEXT(50)", dbText, 50}, {"CLOB", dbMemo, 0}, {"", dbMemo, 0}, {"  ", dbMemo, 0},
        {"BLOB", dbLongBinary, 0}, {"REAL", dbDouble, 8}, {"FLOAT", dbDouble, 8}, {"DOUBLE PRECISION", dbDouble, 8},
        {"DATE", dbDate, 8}, {"TIMESTAMP", dbDate, 8}, {"TIME", dbDate, 8}, {"DEC(10,2)", dbDouble, 8},
        {"NUMBER", dbDouble, 8}, {"MONEY", dbCurrency, 8}, {"SMALLMONEY", dbCurrency, 8}, {"UUID", dbGUID, 16},
        {"UNIQUEIDENTIFIER", dbGUID, 16}, {"BINARY(16)", dbBinary, 16}, {"WHATEVER", dbMemo, 0},
    };
    for (const auto& c : cases) {
        const DeclaredType t = typeFromDeclared(c.declared);
        EXPECT_EQ(t.code, c.code) << "'" << c.declared << "'";
        EXPECT_EQ(t.size, c.size) << "'" << c.declared << "'";
    }
}

}  // namespace
