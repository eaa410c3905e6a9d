// Code 39: the character table, the framing "*", the inter-character gap rounded once.

#include "barcode/Code39.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"

namespace sivaro {
namespace {

using test::columnsOf;
using test::runs;
using test::written;

// ISO/IEC 16388 character assignments, spot-checked; "1" a wide element.
TEST(Code39, CharacterTable) {
    const std::pair<char, const char*> cases[] = {
        {'0', "000110100"}, {'1', "100100001"}, {'9', "001100100"}, {'A', "100001001"},
        {'M', "101000010"}, {'Z', "011010000"}, {'-', "010000101"}, {'.', "110000100"},
        {' ', "011000100"}, {'$', "010101000"}, {'/', "010100010"}, {'+', "010001010"},
        {'%', "000101010"}, {'*', "010010100"},
    };
    for (const auto& [c, pattern] : cases) {
        SCOPED_TRACE(std::string(1, c));
        EXPECT_EQ(code39Pattern(c), pattern);
    }
    EXPECT_EQ(code39Pattern('a'), code39Pattern('A'));
    EXPECT_EQ(code39Pattern('z'), code39Pattern('Z'));
    EXPECT_EQ(code39Pattern('_'), std::nullopt);
    EXPECT_EQ(code39Pattern('\0'), std::nullopt);
}

TEST(Code39, EveryCharacterHasThreeWideElementsOfNine) {
    for (char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*")) {
        SCOPED_TRACE(std::string(1, c));
        const std::string pattern(*code39Pattern(c));
        EXPECT_EQ(pattern.size(), 9u);
        EXPECT_EQ(std::count(pattern.begin(), pattern.end(), '1'), 3);
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
