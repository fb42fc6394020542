#pragma once
// Inside the dialect's functions: the helpers every family shares (reading
// arguments, giving results, failing with our numbers) and the code of each
// family, which the one table in functions.cpp lists. Not for other callers.
#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/variant.h"

namespace engine::sql::fn {

// ---------------------------------------------------------------- failures

// A failure inside a function; the trampoline reports it as a SQLite error
// carrying errorNumberFor(message).
struct Fail {
    const char* message;
};

inline constexpr char kTypeMismatch[] = "Data type mismatch in criteria expression.";         // 3464
inline constexpr char kInvalidCall[] = "Invalid procedure call or argument.";                  // 5
inline constexpr char kOverflow[] = "Overflow: the value does not fit the type it is converted to.";  // 6
inline constexpr char kInvalidUseOfNull[] = "Invalid use of Null.";                            // 94
inline constexpr char kNotADate[] = "Type mismatch: the text is not a date.";                  // 13

int errorNumberFor(const char* message);

// Reports `number` and `text` as the statement's error (see throwIfFunctionError).
void fail(sqlite3_context* c, int number, const char* text);

// ---------------------------------------------------------------- arguments

bool isNull(sqlite3_value* v);
// Numbers in their shortest text: 15 significant digits, no trailing zeros.
std::string numberText(double d);
std::string textOf(sqlite3_value* v);
std::string trimBlanks(std::string_view s);
std::optional<double> parseNumber(std::string_view text);
double numberOf(sqlite3_value* v);  // Fail kTypeMismatch when it has no number
long long intOf(sqlite3_value* v);  // rounded half to even
// A date as days since 1899-12-30: a number of days, or text that reads as a
// date (parseDateText) or a number; else Fail `notADate`.
double dateOf(sqlite3_value* v, const char* notADate = kTypeMismatch);

// Dates run from year 100 to 9999; anything outside cannot be taken apart.
inline constexpr double kFirstDay = -657434, kLastDay = 2958466;
double checkedDay(double d);  // Fail kOverflow outside that range
dates::Parts partsOfDay(double d);

// ---------------------------------------------------------------- results

void resultText(sqlite3_context* c, const std::string& s);
void resultDate(sqlite3_context* c, double d);
void resultBool(sqlite3_context* c, bool b);

// ---------------------------------------------------------------- text (UTF-8)

size_t charCount(std::string_view s);
size_t byteAt(std::string_view s, size_t chars);  // offset of character `chars`
std::string substrChars(std::string_view s, size_t start, size_t count);
std::u32string decode(std::string_view s);
std::string encode(const std::u32string& s);
std::string mapCase(std::string_view s, bool upper);
std::string fold(std::string_view s);  // lower case, for comparing ignoring case

// ---------------------------------------------------------------- dates (functions_dates.cpp)

extern const char* const kMonths[12];  // January...
extern const char* const kDays[7];     // Sunday...

// Date text: what dates::parse reads, plus English month names ("Apr 6, 2003",
// "6 April 2003", "Feb 20 1:25 PM" in the current year) and m-d-yyyy.
std::optional<double> parseDateText(std::string_view text);
// 1 = Sunday ... 7 = Saturday, shifted so that `first` is 1.
int weekdayOf(double days, int first);
// The firstdayofweek argument at `index` (0 or missing is Sunday), 1..7.
int firstDayArg(int n, sqlite3_value** v, int index);
// The firstweekofyear argument at `index`: 1 the week of January 1 (also 0 or
// missing), 2 the first week with four days of the year, 3 the first full week.
int firstWeekArg(int n, sqlite3_value** v, int index);
// Week of the year of a day, weeks starting on `firstDay`, week 1 chosen by `firstWeek`.
int weekOfYear(double days, int firstDay, int firstWeek);

// ---------------------------------------------------------------- the families

using Scalar = void(sqlite3_context*, int, sqlite3_value**);

// functions_text.cpp
Scalar fnLike, fnConcat, fnLen, fnLeft, fnRight, fnMid, fnInStr, fnInStrRev, fnTrim, fnLTrim, fnRTrim, fnUCase,
    fnLCase, fnSpace, fnString, fnReplace, fnStrComp, fnStrReverse, fnChr, fnAsc, fnStrConv;

// functions_numbers.cpp: operators, conversions, numbers and Format
Scalar fnBitXor, fnCurrency, fnDiv, fnIntDiv, fnMod, fnPow, fnVal, fnCStr, fnCByte, fnCInt, fnCLng, fnCDbl, fnCSng, fnCCur, fnCDec,
    fnCVar, fnCBool, fnHex, fnOct, fnStr, fnIsNumeric, fnAbs, fnSqr, fnInt, fnFix, fnSgn, fnRound, fnExp, fnLog,
    fnSin, fnCos, fnTan, fnAtn, fnFormat, fnDecimal;

// functions_dates.cpp
Scalar fnDatePlus, fnDateMinus, fnCDate, fnDateValue, fnTimeValue, fnIsDate, fnYear, fnMonth, fnDay, fnHour,
    fnMinute, fnSecond, fnNow, fnDate, fnTime, fnDateText, fnTimeText, fnWeekday, fnDateSerial, fnTimeSerial,
    fnDateAdd, fnDateDiff, fnDatePart, fnMonthName, fnWeekdayName;

// functions_financial.cpp
Scalar fnPmt, fnIPmt, fnPPmt, fnPV, fnFV, fnNPer, fnRate, fnDDB, fnSLN, fnSYD;

}  // namespace engine::sql::fn
