// The dialect's functions as SQLite functions, with the meaning and Null rules
// of the original engine. Adding a function is one entry in kFunctions (plus its
// code in the file of its family: functions_text, _numbers, _dates, _financial).
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <locale.h>
#include <optional>
#include <string>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/functions.h"
#include "engine/sql/functions_impl.h"
#include "engine/sql/lexer.h"
#include "engine/sql/sql.h"
#include "engine/variant.h"

namespace engine::sql {

namespace fn {

// ---------------------------------------------------------------- helpers

// A failure inside a statement reaches the engine as a SQLite error whose text
// carries our number: "\x01<number>\x01<sentence>" (see errorFromFunction).
void fail(sqlite3_context* c, int number, const char* text) {
    std::string coded = "\x01" + std::to_string(number) + "\x01" + text;
    sqlite3_result_error(c, coded.c_str(), static_cast<int>(coded.size()));
}

int errorNumberFor(const char* message) {
    if (message == kTypeMismatch) return 3464;
    if (message == kOverflow) return 6;
    if (message == kInvalidUseOfNull) return 94;
    if (message == kNotADate) return 13;
    return 5;  // invalid procedure call or argument
}

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string numberText(double d) {
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char b[32];
        snprintf(b, sizeof b, "%.0f", d);
        return std::string(b) == "-0" ? "0" : b;
    }
    char b[40];
    snprintf(b, sizeof b, "%.15G", d);
    std::string s = b;
    size_t e = s.find('E');
    std::string mant = e == std::string::npos ? s : s.substr(0, e);
    std::string exp = e == std::string::npos ? "" : s.substr(e);
    if (mant.find('.') != std::string::npos) {
        while (!mant.empty() && mant.back() == '0') mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
    }
    if (!exp.empty()) {
        // E+05 is written E+5
        std::string digits = exp.substr(2);
        while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
        exp = exp.substr(0, 2) + digits;
    }
    return mant + exp;
}

std::string textOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return numberText(sqlite3_value_double(v));
    case SQLITE_NULL: return {};
    default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return std::string(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
    }
    }
}

std::string trimBlanks(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return std::string(s.substr(a, b - a));
}

std::optional<double> parseNumber(std::string_view text) {
    std::string t = trimBlanks(text);
    if (t.empty()) return std::nullopt;
    std::string clean;
    for (char c : t)
        if (c != ',') clean += c;  // thousands separators
    if (!clean.empty() && clean[0] == '$') clean.erase(0, 1);
    char* end = nullptr;
    double d = std::strtod(clean.c_str(), &end);
    if (end == clean.c_str() || *end != '\0') return std::nullopt;
    if (std::isnan(d) || std::isinf(d)) return std::nullopt;
    return d;
}

double numberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_NULL: return 0;
    default: {
        std::string t = textOf(v);
        if (auto d = parseNumber(t)) return *d;
        if (equalsNoCase(trimBlanks(t), "true")) return -1;
        if (equalsNoCase(trimBlanks(t), "false")) return 0;
        if (auto d = dates::parse(trimBlanks(t))) return *d;
        throw Fail{kTypeMismatch};
    }
    }
}

long long intOf(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    double d = std::nearbyint(numberOf(v));  // half to even
    if (std::fabs(d) > 9.2e18) throw Fail{kOverflow};
    return static_cast<long long>(d);
}

double dateOf(sqlite3_value* v, const char* notADate) {
    int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_value_double(v);
    std::string s = trimBlanks(textOf(v));
    if (auto d = parseDateText(s)) return *d;
    if (auto d = parseNumber(s)) return *d;
    throw Fail{notADate};
}

double checkedDay(double d) {
    if (!(d >= kFirstDay && d < kLastDay)) throw Fail{kOverflow};
    return d;
}
dates::Parts partsOfDay(double d) { return dates::toParts(checkedDay(d)); }

