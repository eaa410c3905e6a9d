#include "util/CodePage.h"

#include "util/Cp1252Literal.h"

#include <array>
#include <cstdint>

namespace sivaro {

namespace {

using cp1252::byteOf;
using cp1252::decodeUtf8;
using cp1252::kHigh;

char32_t codePointOf(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh[b - 0x80];
    return b;
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
