#pragma once
// The one table of field types: engine type code, its label, its SQL type word,
// its fixed size and how its values are stored in SQLite.
#include <optional>
#include <string>
#include <string_view>

namespace engine {

enum DataType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbBigInt = 16,
    dbVarBinary = 17,
    dbChar = 18,
    dbNumeric = 19,
    dbDecimal = 20,
    dbFloat = 21,
    dbTime = 22,
    dbTimeStamp = 23,
};

// How a type's values live in a SQLite column.
enum class Storage { Integer, Real, Text, Blob };

struct FieldTypeInfo {
    int code;
    const char* label;      // "dbText"
    const char* userName;   // "Long Integer": the name users know the type by
    const char* sqlWord;    // "Text": the label without "db"
    int fixedSize;          // Size of the field; Text and Char use their declared size
    const char* declType;   // declared type of the SQLite column
    Storage storage;
    bool numeric;           // arithmetic and numeric comparison apply
};

// The row for a code, or nothing for a code outside the table.
const FieldTypeInfo* fieldTypeInfo(int code);

// The SQL type word of a code ("Text" for 10); empty for an unknown code.
std::string typeWord(int code);

// The name users know a type by ("Long Integer" for 4); empty for an unknown code.
std::string userTypeName(int code);

// The type code a CREATE TABLE type word stands for, synonyms included
// (Char, VarChar, String, Short, Int, Real, Float, Number, Money, DateTime,
// Bit, Logical, OLEObject, Counter, AutoIncrement, Decimal, Numeric...).
// `autoIncrement` is set for Counter and AutoIncrement.
struct TypeWordInfo {
    int code;
    bool autoIncrement;
};
std::optional<TypeWordInfo> typeFromWord(std::string_view word);

// The engine type a column of a SQLite file made by another program gets from
// its declared type (INTEGER, VARCHAR(40), REAL, BLOB, DATETIME...).
// DECIMAL(p,s) also gives the Decimal field's precision and scale.
struct DeclaredType {
    int code;
    int size;
    int precision = 0;  // 0: none declared
    int scale = 0;
};
DeclaredType typeFromDeclared(std::string_view declared);

// Default maximum length of a Text field when none is given.
constexpr int kDefaultTextSize = 255;

// A Decimal field holds up to 28 digits, 18 when no precision is given; its
// scale (digits after the point) is 0 to its precision, 0 when not given.
constexpr int kMaxDecimalPrecision = 28;
constexpr int kDefaultDecimalPrecision = 18;
inline bool validDecimal(int precision, int scale) {
    return precision >= 1 && precision <= kMaxDecimalPrecision && scale >= 0 && scale <= precision;
}

}  // namespace engine
