// The dialect's functions as SQLite functions, with the meaning and Null rules
// of the original engine. Adding a function is one entry in kFunctions (plus its code).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <locale.h>
#include <optional>
#include <string>

#include "engine/error.h"
#include "engine/fieldtypes.h"
#include "engine/sql/functions.h"
#include "engine/sql/lexer.h"
#include "engine/sql/sql.h"
#include "engine/variant.h"

namespace engine::sql {

namespace {

// ---------------------------------------------------------------- helpers

const char* kTypeMismatch = "Data type mismatch in criteria expression.";
const char* kInvalidCall = "Invalid procedure call or argument.";
const char* kOverflow = "Overflow: the value does not fit the type it is converted to.";

struct Fail {
    const char* message;
};

// A failure inside a statement reaches the engine as a SQLite error whose text
// carries our number: "\x01<number>\x01<sentence>" (see errorFromFunction).
void fail(sqlite3_context* c, int number, const char* text) {
    std::string coded = "\x01" + std::to_string(number) + "\x01" + text;
    sqlite3_result_error(c, coded.c_str(), static_cast<int>(coded.size()));
}

int errorNumberFor(const char* message) {
    if (message == kTypeMismatch) return 3464;
    if (message == kOverflow) return 6;
    return 5;  // invalid procedure call or argument
}

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// Numbers in their shortest text: 15 significant digits, no trailing zeros.
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

// A date as days since 1899-12-30: stored text, or a number of days.
double dateOf(sqlite3_value* v) {
    int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_value_double(v);
    std::string s = trimBlanks(textOf(v));
    if (auto d = dates::parse(s)) return *d;
    if (auto d = parseNumber(s)) return *d;
    throw Fail{kTypeMismatch};
}

// Dates run from year 100 to 9999; anything outside cannot be taken apart.
constexpr double kFirstDay = -657434, kLastDay = 2958466;
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
size_t byteAt(std::string_view s, size_t chars) {  // offset of character `chars`
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

// Case mapping through the C library's UTF-8 locale (ASCII when there is none).
locale_t utf8Locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}
std::string mapCase(std::string_view s, bool upper) {
    std::u32string u = decode(s);
    for (char32_t& c : u)
        c = static_cast<char32_t>(upper ? towupper_l(static_cast<wint_t>(c), utf8Locale())
                                        : towlower_l(static_cast<wint_t>(c), utf8Locale()));
    return encode(u);
}
std::string fold(std::string_view s) { return mapCase(s, false); }

// Character position (1-based) of `needle` in `hay` from character `start`,
// ignoring case unless `binary`; 0 if absent.
long long findText(const std::string& hay, const std::string& needle, long long start, bool binary = false) {
    std::u32string h = decode(binary ? hay : fold(hay)), n = decode(binary ? needle : fold(needle));
    if (start < 1) throw Fail{kInvalidCall};
    if (static_cast<size_t>(start) > h.size() + (n.empty() ? 1 : 0)) return 0;
    if (n.empty()) return start;
    size_t at = h.find(n, static_cast<size_t>(start - 1));
    return at == std::u32string::npos ? 0 : static_cast<long long>(at) + 1;
}

// ---------------------------------------------------------------- Like

// Matches one pattern element (?, #, [class] or a character) at p[pi] against
// ch, and moves pi past the element.
bool matchElement(char32_t ch, const std::u32string& p, size_t& pi) {
    char32_t c = p[pi];
    if (c == '?') {
        ++pi;
        return true;
    }
    if (c == '#') {
        ++pi;
        return ch >= '0' && ch <= '9';
    }
    if (c != '[') {
        ++pi;
        return c == ch;
    }
    size_t close = p.find(']', pi + 1);
    if (close == std::u32string::npos) throw Fail{"Invalid pattern string: a '[' is not closed."};
    size_t k = pi + 1;
    bool negate = k < close && p[k] == '!';
    if (negate) ++k;
    bool hit = false;
    for (; k < close; ++k) {
        if (k + 2 < close && p[k + 1] == '-') {
            if (p[k + 2] < p[k]) throw Fail{"Invalid pattern string: a range runs backwards."};
            if (ch >= p[k] && ch <= p[k + 2]) hit = true;
            k += 2;
        } else if (ch == p[k]) {
            hit = true;
        }
    }
    pi = close + 1;
    return hit != negate;
}

// Like patterns: * any run, ? one character, # one digit, [a-z] [!a-z] classes.
// Backtracks only to the last *, so time stays proportional to text x pattern.
bool likeMatch(const std::u32string& s, const std::u32string& p) {
    size_t si = 0, pi = 0, starP = std::u32string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starS = si;
            continue;
        }
        if (pi < p.size()) {
            size_t next = pi;
            if (matchElement(s[si], p, next)) {
                pi = next;
                ++si;
                continue;
            }
        }
        if (starP == std::u32string::npos) return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

void fnLike(sqlite3_context* c, int, sqlite3_value** v) {
    std::u32string s = decode(fold(textOf(v[0]))), p = decode(fold(textOf(v[1])));
    sqlite3_result_int(c, likeMatch(s, p) ? 1 : 0);
}

// ---------------------------------------------------------------- operators

void fnConcat(sqlite3_context* c, int n, sqlite3_value** v) {
    std::string out;
    bool allNull = true;
    for (int i = 0; i < n; ++i) {
        if (isNull(v[i])) continue;
        allNull = false;
        out += textOf(v[i]);
    }
    if (allNull) sqlite3_result_null(c);
    else resultText(c, out);
}
void fnBitXor(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_int64(c, sqlite3_value_int64(v[0]) ^ sqlite3_value_int64(v[1]));
}
void fnIntDiv(sqlite3_context* c, int, sqlite3_value** v) {
    long long a = intOf(v[0]), b = intOf(v[1]);
    if (b == 0) throw Fail{"Division by zero."};
    sqlite3_result_int64(c, a / b);
}
void fnMod(sqlite3_context* c, int, sqlite3_value** v) {
    long long a = intOf(v[0]), b = intOf(v[1]);
    if (b == 0) throw Fail{"Division by zero."};
    sqlite3_result_int64(c, a % b);
}
void fnPow(sqlite3_context* c, int, sqlite3_value** v) {
    double r = std::pow(numberOf(v[0]), numberOf(v[1]));
    if (std::isnan(r) || std::isinf(r)) throw Fail{kInvalidCall};
    sqlite3_result_double(c, r);
}
void fnDatePlus(sqlite3_context* c, int, sqlite3_value** v) { resultDate(c, dateOf(v[0]) + numberOf(v[1])); }
void fnDateMinus(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_double(c, dateOf(v[0]) - dateOf(v[1]));
}

// ---------------------------------------------------------------- text

void fnLen(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_int64(c, static_cast<long long>(charCount(textOf(v[0]))));
}
long long lengthArg(sqlite3_value* v) {
    long long n = intOf(v);
    if (n < 0) throw Fail{kInvalidCall};
    return n;
}
void fnLeft(sqlite3_context* c, int, sqlite3_value** v) {
    resultText(c, substrChars(textOf(v[0]), 0, static_cast<size_t>(lengthArg(v[1]))));
}
void fnRight(sqlite3_context* c, int, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    size_t n = static_cast<size_t>(lengthArg(v[1])), len = charCount(s);
    resultText(c, n >= len ? s : substrChars(s, len - n, n));
}
void fnMid(sqlite3_context* c, int n, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    long long start = intOf(v[1]);
    if (start < 1) throw Fail{kInvalidCall};
    size_t count = n > 2 ? static_cast<size_t>(lengthArg(v[2])) : std::string::npos;
    resultText(c, substrChars(s, static_cast<size_t>(start - 1), count));
}
void fnInStr(sqlite3_context* c, int n, sqlite3_value** v) {
    // InStr([start,] text, sought [, compare]): compare 0 is binary, else text.
    if (n >= 3) {
        if (isNull(v[0])) throw Fail{kInvalidCall};
        if (isNull(v[1]) || isNull(v[2])) return sqlite3_result_null(c);
        bool binary = n > 3 && !isNull(v[3]) && intOf(v[3]) == 0;
        sqlite3_result_int64(c, findText(textOf(v[1]), textOf(v[2]), intOf(v[0]), binary));
    } else {
        if (isNull(v[0]) || isNull(v[1])) return sqlite3_result_null(c);
        sqlite3_result_int64(c, findText(textOf(v[0]), textOf(v[1]), 1));
    }
}
void fnInStrRev(sqlite3_context* c, int n, sqlite3_value** v) {
    std::u32string h = decode(fold(textOf(v[0]))), s = decode(fold(textOf(v[1])));
    long long start = n > 2 ? intOf(v[2]) : -1;
    if (start == 0 || start < -1) throw Fail{kInvalidCall};
    size_t limit = start == -1 ? h.size() : std::min(h.size(), static_cast<size_t>(start));
    if (s.empty()) return sqlite3_result_int64(c, static_cast<long long>(limit));
    if (s.size() > limit) return sqlite3_result_int64(c, 0);
    size_t at = h.substr(0, limit).rfind(s);
    sqlite3_result_int64(c, at == std::u32string::npos ? 0 : static_cast<long long>(at) + 1);
}
void fnTrim(sqlite3_context* c, int, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return resultText(c, "");
    resultText(c, s.substr(a, s.find_last_not_of(' ') - a + 1));
}
void fnLTrim(sqlite3_context* c, int, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    size_t a = s.find_first_not_of(' ');
    resultText(c, a == std::string::npos ? "" : s.substr(a));
}
void fnRTrim(sqlite3_context* c, int, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    size_t b = s.find_last_not_of(' ');
    resultText(c, b == std::string::npos ? "" : s.substr(0, b + 1));
}
void fnUCase(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, mapCase(textOf(v[0]), true)); }
void fnLCase(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, mapCase(textOf(v[0]), false)); }
void fnSpace(sqlite3_context* c, int, sqlite3_value** v) {
    long long n = lengthArg(v[0]);
    if (n > 1000000) throw Fail{kInvalidCall};
    resultText(c, std::string(static_cast<size_t>(n), ' '));
}
void fnString(sqlite3_context* c, int, sqlite3_value** v) {
    long long n = lengthArg(v[0]);
    if (n > 1000000) throw Fail{kInvalidCall};
    std::string ch;
    if (sqlite3_value_type(v[1]) == SQLITE_TEXT) {
        std::string s = textOf(v[1]);
        if (s.empty()) throw Fail{kInvalidCall};
        ch = substrChars(s, 0, 1);
    } else {
        ch = encode(std::u32string(1, static_cast<char32_t>(intOf(v[1]) & 0xFF)));
    }
    std::string out;
    for (long long i = 0; i < n; ++i) out += ch;
    resultText(c, out);
}
void fnReplace(sqlite3_context* c, int n, sqlite3_value** v) {
    std::string s = textOf(v[0]), find = textOf(v[1]), repl = textOf(v[2]);
    long long start = n > 3 ? intOf(v[3]) : 1;
    long long count = n > 4 ? intOf(v[4]) : -1;
    if (start < 1 || count < -1) throw Fail{kInvalidCall};
    std::u32string h = decode(s).substr(std::min<size_t>(static_cast<size_t>(start - 1), decode(s).size()));
    bool binary = n > 5 && intOf(v[5]) == 0;  // compare 0 is binary, else text
    std::u32string hf = binary ? h : decode(fold(encode(h)));
    std::u32string f = decode(binary ? find : fold(find)), r = decode(repl);
    if (f.empty()) return resultText(c, encode(h));
    std::u32string out;
    size_t i = 0;
    long long done = 0;
    while (i < h.size()) {
        if ((count < 0 || done < count) && hf.compare(i, f.size(), f) == 0) {
            out += r;
            i += f.size();
            ++done;
        } else {
            out += h[i++];
        }
    }
    resultText(c, encode(out));
}
void fnStrComp(sqlite3_context* c, int n, sqlite3_value** v) {
    bool binary = n > 2 && intOf(v[2]) == 0;
    std::string a = textOf(v[0]), b = textOf(v[1]);
    if (!binary) a = fold(a), b = fold(b);
    int r = a.compare(b);
    sqlite3_result_int(c, r < 0 ? -1 : r > 0 ? 1 : 0);
}
void fnStrReverse(sqlite3_context* c, int, sqlite3_value** v) {
    std::u32string u = decode(textOf(v[0]));
    std::reverse(u.begin(), u.end());
    resultText(c, encode(u));
}
void fnChr(sqlite3_context* c, int, sqlite3_value** v) {
    long long n = intOf(v[0]);
    if (n < 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) throw Fail{kInvalidCall};
    resultText(c, encode(std::u32string(1, static_cast<char32_t>(n))));
}
void fnAsc(sqlite3_context* c, int, sqlite3_value** v) {
    std::u32string u = decode(textOf(v[0]));
    if (u.empty()) throw Fail{kInvalidCall};
    sqlite3_result_int64(c, static_cast<long long>(u[0]));
}