void resultText(sqlite3_context* c, const std::string& s) {
    sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void resultDate(sqlite3_context* c, double d) {
    resultText(c, dates::format(checkedDay(d)));
}
void resultBool(sqlite3_context* c, bool b) { sqlite3_result_int(c, b ? -1 : 0); }

// UTF-8: characters, not bytes.
size_t charCount(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}
size_t byteAt(std::string_view s, size_t chars) {
    size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return i;
}
std::string substrChars(std::string_view s, size_t start, size_t count) {
    size_t a = byteAt(s, start);
    size_t b = a + byteAt(s.substr(a), count);
    return std::string(s.substr(a, b - a));
}

std::u32string decode(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        if (i + len > s.size()) len = 1, cp = c;
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += cp;
        i += len;
    }
    return out;
}
std::string encode(const std::u32string& s) {
    std::string out;
    for (char32_t cp : s) {
        if (cp < 0x80) out += static_cast<char>(cp);
        else if (cp < 0x800) out += static_cast<char>(0xC0 | (cp >> 6)), out += static_cast<char>(0x80 | (cp & 0x3F));
        else if (cp < 0x10000)
            out += static_cast<char>(0xE0 | (cp >> 12)), out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                out += static_cast<char>(0x80 | (cp & 0x3F));
        else
            out += static_cast<char>(0xF0 | (cp >> 18)), out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

namespace {
// Case mapping through the C library's UTF-8 locale (ASCII when there is none).
locale_t utf8Locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}
}  // namespace

std::string mapCase(std::string_view s, bool upper) {
    std::u32string u = decode(s);
    for (char32_t& c : u)
        c = static_cast<char32_t>(upper ? towupper_l(static_cast<wint_t>(c), utf8Locale())
                                        : towlower_l(static_cast<wint_t>(c), utf8Locale()));
    return encode(u);
}
std::string fold(std::string_view s) { return mapCase(s, false); }

namespace {

// ---------------------------------------------------------------- aggregates

struct FirstLast {
    sqlite3_value* value;
    bool set;
};
void firstStep(sqlite3_context* c, int, sqlite3_value** v) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(c, sizeof(FirstLast)));
    if (!s || s->set) return;
    s->value = sqlite3_value_dup(v[0]);
    s->set = true;
}
void lastStep(sqlite3_context* c, int, sqlite3_value** v) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(c, sizeof(FirstLast)));
    if (!s) return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(v[0]);
    s->set = true;
}
void firstLastFinal(sqlite3_context* c) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(c, 0));
    if (!s || !s->set) return sqlite3_result_null(c);
    sqlite3_result_value(c, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

// Welford's running mean and sum of squares; Nulls are left out.
struct Spread {
    long long n;
    double mean, m2;
    bool failed;
};
void spreadStep(sqlite3_context* c, int, sqlite3_value** v) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(c, sizeof(Spread)));
    if (!s || isNull(v[0])) return;
    double x;
    try {
        x = numberOf(v[0]);
    } catch (const Fail&) {
        s->failed = true;
        return;
    }
    ++s->n;
    double delta = x - s->mean;
    s->mean += delta / static_cast<double>(s->n);
    s->m2 += delta * (x - s->mean);
}
template <bool Sample, bool Root>
void spreadFinal(sqlite3_context* c) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(c, 0));
    if (s && s->failed) return fail(c, 3464, kTypeMismatch);
    long long need = Sample ? 2 : 1;
    if (!s || s->n < need) return sqlite3_result_null(c);
    double var = s->m2 / static_cast<double>(Sample ? s->n - 1 : s->n);
    sqlite3_result_double(c, Root ? std::sqrt(var) : var);
}

// ---------------------------------------------------------------- tables

// The $ forms (Left$, Format$...): the same code, but a Null argument is an
// error rather than a Null result, since their result is always text.
template <Scalar F>
void textForm(sqlite3_context* c, int n, sqlite3_value** v) {
    for (int i = 0; i < n; ++i)
        if (isNull(v[i])) throw Fail{kInvalidUseOfNull};
    F(c, n, v);
}

constexpr Special kNone = Special::None;

