#include "engine/sql/lexer.h"

#include <cctype>

namespace engine::sql {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Token::is(Tok k, std::string_view t) const { return kind == k && text == t; }

bool Token::isWord(std::string_view word) const { return kind == Tok::Name && equalsNoCase(text, word); }

namespace {

bool nameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool namePart(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

}  // namespace

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = s.size();
    // A NUL would end the text SQLite reads; no statement has one.
    if (size_t nul = s.find('\0'); nul != std::string_view::npos) throw LexError{nul};
    auto at = [&](size_t k) -> unsigned char { return k < n ? static_cast<unsigned char>(s[k]) : 0; };
    while (true) {
        while (i < n && std::isspace(at(i))) ++i;
        Token t;
        t.pos = i;
        if (i >= n) {
            t.kind = Tok::End;
            t.end = n;
            out.push_back(std::move(t));
            return out;
        }
        unsigned char c = at(i);
        if (nameStart(c)) {
            size_t j = i;
            while (j < n && namePart(at(j))) ++j;
            if (at(j) == '$') ++j;  // Left$, Format$: the text-only forms of functions
            t.kind = Tok::Name;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else if (c == '[' || c == '`') {
            // [name] and `name` both quote a name.
            size_t j = s.find(c == '[' ? ']' : '`', i + 1);
            if (j == std::string_view::npos) throw LexError{i};
            t.kind = Tok::Bracketed;
            t.text = std::string(s.substr(i + 1, j - i - 1));
            i = j + 1;
        } else if (c == '\'' || c == '"') {
            size_t j = i + 1;
            std::string v;
            while (true) {
                if (j >= n) throw LexError{i};
                if (at(j) == c) {
                    if (at(j + 1) == c) {
                        v += static_cast<char>(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                v += s[j++];
            }
            t.kind = Tok::String;
            t.text = std::move(v);
            i = j + 1;
        } else if (std::isdigit(c) || (c == '.' && std::isdigit(at(i + 1)))) {
            size_t j = i;
            while (std::isdigit(at(j))) ++j;
            if (at(j) == '.') {
                ++j;
                while (std::isdigit(at(j))) ++j;
            }
            if ((at(j) == 'e' || at(j) == 'E') &&
                (std::isdigit(at(j + 1)) || ((at(j + 1) == '+' || at(j + 1) == '-') && std::isdigit(at(j + 2))))) {
                j += 2;
                while (std::isdigit(at(j))) ++j;
            }
            if (nameStart(at(j))) throw LexError{j};  // 12abc
            t.kind = Tok::Number;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else if (c == '#') {
            size_t j = s.find('#', i + 1);
            if (j == std::string_view::npos) throw LexError{i};
            t.kind = Tok::Date;
            t.text = std::string(s.substr(i + 1, j - i - 1));
            i = j + 1;
        } else {
            t.kind = Tok::Symbol;
            std::string_view pair = s.substr(i, 2);
            if (pair == "<=" || pair == ">=" || pair == "<>") {
                t.text = std::string(pair);
                i += 2;
            } else {
                static const std::string_view single = "(),.;!*+-/\\^&=<>";
                if (single.find(static_cast<char>(c)) == std::string_view::npos) throw LexError{i};
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.end = i;
        out.push_back(std::move(t));
    }
}

}  // namespace engine::sql
