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

// A memo file in one of the three block layouts; add() returns the block number.
struct MemoFile {
    enum Style { Dbt3, Dbt4, Fpt } style;
    int blockSize;
    std::string bytes = std::string(512, '\0');

    std::uint32_t add(const std::string& data, std::uint32_t fptType = 1) {
        bytes.resize((bytes.size() + blockSize - 1) / blockSize * blockSize, '\0');  // the header fills a block
        const auto block = static_cast<std::uint32_t>(bytes.size() / blockSize);
        if (style == Dbt3) bytes += data + "\x1A\x1A";
        if (style == Dbt4) bytes += "\xFF\xFF\x08" + std::string(1, '\0') + le(data.size() + 8, 4) + data;
        if (style == Fpt) bytes += be(fptType, 4) + be(data.size(), 4) + data;
        bytes.resize((bytes.size() + blockSize - 1) / blockSize * blockSize, '\0');
        return block;
    }
    std::string file() const {
        std::string s = bytes;
        const auto next = static_cast<std::uint32_t>(s.size() / blockSize);
        if (style == Fpt) s.replace(0, 8, be(next, 4) + std::string(2, '\0') + be(blockSize, 2));
        else s.replace(0, 4, le(next, 4));
        if (style == Dbt4) s.replace(20, 2, le(blockSize, 2));
        return s;
    }
};

}  // namespace dbfwriter
