#pragma once
// "Não há"_cp1252: a UTF-8 literal of the source as the engine's Windows-1252 bytes, converted
// while compiling; a character the code page lacks, or bytes that are not UTF-8, do not compile.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sivaro {

namespace cp1252 {

// Code points of bytes 0x80-0x9F; the undefined five keep their own number.
inline constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of a code point, -1 when the code page has none.
constexpr int byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[static_cast<std::size_t>(i)] == cp) return 0x80 + i;
    return -1;
}

// Length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when malformed.
constexpr std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// A literal's bytes in the code page, made while compiling.
template <std::size_t N>
struct Text {
    char bytes[N] = {};
    std::size_t size = 0;
    consteval Text(const char (&utf8)[N]) {
        const std::string_view text(utf8, N - 1);
        for (std::size_t i = 0; i < text.size();) {
            char32_t cp = 0;
            const std::size_t len = decodeUtf8(text, i, cp);
            if (len == 0) throw "the literal is not UTF-8";
            const int b = byteOf(cp);
            if (b < 0) throw "a character of the literal has no Windows-1252 byte";
            bytes[size++] = static_cast<char>(b);
            i += len;
        }
    }
};

}  // namespace cp1252

template <cp1252::Text text>
std::string operator""_cp1252() {
    return std::string(text.bytes, text.size);
}

}  // namespace sivaro