// ---------------------------------------------------------------- conversion

// Val reads the leading number of a text, skipping blanks: Val(" 1 2x") is 12.
double valOf(const std::string& text) {
    std::string s;
    for (char ch : text)
        if (ch != ' ' && ch != '\t' && ch != '\n' && ch != '\r') s += ch;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        size_t i = 2;
        long long r = 0;
        while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])))
            r = r * 16 + std::stoi(std::string(1, s[i++]), nullptr, 16);
        return static_cast<double>(r);
    }
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            s[i] = 'e';
            i = j;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        }
    }
    return std::strtod(s.substr(0, i).c_str(), nullptr);
}
void fnVal(sqlite3_context* c, int, sqlite3_value** v) {
    int t = sqlite3_value_type(v[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(c, v[0]);
    double d = valOf(textOf(v[0]));
    if (d == std::floor(d) && std::fabs(d) < 9e15) sqlite3_result_int64(c, static_cast<long long>(d));
    else sqlite3_result_double(c, d);
}
void fnCStr(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, textOf(v[0])); }
void toRange(sqlite3_context* c, sqlite3_value* v, double lo, double hi) {
    double d = std::nearbyint(numberOf(v));
    if (d < lo || d > hi) throw Fail{kOverflow};
    sqlite3_result_int64(c, static_cast<long long>(d));
}
void fnCByte(sqlite3_context* c, int, sqlite3_value** v) { toRange(c, v[0], 0, 255); }
void fnCInt(sqlite3_context* c, int, sqlite3_value** v) { toRange(c, v[0], -32768, 32767); }
void fnCLng(sqlite3_context* c, int, sqlite3_value** v) { toRange(c, v[0], -2147483648.0, 2147483647.0); }
void fnCDbl(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_double(c, numberOf(v[0])); }
void fnCSng(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_double(c, static_cast<double>(static_cast<float>(numberOf(v[0]))));
}
void fnCCur(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_double(c, std::nearbyint(numberOf(v[0]) * 10000.0) / 10000.0);
}
void fnCBool(sqlite3_context* c, int, sqlite3_value** v) { resultBool(c, numberOf(v[0]) != 0); }
void fnCDate(sqlite3_context* c, int, sqlite3_value** v) { resultDate(c, dateOf(v[0])); }
void fnTimeValue(sqlite3_context* c, int, sqlite3_value** v) {
    double d = dateOf(v[0]);
    resultDate(c, d - std::floor(d));
}
// Hex and Oct: negative Longs show as their 32-bit pattern (Hex(-1) is FFFFFFFF).
void radixText(sqlite3_context* c, sqlite3_value* v, bool hex) {
    char b[32];
    long long n = intOf(v);
    unsigned long long bits = (n < 0 && n >= -2147483648LL) ? static_cast<unsigned>(static_cast<int>(n))
                                                            : static_cast<unsigned long long>(n);
    snprintf(b, sizeof b, hex ? "%llX" : "%llo", bits);
    resultText(c, b);
}
void fnHex(sqlite3_context* c, int, sqlite3_value** v) { radixText(c, v[0], true); }
void fnOct(sqlite3_context* c, int, sqlite3_value** v) { radixText(c, v[0], false); }
void fnDateValue(sqlite3_context* c, int, sqlite3_value** v) { resultDate(c, std::floor(dateOf(v[0]))); }
void fnStr(sqlite3_context* c, int, sqlite3_value** v) {
    double d = numberOf(v[0]);
    std::string s = numberText(d);
    resultText(c, d >= 0 ? " " + s : s);
}
void fnIsNumeric(sqlite3_context* c, int, sqlite3_value** v) {
    int t = sqlite3_value_type(v[0]);
    if (t == SQLITE_NULL) return resultBool(c, false);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return resultBool(c, true);
    resultBool(c, parseNumber(textOf(v[0])).has_value());
}
void fnIsDate(sqlite3_context* c, int, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) != SQLITE_TEXT) return resultBool(c, false);
    resultBool(c, dates::parse(trimBlanks(textOf(v[0]))).has_value());
}

