#pragma once
// UTF-8 text from code points and from UTF-16 code units.
#include <cstddef>
#include <cstdint>
#include <string>

namespace engine::utf8 {

// Appends one code point.
void append(std::string& out, std::uint32_t codePoint);

// Appends `count` UTF-16 code units, the i-th given by unitAt(i): a pair of
// surrogates makes one character, a lone surrogate becomes U+FFFD.
template <class UnitAt>
void appendUtf16(std::string& out, std::size_t count, UnitAt unitAt) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t c = unitAt(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            const std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                append(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        append(out, c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
    }
}

}  // namespace engine::utf8
