#include "engine/variant.h"

#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/error.h"
#include "engine/fieldtypes.h"

namespace engine {

namespace {

[[noreturn]] void conversionError() {
    throw Error(err::ConversionError, "Data type conversion error.");
}

[[noreturn]] void overflowError() {
    throw Error(err::ValueOutOfRange, "Numeric field overflow.");
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// A number written in decimal: value = digits * 10^exp10, digits without
// leading zeros (empty for zero). Kept as text so that Currency and whole
// numbers convert exactly, with no binary rounding on the way.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exp10 = 0;
};

// Reads "[+-]digits[.digits][e[+-]digits]" with blanks around; nothing else.
std::optional<Decimal> scanDecimal(std::string_view text) {
    std::string_view s = trim(text);
    Decimal d;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
    size_t mantissaDigits = 0;
    long long fractionDigits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (isDigit(c)) {
            ++mantissaDigits;
            if (point) ++fractionDigits;
            if (c != '0' || !d.digits.empty()) d.digits += c;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negExp = s[i++] == '-';
        size_t start = i;
        while (i < s.size() && isDigit(s[i])) {
            // Saturate: anything this large over- or underflows every type.
            if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (i == start) return std::nullopt;
        if (negExp) exponent = -exponent;
    }
    if (i != s.size()) return std::nullopt;
    d.exp10 = exponent - fractionDigits;
    return d;
}

// The decimal times 10^scale rounded to a whole number (half to even or half
// away from zero); nothing when it does not fit in 64 bits.
std::optional<std::int64_t> toScaled(const Decimal& d, int scale, bool halfEven) {
    if (d.digits.empty()) return 0;
    const long long n = static_cast<long long>(d.digits.size());
    const long long intLen = n + d.exp10 + scale;  // digits left of the point
    if (intLen > 20) return std::nullopt;
    using u128 = unsigned __int128;
    const u128 limit = d.negative ? (u128(1) << 63) : (u128(1) << 63) - 1;
    u128 mag = 0;
    for (long long k = 0; k < intLen; ++k) {
        mag = mag * 10 + (k < n ? d.digits[k] - '0' : 0);
        if (mag > limit) return std::nullopt;
    }
    if (intLen >= 0 && intLen < n) {
        const int first = d.digits[intLen] - '0';
        bool rest = false;
        for (long long k = intLen + 1; k < n && !rest; ++k) rest = d.digits[k] != '0';
        const bool up = first > 5 || (first == 5 && (rest || !halfEven || (mag & 1)));
        if (up && ++mag > limit) return std::nullopt;
    }
    return d.negative ? static_cast<std::int64_t>(-static_cast<__int128>(mag))
                      : static_cast<std::int64_t>(mag);
}

Decimal decimalOrThrow(std::string_view text) {
    auto d = scanDecimal(text);
    if (!d) conversionError();
    return *d;
}

std::int64_t scaledOrThrow(const Decimal& d, int scale, bool halfEven) {
    auto v = toScaled(d, scale, halfEven);
    if (!v) overflowError();
    return *v;
}

double doubleFromText(std::string_view text) {
    const Decimal d = decimalOrThrow(text);
    if (d.digits.empty()) return d.negative ? -0.0 : 0.0;
    std::string_view s = trim(text);
    if (s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Too small underflows to zero; too large does not fit.
        if (static_cast<long long>(d.digits.size()) + d.exp10 <= 0) return d.negative ? -0.0 : 0.0;
        overflowError();
    }
    if (ec != std::errc() || end != s.data() + s.size()) conversionError();
    return v;
}

// Shortest text that reads back as the same value: plain decimal for ordinary
// magnitudes, "1.5E+20" style for very large or very small ones.
template <typename Real>
std::string formatReal(Real v) {
    if (v == 0) return "0";
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
    char buf[128];
    const Real a = std::fabs(v);
    const bool exponent = a >= Real(1e15) || a < Real(1e-4);
    auto res = std::to_chars(buf, buf + sizeof buf, v,
                             exponent ? std::chars_format::scientific : std::chars_format::fixed);
    std::string out(buf, res.ptr);
    for (char& c : out)
        if (c == 'e') c = 'E';
    return out;
}

// Shortest decimal form of a double or float, for exact Currency rounding.
template <typename Real>
Decimal decimalOf(Real v) {
    if (!std::isfinite(v)) overflowError();
    char buf[128];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    return *scanDecimal(std::string_view(buf, res.ptr - buf));
}

// The double nearest to a decimal. Whole digits below 2^53 and a power of
// ten within 10^22 are both exact, so one multiplication or division rounds
// correctly; anything else is read back from text.
double nearestDouble(const Decimal& d) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d.digits.size() <= 15 && d.exp10 >= -22 && d.exp10 <= 22) {
        std::int64_t whole = 0;
        for (char c : d.digits) whole = whole * 10 + (c - '0');
        const double w = static_cast<double>(d.negative ? -whole : whole);
        return d.exp10 < 0 ? w / kPow10[-d.exp10] : w * kPow10[d.exp10];
    }
    const std::string text = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.exp10);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

std::string currencyText(std::int64_t scaled) {
    const bool negative = scaled < 0;
    const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(scaled)
                                       : static_cast<std::uint64_t>(scaled);
    char buf[32];
    char* p = buf;
    if (negative) *p++ = '-';
    p = std::to_chars(p, buf + sizeof buf, mag / 10000).ptr;
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (frac != 0) {
        *p++ = '.';
        for (unsigned div = 1000; frac != 0; div /= 10) {
            *p++ = static_cast<char>('0' + frac / div);
            frac %= div;
        }
    }
    return std::string(buf, p);
}

// Upper-case "{8-4-4-4-12}" from text with or without braces.
std::optional<std::string> canonicalGuid(std::string_view text) {
    std::string_view s = trim(text);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36) return std::nullopt;
    std::string out = "{";
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = upper(s[i]);
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !(isDigit(c) || (c >= 'A' && c <= 'F'))) return std::nullopt;
        out += c;
    }
    out += '}';
    return out;
}