// ---------------------------------------------------------------- numbers

void resultNumber(sqlite3_context* c, sqlite3_value* like, double d) {
    if (sqlite3_value_type(like) == SQLITE_INTEGER && d == std::floor(d) && std::fabs(d) < 9e18)
        sqlite3_result_int64(c, static_cast<long long>(d));
    else
        sqlite3_result_double(c, d);
}
void fnAbs(sqlite3_context* c, int, sqlite3_value** v) { resultNumber(c, v[0], std::fabs(numberOf(v[0]))); }
void fnSqr(sqlite3_context* c, int, sqlite3_value** v) {
    double d = numberOf(v[0]);
    if (d < 0) throw Fail{kInvalidCall};
    sqlite3_result_double(c, std::sqrt(d));
}
void fnInt(sqlite3_context* c, int, sqlite3_value** v) { resultNumber(c, v[0], std::floor(numberOf(v[0]))); }
void fnFix(sqlite3_context* c, int, sqlite3_value** v) { resultNumber(c, v[0], std::trunc(numberOf(v[0]))); }
void fnSgn(sqlite3_context* c, int, sqlite3_value** v) {
    double d = numberOf(v[0]);
    sqlite3_result_int(c, d > 0 ? 1 : d < 0 ? -1 : 0);
}
// Round to `places` with halves to even, as the original engine does.
void fnRound(sqlite3_context* c, int n, sqlite3_value** v) {
    double d = numberOf(v[0]);
    long long places = n > 1 ? intOf(v[1]) : 0;
    if (places < 0 || places > 15) throw Fail{kInvalidCall};
    double scale = std::pow(10.0, static_cast<double>(places));
    double scaled = d * scale;
    // Take away binary noise (2.675 is 2.67499999...) before deciding a tie.
    double nearest = std::nearbyint(scaled);
    double r = std::fabs(scaled - std::trunc(scaled));
    if (std::fabs(r - 0.5) < 1e-9 * std::max(1.0, std::fabs(scaled))) {
        double lo = std::floor(scaled);
        nearest = std::fmod(lo, 2.0) == 0 ? lo : lo + 1;
    }
    resultNumber(c, v[0], nearest / scale);
}
template <double (*F)(double)>
void fnMath(sqlite3_context* c, int, sqlite3_value** v) {
    double r = F(numberOf(v[0]));
    if (std::isnan(r) || std::isinf(r)) throw Fail{kInvalidCall};
    sqlite3_result_double(c, r);
}
double logChecked(double d) { return d <= 0 ? NAN : std::log(d); }
double sinF(double d) { return std::sin(d); }
double cosF(double d) { return std::cos(d); }
double tanF(double d) { return std::tan(d); }
double expF(double d) { return std::exp(d); }
double atnF(double d) { return std::atan(d); }

