#include "engine/jet/jetpassword.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "engine/error.h"
#include "engine/jet/jetfile.h"

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
    const unsigned char* stored = page.data() + 0x42;
    if (jet3) {
        const size_t n = std::find(stored, stored + 20, 0) - stored;
        return File::windows1252ToUtf8(std::string(reinterpret_cast<const char*>(stored), n));
    }
    double created = 0;
    std::memcpy(&created, page.data() + 0x72, sizeof created);
    const auto days = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::isfinite(created) ? created : 0));
    unsigned char units[40];
    size_t n = 0;
    for (; n < sizeof units; n += 2) {
        units[n] = static_cast<unsigned char>(stored[n] ^ (days >> (8 * (n % 4))));
        units[n + 1] = static_cast<unsigned char>(stored[n + 1] ^ (days >> (8 * ((n + 1) % 4))));
        if (units[n] == 0 && units[n + 1] == 0) break;
    }
    return File::ucs2ToUtf8(units, n);
}

void requirePassword(const std::string& path, const std::string& given) {
    const std::string stored = storedPassword(path);
    if (!stored.empty() && stored != given) throw Error(err::BadPassword, "Not a valid password.");
}

}  // namespace engine::jet