const FunctionDef kFunctions[] = {
    // name, min, max, result type, code [, special, nulls give Null, volatile]
    {"IIf", 3, 3, 0, nullptr, Special::IIf, false},
    {"IsNull", 1, 1, dbBoolean, nullptr, Special::IsNull, false},
    {"Nz", 1, 2, kTypeOfArg0, nullptr, Special::Nz, false},
    {"Switch", 2, 64, 0, nullptr, Special::Switch, false},
    {"Choose", 2, 64, 0, nullptr, Special::Choose, false},
    // domain aggregates: the aggregate named after the "D" over a table or query
    {"DCount", 2, 3, dbLong, nullptr, Special::Domain, false},
    {"DSum", 2, 3, dbDouble, nullptr, Special::Domain, false},
    {"DAvg", 2, 3, dbDouble, nullptr, Special::Domain, false},
    {"DMin", 2, 3, 0, nullptr, Special::Domain, false},
    {"DMax", 2, 3, 0, nullptr, Special::Domain, false},
    {"DFirst", 2, 3, 0, nullptr, Special::Domain, false},
    {"DLast", 2, 3, 0, nullptr, Special::Domain, false},
    {"DLookup", 2, 3, 0, nullptr, Special::Domain, false},
    {"DStDev", 2, 3, dbDouble, nullptr, Special::Domain, false},
    {"DStDevP", 2, 3, dbDouble, nullptr, Special::Domain, false},
    {"DVar", 2, 3, dbDouble, nullptr, Special::Domain, false},
    {"DVarP", 2, 3, dbDouble, nullptr, Special::Domain, false},
    // text
    {"Len", 1, 1, dbLong, fnLen},
    {"Left", 2, 2, dbText, fnLeft},
    {"Right", 2, 2, dbText, fnRight},
    {"Mid", 2, 3, dbText, fnMid},
    {"InStr", 2, 4, dbLong, fnInStr, kNone, false},
    {"InStrRev", 2, 3, dbLong, fnInStrRev},
    {"Trim", 1, 1, dbText, fnTrim},
    {"LTrim", 1, 1, dbText, fnLTrim},
    {"RTrim", 1, 1, dbText, fnRTrim},
    {"UCase", 1, 1, dbText, fnUCase},
    {"LCase", 1, 1, dbText, fnLCase},
    {"Space", 1, 1, dbText, fnSpace},
    {"String", 2, 2, dbText, fnString},
    {"Replace", 3, 6, dbText, fnReplace},
    {"StrComp", 2, 3, dbInteger, fnStrComp},
    {"StrConv", 2, 3, dbText, fnStrConv},
    {"StrReverse", 1, 1, dbText, fnStrReverse},
    {"Chr", 1, 1, dbText, fnChr},
    {"Asc", 1, 1, dbInteger, fnAsc},
    {"Left$", 2, 2, dbText, textForm<fnLeft>, kNone, false},
    {"Right$", 2, 2, dbText, textForm<fnRight>, kNone, false},
    {"Mid$", 2, 3, dbText, textForm<fnMid>, kNone, false},
    {"Trim$", 1, 1, dbText, textForm<fnTrim>, kNone, false},
    {"LTrim$", 1, 1, dbText, textForm<fnLTrim>, kNone, false},
    {"RTrim$", 1, 1, dbText, textForm<fnRTrim>, kNone, false},
    {"UCase$", 1, 1, dbText, textForm<fnUCase>, kNone, false},
    {"LCase$", 1, 1, dbText, textForm<fnLCase>, kNone, false},
    {"Space$", 1, 1, dbText, textForm<fnSpace>, kNone, false},
    {"String$", 2, 2, dbText, textForm<fnString>, kNone, false},
    {"Chr$", 1, 1, dbText, textForm<fnChr>, kNone, false},
    // conversions
    {"CStr", 1, 1, dbText, fnCStr},
    {"Str", 1, 1, dbText, fnStr},
    {"Str$", 1, 1, dbText, textForm<fnStr>, kNone, false},
    {"Val", 1, 1, dbDouble, fnVal},
    {"CByte", 1, 1, dbByte, fnCByte},
    {"CInt", 1, 1, dbInteger, fnCInt},
    {"CLng", 1, 1, dbLong, fnCLng},
    {"CDbl", 1, 1, dbDouble, fnCDbl},
    {"CSng", 1, 1, dbSingle, fnCSng},
    {"CCur", 1, 1, dbCurrency, fnCCur},
    {"CDec", 1, 1, dbDecimal, fnCDec},
    {"CVar", 1, 1, kTypeOfArg0, fnCVar},
    {"CBool", 1, 1, dbBoolean, fnCBool},
    {"CDate", 1, 1, dbDate, fnCDate},
    {"DateValue", 1, 1, dbDate, fnDateValue},
    {"TimeValue", 1, 1, dbDate, fnTimeValue},
    {"Hex", 1, 1, dbText, fnHex},
    {"Oct", 1, 1, dbText, fnOct},
    {"Hex$", 1, 1, dbText, textForm<fnHex>, kNone, false},
    {"Oct$", 1, 1, dbText, textForm<fnOct>, kNone, false},
    {"IsNumeric", 1, 1, dbBoolean, fnIsNumeric, kNone, false},
    {"IsDate", 1, 1, dbBoolean, fnIsDate, kNone, false},
    // numbers
    {"Abs", 1, 1, kTypeOfArg0, fnAbs},
    {"Sqr", 1, 1, dbDouble, fnSqr},
    {"Int", 1, 1, kTypeOfArg0, fnInt},
    {"Fix", 1, 1, kTypeOfArg0, fnFix},
    {"Sgn", 1, 1, dbInteger, fnSgn},
    {"Round", 1, 2, kTypeOfArg0, fnRound},
    {"Exp", 1, 1, dbDouble, fnExp},
    {"Log", 1, 1, dbDouble, fnLog},
    {"Sin", 1, 1, dbDouble, fnSin},
    {"Cos", 1, 1, dbDouble, fnCos},
    {"Tan", 1, 1, dbDouble, fnTan},
    {"Atn", 1, 1, dbDouble, fnAtn},
    // financial
    {"Pmt", 3, 5, dbDouble, fnPmt},
    {"IPmt", 4, 6, dbDouble, fnIPmt},
    {"PPmt", 4, 6, dbDouble, fnPPmt},
    {"PV", 3, 5, dbDouble, fnPV},
    {"FV", 3, 5, dbDouble, fnFV},
    {"NPer", 3, 5, dbDouble, fnNPer},
    {"Rate", 3, 6, dbDouble, fnRate},
    {"DDB", 4, 5, dbDouble, fnDDB},
    {"SLN", 3, 3, dbDouble, fnSLN},
    {"SYD", 4, 4, dbDouble, fnSYD},
    // dates
    {"Year", 1, 1, dbInteger, fnYear},
    {"Month", 1, 1, dbInteger, fnMonth},
    {"Day", 1, 1, dbInteger, fnDay},
    {"Hour", 1, 1, dbInteger, fnHour},
    {"Minute", 1, 1, dbInteger, fnMinute},
    {"Second", 1, 1, dbInteger, fnSecond},
    {"Weekday", 1, 2, dbInteger, fnWeekday},
    {"Date", 0, 0, dbDate, fnDate, kNone, true, true},
    {"Now", 0, 0, dbDate, fnNow, kNone, true, true},
    {"Time", 0, 0, dbDate, fnTime, kNone, true, true},
    {"Date$", 0, 0, dbText, fnDateText, kNone, true, true},
    {"Time$", 0, 0, dbText, fnTimeText, kNone, true, true},
    {"DateSerial", 3, 3, dbDate, fnDateSerial},
    {"TimeSerial", 3, 3, dbDate, fnTimeSerial},
    {"DateAdd", 3, 3, dbDate, fnDateAdd},
    {"DateDiff", 3, 5, dbLong, fnDateDiff},
    {"DatePart", 2, 4, dbInteger, fnDatePart},
    {"MonthName", 1, 2, dbText, fnMonthName},
    {"WeekdayName", 1, 3, dbText, fnWeekdayName},
    {"Format", 1, 4, dbText, fnFormat},
    {"Format$", 1, 4, dbText, textForm<fnFormat>, kNone, false},
};

