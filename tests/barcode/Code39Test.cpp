// Code 39: the character table, the framing "*", the inter-character gap rounded once.

#include "barcode/Code39.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;
using test::runs;
using test::written;

// Columns of characters given by their nine elements ('1' wide), at narrow 1 and wide 2, each
// followed by a one-column gap: bars and spaces alternate from a bar.
std::string columnsOfCharacters(std::initializer_list<std::string_view> characters) {
    std::string out;
    for (std::string_view elements : characters) {
        for (std::size_t i = 0; i < elements.size(); ++i)
            out.append(elements[i] == '1' ? 2 : 1, i % 2 == 0 ? '1' : '0');
        out += '0';
    }
    return out;
}

// The whole symbol of `data` at narrow 1, wide 2 and a gap of 1.
std::string symbol(std::string_view data) {
    return written([&](PatternWriter& out) { buildCode39(out, data, {1, 2}, 1); });
}

// ISO/IEC 16388 character assignments, spot-checked; "1" a wide element.
const std::pair<char, const char*> kCharacterTable[] = {
    {'0', "000110100"}, {'1', "100100001"}, {'9', "001100100"}, {'A', "100001001"},
    {'M', "101000010"}, {'Z', "011010000"}, {'-', "010000101"}, {'.', "110000100"},
    {' ', "011000100"}, {'$', "010101000"}, {'/', "010100010"}, {'+', "010001010"},
    {'%', "000101010"}, {'*', "010010100"},
};
constexpr std::string_view kStar = "010010100";

// Each character between the two "*" of its symbol; "*" alone is the symbol of "*".
TEST(Code39, CharacterTable) {
    for (const auto& [c, pattern] : kCharacterTable) {
        SCOPED_TRACE(std::string(1, c));
        EXPECT_EQ(symbol(std::string(1, c)), c == '*'
                                                 ? columnsOfCharacters({pattern})
                                                 : columnsOfCharacters({kStar, pattern, kStar}));
    }
    EXPECT_EQ(symbol("a"), symbol("A"));
    EXPECT_EQ(symbol("z"), symbol("Z"));
    for (const std::string data : {std::string("_"), std::string(1, '\0')}) {
        EXPECT_EQ(barcodeError([&] { symbol(data); }),
                  "Code 39 barcodes can only contain \"A\"-\"Z\", \"0\"-\"9\", \"$\", \"%\", "
                  "\"+\", \"-\", \".\", \"/\" or \" \"");
    }
}

TEST(Code39, EveryCharacterHasThreeWideElementsOfNine) {
    const std::size_t frame = columnsOfCharacters({kStar}).size();
    for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*")) {
        SCOPED_TRACE(std::string(1, c));
        const std::string whole = symbol(std::string(1, c));
        // The character's columns without their gap: between the frames, or the frame itself.
        const std::string columns = c == '*' ? whole.substr(0, frame - 1)
                                             : whole.substr(frame, whole.size() - 2 * frame - 1);
        int elements = 0, wide = 0;
        for (std::size_t i = 0; i < columns.size();) {
            std::size_t j = i;
            while (j < columns.size() && columns[j] == columns[i]) ++j;
            ++elements;
            wide += j - i == 2;
            i = j;
        }
        EXPECT_EQ(elements, 9);
        EXPECT_EQ(wide, 3);
    }
}

// "*A*" with wide elements of 3 modules and one-module gaps, as published; the gap also
// follows the closing "*".
TEST(Code39, PublishedSymbol) {
    const std::string pattern = written([](PatternWriter& out) {
        buildCode39(out, "A", {1, 3}, 1);
    });
    EXPECT_EQ(pattern, "10001011101110101110101000101110100010111011101" + std::string("0"));
}

TEST(Code39, StarsAreNotDoubled) {
    const auto build = [](const char* data) {
        return written([&](PatternWriter& out) { buildCode39(out, data, {1, 3}, 1); });
    };
    EXPECT_EQ(build("*A*"), build("A"));
    EXPECT_EQ(build("*A"), build("A"));
    EXPECT_EQ(build("A*"), build("A"));
}

// 0.015 inch at 96: narrow 1, wide 4, and a gap of Round(0.015 x 192) = Round(2.88) = 3, not
// two narrow elements of 1.
TEST(Code39, GapIsRoundedOnce) {
    BarcodeModel model;
    model.SetData("A");
    const std::string pattern = columnsOf(model.BuildPattern(96));
    EXPECT_EQ(runs(pattern),
              "1x1 0x4 1x1 0x1 1x4 0x1 1x4 0x1 1x1 0x3 "   // *
              "1x4 0x1 1x1 0x1 1x1 0x4 1x1 0x1 1x4 0x3 "   // A
              "1x1 0x4 1x1 0x1 1x4 0x1 1x4 0x1 1x1 0x3");  // *
}

TEST(Code39, LowerCaseGivesTheUpperCasePattern) {
    BarcodeModel lower;
    lower.SetData("abc-1");
    BarcodeModel upper;
    upper.SetData("ABC-1");
    EXPECT_EQ(columnsOf(lower.BuildPattern(96)), columnsOf(upper.BuildPattern(96)));
    EXPECT_EQ(lower.Data(), "abc-1");
}

}  // namespace
}  // namespace sivaro
