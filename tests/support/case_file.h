#pragma once
// Cases kept in a text file under tests/data: one a line, fields split at
// " | ", blank lines and lines starting with '#' skipped.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

struct CaseLine { int line = 0; std::vector<std::string> fields; };

// The text of a field written "..." with \n, \r, \t and \xNN escapes.
inline std::string unquoted(const std::string& q) {
    std::string out;
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] != '\\') out += q[i];
        else if (q[++i] == 'x') out += char(std::stoi(q.substr(i + 1, 2), nullptr, 16)), i += 2;
        else out += q[i] == 'n' ? '\n' : q[i] == 'r' ? '\r' : q[i] == 't' ? '\t' : q[i];
    }
    return out;
}

// The items of a list written "a, b, c".
inline std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    for (size_t at = 0, next = 0; next != std::string::npos; at = next + 2)
        out.push_back(list.substr(at, (next = list.find(", ", at)) - at));
    return out;
}

// The lines of `path` whose first field is `key`, with that field dropped.
inline std::vector<CaseLine> readCases(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    if (!in) ADD_FAILURE() << "cannot read " << path;
    std::vector<CaseLine> out;
    int number = 0;
    for (std::string text; std::getline(in, text);) {
        ++number;
        if (text.empty() || text[0] == '#') continue;
        CaseLine c{number, {}};
        for (size_t start = 0;;) {
            size_t at = text.find(" | ", start);
            c.fields.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
            if (at == std::string::npos) break;
            start = at + 3;
        }
        if (c.fields[0] != key) continue;
        c.fields.erase(c.fields.begin());
        out.push_back(c);
    }
    if (out.empty()) ADD_FAILURE() << "no '" << key << "' cases in " << path;
    return out;
}