// Used by the emitter only; not names a statement can call.
const FunctionDef kInternal[] = {
    {"like", 2, 2, dbBoolean, fnLike},
    {"concat", 2, 2, dbText, fnConcat, kNone, false},
    {"cur", 1, 1, dbCurrency, fnCurrency},
    {"div", 2, 2, dbDouble, fnDiv},
    {"intdiv", 2, 2, dbLong, fnIntDiv},
    {"bxor", 2, 2, dbLong, fnBitXor},
    {"mod", 2, 2, dbLong, fnMod},
    {"pow", 2, 2, dbDouble, fnPow},
    {"date_plus", 2, 2, dbDate, fnDatePlus},
    {"date_minus", 2, 2, dbDouble, fnDateMinus},
    {"decimal", 4, 4, dbDecimal, fnDecimal},
};

const AggregateDef kAggregates[] = {
    {"Count", "count", dbLong, nullptr, nullptr},
    {"Sum", "sum", dbDouble, nullptr, nullptr},
    {"Avg", "avg", dbDouble, nullptr, nullptr},
    {"Min", "min", kTypeOfArg0, nullptr, nullptr},
    {"Max", "max", kTypeOfArg0, nullptr, nullptr},
    {"First", "ldg_first", kTypeOfArg0, firstStep, firstLastFinal},
    {"Last", "ldg_last", kTypeOfArg0, lastStep, firstLastFinal},
    {"StDev", "ldg_stdev", dbDouble, spreadStep, spreadFinal<true, true>},
    {"StDevP", "ldg_stdevp", dbDouble, spreadStep, spreadFinal<false, true>},
    {"Var", "ldg_var", dbDouble, spreadStep, spreadFinal<true, false>},
    {"VarP", "ldg_varp", dbDouble, spreadStep, spreadFinal<false, false>},
};

