#include "store/FieldCodec.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>

#include "store/ParadoxFormat.h"
#include "util/CodePage.h"
#include "util/NumberText.h"

namespace sivaro::px {

bool allZero(const std::uint8_t* bytes, int n) {
    for (int i = 0; i < n; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

std::int64_t decodeInt(const std::uint8_t* bytes, int n) {
    if (allZero(bytes, n)) return 0;
    if (n == 2) {
        const std::uint16_t raw = static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]) ^ 0x8000u;
        return static_cast<std::int16_t>(raw);
    }
    const std::uint32_t raw = ((std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
                               (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3])) ^
                              0x80000000u;
    return static_cast<std::int32_t>(raw);
}

void encodeInt(std::uint8_t* bytes, int n, std::int64_t value) {
    if (n == 2) {
        const std::uint16_t raw = static_cast<std::uint16_t>(value) ^ 0x8000u;
        bytes[0] = static_cast<std::uint8_t>(raw >> 8);
        bytes[1] = static_cast<std::uint8_t>(raw);
        return;
    }
    const std::uint32_t raw = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(raw >> (24 - 8 * i));
}

double decodeDouble(const std::uint8_t* bytes) {
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i) raw = (raw << 8) | bytes[i];
    if (raw & 0x8000000000000000ull)
        raw ^= 0x8000000000000000ull;
    else
        raw = ~raw;
    return std::bit_cast<double>(raw);
}

void encodeDouble(std::uint8_t* bytes, double value) {
    std::uint64_t raw = std::bit_cast<std::uint64_t>(value);
    if (raw & 0x8000000000000000ull)
        raw = ~raw;
    else
        raw ^= 0x8000000000000000ull;
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(raw >> (56 - 8 * i));
}

