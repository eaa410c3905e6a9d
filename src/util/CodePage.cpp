#include "util/CodePage.h"

#include <array>
#include <cstdint>

namespace sivaro {

namespace {

// Code points of bytes 0x80-0x9F; the undefined five keep their own number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t codePointOf(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh[b - 0x80];
    return b;
}

int byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp) return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when malformed.
size_t decodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len;
    char32_t min;
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
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

char32_t cp1252CodePoint(unsigned char byte) {
    return codePointOf(byte);
}

int cp1252ByteOf(char32_t codePoint) {
    return byteOf(codePoint);
}

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            out += text[i];
            ++i;
            continue;
        }
        const int b = byteOf(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
        i += len;
    }
    return out;
}

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

char upper1252(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
    if (b >= 224 && b <= 254 && b != 247) return static_cast<char>(b - 32);
    switch (b) {
        case 154:
            return static_cast<char>(138);
        case 156:
            return static_cast<char>(140);
        case 158:
            return static_cast<char>(142);
        case 255:
            return static_cast<char>(159);
        default:
            return c;
    }
}

char lower1252(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
    if (b >= 192 && b <= 222 && b != 215) return static_cast<char>(b + 32);
    switch (b) {
        case 138:
            return static_cast<char>(154);
        case 140:
            return static_cast<char>(156);
        case 142:
            return static_cast<char>(158);
        case 159:
            return static_cast<char>(255);
        default:
            return c;
    }
}

std::string upper1252(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upper1252(c);
    return out;
}

std::string lower1252(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower1252(c);
    return out;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names are looked up for every field of every record: the capitals come from a table, and
    // texts spelled alike need no folding at all.
    static const std::array<unsigned char, 256> upper = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<size_t>(i)] = static_cast<unsigned char>(upper1252(static_cast<char>(i)));
        return t;
    }();
    if (a == b) return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper[static_cast<unsigned char>(a[i])] != upper[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

}  // namespace sivaro