// Every scalar goes through here: the Null rule, then the code, with our
// failures turned into SQLite errors carrying our own sentence.
void trampoline(sqlite3_context* c, int n, sqlite3_value** v) {
    const auto* f = static_cast<const FunctionDef*>(sqlite3_user_data(c));
    if (f->nullIn)
        for (int i = 0; i < n; ++i)
            if (isNull(v[i])) return sqlite3_result_null(c);
    try {
        f->impl(c, n, v);
    } catch (const Fail& e) {
        fail(c, errorNumberFor(e.message), e.message);
    } catch (const Error& e) {
        fail(c, e.number(), e.what());
    } catch (const std::exception&) {
        fail(c, 5, kInvalidCall);
    }
}

void registerOne(sqlite3* db, const FunctionDef& f) {
    int flags = SQLITE_UTF8 | (f.volatileValue ? 0 : SQLITE_DETERMINISTIC);
    std::string name = sqlFunctionName(f);
    sqlite3_create_function_v2(db, name.c_str(), f.minArgs == f.maxArgs ? f.minArgs : -1, flags,
                               const_cast<FunctionDef*>(&f), trampoline, nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace fn

using fn::kAggregates;
using fn::kFunctions;

std::string sqlFunctionName(const FunctionDef& f) { return "ldg_" + lowerAscii(f.name); }

const FunctionDef* findFunction(std::string_view name) {
    for (const auto& f : kFunctions)
        if (equalsNoCase(f.name, name)) return &f;
    return nullptr;
}

const AggregateDef* findAggregate(std::string_view name) {
    for (const auto& a : kAggregates)
        if (equalsNoCase(a.name, name)) return &a;
    return nullptr;
}

void registerFunctions(sqlite3* db) {
    for (const auto& f : kFunctions)
        if (f.impl) fn::registerOne(db, f);
    for (const auto& f : fn::kInternal) fn::registerOne(db, f);
    for (const auto& a : kAggregates)
        if (a.step)
            sqlite3_create_function_v2(db, a.sqlName, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, a.step,
                                       a.final, nullptr);
}

}  // namespace engine::sql