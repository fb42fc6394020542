#pragma once
// DBF tables written byte by byte from the published header layout, for tests
// that need tables the shared samples lack.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace dbfwriter {

inline std::string le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}
inline std::string be(std::uint64_t v, int bytes) {
    std::string s = le(v, bytes);
    return {s.rbegin(), s.rend()};
}
inline std::string padded(std::string s, size_t n, char fill = ' ') { return s.resize(n, fill), s; }
inline std::string rightAligned(const std::string& s, size_t n) { return std::string(n - s.size(), ' ') + s; }

struct Col {
    std::string name;
    char type;
    int length, decimals = 0, flags = 0;
};

// A table of `rows` (each the bytes after the deletion mark; '*' before them
// marks a deleted one) in the header layout every level shares.
inline std::string dbfBytes(std::uint8_t version, std::uint8_t codePage, const std::vector<Col>& cols,
                     const std::vector<std::string>& rows) {
    const bool vfp = version == 0x30 || version == 0x31 || version == 0x32;
    int recordLength = 1;
    for (const auto& c : cols) recordLength += c.length;
    const int headerLength = 32 + 32 * static_cast<int>(cols.size()) + 1 + (vfp ? 263 : 0);
    std::string s;
    s += static_cast<char>(version);
    s += "\x7C\x0B\x1E";  // last update 2024-11-30
    s += le(rows.size(), 4) + le(headerLength, 2) + le(recordLength, 2) + std::string(17, '\0');
    s += static_cast<char>(codePage);
    s += std::string(2, '\0');
    for (int offset = 1; const auto& c : cols) {
        s += padded(c.name, 11, '\0') + c.type + le(vfp ? offset : 0, 4);
        s += {static_cast<char>(c.length), static_cast<char>(c.decimals), static_cast<char>(c.flags)};
        s += std::string(13, '\0');
        offset += c.length;
    }
    s += '\x0D' + std::string(vfp ? 263 : 0, '\0');
    for (const auto& r : rows) {
        const std::string rec = r.size() && r[0] == '*' ? r : " " + r;
        EXPECT_EQ(rec.size(), static_cast<size_t>(recordLength)) << "test row of the wrong length";
        s += rec;
    }
    return s + '\x1A';
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace dbfwriter
