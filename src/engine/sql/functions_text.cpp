// The dialect's text functions: Like matching, &, Len, Left, Mid, InStr,
// Replace, StrConv... counting characters of UTF-8 text, not bytes.
#include <algorithm>
#include <string>

#include "engine/sql/functions_impl.h"

namespace engine::sql::fn {

namespace {
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
}  // namespace

// ---------------------------------------------------------------- Like

namespace {

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

}  // namespace

void fnLike(sqlite3_context* c, int, sqlite3_value** v) {
    std::u32string s = decode(fold(textOf(v[0]))), p = decode(fold(textOf(v[1])));
    sqlite3_result_int(c, likeMatch(s, p) ? 1 : 0);
}

// ---------------------------------------------------------------- &

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

// ---------------------------------------------------------------- text

void fnLen(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_int64(c, static_cast<long long>(charCount(textOf(v[0]))));
}
namespace {
long long lengthArg(sqlite3_value* v) {
    long long n = intOf(v);
    if (n < 0) throw Fail{kInvalidCall};
    return n;
}
}  // namespace
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

// StrConv(text, conversion): 1 upper case, 2 lower case, 3 the first letter of
// each word upper and the rest lower. Words are separated by white space only,
// so "o'neil" becomes "O'neil". The other conversions (wide, narrow, kana,
// code pages) have no meaning here and are refused.
void fnStrConv(sqlite3_context* c, int, sqlite3_value** v) {
    std::string s = textOf(v[0]);
    switch (intOf(v[1])) {
    case 1: return resultText(c, mapCase(s, true));
    case 2: return resultText(c, mapCase(s, false));
    case 3: {
        std::u32string u = decode(mapCase(s, false));
        bool wordStart = true;
        for (char32_t& ch : u) {
            if (wordStart) ch = decode(mapCase(encode(std::u32string(1, ch)), true))[0];
            wordStart = ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f' || ch == 0;
        }
        return resultText(c, encode(u));
    }
    default: throw Fail{kInvalidCall};
    }
}

}  // namespace engine::sql::fn
