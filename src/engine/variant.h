#pragma once
// Variant: one value of any field type, or Null, with the conversions the
// engine and the dialogs rely on and the default text form of every value.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

class Variant {
public:
    enum class Kind : std::uint8_t {
        Null, Boolean, Byte, Integer, Long, BigInt, Currency, Single, Double, Date, Text, Binary, GUID
    };

    Variant() = default;  // Null
    Variant(const char* text);
    Variant(std::string text);
    Variant(std::string_view text);
    Variant(int v);        // Long
    Variant(double v);     // Double
    explicit Variant(bool v);

    static Variant null() { return {}; }
    static Variant boolean(bool v);
    static Variant byte(std::uint8_t v);
    static Variant integer(std::int16_t v);
    static Variant longInt(std::int32_t v);
    static Variant bigInt(std::int64_t v);
    static Variant currencyScaled(std::int64_t tenThousandths);  // 1.5 is 15000
    static Variant currency(double v);                           // rounded to four places
    static Variant single(float v);
    static Variant dbl(double v);
    static Variant date(double oleDays);  // days since 1899-12-30, fraction is the time
    static Variant text(std::string v);
    static Variant binary(std::string bytes);
    static Variant guid(std::string canonical);  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isNumeric() const;   // Boolean through Double
    bool isText() const { return kind_ == Kind::Text; }

    // Raw access; meaningful only for the matching kinds.
    std::int64_t intValue() const { return i_; }          // Boolean (-1/0), Byte..BigInt, Currency scaled
    double realValue() const { return d_; }               // Single, Double, Date
    const std::string& bytes() const { return s_; }       // Text, Binary, GUID

    // Loose readings used by expressions and comparisons. Throw Error 3421
    // (conversion) when the value has no such reading; Null reads as 0 / "".
    double toDouble() const;
    std::int64_t toInt64() const;  // rounds half to even like the original engine
    bool toBool() const;

    // Default text form: dates "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", numbers with
    // "." and no grouping, Booleans "True"/"False", Null "".
    std::string toText() const;

    // The value converted to the given field type code; Null stays Null.
    // Throws Error 3421 when it does not convert and 3349 when it is out of range.
    Variant convertTo(int fieldType) const;

    // Text typed by a user converted to a field type ("" gives Null for
    // non-text types). Throws like convertTo.
    static Variant fromText(std::string_view text, int fieldType);

    // The value a Decimal field of `precision` digits, `scale` of them after the
    // point, holds: rounded to `scale` places, halves away from zero (from the
    // shortest decimal form, as Currency rounds), as a Double; Null stays Null.
    // Throws 3421 when it is no number and 3349 when its whole part needs more
    // than precision - scale digits.
    Variant toDecimal(int precision, int scale) const;

    // Same kind and same value (Null equals Null): for tests and caches.
    bool operator==(const Variant& other) const;

private:
    Kind kind_ = Kind::Null;
    std::int64_t i_ = 0;
    double d_ = 0;
    std::string s_;
};

// Dates are held as days since 1899-12-30 with the time of day as the fraction,
// as the original engine did; the calendar work is std::chrono's.
namespace dates {
struct Parts {
    int year, month, day, hour, minute, second;
};
double fromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
Parts toParts(double oleDays);
// Reads "YYYY-MM-DD[ HH:MM[:SS]]", "YYYY-MM-DDTHH:MM:SS", "M/D/YYYY[ H:MM[:SS][ AM|PM]]",
// "H:MM[:SS][ AM|PM]" (a time alone is on day 0). Nothing when the text is no date.
std::optional<double> parse(std::string_view text);
// "YYYY-MM-DD" when the time is midnight, else "YYYY-MM-DD HH:MM:SS".
std::string format(double oleDays);
}  // namespace dates

}  // namespace engine
