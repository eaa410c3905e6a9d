#include "barcode/Code128.h"

#include <string>

#include "util/Errors.h"

namespace sivaro {

namespace {

// Symbol character patterns by value, 3 bars and 3 spaces in 11 modules (ISO/IEC 15417);
// six values a row, 0 to 5 first.
constexpr std::string_view kSymbols[106] = {
    "11011001100", "11001101100", "11001100110", "10010011000", "10010001100", "10001001100",
    "10011001000", "10011000100", "10001100100", "11001001000", "11001000100", "11000100100",
    "10110011100", "10011011100", "10011001110", "10111001100", "10011101100", "10011100110",
    "11001110010", "11001011100", "11001001110", "11011100100", "11001110100", "11101101110",
    "11101001100", "11100101100", "11100100110", "11101100100", "11100110100", "11100110010",
    "11011011000", "11011000110", "11000110110", "10100011000", "10001011000", "10001000110",
    "10110001000", "10001101000", "10001100010", "11010001000", "11000101000", "11000100010",
    "10110111000", "10110001110", "10001101110", "10111011000", "10111000110", "10001110110",
    "11101110110", "11010001110", "11000101110", "11011101000", "11011100010", "11011101110",
    "11101011000", "11101000110", "11100010110", "11101101000", "11101100010", "11100011010",
    "11101111010", "11001000010", "11110001010", "10100110000", "10100001100", "10010110000",
    "10010000110", "10000101100", "10000100110", "10110010000", "10110000100", "10011010000",
    "10011000010", "10000110100", "10000110010", "11000010010", "11001010000", "11110111010",
    "11000010100", "10001111010", "10100111100", "10010111100", "10010011110", "10111100100",
    "10011110100", "10011110010", "11110100100", "11110010100", "11110010010", "11011011110",
    "11011110110", "11110110110", "10101111000", "10100011110", "10001011110", "10111101000",
    "10111100010", "11110101000", "11110100010", "10111011110", "10111101110", "11101011110",
    "11110101110", "11010000100", "11010010000", "11010011100",
};

// Stop character and final bar.
constexpr std::string_view kStop = "1100011101011";

enum class CodeSet { A, B, C };

constexpr unsigned kStartA = 208;
constexpr unsigned kStartC = 210;
constexpr unsigned kFnc3 = 201;
constexpr unsigned kShift = 203;
constexpr unsigned kCodeC = 204;
constexpr unsigned kCodeB = 205;
constexpr unsigned kCodeA = 206;
constexpr unsigned kFnc1 = 207;
constexpr unsigned kFirstControl = 211;  // NUL of set A
constexpr unsigned kLastControl = 242;   // US of set A

bool isDigit(unsigned c) {
    return c >= '0' && c <= '9';
}

// A shift reads one character in the other of sets A and B, and its end switches back the
// same way: A goes to B, any other set to A.
CodeSet shifted(CodeSet set) {
    return set == CodeSet::A ? CodeSet::B : CodeSet::A;
}

}  // namespace

std::vector<int> code128Symbols(std::string_view data) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
    if (data.empty() || at(0) < kStartA || at(0) > kStartC) {
        throw EBarCodeError(
            "A Code128 symbol MUST start with #208, #209 or #210. Please refer to the help "
            "file, since Code128 is different than the other symbologies");
    }
    const int start = 103 + static_cast<int>(at(0) - kStartA);
    CodeSet set = static_cast<CodeSet>(at(0) - kStartA);
    std::vector<int> symbols{start};

    // Reduced as it goes, so that no length of data can overflow it.
    std::uint64_t checksum = static_cast<std::uint64_t>(start);
    std::uint64_t weight = 1;
    auto emit = [&](unsigned value) {
        symbols.push_back(static_cast<int>(value));
        checksum = (checksum + (weight % 103) * value) % 103;
        ++weight;
    };

    bool shiftPending = false;
    for (std::size_t i = 1; i < data.size(); ++i) {
        const unsigned c = at(i);
        if (c >= kStartA && c <= kStartC) {
            throw EBarCodeError("You cannot have a START code in the middle of the symbol");
        } else if (set != CodeSet::C && c >= 32 && c <= 95) {
            emit(c - 32);
        } else if (c >= 96 && c <= 127) {
            if (set != CodeSet::B) {
                throw EBarCodeError("Only CODE B can contain the character \"" +
                                    std::string(1, static_cast<char>(c)) + "\"");
            }
            emit(c - 32);
        } else if (c >= kFirstControl && c <= kLastControl) {
            if (set != CodeSet::A) {
                throw EBarCodeError("Only CODE A can contain characters #211 through #242");
            }
            emit(c - 147);
        } else if (set == CodeSet::C && (c < kFnc3 || c > kFnc1)) {
            if (i + 1 >= data.size()) {
                throw EBarCodeError("The CODE C portion must contain an even number of digits");
            }
            const unsigned next = at(i + 1);
            if (!isDigit(c) || !isDigit(next)) {
                throw EBarCodeError("The CODE C portion must be numeric");
            }
            emit((c - '0') * 10 + (next - '0'));
            ++i;
        } else if (c >= kFnc3 && c <= kFnc1) {
            if (set == CodeSet::C && c <= kCodeC) {
                throw EBarCodeError("CODE C does not utilize characters #201 through #204");
            }
            emit(c - kFnc3 + 96);
            if (c == kShift) {
                if (shiftPending) throw EBarCodeError("You cannot have two shift codes in a row");
                shiftPending = true;
                set = shifted(set);
            } else if (c == kCodeC) {
                set = CodeSet::C;
            } else if (c == kCodeB && set != CodeSet::B) {
                set = CodeSet::B;
            } else if (c == kCodeA && set != CodeSet::A) {
                set = CodeSet::A;
            }
        }
        // Any other character (codes 0 to 31, 128 to 200, 243 to 255 in sets A and B) has no
        // symbol and is skipped.

        if (shiftPending && c != kShift) {
            shiftPending = false;
            set = shifted(set);
        }
    }
    symbols.push_back(static_cast<int>(checksum % 103));
    return symbols;
}

void buildCode128(PatternWriter& out, const std::vector<int>& symbols, std::int64_t narrow) {
    for (int value : symbols) out.appendModules(kSymbols[value], narrow);
    out.appendModules(kStop, narrow);
}

}  // namespace sivaro
