#include "barcode/Code39.h"

#include <optional>
#include <string>

#include "util/Errors.h"

namespace sivaro {

namespace {

// Character assignments of Code 39 (ISO/IEC 16388): the character set in table order, then
// the narrow/wide pattern of each.
constexpr std::string_view kCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
constexpr std::string_view kPatterns[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000",
    "000100101", "100100100", "001100100", "100001001", "001001001", "101001000", "000011001",
    "100011000", "001011000", "000001101", "100001100", "001001100", "000011100", "100000011",
    "001000011", "101000010", "000010011", "100010010", "001010010", "000000111", "100000110",
    "001000110", "000010110", "110000001", "011000001", "111000000", "010010001", "110010000",
    "011010000", "010000101", "110000100", "011000100", "010101000", "010100010", "010001010",
    "000101010", "010010100"};

// Nine elements of a character ('1' a wide one; bars at 1, 3, 5, 7, 9), for the 43 data
// characters and "*"; lower-case letters give their capitals' patterns. None for the rest.
std::optional<std::string_view> code39Pattern(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const std::size_t index = kCharacters.find(c);
    if (c == '\0' || index == std::string_view::npos) return std::nullopt;
    return kPatterns[index];
}

}  // namespace

void buildCode39(PatternWriter& out, std::string_view data, ElementWidths widths,
                 std::int64_t gap) {
    std::string text(data);
    if (data.empty() || data.front() != '*') text.insert(text.begin(), '*');
    if (data.empty() || data.back() != '*') text.push_back('*');

    for (char c : text) {
        const std::optional<std::string_view> pattern = code39Pattern(c);
        if (!pattern) {
            throw EBarCodeError(
                "Code 39 barcodes can only contain \"A\"-\"Z\", \"0\"-\"9\", \"$\", \"%\", "
                "\"+\", \"-\", \".\", \"/\" or \" \"");
        }
        for (std::size_t k = 0; k < 9; ++k) {
            out.append(k % 2 == 0 ? '1' : '0', (*pattern)[k] == '1' ? widths.wide : widths.narrow);
        }
        out.append('0', gap);
    }
}

}  // namespace sivaro