// "{8-4-4-4-12}" in upper-case hexadecimal, as canonicalGuid writes it.
bool isCanonicalGuid(std::string_view s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const char c = s[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != '-' : !(isDigit(c) || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

// Whole-number range of the dates the engine keeps: 100-01-01 .. 9999-12-31.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDateExclusive = 2958466.0;

std::int64_t roundHalfEven(double v) {
    const double r = std::nearbyint(v);  // default rounding: to nearest, ties to even
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) overflowError();
    return static_cast<std::int64_t>(r);
}

std::int64_t inRange(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    if (v < lo || v > hi) overflowError();
    return v;
}

}  // namespace

// ---- construction ----

Variant::Variant(const char* text) {
    if (text) {
        kind_ = Kind::Text;
        s_ = text;
    }
}
Variant::Variant(std::string text) : kind_(Kind::Text), s_(std::move(text)) {}
Variant::Variant(std::string_view text) : kind_(Kind::Text), s_(text) {}
Variant::Variant(int v) : kind_(Kind::Long), i_(v) {}
Variant::Variant(double v) : kind_(Kind::Double), d_(v) {}
Variant::Variant(bool v) : kind_(Kind::Boolean), i_(v ? -1 : 0) {}

Variant Variant::boolean(bool v) { return Variant(v); }

Variant Variant::byte(std::uint8_t v) {
    Variant r;
    r.kind_ = Kind::Byte;
    r.i_ = v;
    return r;
}

Variant Variant::integer(std::int16_t v) {
    Variant r;
    r.kind_ = Kind::Integer;
    r.i_ = v;
    return r;
}

Variant Variant::longInt(std::int32_t v) { return Variant(static_cast<int>(v)); }

Variant Variant::bigInt(std::int64_t v) {
    Variant r;
    r.kind_ = Kind::BigInt;
    r.i_ = v;
    return r;
}

Variant Variant::currencyScaled(std::int64_t tenThousandths) {
    Variant r;
    r.kind_ = Kind::Currency;
    r.i_ = tenThousandths;
    return r;
}

Variant Variant::currency(double v) {
    // A value that is already within a hair of four places (every stored
    // Currency) needs no decimal rounding; below 1e9 the hair is far smaller
    // than any half step, so both ways give the same.
    if (std::fabs(v) < 1e9) {
        const double scaled = v * 10000.0;
        const double nearest = std::nearbyint(scaled);
        if (std::fabs(scaled - nearest) < 0.01) return currencyScaled(static_cast<std::int64_t>(nearest));
    }
    // The ends of the range are stored as the double nearest them, which lies
    // just beyond: they read back as the ends themselves.
    constexpr double kHighest = 922337203685477.5807, kLowest = -922337203685477.5808;
    if (v == kHighest) return currencyScaled(INT64_MAX);
    if (v == kLowest) return currencyScaled(INT64_MIN);
    // Round the shortest decimal form, so 1.00005 gives 1.0001 as written.
    return currencyScaled(scaledOrThrow(decimalOf(v), 4, false));
}

Variant Variant::single(float v) {
    Variant r;
    r.kind_ = Kind::Single;
    r.d_ = v;
    return r;
}

Variant Variant::dbl(double v) { return Variant(v); }

Variant Variant::date(double oleDays) {
    Variant r;
    r.kind_ = Kind::Date;
    r.d_ = oleDays;
    return r;
}

Variant Variant::text(std::string v) { return Variant(std::move(v)); }

Variant Variant::binary(std::string bytes) {
    Variant r;
    r.kind_ = Kind::Binary;
    r.s_ = std::move(bytes);
    return r;
}

Variant Variant::guid(std::string canonical) {
    Variant r;
    r.kind_ = Kind::GUID;
    // Stored GUIDs are canonical already and are kept as they are.
    if (isCanonicalGuid(canonical)) {
        r.s_ = std::move(canonical);
        return r;
    }
    auto g = canonicalGuid(canonical);
    if (!g) conversionError();
    r.s_ = std::move(*g);
    return r;
}

bool Variant::isNumeric() const {
    return kind_ >= Kind::Boolean && kind_ <= Kind::Double;
}

// ---- loose readings ----

double Variant::toDouble() const {
    switch (kind_) {
    case Kind::Null: return 0;
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt: return static_cast<double>(i_);
    case Kind::Currency: return static_cast<double>(i_) / 10000.0;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return d_;
    case Kind::Text: return doubleFromText(s_);
    case Kind::Binary:
    case Kind::GUID: break;
    }
    conversionError();
}

std::int64_t Variant::toInt64() const {
    switch (kind_) {
    case Kind::Null: return 0;
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt: return i_;
    case Kind::Currency: {
        std::int64_t q = i_ / 10000, r = i_ % 10000;
        const std::int64_t ar = r < 0 ? -r : r;
        if (ar > 5000 || (ar == 5000 && (q & 1))) q += r < 0 ? -1 : 1;
        return q;
    }
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return roundHalfEven(d_);
    case Kind::Text: return scaledOrThrow(decimalOrThrow(s_), 0, true);
    case Kind::Binary:
    case Kind::GUID: break;
    }
    conversionError();
}

bool Variant::toBool() const {
    switch (kind_) {
    case Kind::Null: return false;
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
    case Kind::Currency: return i_ != 0;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return d_ != 0;
    case Kind::Text: {
        const std::string_view t = trim(s_);
        for (auto w : {"True", "Yes", "On"})
            if (equalsNoCase(t, w)) return true;
        for (auto w : {"False", "No", "Off"})
            if (equalsNoCase(t, w)) return false;
        return !decimalOrThrow(t).digits.empty();
    }
    case Kind::Binary:
    case Kind::GUID: break;
    }
    conversionError();
}

// ---- text form ----

std::string Variant::toText() const {
    switch (kind_) {
    case Kind::Null: return {};
    case Kind::Boolean: return i_ ? "True" : "False";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt: return std::to_string(i_);
    case Kind::Currency: return currencyText(i_);
    case Kind::Single: return formatReal(static_cast<float>(d_));
    case Kind::Double: return formatReal(d_);
    case Kind::Date: return dates::format(d_);
    case Kind::Text:
    case Kind::Binary:
    case Kind::GUID: return s_;
    }
    return {};
}

// ---- conversion to a field type ----

Variant Variant::convertTo(int fieldType) const {
    if (isNull()) return {};
    switch (fieldType) {
    case dbBoolean: return boolean(toBool());
    case dbByte: return byte(static_cast<std::uint8_t>(inRange(toInt64(), 0, 255)));
    case dbInteger: return integer(static_cast<std::int16_t>(inRange(toInt64(), -32768, 32767)));
    case dbLong:
        return longInt(static_cast<std::int32_t>(inRange(toInt64(), -2147483648LL, 2147483647LL)));
    case dbBigInt: return bigInt(toInt64());
    case dbCurrency:
        switch (kind_) {
        case Kind::Currency: return *this;
        case Kind::Boolean:
        case Kind::Byte:
        case Kind::Integer:
        case Kind::Long:
        case Kind::BigInt:
            if (i_ > INT64_MAX / 10000 || i_ < INT64_MIN / 10000) overflowError();
            return currencyScaled(i_ * 10000);
        case Kind::Single:
            return currencyScaled(scaledOrThrow(decimalOf(static_cast<float>(d_)), 4, false));
        case Kind::Double:
        case Kind::Date: return currency(d_);
        case Kind::Text: return currencyScaled(scaledOrThrow(decimalOrThrow(s_), 4, false));
        default: conversionError();
        }
    case dbSingle: {
        if (kind_ == Kind::Single) return *this;
        const double v = toDouble();
        if (std::isfinite(v) && std::fabs(v) > FLT_MAX) overflowError();
        return single(static_cast<float>(v));
    }
    case dbDouble:
    case dbNumeric:
    case dbDecimal:
    case dbFloat: return dbl(toDouble());
    case dbDate:
    case dbTime:
    case dbTimeStamp: {
        if (kind_ == Kind::Date) return *this;
        if (kind_ == Kind::Text) {
            auto d = dates::parse(s_);
            if (!d) conversionError();
            return date(*d);
        }
        const double v = toDouble();
        if (!(v >= kMinDate && v < kMaxDateExclusive)) overflowError();
        return date(v);
    }
    case dbText:
    case dbMemo:
    case dbChar: return kind_ == Kind::Text ? *this : text(toText());
    case dbGUID:
        if (kind_ == Kind::GUID) return *this;
        if (kind_ != Kind::Text) conversionError();
        return guid(s_);
    case dbBinary:
    case dbLongBinary:
    case dbVarBinary: return binary(toText());
    default: conversionError();
    }
}

Variant Variant::fromText(std::string_view text, int fieldType) {
    if (text.empty()) {
        const bool textual = fieldType == dbText || fieldType == dbMemo || fieldType == dbChar;
        return textual ? Variant(std::string()) : Variant();
    }
    return Variant(text).convertTo(fieldType);
}

Variant Variant::toDecimal(int precision, int scale) const {
    Decimal d;
    switch (kind_) {
    case Kind::Null: return {};
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt: d = *scanDecimal(std::to_string(i_)); break;
    case Kind::Currency: d = *scanDecimal(currencyText(i_)); break;
    case Kind::Single: d = decimalOf(static_cast<float>(d_)); break;
    case Kind::Double:
    case Kind::Date: d = decimalOf(d_); break;
    case Kind::Text: d = decimalOrThrow(s_); break;
    default: conversionError();
    }
    // Cut the digits at 10^-scale, rounding the magnitude half up.
    if (d.exp10 < -scale) {
        const long long keep = static_cast<long long>(d.digits.size()) + d.exp10 + scale;
        if (keep < 0) {
            d.digits.clear();
        } else {
            const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
            d.digits.resize(static_cast<size_t>(keep));
            if (up) {
                size_t i = d.digits.size();
                while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
                if (i == 0) d.digits.insert(d.digits.begin(), '1');
                else ++d.digits[i - 1];
            }
        }
        d.exp10 = -scale;
    }
    if (d.digits.empty()) return dbl(0);
    const long long wholeDigits = static_cast<long long>(d.digits.size()) + d.exp10;
    if (wholeDigits > precision - scale) overflowError();
    return dbl(nearestDouble(d));
}

bool Variant::operator==(const Variant& other) const {
    if (kind_ != other.kind_) return false;
    switch (kind_) {
    case Kind::Null: return true;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return d_ == other.d_;
    case Kind::Text:
    case Kind::Binary:
    case Kind::GUID: return s_ == other.s_;
    default: return i_ == other.i_;
    }
}

// ---- dates ----

namespace dates {

namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Small cursor over date text.
struct Reader {
    std::string_view s;
    size_t i = 0;

    bool atEnd() const { return i == s.size(); }
    bool take(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    // Up to maxDigits digits; the count read goes to `count`.
    std::optional<int> number(int maxDigits, int* count = nullptr) {
        int v = 0, n = 0;
        while (i < s.size() && isDigit(s[i]) && n < maxDigits) v = v * 10 + (s[i++] - '0'), ++n;
        if (count) *count = n;
        if (n == 0) return std::nullopt;
        return v;
    }
    size_t blanks() {
        size_t n = 0;
        while (i < s.size() && isBlank(s[i])) ++i, ++n;
        return n;
    }
};

struct Clock {
    int hour = 0, minute = 0, second = 0;
};

// "H:MM[:SS[.fff]][ AM|PM]" up to the end of the text.
std::optional<Clock> readTime(Reader& r) {
    Clock c;
    auto h = r.number(2);
    if (!h || !r.take(':')) return std::nullopt;
    auto m = r.number(2);
    if (!m) return std::nullopt;
    c.hour = *h;
    c.minute = *m;
    bool roundUp = false;
    if (r.take(':')) {
        auto sec = r.number(2);
        if (!sec) return std::nullopt;
        c.second = *sec;
        if (r.take('.')) {
            int n = 0;
            auto first = r.number(1, &n);
            if (!first) return std::nullopt;
            roundUp = *first >= 5;
            while (!r.atEnd() && isDigit(r.s[r.i])) ++r.i;
        }
    }
    if (c.minute > 59 || c.second > 59) return std::nullopt;
    r.blanks();
    if (!r.atEnd()) {
        std::string_view rest = r.s.substr(r.i);
        const bool am = equalsNoCase(rest, "AM"), pm = equalsNoCase(rest, "PM");
        if (!am && !pm) return std::nullopt;
        if (c.hour < 1 || c.hour > 12) return std::nullopt;
        if (am && c.hour == 12) c.hour = 0;
        if (pm && c.hour != 12) c.hour += 12;
        r.i = r.s.size();
    }
    if (c.hour > 23) return std::nullopt;
    if (roundUp) ++c.second;  // fromParts carries a 60th second over
    return c;
}

std::optional<double> build(int y, int m, int d, const Clock& c) {
    if (y < 100 || y > 9999) return std::nullopt;
    if (!year_month_day{year{y}, month{unsigned(m)}, day{unsigned(d)}}.ok()) return std::nullopt;
    return fromParts(y, m, d, c.hour, c.minute, c.second);
}

// After a date: the end, or blanks (or "T" for ISO text) and a time.
std::optional<Clock> readOptionalTime(Reader& r, bool iso) {
    if (r.atEnd()) return Clock{};
    if (!(iso && r.take('T')) && r.blanks() == 0) return std::nullopt;
    if (r.atEnd()) return Clock{};
    return readTime(r);
}

}  // namespace

double fromParts(int y, int mo, int d, int h, int mi, int s) {
    // Out-of-range parts carry over (month 13 is January of the next year,
    // day 0 the last day of the month before), as date arithmetic expects.
    const long long totalMonths = static_cast<long long>(y) * 12 + (mo - 1);
    const long long yy = floorDiv(totalMonths, 12);
    const unsigned mm = static_cast<unsigned>(totalMonths - yy * 12 + 1);
    if (yy < -32000 || yy > 32000) overflowError();
    long long secs = static_cast<long long>(h) * 3600 + static_cast<long long>(mi) * 60 + s;
    const long long carry = floorDiv(secs, 86400);
    secs -= carry * 86400;
    const sys_days first = sys_days{year{static_cast<int>(yy)} / month{mm} / 1};
    const long long n = (first - kEpoch).count() + (d - 1) + carry;
    const double frac = static_cast<double>(secs) / 86400.0;
    // Before 1899-12-30 the day counts down but the time still counts up.
    return n >= 0 ? static_cast<double>(n) + frac : static_cast<double>(n) - frac;
}

Parts toParts(double oleDays) {
    if (!std::isfinite(oleDays) || std::fabs(oleDays) > 1e7) conversionError();
    const double whole = std::trunc(oleDays);
    long long n = static_cast<long long>(whole);
    long long secs = std::llround(std::fabs(oleDays - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        ++n;
    }
    const year_month_day ymd{kEpoch + days{n}};
    return Parts{int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                 int(secs / 3600), int(secs / 60 % 60), int(secs % 60)};
}

std::optional<double> parse(std::string_view text) {
    Reader r{trim(text)};
    if (r.atEnd()) return std::nullopt;
    int firstDigits = 0;
    auto first = r.number(4, &firstDigits);
    if (!first) return std::nullopt;

    if (r.take('-')) {  // YYYY-MM-DD
        if (firstDigits != 4) return std::nullopt;
        auto m = r.number(2);
        if (!m || !r.take('-')) return std::nullopt;
        auto d = r.number(2);
        if (!d) return std::nullopt;
        auto c = readOptionalTime(r, true);
        if (!c) return std::nullopt;
        return build(*first, *m, *d, *c);
    }
    if (r.take('/')) {  // M/D/Y, or Y/M/D when the first part has four digits
        auto second = r.number(2);
        if (!second || !r.take('/')) return std::nullopt;
        int yDigits = 0;
        auto third = r.number(4, &yDigits);
        if (!third) return std::nullopt;
        auto c = readOptionalTime(r, false);
        if (!c) return std::nullopt;
        if (firstDigits == 4) return build(*first, *second, *third, *c);
        if (firstDigits > 2) return std::nullopt;
        int y = *third;
        if (yDigits <= 2) y += y < 30 ? 2000 : 1900;
        return build(y, *first, *second, *c);
    }
    if (firstDigits <= 2) {  // a time alone, on day 0
        r.i = 0;
        auto c = readTime(r);
        if (!c) return std::nullopt;
        return fromParts(1899, 12, 30, c->hour, c->minute, c->second);
    }
    return std::nullopt;
}

std::string format(double oleDays) {
    const Parts p = toParts(oleDays);
    // Written digit by digit: dates are bound as text for every row a record
    // loop writes, and printf costs more than the rest of the conversion.
    char buf[40];
    char* o = buf;
    auto put = [&o](int v, int width) {
        char digits[12];
        int n = 0;
        unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
        do digits[n++] = static_cast<char>('0' + u % 10); while ((u /= 10) != 0);
        if (v < 0) *o++ = '-', --width;  // as %04d: the sign counts in the width
        for (int i = n; i < width; ++i) *o++ = '0';
        while (n > 0) *o++ = digits[--n];
    };
    put(p.year, 4), *o++ = '-', put(p.month, 2), *o++ = '-', put(p.day, 2);
    if (p.hour != 0 || p.minute != 0 || p.second != 0)
        *o++ = ' ', put(p.hour, 2), *o++ = ':', put(p.minute, 2), *o++ = ':', put(p.second, 2);
    return std::string(buf, o);
}

}  // namespace dates

}  // namespace engine