// ---------------------------------------------------------------- dates

dates::Parts partsOf(sqlite3_value* v) { return partsOfDay(dateOf(v)); }
void fnYear(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).year); }
void fnMonth(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).month); }
void fnDay(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).day); }
void fnHour(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).hour); }
void fnMinute(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).minute); }
void fnSecond(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).second); }

double nowDays() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dates::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec);
}
void fnNow(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, nowDays()); }
void fnDate(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, std::floor(nowDays())); }
void fnTime(sqlite3_context* c, int, sqlite3_value**) {
    double d = nowDays();
    resultDate(c, d - std::floor(d));
}

// 1 = Sunday ... 7 = Saturday, shifted so that `first` is 1.
int weekdayOf(double days, int first) {
    long long d = static_cast<long long>(std::floor(checkedDay(days)));
    int sundayBased = static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;  // day 0 (1899-12-30) was a Saturday
    return ((sundayBased - first) % 7 + 7) % 7 + 1;
}
int firstDayArg(int n, sqlite3_value** v, int index) {
    if (n <= index || isNull(v[index])) return 1;
    long long f = intOf(v[index]);
    if (f < 0 || f > 7) throw Fail{kInvalidCall};
    return f == 0 ? 1 : static_cast<int>(f);
}
void fnWeekday(sqlite3_context* c, int n, sqlite3_value** v) {
    sqlite3_result_int(c, weekdayOf(dateOf(v[0]), firstDayArg(n, v, 1)));
}

