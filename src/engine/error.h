#pragma once
// Engine errors: every failure is an Error carrying the engine's own number and
// a plain sentence a user can act on.
#include <stdexcept>
#include <string>

namespace engine {

namespace err {
constexpr int Generic = 3000;            // reserved error / unexpected engine state
constexpr int InvalidArgument = 3001;
constexpr int UpdateWithoutEdit = 3020;  // Update or CancelUpdate without AddNew or Edit
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFound = 3024;
constexpr int ReadOnly = 3027;
constexpr int BadPassword = 3031;
constexpr int FileInUse = 3045;
constexpr int TooFewParameters = 3061;
constexpr int InvalidOperation = 3219;
constexpr int SyntaxInExpression = 3075;
constexpr int NoSuchTable = 3078;
constexpr int TableExists = 3010;
constexpr int ObjectExists = 3012;
constexpr int SyntaxInFrom = 3131;
constexpr int SyntaxInInsert = 3134;
constexpr int SyntaxInUpdate = 3144;
constexpr int SyntaxInSelect = 3141;
constexpr int SyntaxInDelete = 3128;
constexpr int SyntaxInFieldDef = 3292;
constexpr int InvalidSql = 3129;         // not DELETE/INSERT/PROCEDURE/SELECT/UPDATE
constexpr int FieldTooSmall = 3163;
constexpr int NotPermitted = 3173;
constexpr int ItemNotFound = 3265;
constexpr int FieldUsedByIndex = 3280;
constexpr int ZeroLength = 3315;
constexpr int RequiredMissing = 3314;
constexpr int NotADatabase = 3343;
constexpr int ConversionError = 3421;
constexpr int OperationNotSupported = 3251;
constexpr int TypeMismatch = 3464;
constexpr int FieldNotFound = 3265;
constexpr int IndexExists = 3284;
constexpr int NullInPrimaryKey = 3058;
constexpr int TooManyTransactions = 3003;
constexpr int CommitWithoutBegin = 3034;
constexpr int DatabaseClosed = 3420;     // object invalid or no longer set
constexpr int BookmarkInvalid = 3159;
constexpr int DataChanged = 3197;       // the record changed after it was read
constexpr int NoSuchIndex = 3800;
constexpr int CantDeleteField = 3281;
constexpr int ValueOutOfRange = 3349;    // numeric field overflow
constexpr int NoReadPermission = 3112;
}  // namespace err

class Error : public std::runtime_error {
public:
    Error(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const noexcept { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

}  // namespace engine
