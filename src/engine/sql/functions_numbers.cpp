// The dialect's number functions: the arithmetic operators the emitter calls,
// the conversions (CInt, CDec, Val, Hex...), Abs, Round and the like, and Format.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/sql/functions_impl.h"
#include "engine/sql/lexer.h"

namespace engine::sql::fn {

// ---------------------------------------------------------------- operators

void fnBitXor(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_int64(c, sqlite3_value_int64(v[0]) ^ sqlite3_value_int64(v[1]));
}
// Currency arithmetic kept to four places as round(x, 4) keeps it: the value
// times 10^4 rounded half away from zero. Away from a half the product decides
// alone; near one (or beyond 2^40) the value is printed and read back as round
// does, which costs ten times more.
void fnCurrency(sqlite3_context* c, int, sqlite3_value** v) {
    const double x = sqlite3_value_double(v[0]);
    const double scaled = x * 10000.0;
    if (std::fabs(scaled) < 1099511627776.0 && std::fabs(scaled - std::floor(scaled) - 0.5) > 1e-3)
        return sqlite3_result_double(c, std::round(scaled) / 10000.0);
    char* text = sqlite3_mprintf("%!.4f", x);
    const double r = text ? std::strtod(text, nullptr) : x;
    sqlite3_free(text);
    sqlite3_result_double(c, r);
}
// "/" always divides as real numbers, and by zero it fails like "\" does.
void fnDiv(sqlite3_context* c, int, sqlite3_value** v) {
    double b = numberOf(v[1]);
    if (b == 0) throw Fail{"Division by zero."};
    sqlite3_result_double(c, numberOf(v[0]) / b);
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

// A value bound for a Decimal field, ldg_decimal(value, precision, scale,
// field): rounded to the field's scale, 3349 when its whole part does not fit.
// What is no number passes unchanged, for the field's type check to refuse.
void fnDecimal(sqlite3_context* c, int, sqlite3_value** v) {
    Variant in;
    switch (sqlite3_value_type(v[0])) {
    case SQLITE_INTEGER: in = Variant::bigInt(sqlite3_value_int64(v[0])); break;
    case SQLITE_FLOAT: in = Variant::dbl(sqlite3_value_double(v[0])); break;
    case SQLITE_TEXT: in = Variant::text(textOf(v[0])); break;
    default: return sqlite3_result_value(c, v[0]);
    }
    try {
        Variant out = in.toDecimal(static_cast<int>(sqlite3_value_int(v[1])), static_cast<int>(sqlite3_value_int(v[2])));
        sqlite3_result_double(c, out.realValue());
    } catch (const Error& e) {
        if (e.number() != err::ValueOutOfRange) return sqlite3_result_value(c, v[0]);
        throw Error(err::ValueOutOfRange, "Numeric field overflow: the value does not fit field '" + textOf(v[3]) + "'.");
    }
}

// ---------------------------------------------------------------- conversion

namespace {
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
}  // namespace
void fnVal(sqlite3_context* c, int, sqlite3_value** v) {
    int t = sqlite3_value_type(v[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(c, v[0]);
    double d = valOf(textOf(v[0]));
    if (d == std::floor(d) && std::fabs(d) < 9e15) sqlite3_result_int64(c, static_cast<long long>(d));
    else sqlite3_result_double(c, d);
}
void fnCStr(sqlite3_context* c, int, sqlite3_value** v) { resultText(c, textOf(v[0])); }
namespace {
void toRange(sqlite3_context* c, sqlite3_value* v, double lo, double hi) {
    double d = std::nearbyint(numberOf(v));
    if (d < lo || d > hi) throw Fail{kOverflow};
    sqlite3_result_int64(c, static_cast<long long>(d));
}
}  // namespace
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
// Decimal values are held as doubles; a Double converts with its 15 significant
// digits, as the original does, so CDec(0.1 + 0.2) = 0.3.
void fnCDec(sqlite3_context* c, int, sqlite3_value** v) {
    double d = numberOf(v[0]);
    if (std::fabs(d) >= 7.9228162514264338e28) throw Fail{kOverflow};
    sqlite3_result_double(c, std::strtod(numberText(d).c_str(), nullptr));
}
void fnCVar(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_value(c, v[0]); }
void fnCBool(sqlite3_context* c, int, sqlite3_value** v) { resultBool(c, numberOf(v[0]) != 0); }
namespace {
// Hex and Oct: negative Longs show as their 32-bit pattern (Hex(-1) is FFFFFFFF).
void radixText(sqlite3_context* c, sqlite3_value* v, bool hex) {
    char b[32];
    long long n = intOf(v);
    unsigned long long bits = (n < 0 && n >= -2147483648LL) ? static_cast<unsigned>(static_cast<int>(n))
                                                            : static_cast<unsigned long long>(n);
    snprintf(b, sizeof b, hex ? "%llX" : "%llo", bits);
    resultText(c, b);
}
}  // namespace
void fnHex(sqlite3_context* c, int, sqlite3_value** v) { radixText(c, v[0], true); }
void fnOct(sqlite3_context* c, int, sqlite3_value** v) { radixText(c, v[0], false); }
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

// ---------------------------------------------------------------- numbers

namespace {
void resultNumber(sqlite3_context* c, sqlite3_value* like, double d) {
    if (sqlite3_value_type(like) == SQLITE_INTEGER && d == std::floor(d) && std::fabs(d) < 9e18)
        sqlite3_result_int64(c, static_cast<long long>(d));
    else
        sqlite3_result_double(c, d);
}
}  // namespace
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
    // The noise is a few units in the last place of `scaled`; where that is
    // no longer far below a half, the value is taken as it is.
    double nearest = std::nearbyint(scaled);
    double r = std::fabs(scaled - std::trunc(scaled));
    double noise = 1e-12 * std::max(1.0, std::fabs(scaled));
    if (noise < 0.25 && std::fabs(r - 0.5) < noise) {
        double lo = std::floor(scaled);
        nearest = std::fmod(lo, 2.0) == 0 ? lo : lo + 1;
    }
    resultNumber(c, v[0], nearest / scale);
}
namespace {
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
}  // namespace
void fnExp(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<expF>(c, n, v); }
void fnLog(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<logChecked>(c, n, v); }
void fnSin(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<sinF>(c, n, v); }
void fnCos(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<cosF>(c, n, v); }
void fnTan(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<tanF>(c, n, v); }
void fnAtn(sqlite3_context* c, int n, sqlite3_value** v) { fnMath<atnF>(c, n, v); }

// ---------------------------------------------------------------- Format

namespace {

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

// w is the weekday and ww the week of the year, counted from firstDay and firstWeek.
std::string formatDate(double d, const std::string& fmt, int firstDay = 1, int firstWeek = 1) {
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
            n = std::min<size_t>(run('w'), 2);
            out += std::to_string(n == 1 ? weekdayOf(d, firstDay) : weekOfYear(d, firstDay, firstWeek));
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

}  // namespace

void fnFormat(sqlite3_context* c, int n, sqlite3_value** v) {
    std::string fmt = n > 1 && !isNull(v[1]) ? textOf(v[1]) : "";
    int firstDay = firstDayArg(n, v, 2), firstWeek = firstWeekArg(n, v, 3);
    int t = sqlite3_value_type(v[0]);
    std::string text = textOf(v[0]);
    std::string key = lowerAscii(fmt);
    std::optional<double> num;
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) num = numberOf(v[0]);
    else num = parseNumber(text);
    std::optional<double> date;
    if (!num && t == SQLITE_TEXT) date = parseDateText(trimBlanks(text));
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
    if (hasDateTokens(fmt) && dateLike)
        return resultText(c, formatDate(dv, fmt, firstDay, firstWeek));
    if (num) return resultText(c, formatNumber(*num, fmt));
    resultText(c, text);
}

}  // namespace engine::sql::fn
