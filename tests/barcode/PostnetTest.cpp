// POSTNET: the digit table, the check digit in the bars only, and its own element widths.

#include "barcode/Postnet.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"

namespace sivaro {
namespace {

using test::columnsOf;
using test::runs;
using test::written;

// The United States Postal Service's POSTNET table: "2" a tall bar, "1" a short one. The
// symbol of one digit d is the frame, d, its check digit (10 - d) mod 10, the frame.
TEST(Postnet, DigitTable) {
    const char* const expected[10] = {"22111", "11122", "11212", "11221", "12112",
                                      "12121", "12211", "21112", "21121", "21211"};
    const auto spaced = [](std::string_view bars) {
        std::string out;
        for (char bar : bars) out += std::string(1, bar) + "0";
        return out;
    };
    for (int digit = 0; digit < 10; ++digit) {
        SCOPED_TRACE(digit);
        const std::string data(1, static_cast<char>('0' + digit));
        EXPECT_EQ(written([&](PatternWriter& out) { buildPostnet(out, data, 1, 1); }),
                  "20" + spaced(expected[digit]) + spaced(expected[(10 - digit) % 10]) + "2");
    }
}

TEST(Postnet, CheckDigit) {
    const std::pair<const char*, int> cases[] = {
        {"12345", 5},                                         // sum 15
        {"12345-6789", 5},                                    // sum 45
        {"00000", 0},      {"55555", 5}, {"99999999999", 1},  // sum 99
    };
    for (const auto& [data, check] : cases) {
        SCOPED_TRACE(data);
        EXPECT_EQ(postnetCheckDigit(data), check);
    }
}

// Frame bar, five bars a digit and five for the check digit, frame bar; every bar but the last
// followed by a space.
TEST(Postnet, Pattern) {
    const std::string pattern = written([](PatternWriter& out) { buildPostnet(out, "12", 1, 2); });
    // Digits 1 (11122) and 2 (11212), check digit 7 (21112).
    EXPECT_EQ(pattern,
              "200"
              "100100100200200"
              "100100200100200"
              "200100100100200"
              "2");
}

// 0.015 inch at 96: a bar of Round(1.44) = 1 column, a space of Round(1.98) = 2.
TEST(Postnet, WidthsFromTheModelIgnoreTheWideBarRatio) {
    BarcodeModel model;
    model.SetBarCodeType(bcPostnet);
    model.SetData("12345");
    const std::string pattern = columnsOf(model.BuildPattern(96));
    int bars = 0;
    for (char column : pattern) bars += column != '0';
    EXPECT_EQ(bars, 32);  // 2 frame bars and 6 x 5 digit bars
    EXPECT_EQ(pattern.size(), 32u + 31u * 2u);
    EXPECT_EQ(pattern.substr(pattern.size() - 16),  // check digit 5 (12121), frame bar
              "100200100200100" + std::string("2"));

    model.SetWideBarRatio(2.0f);
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), pattern);
    EXPECT_EQ(model.Data(), "12345");
}

TEST(Postnet, DashesAreSkipped) {
    BarcodeModel dashed;
    dashed.SetBarCodeType(bcPostnet);
    dashed.SetData("12345-6789");
    BarcodeModel plain;
    plain.SetBarCodeType(bcPostnet);
    plain.SetData("123456789");
    EXPECT_EQ(columnsOf(dashed.BuildPattern(96)), columnsOf(plain.BuildPattern(96)));
    EXPECT_EQ(runs(columnsOf(dashed.BuildPattern(300))).substr(0, 11), "2x4 0x6 1x4");
}

}  // namespace
}  // namespace sivaro
