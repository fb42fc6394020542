// The dialect's date functions: reading date text, the parts of a date,
// DateAdd, DateDiff, DatePart and the names of months and weekdays. Dates are
// days since 1899-12-30 with the time as the fraction (see engine/variant.h).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/functions_impl.h"
#include "engine/sql/lexer.h"

namespace engine::sql::fn {

// ---------------------------------------------------------------- operators

void fnDatePlus(sqlite3_context* c, int, sqlite3_value** v) { resultDate(c, dateOf(v[0]) + numberOf(v[1])); }
void fnDateMinus(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_double(c, dateOf(v[0]) - dateOf(v[1]));
}

// ---------------------------------------------------------------- conversions

// Text that is no date is a type mismatch (13) for the conversions.
void fnCDate(sqlite3_context* c, int, sqlite3_value** v) { resultDate(c, dateOf(v[0], kNotADate)); }
void fnTimeValue(sqlite3_context* c, int, sqlite3_value** v) {
    double d = dateOf(v[0], kNotADate);
    resultDate(c, d - std::floor(d));
}
void fnDateValue(sqlite3_context* c, int, sqlite3_value** v) {
    resultDate(c, std::floor(dateOf(v[0], kNotADate)));
}
void fnIsDate(sqlite3_context* c, int, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) != SQLITE_TEXT) return resultBool(c, false);
    resultBool(c, parseDateText(trimBlanks(textOf(v[0]))).has_value());
}

// ---------------------------------------------------------------- parts

namespace {
dates::Parts partsOf(sqlite3_value* v) { return partsOfDay(dateOf(v)); }
}  // namespace
void fnYear(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).year); }
void fnMonth(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).month); }
void fnDay(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).day); }
void fnHour(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).hour); }
void fnMinute(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).minute); }
void fnSecond(sqlite3_context* c, int, sqlite3_value** v) { sqlite3_result_int(c, partsOf(v[0]).second); }

namespace {
double nowDays() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dates::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec);
}
}  // namespace
void fnNow(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, nowDays()); }
void fnDate(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, std::floor(nowDays())); }
void fnTime(sqlite3_context* c, int, sqlite3_value**) {
    double d = nowDays();
    resultDate(c, d - std::floor(d));
}
// Date$ and Time$: today as "mm-dd-yyyy", the time as "hh:mm:ss".
void fnDateText(sqlite3_context* c, int, sqlite3_value**) {
    dates::Parts p = partsOfDay(nowDays());
    char b[32];
    snprintf(b, sizeof b, "%02d-%02d-%04d", p.month, p.day, p.year);
    resultText(c, b);
}
void fnTimeText(sqlite3_context* c, int, sqlite3_value**) {
    dates::Parts p = partsOfDay(nowDays());
    char b[32];
    snprintf(b, sizeof b, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    resultText(c, b);
}

namespace {
int weekdayOfDay(long long d, int first) {
    int sundayBased = static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;  // day 0 (1899-12-30) was a Saturday
    return ((sundayBased - first) % 7 + 7) % 7 + 1;
}
}  // namespace
int weekdayOf(double days, int first) {
    return weekdayOfDay(static_cast<long long>(std::floor(checkedDay(days))), first);
}
int firstDayArg(int n, sqlite3_value** v, int index) {
    if (n <= index || isNull(v[index])) return 1;
    long long f = intOf(v[index]);
    if (f < 0 || f > 7) throw Fail{kInvalidCall};
    return f == 0 ? 1 : static_cast<int>(f);
}
int firstWeekArg(int n, sqlite3_value** v, int index) {
    if (n <= index || isNull(v[index])) return 1;
    long long f = intOf(v[index]);
    if (f < 0 || f > 3) throw Fail{kInvalidCall};
    return f == 0 ? 1 : static_cast<int>(f);
}

namespace {
// The day week 1 of `year` starts on (also for the years just outside 100..9999).
long long firstWeekStart(int year, int firstDay, int firstWeek) {
    long long jan1 = static_cast<long long>(dates::fromParts(year, 1, 1));
    int wd = weekdayOfDay(jan1, firstDay);  // 1 when January 1 starts a week
    long long start = jan1 - (wd - 1);
    if (firstWeek == 2 && wd > 4) start += 7;  // fewer than four days of that week are in the year
    if (firstWeek == 3 && wd > 1) start += 7;  // that week is not a full week of the year
    return start;
}
}  // namespace

// Days before week 1 belong to the last week of the year before; with
// four-day weeks the last days of December can be week 1 of the next year.
int weekOfYear(double days, int firstDay, int firstWeek) {
    long long d = static_cast<long long>(std::floor(checkedDay(days)));
    int year = partsOfDay(days).year;
    long long start = firstWeekStart(year, firstDay, firstWeek);
    if (d < start) start = firstWeekStart(year - 1, firstDay, firstWeek);
    else if (firstWeek == 2 && d >= firstWeekStart(year + 1, firstDay, firstWeek)) return 1;
    return static_cast<int>((d - start) / 7 + 1);
}

void fnWeekday(sqlite3_context* c, int n, sqlite3_value** v) {
    sqlite3_result_int(c, weekdayOf(dateOf(v[0]), firstDayArg(n, v, 1)));
}

namespace {
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
}  // namespace
void fnDateSerial(sqlite3_context* c, int, sqlite3_value** v) {
    resultDate(c, serial(smallInt(v[0]), smallInt(v[1]), smallInt(v[2])));
}
void fnTimeSerial(sqlite3_context* c, int, sqlite3_value** v) {
    double secs = static_cast<double>(smallInt(v[0]) * 3600 + smallInt(v[1]) * 60 + smallInt(v[2]));
    resultDate(c, secs / 86400.0);
}

namespace {
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
}  // namespace

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
// "w" counts whole weeks, "ww" the first days of weeks in (date1, date2].
void fnDateDiff(sqlite3_context* c, int n, sqlite3_value** v) {
    Unit u = unitOf(v[0]);
    double a = dateOf(v[1]), b = dateOf(v[2]);
    int first = firstDayArg(n, v, 3);
    firstWeekArg(n, v, 4);  // checked; no difference depends on it
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
    int firstWeek = firstWeekArg(n, v, 3);
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
    case Unit::Week: r = weekOfYear(d, first, firstWeek); break;
    case Unit::Hour: r = p.hour; break;
    case Unit::Minute: r = p.minute; break;
    case Unit::Second: r = p.second; break;
    }
    sqlite3_result_int64(c, r);
}

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

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