// Whole months and years roll over the way DateSerial does: DateSerial(2024, 13, 1) is 2025-01-01.
double serial(long long y, long long m, long long d) {
    long long months = y * 12 + (m - 1);
    long long yy = months >= 0 ? months / 12 : (months - 11) / 12;
    long long mm = months - yy * 12 + 1;
    if (yy < 100 && yy >= 0) yy += yy < 30 ? 2000 : 1900;
    if (yy < 100 || yy > 9999) throw Fail{kInvalidCall};
    return dates::fromParts(static_cast<int>(yy), static_cast<int>(mm), 1) + static_cast<double>(d - 1);
}
long long smallInt(sqlite3_value* v) {
    long long n = intOf(v);
    if (n > 100000000 || n < -100000000) throw Fail{kInvalidCall};
    return n;
}
void fnDateSerial(sqlite3_context* c, int, sqlite3_value** v) {
    resultDate(c, serial(smallInt(v[0]), smallInt(v[1]), smallInt(v[2])));
}
void fnTimeSerial(sqlite3_context* c, int, sqlite3_value** v) {
    double secs = static_cast<double>(smallInt(v[0]) * 3600 + smallInt(v[1]) * 60 + smallInt(v[2]));
    resultDate(c, secs / 86400.0);
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

enum class Unit { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };
Unit unitOf(sqlite3_value* v) {
    std::string u = lowerAscii(trimBlanks(textOf(v)));
    if (u == "yyyy") return Unit::Year;
    if (u == "q") return Unit::Quarter;
    if (u == "m") return Unit::Month;
    if (u == "y") return Unit::DayOfYear;
    if (u == "d") return Unit::Day;
    if (u == "w") return Unit::Weekday;
    if (u == "ww") return Unit::Week;
    if (u == "h") return Unit::Hour;
    if (u == "n") return Unit::Minute;
    if (u == "s") return Unit::Second;
    throw Fail{kInvalidCall};
}

void fnDateAdd(sqlite3_context* c, int, sqlite3_value** v) {
    Unit u = unitOf(v[0]);
    double n = std::trunc(numberOf(v[1]));
    double d = dateOf(v[2]);
    if (std::fabs(n) > 1e8) throw Fail{kInvalidCall};  // far beyond year 9999 in any unit but seconds
    switch (u) {
    case Unit::Year: case Unit::Quarter: case Unit::Month: {
        long long months = static_cast<long long>(n) * (u == Unit::Year ? 12 : u == Unit::Quarter ? 3 : 1);
        dates::Parts p = partsOfDay(d);
        long long total = p.year * 12LL + (p.month - 1) + months;
        long long y = total / 12, m = total % 12 + 1;
        if (y < 100 || y > 9999) throw Fail{kInvalidCall};
        int day = std::min(p.day, daysInMonth(static_cast<int>(y), static_cast<int>(m)));
        return resultDate(c, dates::fromParts(static_cast<int>(y), static_cast<int>(m), day, p.hour, p.minute,
                                              p.second));
    }
    case Unit::DayOfYear: case Unit::Day: case Unit::Weekday: return resultDate(c, d + n);
    case Unit::Week: return resultDate(c, d + 7 * n);
    case Unit::Hour: return resultDate(c, d + n / 24.0);
    case Unit::Minute: return resultDate(c, d + n / 1440.0);
    case Unit::Second: return resultDate(c, d + n / 86400.0);
    }
}

// DateDiff counts boundaries crossed: DateDiff("yyyy", #12/31/2023#, #1/1/2024#) is 1.
void fnDateDiff(sqlite3_context* c, int n, sqlite3_value** v) {
    Unit u = unitOf(v[0]);
    double a = dateOf(v[1]), b = dateOf(v[2]);
    dates::Parts pa = partsOfDay(a), pb = partsOfDay(b);
    auto secs = [](double d) { return static_cast<long long>(std::llround(d * 86400.0)); };
    long long r = 0;
    switch (u) {
    case Unit::Year: r = pb.year - pa.year; break;
    case Unit::Quarter: r = (pb.year * 4LL + (pb.month - 1) / 3) - (pa.year * 4LL + (pa.month - 1) / 3); break;
    case Unit::Month: r = (pb.year * 12LL + pb.month) - (pa.year * 12LL + pa.month); break;
    case Unit::DayOfYear: case Unit::Day:
        r = static_cast<long long>(std::floor(b)) - static_cast<long long>(std::floor(a));
        break;
    case Unit::Weekday: r = (static_cast<long long>(std::floor(b)) - static_cast<long long>(std::floor(a))) / 7; break;
    case Unit::Week: {
        int first = firstDayArg(n, v, 3);
        auto weekStart = [&](double d) {
            long long day = static_cast<long long>(std::floor(d));
            return day - (weekdayOf(d, first) - 1);
        };
        r = (weekStart(b) - weekStart(a)) / 7;
        break;
    }
    case Unit::Hour: r = secs(b) / 3600 - secs(a) / 3600; break;
    case Unit::Minute: r = secs(b) / 60 - secs(a) / 60; break;
    case Unit::Second: r = secs(b) - secs(a); break;
    }
    sqlite3_result_int64(c, r);
}

void fnDatePart(sqlite3_context* c, int n, sqlite3_value** v) {
    Unit u = unitOf(v[0]);
    double d = dateOf(v[1]);
    dates::Parts p = partsOfDay(d);
    int first = firstDayArg(n, v, 2);
    long long r = 0;
    switch (u) {
    case Unit::Year: r = p.year; break;
    case Unit::Quarter: r = (p.month - 1) / 3 + 1; break;
    case Unit::Month: r = p.month; break;
    case Unit::DayOfYear:
        r = static_cast<long long>(std::floor(d) - dates::fromParts(p.year, 1, 1)) + 1;
        break;
    case Unit::Day: r = p.day; break;
    case Unit::Weekday: r = weekdayOf(d, first); break;
    case Unit::Week: {
        double jan1 = dates::fromParts(p.year, 1, 1);
        long long start = static_cast<long long>(jan1) - (weekdayOf(jan1, first) - 1);
        r = (static_cast<long long>(std::floor(d)) - start) / 7 + 1;
        break;
    }
    case Unit::Hour: r = p.hour; break;
    case Unit::Minute: r = p.minute; break;
    case Unit::Second: r = p.second; break;
    }
    sqlite3_result_int64(c, r);
}

const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                         "July",    "August",   "September", "October", "November", "December"};
const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void fnMonthName(sqlite3_context* c, int n, sqlite3_value** v) {
    long long m = intOf(v[0]);
    if (m < 1 || m > 12) throw Fail{kInvalidCall};
    std::string name = kMonths[m - 1];
    if (n > 1 && numberOf(v[1]) != 0) name = name.substr(0, 3);
    resultText(c, name);
}
void fnWeekdayName(sqlite3_context* c, int n, sqlite3_value** v) {
    long long d = intOf(v[0]);
    if (d < 1 || d > 7) throw Fail{kInvalidCall};
    int first = firstDayArg(n, v, 2);
    std::string name = kDays[(d - 1 + first - 1) % 7];
    if (n > 1 && numberOf(v[1]) != 0) name = name.substr(0, 3);
    resultText(c, name);
}

// ---------------------------------------------------------------- Format

std::string groupThousands(const std::string& digits) {
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        out += digits[i];
        if ((n - i - 1) % 3 == 0 && i != n - 1) out += ',';
    }
    return out;
}

std::string fixed(double d, int decimals, bool thousands) {
    // Halves round away from zero, as Format does.
    decimals = std::min(decimals, 30);
    double scale = std::pow(10.0, decimals);
    double rounded = std::fabs(d) < 1e15 ? std::round(std::fabs(d) * scale) / scale : std::fabs(d);
    char b[400];
    snprintf(b, sizeof b, "%.*f", decimals, rounded);
    std::string s = b;
    size_t dot = s.find('.');
    std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot);
    if (thousands) whole = groupThousands(whole);
    bool negative = d < 0 && std::stod(s) != 0;
    return (negative ? "-" : "") + whole + frac;
}

