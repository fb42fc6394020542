#include "engine/jet/jetpassword.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "engine/error.h"

namespace engine::jet {

namespace {

// RC4 as the file uses it: only to unscramble its first page.
void rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t n) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[static_cast<std::size_t>(i) % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Windows-1252 bytes 0x80-0x9F; the others are their own code points.
std::uint32_t fromWindows1252(unsigned char b) {
    static const std::uint16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
        0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return b >= 0x80 && b < 0xA0 ? high[b - 0x80] : b;
}

}  // namespace

std::string storedPassword(const std::string& path) {
    constexpr std::size_t kPage = 0x18 + 128;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> page(kPage);
    if (!in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size())))
        throw Error(err::NotADatabase, "Unrecognized database format '" + path + "'. The file is too short.");
    const bool jet3 = page[0x14] == 0;
    static const unsigned char kKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(kKey, sizeof kKey, page.data() + 0x18, jet3 ? 126 : 128);
    std::string password;
    if (jet3) {
        for (std::size_t i = 0x42; i < 0x42 + 20 && page[i] != 0; ++i) appendUtf8(password, fromWindows1252(page[i]));
        return password;
    }
    double created = 0;
    std::memcpy(&created, page.data() + 0x72, sizeof created);
    const auto days = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::isfinite(created) ? created : 0));
    const unsigned char mask[4] = {static_cast<unsigned char>(days), static_cast<unsigned char>(days >> 8),
                                   static_cast<unsigned char>(days >> 16), static_cast<unsigned char>(days >> 24)};
    for (std::size_t i = 0; i < 40; i += 2) {
        const std::uint32_t c = (page[0x42 + i] ^ mask[i % 4]) | (page[0x43 + i] ^ mask[(i + 1) % 4]) << 8;
        if (c == 0) break;
        appendUtf8(password, c);
    }
    return password;
}

void requirePassword(const std::string& path, const std::string& given) {
    const std::string stored = storedPassword(path);
    if (!stored.empty() && stored != given) throw Error(err::BadPassword, "Not a valid password.");
}

}  // namespace engine::jet