// ---------------------------------------------------------------- date text

namespace {

struct Word {
    enum Kind { Letters, Digits, Mark } kind;
    std::string text;
};

// Letters, digits and the marks , - / . : of date text; blanks only separate.
std::optional<std::vector<Word>> words(std::string_view s) {
    std::vector<Word> out;
    auto isLetter = [](char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); };
    auto isDigit = [](char ch) { return ch >= '0' && ch <= '9'; };
    for (size_t i = 0; i < s.size();) {
        char ch = s[i];
        if (ch == ' ' || ch == '\t') {
            ++i;
        } else if (isLetter(ch) || isDigit(ch)) {
            bool letters = isLetter(ch);
            size_t j = i;
            while (j < s.size() && (letters ? isLetter(s[j]) : isDigit(s[j]))) ++j;
            out.push_back({letters ? Word::Letters : Word::Digits, std::string(s.substr(i, j - i))});
            i = j;
        } else if (ch == ',' || ch == '-' || ch == '/' || ch == '.' || ch == ':') {
            out.push_back({Word::Mark, std::string(1, ch)});
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// 1..12 for a month's name or its first three letters ("Sept" too), else 0.
int monthNamed(const std::string& w) {
    std::string l = lowerAscii(w);
    if (l == "sept") return 9;
    for (int m = 0; m < 12; ++m) {
        std::string name = lowerAscii(kMonths[m]);
        if (l == name || (l.size() == 3 && name.compare(0, 3, l) == 0)) return m + 1;
    }
    return 0;
}
bool weekdayNamed(const std::string& w) {
    std::string l = lowerAscii(w);
    for (const char* day : kDays) {
        std::string name = lowerAscii(day);
        if (l == name || (l.size() == 3 && name.compare(0, 3, l) == 0)) return true;
    }
    return false;
}
bool isAmPm(const Word& w) {
    return w.kind == Word::Letters && (equalsNoCase(w.text, "am") || equalsNoCase(w.text, "pm"));
}

// "H[:MM[:SS]] [AM|PM]" from words[i] to the end: seconds of the day.
std::optional<int> readClock(const std::vector<Word>& w, size_t i) {
    int part[3] = {0, 0, 0};
    int parts = 0;
    while (true) {
        if (i >= w.size() || w[i].kind != Word::Digits || w[i].text.size() > 2) return std::nullopt;
        part[parts++] = std::stoi(w[i++].text);
        if (parts == 3 || i >= w.size() || w[i].text != ":") break;
        ++i;
    }
    int h = part[0];
    if (i < w.size() && isAmPm(w[i])) {
        if (h < 1 || h > 12) return std::nullopt;
        bool pm = equalsNoCase(w[i].text, "pm");
        h = h % 12 + (pm ? 12 : 0);
        ++i;
    }
    if (i != w.size() || h > 23 || part[1] > 59 || part[2] > 59) return std::nullopt;
    return h * 3600 + part[1] * 60 + part[2];
}

int windowedYear(const Word& w) {
    int y = std::stoi(w.text);
    return w.text.size() <= 2 ? y + (y < 30 ? 2000 : 1900) : y;
}

// The date before a time: "Apr 6, 2003", "6 April 2003", "2003 Apr 6",
// "Wednesday, April 6, 2003", "Apr 6" (this year), "Apr 2003" (the 1st), or m-d-y.
struct Ymd {
    int y, m, d;
};
std::optional<Ymd> readDay(const std::vector<Word>& w, size_t end) {
    int month = 0;
    std::vector<const Word*> numbers;
    bool named = false;
    for (size_t i = 0; i < end; ++i) {
        const Word& x = w[i];
        if (x.kind == Word::Digits) {
            if (x.text.size() > 4) return std::nullopt;
            numbers.push_back(&x);
        } else if (x.kind == Word::Letters) {
            if (int m = monthNamed(x.text); m && !month) month = m, named = true;
            else if (!(i == 0 && weekdayNamed(x.text))) return std::nullopt;
        } else if (x.text == ":") {
            return std::nullopt;
        }
    }
    int y = 0, d = 1;
    if (!named) {  // m-d-y with dashes, as Date$ writes it
        if (end != 5 || w[1].text != "-" || w[3].text != "-" || numbers.size() != 3) return std::nullopt;
        if (numbers[0]->text.size() > 2 || numbers[1]->text.size() > 2) return std::nullopt;
        month = std::stoi(numbers[0]->text);
        d = std::stoi(numbers[1]->text);
        y = windowedYear(*numbers[2]);
    } else if (numbers.size() == 2) {
        // The number of three or four digits is the year; else day then year.
        bool yearFirst = numbers[0]->text.size() >= 3;
        d = std::stoi(numbers[yearFirst ? 1 : 0]->text);
        y = windowedYear(*numbers[yearFirst ? 0 : 1]);
        if (numbers[yearFirst ? 1 : 0]->text.size() > 2) return std::nullopt;
    } else if (numbers.size() == 1) {
        // A day of this year when it can be one, else a year.
        int thisYear = partsOfDay(nowDays()).year;
        int n = std::stoi(numbers[0]->text);
        if (numbers[0]->text.size() <= 2 && n >= 1 && n <= daysInMonth(thisYear, month)) y = thisYear, d = n;
        else y = windowedYear(*numbers[0]);
    } else {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || y < 100 || y > 9999 || d < 1 || d > daysInMonth(y, month)) return std::nullopt;
    return Ymd{y, month, d};
}

}  // namespace

std::optional<double> parseDateText(std::string_view text) {
    if (auto d = dates::parse(text)) return d;
    auto w = words(text);
    if (!w || w->empty()) return std::nullopt;
    // The time starts at the first number followed by ':' or by AM/PM.
    size_t t = 0;
    while (t < w->size() && !((*w)[t].kind == Word::Digits && t + 1 < w->size() &&
                              ((*w)[t + 1].text == ":" || isAmPm((*w)[t + 1]))))
        ++t;
    int seconds = 0;
    if (t < w->size()) {
        auto clock = readClock(*w, t);
        if (!clock) return std::nullopt;
        seconds = *clock;
    }
    if (t == 0) return dates::fromParts(1899, 12, 30, 0, 0, seconds);  // a time alone is on day 0
    auto day = readDay(*w, t);
    if (!day) return std::nullopt;
    return dates::fromParts(day->y, day->m, day->d, 0, 0, seconds);
}

}  // namespace engine::sql::fn