// Custom number formats: 0 and # digit places, '.', ',' grouping, % and literal text.
std::string formatNumber(double d, const std::string& fmt) {
    std::vector<std::string> sections;
    {
        std::string cur;
        bool quoted = false;
        for (char ch : fmt) {
            if (ch == '"') quoted = !quoted;
            if (ch == ';' && !quoted) {
                sections.push_back(cur);
                cur.clear();
            } else {
                cur += ch;
            }
        }
        sections.push_back(cur);
    }
    std::string sec = sections[0];
    bool useAbs = false;
    if (d < 0 && sections.size() > 1 && !sections[1].empty()) sec = sections[1], useAbs = true;
    if (d == 0 && sections.size() > 2 && !sections[2].empty()) sec = sections[2], useAbs = true;
    double x = useAbs ? std::fabs(d) : d;
    // Scientific: 0.00E+00 writes a mantissa and an exponent (E+ always signed).
    for (size_t e = 0; e + 1 < sec.size(); ++e) {
        char ch = sec[e];
        if ((ch != 'E' && ch != 'e') || (sec[e + 1] != '+' && sec[e + 1] != '-')) continue;
        std::string mant = sec.substr(0, e), expPart = sec.substr(e + 2);
        int expDigits = static_cast<int>(std::count(expPart.begin(), expPart.end(), '0'));
        int exponent = x == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(x))));
        double m = x == 0 ? 0 : x / std::pow(10.0, exponent);
        std::string mantText = formatNumber(m, mant);
        if (mantText.find("10") == (m < 0 ? 1u : 0u) && std::fabs(m) >= 9.5) {  // 9.99 rounded up to 10.0
            ++exponent;
            mantText = formatNumber(x / std::pow(10.0, exponent), mant);
        }
        std::string digits = std::to_string(std::abs(exponent));
        while (static_cast<int>(digits.size()) < expDigits) digits = "0" + digits;
        std::string sign = exponent < 0 ? "-" : (sec[e + 1] == '+' ? "+" : "");
        return mantText + std::string(1, ch) + sign + digits;
    }
    // Read the placeholders.
    int intZeros = 0, decZeros = 0, decHashes = 0;
    bool seenDot = false, thousands = false, percent = false;
    bool quoted = false;
    for (size_t i = 0; i < sec.size(); ++i) {
        char ch = sec[i];
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        if (ch == '\\') ++i;
        else if (ch == '.') seenDot = true;
        else if (ch == ',' && !seenDot) thousands = true;
        else if (ch == '%') percent = true;
        else if (ch == '0') (seenDot ? decZeros : intZeros)++;
        else if (ch == '#' && seenDot) ++decHashes;
    }
    if (percent) x *= 100;
    std::string num = fixed(x, decZeros + decHashes, thousands);
    bool negative = !num.empty() && num[0] == '-';
    if (negative) num.erase(0, 1);
    // Drop optional trailing decimals, and pad the whole part to its zeros.
    size_t dot = num.find('.');
    std::string whole = dot == std::string::npos ? num : num.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : num.substr(dot + 1);
    while (static_cast<int>(frac.size()) > decZeros && frac.back() == '0') frac.pop_back();
    std::string plainWhole;
    for (char ch : whole)
        if (ch != ',') plainWhole += ch;
    if (plainWhole == "0" && intZeros == 0) plainWhole.clear();
    while (static_cast<int>(plainWhole.size()) < intZeros) plainWhole = "0" + plainWhole;
    whole = thousands && !plainWhole.empty() ? groupThousands(plainWhole) : plainWhole;
    std::string number = whole + (seenDot && (!frac.empty() || decZeros > 0) ? "." + frac : "");
    if (seenDot && frac.empty() && decZeros == 0) number = whole + ".";
    // Lay the number out where the placeholders are, keeping literal text around it.
    std::string out;
    bool placed = false;
    quoted = false;
    for (size_t i = 0; i < sec.size(); ++i) {
        char ch = sec[i];
        if (ch == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) {
            out += ch;
            continue;
        }
        if (ch == '\\' && i + 1 < sec.size()) {
            out += sec[++i];
            continue;
        }
        if (ch == '0' || ch == '#' || ch == '.' || ch == ',') {
            if (!placed) {
                out += (negative ? "-" : "") + number;
                placed = true;
            }
            continue;
        }
        out += ch;
    }
    if (!placed) out = (negative ? "-" : "") + out;
    return out;
}

bool hasDateTokens(const std::string& fmt) {
    bool quoted = false;
    for (char ch : fmt) {
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (l == '0' || l == '#') return false;
        if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 'n' || l == 's' || l == 'w' || l == 'q') return true;
    }
    return false;
}

std::string two(int n) {
    char b[16];
    snprintf(b, sizeof b, "%02d", n);
    return b;
}

