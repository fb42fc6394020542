#pragma once
// Splits a statement of our dialect into tokens. Keywords are not told apart
// from names here: the parser compares plain names case-insensitively.
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

enum class Tok {
    Name,      // plain name or keyword: Orders, SELECT
    Bracketed, // [Order Details]: always a name, never a keyword
    String,    // 'text' or "text", quotes removed and doubled quotes undone
    Number,    // 12, 3.5, 1E3
    Date,      // #1/31/2024#: text between the hashes
    Symbol,    // ( ) , . ; ! * + - / \ ^ & = < > <= >= <>
    End,
};

struct Token {
    Tok kind = Tok::End;
    std::string text;
    size_t pos = 0;  // byte offset in the statement
    size_t end = 0;  // offset just past the token

    bool is(Tok k, std::string_view t) const;
    bool isSymbol(std::string_view t) const { return kind == Tok::Symbol && text == t; }
    // A plain name equal to `word`, ignoring case.
    bool isWord(std::string_view word) const;
};

struct LexError {
    size_t pos;
};

// Throws LexError at an unterminated string, name or date, or a stray character.
std::vector<Token> tokenize(std::string_view text);

bool equalsNoCase(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view s);

}  // namespace engine::sql
