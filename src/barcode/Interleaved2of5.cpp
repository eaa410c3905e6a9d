#include "barcode/Interleaved2of5.h"

#include "util/Errors.h"

namespace sivaro {

namespace {

// Narrow/wide pattern of each digit, two wide elements of five (ISO/IEC 16390).
constexpr std::string_view kDigits[10] = {"00110", "10001", "01001", "11000", "00101",
                                          "10100", "01100", "00011", "10010", "01010"};

}  // namespace

void buildInterleaved2of5(PatternWriter& out, std::string_view digits, ElementWidths widths) {
    for (char c : digits) {
        if (c < '0' || c > '9') {
            throw EBarCodeError("Interleaved 2 of 5 barcodes must be numeric");
        }
    }
    if (digits.size() % 2 != 0) {
        throw EBarCodeError("Interleaved 2 of 5 barcodes must have an even number of digits");
    }
    auto width = [&](char element) { return element == '1' ? widths.wide : widths.narrow; };

    // Start: narrow bar, narrow space, narrow bar, narrow space.
    for (int i = 0; i < 2; ++i) {
        out.append('1', widths.narrow);
        out.append('0', widths.narrow);
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const std::string_view bars = kDigits[digits[i] - '0'];
        const std::string_view spaces = kDigits[digits[i + 1] - '0'];
        for (std::size_t k = 0; k < 5; ++k) {
            out.append('1', width(bars[k]));
            out.append('0', width(spaces[k]));
        }
    }
    // Stop: wide bar, narrow space, narrow bar.
    out.append('1', widths.wide);
    out.append('0', widths.narrow);
    out.append('1', widths.narrow);
}

}  // namespace sivaro