std::string formatDate(double d, const std::string& fmt) {
    dates::Parts p = partsOfDay(d);
    bool ampm = false;
    {
        std::string l = lowerAscii(fmt);
        ampm = l.find("am/pm") != std::string::npos || l.find("a/p") != std::string::npos;
    }
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < fmt.size();) {
        auto run = [&](char ch) {
            size_t k = i;
            while (k < fmt.size() && std::tolower(static_cast<unsigned char>(fmt[k])) == ch) ++k;
            return k - i;
        };
        char ch = fmt[i];
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (ch == '"') {
            size_t close = fmt.find('"', i + 1);
            if (close == std::string::npos) close = fmt.size();
            out += fmt.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (ch == '\\' && i + 1 < fmt.size()) {
            out += fmt[i + 1];
            i += 2;
            continue;
        }
        if (lowerAscii(fmt.substr(i, 5)) == "am/pm") {
            std::string t = p.hour < 12 ? "AM" : "PM";
            out += fmt[i] == 'a' ? lowerAscii(t) : t;
            i += 5;
            continue;
        }
        if (lowerAscii(fmt.substr(i, 3)) == "a/p") {
            std::string t = p.hour < 12 ? "A" : "P";
            out += fmt[i] == 'a' ? lowerAscii(t) : t;
            i += 3;
            continue;
        }
        size_t n = 0;
        switch (l) {
        case 'd':
            n = run('d');
            if (n == 1) out += std::to_string(p.day);
            else if (n == 2) out += two(p.day);
            else if (n == 3) out += std::string(kDays[weekdayOf(d, 1) - 1]).substr(0, 3);
            else if (n == 4) out += kDays[weekdayOf(d, 1) - 1];
            else out += std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + std::to_string(p.year);
            i += n;
            afterHour = false;
            continue;
        case 'm': {
            n = run('m');
            // m right after an hour or just before seconds is minutes: hh:mm, mm:ss.
            size_t k = i + n;
            while (k < fmt.size() && (fmt[k] == ':' || fmt[k] == ' ')) ++k;
            bool beforeSeconds = k < fmt.size() && std::tolower(static_cast<unsigned char>(fmt[k])) == 's';
            if ((afterHour || beforeSeconds) && n <= 2) {
                out += n == 1 ? std::to_string(p.minute) : two(p.minute);
            } else if (n == 1) out += std::to_string(p.month);
            else if (n == 2) out += two(p.month);
            else if (n == 3) out += std::string(kMonths[p.month - 1]).substr(0, 3);
            else out += kMonths[p.month - 1];
            i += n;
            afterHour = false;
            continue;
        }
        case 'y':
            n = run('y');
            if (n == 1)  // y alone is the day of the year
                out += std::to_string(static_cast<long long>(std::floor(d) - dates::fromParts(p.year, 1, 1)) + 1);
            else if (n == 2) out += two(p.year % 100);
            else out += std::to_string(p.year);
            i += n;
            continue;
        case 'h': {
            n = run('h');
            int h = p.hour;
            if (ampm) h = h % 12 == 0 ? 12 : h % 12;
            out += n == 1 ? std::to_string(h) : two(h);
            i += n;
            afterHour = true;
            continue;
        }
        case 'n':
            n = run('n');
            out += n == 1 ? std::to_string(p.minute) : two(p.minute);
            i += n;
            afterHour = false;
            continue;
        case 's':
            n = run('s');
            out += n == 1 ? std::to_string(p.second) : two(p.second);
            i += n;
            continue;
        case 'q':
            out += std::to_string((p.month - 1) / 3 + 1);
            ++i;
            continue;
        case 'w':
            n = run('w');
            out += std::to_string(weekdayOf(d, 1));
            i += n;
            continue;
        default:
            if (ch != ':' && ch != ' ') afterHour = false;
            out += ch;
            ++i;
        }
    }
    return out;
}

void fnFormat(sqlite3_context* c, int n, sqlite3_value** v) {
    std::string fmt = n > 1 && !isNull(v[1]) ? textOf(v[1]) : "";
    int t = sqlite3_value_type(v[0]);
    std::string text = textOf(v[0]);
    std::string key = lowerAscii(fmt);
    std::optional<double> num;
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) num = numberOf(v[0]);
    else num = parseNumber(text);
    std::optional<double> date;
    if (!num && t == SQLITE_TEXT) date = dates::parse(trimBlanks(text));
    if (fmt.empty()) return resultText(c, text);

    // Named formats.
    if (key == "general number") return resultText(c, num ? numberText(*num) : text);
    if (num) {
        if (key == "currency") {
            std::string s = fixed(std::fabs(*num), 2, true);
            return resultText(c, *num < 0 ? "($" + s + ")" : "$" + s);
        }
        if (key == "fixed") return resultText(c, fixed(*num, 2, false));
        if (key == "standard") return resultText(c, fixed(*num, 2, true));
        if (key == "percent") return resultText(c, fixed(*num * 100, 2, false) + "%");
        if (key == "scientific") {
            char b[64];
            snprintf(b, sizeof b, "%.2E", *num);
            return resultText(c, b);
        }
        if (key == "yes/no") return resultText(c, *num != 0 ? "Yes" : "No");
        if (key == "true/false") return resultText(c, *num != 0 ? "True" : "False");
        if (key == "on/off") return resultText(c, *num != 0 ? "On" : "Off");
    }
    double dv = date ? *date : (num ? *num : 0);
    bool dateLike = date || num;
    if (dateLike) {
        if (key == "general date") {
            std::string s = dv == std::floor(dv) ? formatDate(dv, "m/d/yyyy")
                            : std::floor(dv) == 0 ? formatDate(dv, "h:nn:ss AM/PM")
                                                  : formatDate(dv, "m/d/yyyy h:nn:ss AM/PM");
            return resultText(c, s);
        }
        if (key == "long date") return resultText(c, formatDate(dv, "dddd, mmmm d, yyyy"));
        if (key == "medium date") return resultText(c, formatDate(dv, "dd-mmm-yy"));
        if (key == "short date") return resultText(c, formatDate(dv, "m/d/yyyy"));
        if (key == "long time") return resultText(c, formatDate(dv, "h:nn:ss AM/PM"));
        if (key == "medium time") return resultText(c, formatDate(dv, "hh:nn AM/PM"));
        if (key == "short time") return resultText(c, formatDate(dv, "hh:nn"));
    }
    if (fmt == ">" || fmt == "<") return resultText(c, mapCase(text, fmt == ">"));
    if (fmt.find('@') != std::string::npos && fmt.find_first_of("0#") == std::string::npos) {
        std::string out;
        size_t k = 0;
        for (char ch : fmt) {
            if (ch == '@') out += k < text.size() ? text.substr(k++, 1) : " ";
            else if (ch != '>' && ch != '<') out += ch;
        }
        if (k < text.size()) out += text.substr(k);
        if (fmt[0] == '>' || fmt[0] == '<') out = mapCase(out, fmt[0] == '>');
        return resultText(c, out);
    }
    if (hasDateTokens(fmt) && dateLike) return resultText(c, formatDate(dv, fmt));
    if (num) return resultText(c, formatNumber(*num, fmt));
    resultText(c, text);
}

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

