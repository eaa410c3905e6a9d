// Interleaved 2 of 5: the digit table and whole symbols element by element.

#include "barcode/Interleaved2of5.h"

#include <gtest/gtest.h>

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

// ISO/IEC 16390 digit patterns, "1" a wide element: the symbol of a digit twice, at narrow 1
// and wide 2, shows its pattern in the bars and in the spaces.
TEST(Interleaved2of5, DigitTable) {
    const char* const expected[10] = {"00110", "10001", "01001", "11000", "00101",
                                      "10100", "01100", "00011", "10010", "01010"};
    for (int digit = 0; digit < 10; ++digit) {
        SCOPED_TRACE(digit);
        std::string pair;
        for (char element : std::string_view(expected[digit]))
            pair += element == '1' ? "1100" : "10";
        const std::string data(2, static_cast<char>('0' + digit));
        EXPECT_EQ(written([&](PatternWriter& out) {
                      buildInterleaved2of5(out, data, {1, 2});
                  }),
                  "1010" + pair + "1101");
    }
}

// Start (n n n n), the pair's first digit in the bars and its second in the spaces, stop
// (wide bar, narrow space, narrow bar).
TEST(Interleaved2of5, PairInterleavesBarsAndSpaces) {
    const std::string pattern = written([](PatternWriter& out) {
        buildInterleaved2of5(out, "12", {1, 3});
    });
    EXPECT_EQ(runs(pattern),
              "1x1 0x1 1x1 0x1 "                          // start
              "1x3 0x1 1x1 0x3 1x1 0x1 1x1 0x1 1x3 0x3 "  // 1 = 10001 in bars, 2 = 01001 in spaces
              "1x3 0x1 1x1");                             // stop
}

// 0.015 inch at 96 pixels per inch: narrow 1, wide Round(4.32) = 4; at 120: 2 and 5.
TEST(Interleaved2of5, ElementWidthsFromTheModel) {
    BarcodeModel model;
    model.SetBarCodeType(bcInt2of5);
    model.SetData("00");
    EXPECT_EQ(runs(columnsOf(model.BuildPattern(96))),
              "1x1 0x1 1x1 0x1 1x1 0x1 1x1 0x1 1x4 0x4 1x4 0x4 1x1 0x1 1x4 0x1 1x1");
    EXPECT_EQ(runs(columnsOf(model.BuildPattern(120))),
              "1x2 0x2 1x2 0x2 1x2 0x2 1x2 0x2 1x5 0x5 1x5 0x5 1x2 0x2 1x5 0x2 1x2");
    model.SetData("1234567890");
    // Start 4 + 5 pairs of (2 wide + 3 narrow) x 2 + stop: 4 + 5 x (4 x 4 + 6) + 4 + 2.
    EXPECT_EQ(columnsOf(model.BuildPattern(96)).size(), 4u + 5u * 22u + 6u);
}

TEST(Interleaved2of5, RefusesDataItsCheckWouldRefuse) {
    EXPECT_EQ(barcodeError([] {
                  written([](PatternWriter& out) { buildInterleaved2of5(out, "123", {1, 3}); });
              }),
              "Interleaved 2 of 5 barcodes must have an even number of digits");
    EXPECT_EQ(barcodeError([] {
                  written([](PatternWriter& out) { buildInterleaved2of5(out, "1a", {1, 3}); });
              }),
              "Interleaved 2 of 5 barcodes must be numeric");
}

}  // namespace
}  // namespace sivaro
