#include "engine/fieldtypes.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace engine {

namespace {

// Declared types are chosen so SQLite gives each column the right affinity
// (INT -> integer, CHAR/TEXT -> text, BLOB -> none, FLOA/DOUB -> real, else
// numeric) and so that each code reads back from its own declared type.
constexpr FieldTypeInfo kTypes[] = {
    {dbBoolean, "dbYesNo", "Yes/No", "YesNo", 1, "YESNO", Storage::Integer, true},
    {dbByte, "dbByte", "Byte", "Byte", 1, "TINYINT", Storage::Integer, true},
    {dbInteger, "dbInteger", "Integer", "Integer", 2, "SMALLINT", Storage::Integer, true},
    {dbLong, "dbLong", "Long Integer", "Long", 4, "INTEGER", Storage::Integer, true},
    {dbCurrency, "dbCurrency", "Currency", "Currency", 8, "CURRENCY", Storage::Real, true},
    {dbSingle, "dbSingle", "Single", "Single", 4, "FLOAT4", Storage::Real, true},
    {dbDouble, "dbDouble", "Double", "Double", 8, "DOUBLE", Storage::Real, true},
    {dbDate, "dbDate", "Date/Time", "Date", 8, "DATETIME", Storage::Text, false},
    {dbBinary, "dbBinary", "Binary", "Binary", 0, "BINARY", Storage::Blob, false},
    {dbText, "dbText", "Text", "Text", 0, "VARCHAR", Storage::Text, false},
    {dbLongBinary, "dbLongBinary", "OLE Object", "LongBinary", 0, "BLOB", Storage::Blob, false},
    {dbMemo, "dbMemo", "Memo", "Memo", 0, "TEXT", Storage::Text, false},
    {dbGUID, "dbGUID", "Replication ID", "GUID", 16, "GUIDTEXT", Storage::Text, false},
    {dbBigInt, "dbBigInt", "Large Number", "BigInt", 8, "BIGINT", Storage::Integer, true},
    {dbVarBinary, "dbVarBinary", "Binary", "VarBinary", 0, "VARBINARY", Storage::Blob, false},
    {dbChar, "dbChar", "Text", "Char", 0, "FIXEDCHAR", Storage::Text, false},
    {dbNumeric, "dbNumeric", "Decimal", "Numeric", 17, "NUMERIC", Storage::Real, true},
    {dbDecimal, "dbDecimal", "Decimal", "Decimal", 17, "DECIMAL", Storage::Real, true},
    {dbFloat, "dbFloat", "Double", "Float", 8, "FLOAT8", Storage::Real, true},
    {dbTime, "dbTime", "Date/Time", "Time", 8, "TIMEONLY", Storage::Text, false},
    {dbTimeStamp, "dbTimeStamp", "Date/Time", "TimeStamp", 8, "DATETIMESTAMP", Storage::Text, false},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string upperTrimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::string out;
    for (char c : s) out += upper(c);
    return out;
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

struct WordRow {
    const char* word;  // upper case
    int code;
    bool autoIncrement;
};

constexpr WordRow kWords[] = {
    {"TEXT", dbText, false},         {"CHAR", dbText, false},
    {"VARCHAR", dbText, false},      {"STRING", dbText, false},
    {"ALPHANUMERIC", dbText, false}, {"NCHAR", dbText, false},
    {"NVARCHAR", dbText, false},     {"MEMO", dbMemo, false},
    {"LONGTEXT", dbMemo, false},     {"LONGCHAR", dbMemo, false},
    {"NOTE", dbMemo, false},         {"NTEXT", dbMemo, false},
    {"BYTE", dbByte, false},         {"TINYINT", dbByte, false},
    {"INTEGER", dbInteger, false},   {"SHORT", dbInteger, false},
    {"SMALLINT", dbInteger, false},  {"INTEGER2", dbInteger, false},
    {"LONG", dbLong, false},         {"INT", dbLong, false},
    {"INTEGER4", dbLong, false},     {"COUNTER", dbLong, true},
    {"AUTOINCREMENT", dbLong, true}, {"IDENTITY", dbLong, true},
    {"BIGINT", dbBigInt, false},     {"CURRENCY", dbCurrency, false},
    {"MONEY", dbCurrency, false},    {"SINGLE", dbSingle, false},
    {"REAL", dbSingle, false},       {"FLOAT4", dbSingle, false},
    {"IEEESINGLE", dbSingle, false}, {"DOUBLE", dbDouble, false},
    {"FLOAT", dbDouble, false},      {"FLOAT8", dbDouble, false},
    {"NUMBER", dbDouble, false},     {"IEEEDOUBLE", dbDouble, false},
    {"DATE", dbDate, false},         {"DATETIME", dbDate, false},
    {"TIME", dbDate, false},         {"TIMESTAMP", dbDate, false},
    {"YESNO", dbBoolean, false},     {"BIT", dbBoolean, false},
    {"LOGICAL", dbBoolean, false},   {"LOGICAL1", dbBoolean, false},
    {"BOOLEAN", dbBoolean, false},   {"LONGBINARY", dbLongBinary, false},
    {"OLEOBJECT", dbLongBinary, false}, {"GENERAL", dbLongBinary, false},
    {"IMAGE", dbLongBinary, false},  {"BINARY", dbBinary, false},
    {"VARBINARY", dbBinary, false},  {"GUID", dbGUID, false},
    {"UNIQUEIDENTIFIER", dbGUID, false}, {"DECIMAL", dbDecimal, false},
    {"NUMERIC", dbDecimal, false},   {"DEC", dbDecimal, false},
};

// The first whole number in "(...)" of a declared type, or 0.
int declaredSize(std::string_view declared) {
    const auto open = declared.find('(');
    if (open == std::string_view::npos) return 0;
    std::string_view rest = declared.substr(open + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    int n = 0;
    auto [p, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
    return ec == std::errc() && n > 0 ? n : 0;
}

// "(p)" or "(p,s)" of a declared DECIMAL: its precision and scale, when valid.
void declaredDigits(std::string_view declared, DeclaredType& out) {
    const auto open = declared.find('(');
    if (open == std::string_view::npos) return;
    const char* p = declared.data() + open + 1;
    const char* end = declared.data() + declared.size();
    auto number = [&](int& n) {
        while (p < end && *p == ' ') ++p;
        auto [q, ec] = std::from_chars(p, end, n);
        if (ec != std::errc()) return false;
        p = q;
        while (p < end && *p == ' ') ++p;
        return true;
    };
    int precision = 0, scale = 0;
    if (!number(precision)) return;
    if (p < end && *p == ',') {
        ++p;
        if (!number(scale)) return;
    }
    if (p == end || *p != ')' || !validDecimal(precision, scale)) return;
    out.precision = precision;
    out.scale = scale;
}

DeclaredType withFixedSize(int code) { return {code, fieldTypeInfo(code)->fixedSize}; }

}  // namespace

const FieldTypeInfo* fieldTypeInfo(int code) {
    auto it = std::find_if(std::begin(kTypes), std::end(kTypes),
                           [code](const FieldTypeInfo& t) { return t.code == code; });
    return it == std::end(kTypes) ? nullptr : it;
}

std::string typeWord(int code) {
    const FieldTypeInfo* info = fieldTypeInfo(code);
    return info ? info->sqlWord : "";
}

std::string userTypeName(int code) {
    const FieldTypeInfo* info = fieldTypeInfo(code);
    return info ? info->userName : "";
}

std::optional<TypeWordInfo> typeFromWord(std::string_view word) {
    const std::string w = upperTrimmed(word);
    for (const WordRow& row : kWords)
        if (w == row.word) return TypeWordInfo{row.code, row.autoIncrement};
    return std::nullopt;
}

DeclaredType typeFromDeclared(std::string_view declared) {
    const std::string full = upperTrimmed(declared);
    const std::string base = upperTrimmed(full.substr(0, full.find('(')));
    const int size = declaredSize(full);

    // Text with a size up to the Text limit; longer or unsized text is Memo.
    auto text = [size](int code) -> DeclaredType {
        if (size > 0 && size <= kDefaultTextSize) return {code, size};
        return withFixedSize(dbMemo);
    };

    // Our own declared types first.
    if (base == "VARCHAR") return text(dbText);
    if (base == "FIXEDCHAR") return text(dbChar);
    if (base == "TEXT" && size > 0) return text(dbText);
    for (const FieldTypeInfo& t : kTypes)
        if (base == t.declType) {
            if (t.code == dbBinary || t.code == dbVarBinary) return {t.code, size};
            DeclaredType out{t.code, t.fixedSize};
            if (t.code == dbDecimal) declaredDigits(full, out);
            return out;
        }

    // Names whose values read as a particular type whatever their affinity.
    if (contains(base, "BOOL") || base == "BIT") return withFixedSize(dbBoolean);
    if (contains(base, "GUID") || contains(base, "UUID") || base == "UNIQUEIDENTIFIER")
        return withFixedSize(dbGUID);
    if (contains(base, "MONEY") || contains(base, "CURRENCY")) return withFixedSize(dbCurrency);

    // SQLite's affinity rules, in SQLite's order.
    if (contains(base, "INT")) {
        if (contains(base, "BIGINT") || base == "INT8" || contains(base, "UNSIGNED BIG"))
            return withFixedSize(dbBigInt);
        return withFixedSize(dbLong);
    }
    if (contains(base, "CLOB")) return withFixedSize(dbMemo);
    if (contains(base, "CHAR") || contains(base, "TEXT")) return text(dbText);
    if (contains(base, "BLOB")) return withFixedSize(dbLongBinary);
    if (base.empty()) return withFixedSize(dbMemo);  // typeless: any value
    if (contains(base, "REAL") || contains(base, "FLOA") || contains(base, "DOUB"))
        return withFixedSize(dbDouble);

    // Numeric affinity: recognise dates and numbers; anything else reads as text.
    if (contains(base, "DATE") || contains(base, "TIME")) return withFixedSize(dbDate);
    if (contains(base, "DEC") || contains(base, "NUM")) return withFixedSize(dbDouble);
    return withFixedSize(dbMemo);
}

}  // namespace engine