namespace {

// Shortest mantissa digits and decimal exponent that read back as `value` (value > 0),
// with at most maxDigits digits: value ~ 0.d1d2d3... x 10^(exponent + 1).
void shortestDigits(double value, int maxDigits, std::string& digits, int& exponent) {
    std::string text;
    for (int p = 1; p <= maxDigits; ++p) {
        text = scientificText(value, p - 1);
        double back = 0;
        if (p == maxDigits || (parseDecimal(text, back) && back == value)) break;
    }
    // text is d.ddde[+-]xx
    digits.clear();
    std::size_t c = 0;
    for (; c < text.size() && text[c] != 'e'; ++c)
        if (text[c] >= '0' && text[c] <= '9') digits += text[c];
    exponent = 0;
    if (c < text.size()) parseDecimalInt(std::string_view(text).substr(c + 1), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string formatNumber(double value, int maxDigits) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    std::string out = value < 0 ? "-" : "";
    std::string digits;
    int exponent = 0;
    shortestDigits(std::fabs(value), maxDigits, digits, exponent);
    const int n = static_cast<int>(digits.size());
    if (exponent >= 21 || exponent < -7) {
        out += digits.substr(0, 1);
        if (n > 1) out += "." + digits.substr(1);
        out += "E" + std::string(exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
        return out;
    }
    if (exponent < 0) {
        out += "0." + std::string(-exponent - 1, '0') + digits;
    } else if (exponent + 1 >= n) {
        out += digits + std::string(exponent + 1 - n, '0');
    } else {
        out += digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
    }
    return out;
}

std::string shortestNumber(double value) {
    return formatNumber(value, 17);
}

double decodeBcd(const std::uint8_t* bytes, int decimals) {
    const bool negative = (bytes[0] & kBcdPositive) == 0;
    const int stored = bytes[0] & kBcdDecimals;
    if (stored <= kBcdDigits) decimals = stored;
    if (decimals < 0 || decimals > kBcdDigits) decimals = 0;
    std::string text = negative ? "-" : "";
    for (int i = 0; i < kBcdDigits; ++i) {
        int nibble = (bytes[1 + i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0x0F;
        if (negative) nibble = 0x0F - nibble;
        if (nibble > 9) nibble = 0;  // digits past a double's precision may hold anything
        if (i == kBcdDigits - decimals) text += '.';
        text += static_cast<char>('0' + nibble);
    }
    double value = 0;
    parseDecimal(text, value);  // always digits and one point
    return value;
}

bool encodeBcd(std::uint8_t* bytes, int decimals, double value) {
    if (decimals < 0 || decimals > kBcdDigits || !std::isfinite(value)) return false;
    std::memset(bytes, 0, kBcdBytes);
    std::array<int, kBcdDigits> nib{};
    const bool negative = value < 0;
    if (value != 0) {
        std::string digits;
        int exponent = 0;
        shortestDigits(std::fabs(value), 17, digits, exponent);
        // Digits past the last decimal round half up into it.
        const int keep = exponent + 1 + decimals;  // digits that have a place
        if (keep < 0) {
            digits = "0";
        } else if (keep < static_cast<int>(digits.size())) {
            const bool up = digits[keep] >= '5';
            digits.resize(keep);
            int k = keep - 1;
            for (; up && k >= 0; --k) {
                if (digits[k] == '9') {
                    digits[k] = '0';
                } else {
                    ++digits[k];
                    break;
                }
            }
            if (up && k < 0) {
                digits.insert(digits.begin(), '1');
                ++exponent;
            }
            if (digits.empty()) digits = "0";
        }
        for (int k = 0; k < static_cast<int>(digits.size()); ++k) {
            const int power = exponent - k;                     // this digit stands for 10^power
            const int pos = kBcdDigits - 1 - decimals - power;  // its place among the digits
            if (pos < 0) return false;
            if (pos > kBcdDigits - 1) break;
            nib[pos] = digits[k] - '0';
        }
    }
    bytes[0] = static_cast<std::uint8_t>((negative ? 0 : kBcdPositive) | kBcdMark | decimals);
    for (int i = 0; i < kBcdDigits; ++i) {
        const int d = negative ? 0x0F - nib[i] : nib[i];
        bytes[1 + i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? d << 4 : d);
    }
    return true;
}

std::int64_t daysFromCivil(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return 0;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return 0;
    // Days since 1970-01-01 by the usual era arithmetic, then moved so 0001-01-01 is day 1.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t unixDays = std::int64_t(era) * 146097 + doe - 719468;
    return unixDays + 719163;
}

void civilFromDays(std::int64_t days, int& year, int& month, int& day) {
    // Far past any calendar a table can hold: shown as the zero date rather than overflow.
    if (days > 1000000000 || days < -1000000000) {
        year = month = day = 0;
        return;
    }
    const std::int64_t z = days - 719163 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2 ? 1 : 0));
}

namespace {

// Code points of bytes 0x80-0xFF of the DOS code pages that tables of the 3.x and 4.x era carry.
constexpr std::array<char16_t, 128> kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
constexpr std::array<char16_t, 128> kCp850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

struct Translation {
    std::array<char, 256> toEngine{};
    std::array<char, 256> toTable{};
};

Translation makeTranslation(const std::array<char16_t, 128>& table) {
    Translation t;
    for (int b = 0; b < 256; ++b) {
        t.toEngine[b] = static_cast<char>(b);
        t.toTable[b] = static_cast<char>(b);
    }
    // Each DOS byte to the Windows-1252 byte of the same character, and back; a character the
    // other code page lacks becomes '?'.
    for (int b = 128; b < 256; ++b) {
        const int engine = cp1252ByteOf(table[b - 128]);
        t.toEngine[b] = engine < 0 ? '?' : static_cast<char>(engine);
    }
    for (int c = 128; c < 256; ++c) {
        const char32_t cp = cp1252CodePoint(static_cast<unsigned char>(c));
        t.toTable[c] = '?';
        for (int b = 128; b < 256; ++b)
            if (table[b - 128] == cp) {
                t.toTable[c] = static_cast<char>(b);
                break;
            }
    }
    return t;
}

const Translation* translationFor(int codePage) {
    static const Translation k437 = makeTranslation(kCp437);
    static const Translation k850 = makeTranslation(kCp850);
    if (codePage == 437) return &k437;
    if (codePage == 850) return &k850;
    return nullptr;
}

}  // namespace

bool knownCodePage(int codePage) {
    return codePage == 437 || codePage == 850 || codePage == 1252 || codePage == 0;
}

std::string tableTextToEngine(std::string_view text, int codePage) {
    const Translation* t = translationFor(codePage);
    std::string out(text);
    if (t)
        for (char& c : out) c = t->toEngine[static_cast<unsigned char>(c)];
    return out;
}

std::string engineTextToTable(std::string_view text, int codePage) {
    const Translation* t = translationFor(codePage);
    std::string out(text);
    if (t)
        for (char& c : out) c = t->toTable[static_cast<unsigned char>(c)];
    return out;
}

}  // namespace sivaro::px