const FunctionDef kFunctions[] = {
    // name, min, max, result type, code [, special, nulls give Null, volatile]
    {"IIf", 3, 3, 0, nullptr, Special::IIf, false},
    {"IsNull", 1, 1, dbBoolean, nullptr, Special::IsNull, false},
    {"Nz", 1, 2, kTypeOfArg0, nullptr, Special::Nz, false},
    {"Switch", 2, 64, 0, nullptr, Special::Switch, false},
    {"Choose", 2, 64, 0, nullptr, Special::Choose, false},
    {"Len", 1, 1, dbLong, fnLen},
    {"Left", 2, 2, dbText, fnLeft},
    {"Right", 2, 2, dbText, fnRight},
    {"Mid", 2, 3, dbText, fnMid},
    {"InStr", 2, 4, dbLong, fnInStr, Special::None, false},
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
    {"StrReverse", 1, 1, dbText, fnStrReverse},
    {"Chr", 1, 1, dbText, fnChr},
    {"Asc", 1, 1, dbInteger, fnAsc},
    {"CStr", 1, 1, dbText, fnCStr},
    {"Str", 1, 1, dbText, fnStr},
    {"Val", 1, 1, dbDouble, fnVal},
    {"CByte", 1, 1, dbByte, fnCByte},
    {"CInt", 1, 1, dbInteger, fnCInt},
    {"CLng", 1, 1, dbLong, fnCLng},
    {"CDbl", 1, 1, dbDouble, fnCDbl},
    {"CSng", 1, 1, dbSingle, fnCSng},
    {"CCur", 1, 1, dbCurrency, fnCCur},
    {"CBool", 1, 1, dbBoolean, fnCBool},
    {"CDate", 1, 1, dbDate, fnCDate},
    {"DateValue", 1, 1, dbDate, fnDateValue},
    {"TimeValue", 1, 1, dbDate, fnTimeValue},
    {"Hex", 1, 1, dbText, fnHex},
    {"Oct", 1, 1, dbText, fnOct},
    {"IsNumeric", 1, 1, dbBoolean, fnIsNumeric, Special::None, false},
    {"IsDate", 1, 1, dbBoolean, fnIsDate, Special::None, false},
    {"Abs", 1, 1, kTypeOfArg0, fnAbs},
    {"Sqr", 1, 1, dbDouble, fnSqr},
    {"Int", 1, 1, kTypeOfArg0, fnInt},
    {"Fix", 1, 1, kTypeOfArg0, fnFix},
    {"Sgn", 1, 1, dbInteger, fnSgn},
    {"Round", 1, 2, kTypeOfArg0, fnRound},
    {"Exp", 1, 1, dbDouble, fnMath<expF>},
    {"Log", 1, 1, dbDouble, fnMath<logChecked>},
    {"Sin", 1, 1, dbDouble, fnMath<sinF>},
    {"Cos", 1, 1, dbDouble, fnMath<cosF>},
    {"Tan", 1, 1, dbDouble, fnMath<tanF>},
    {"Atn", 1, 1, dbDouble, fnMath<atnF>},
    {"Year", 1, 1, dbInteger, fnYear},
    {"Month", 1, 1, dbInteger, fnMonth},
    {"Day", 1, 1, dbInteger, fnDay},
    {"Hour", 1, 1, dbInteger, fnHour},
    {"Minute", 1, 1, dbInteger, fnMinute},
    {"Second", 1, 1, dbInteger, fnSecond},
    {"Weekday", 1, 2, dbInteger, fnWeekday},
    {"Date", 0, 0, dbDate, fnDate, Special::None, true, true},
    {"Now", 0, 0, dbDate, fnNow, Special::None, true, true},
    {"Time", 0, 0, dbDate, fnTime, Special::None, true, true},
    {"DateSerial", 3, 3, dbDate, fnDateSerial},
    {"TimeSerial", 3, 3, dbDate, fnTimeSerial},
    {"DateAdd", 3, 3, dbDate, fnDateAdd},
    {"DateDiff", 3, 4, dbLong, fnDateDiff},
    {"DatePart", 2, 3, dbInteger, fnDatePart},
    {"MonthName", 1, 2, dbText, fnMonthName},
    {"WeekdayName", 1, 3, dbText, fnWeekdayName},
    {"Format", 1, 2, dbText, fnFormat},
};

// Used by the emitter only; not names a statement can call.
const FunctionDef kInternal[] = {
    {"like", 2, 2, dbBoolean, fnLike},
    {"concat", 2, 2, dbText, fnConcat, Special::None, false},
    {"intdiv", 2, 2, dbLong, fnIntDiv},
    {"bxor", 2, 2, dbLong, fnBitXor},
    {"mod", 2, 2, dbLong, fnMod},
    {"pow", 2, 2, dbDouble, fnPow},
    {"date_plus", 2, 2, dbDate, fnDatePlus},
    {"date_minus", 2, 2, dbDouble, fnDateMinus},
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
        if (f.impl) registerOne(db, f);
    for (const auto& f : kInternal) registerOne(db, f);
    for (const auto& a : kAggregates)
        if (a.step)
            sqlite3_create_function_v2(db, a.sqlName, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, a.step,
                                       a.final, nullptr);
}

}  // namespace engine::sql
