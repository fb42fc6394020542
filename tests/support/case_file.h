#pragma once
// Cases kept in a text file under tests/data: one a line, fields split at
// " | ", blank lines and lines starting with '#' skipped.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

struct CaseLine {
    int line = 0;
    std::vector<std::string> fields;
};

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
