// Element widths at device resolution: 32-bit float products, rounding ties to even, and the
// fixed capacity of the pattern arrays.

#include "barcode/PatternWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"
#include "barcode/UpcEan.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;
using test::written;

TEST(PatternWidth, RoundHalfEven) {
    const std::pair<double, double> cases[] = {
        {0.5, 0},  {1.5, 2},  {2.5, 2},  {3.5, 4},  {-0.5, 0},   {-1.5, -2},
        {1.44, 1}, {4.32, 4}, {2.88, 3}, {1.98, 2}, {80.75, 81}, {9.5, 10},
    };
    for (const auto& [value, rounded] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(roundHalfEven(value), rounded);
    }
}

TEST(PatternWidth, ColumnCount) {
    EXPECT_EQ(columnCount(0.49), 0);
    EXPECT_EQ(columnCount(0.5), 0);
    EXPECT_EQ(columnCount(-3), 0);
    EXPECT_EQ(columnCount(std::numeric_limits<double>::quiet_NaN()), 0);
    // Absurd widths are clamped, so that they end as capacity errors and never overflow.
    EXPECT_EQ(columnCount(std::numeric_limits<double>::infinity()), 1'000'000'000'000);
    EXPECT_EQ(columnCount(1e30), 1'000'000'000'000);
}

TEST(PatternWidth, ElementWidths) {
    struct Case {
        float barWidth;
        float resolution;
        float ratio;
        std::int64_t narrow;
        std::int64_t wide;
    };
    const Case cases[] = {
        {0.015f, 96, 3, 1, 4},     // w = 1.44, w' = 4.32
        {0.015f, 120, 3, 2, 5},    // w = 1.8, w' = 5.4
        {0.005f, 100, 3, 0, 2},    // w = 0.5 exactly: no column; w' = 1.5
        {0.025f, 100, 3, 2, 8},    // w = 2.5 exactly as a float; w' = 7.5
        {0.015f, 96, 2.5f, 1, 4},  // w' = 3.6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.barWidth) + " at " + std::to_string(c.resolution));
        const ElementWidths widths = elementWidths(c.barWidth, c.resolution, c.ratio);
        EXPECT_EQ(widths.narrow, c.narrow);
        EXPECT_EQ(widths.wide, c.wide);
    }
    // Formed in double, 0.025 x 100 would lie above the tie and round to 3.
    EXPECT_EQ(0.025f * 100.0f, 2.5f);
    EXPECT_GT(static_cast<double>(0.025f) * 100.0, 2.5);
}

TEST(PatternWidth, ZeroColumnsGiveNoBars) {
    BarcodeModel model;
    model.SetBarCodeType(bcEAN_13);
    model.SetBarWidth(0.005f);
    model.SetData("400638133393");
    EXPECT_EQ(barcodeError([&] { model.BuildPatterns(100); }), "");
    EXPECT_EQ(columnsOf(model.Pattern()), "");
    EXPECT_EQ(model.Data(), "4006381333931");
}

TEST(PatternWidth, WriterNeverWritesPastItsCapacity) {
    std::string buffer = std::string(6, '\0') + "GUARD";
    PatternWriter out(buffer.data(), 5);
    out.append('1', 3);
    EXPECT_EQ(out.overflowed(), false);
    out.append('0', 2);
    EXPECT_EQ(out.overflowed(), false);
    out.append('1', 4);
    out.appendModules("101", 1000);
    EXPECT_EQ(out.overflowed(), true);
    EXPECT_EQ(out.needed(), 3 + 2 + 4 + 3000);
    EXPECT_EQ(buffer, std::string("11100") + '\0' + "GUARD");
}

TEST(PatternWidth, CapacityBoundary) {
    const auto build = [](int columns) {
        std::string buffer(4000, '\0');
        PatternWriter out(buffer.data(), kPatternSize - 1);
        out.append('1', columns);
        return out.overflowed();
    };
    EXPECT_EQ(build(3999), false);
    EXPECT_EQ(build(4000), true);
    EXPECT_EQ(written([](PatternWriter& out) { out.append('1', 3999); }).size(), 3999u);
}

// Code 39 at 0.1 inch on a 600-dpi printer: narrow 60, wide 180, gap 120, so 1020 columns a
// character. "*A*" fits in 3060; "*AB*" would need 4080.
TEST(PatternWidth, MainPatternPastItsCapacityIsRefused) {
    BarcodeModel model;
    model.SetBarWidth(0.1f);
    model.SetData("A");
    model.BuildPatterns(600);
    EXPECT_EQ(columnsOf(model.Pattern()).size(), 3060u);

    model.SetData("AB");
    const std::string stored = columnsOf(model.BuildPattern(96));
    model.BuildPatterns(96);
    EXPECT_EQ(barcodeError([&] { model.BuildPatterns(600); }),
              "The barcode needs 4080 columns at 600 pixels per inch, more than the 3999 its "
              "pattern holds; use a smaller BarWidth or less data");
    // Valid data stays valid: the same symbol still fits on the screen.
    EXPECT_EQ(model.Valid(), true);
    EXPECT_EQ(columnsOf(model.Pattern()), stored);
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), stored);
}

// An EAN-5 add-on at 0.04 inch and 600 dpi: 24 columns a module, 47 x 24 = 1128 columns,
// while the main symbol's 95 x 24 = 2280 fit.
TEST(PatternWidth, AddOnPastItsCapacityIsRefused) {
    BarcodeModel model;
    model.SetBarCodeType(bcEAN_13);
    model.SetBarWidth(0.04f);
    model.SetData("4006381333931");
    model.SetAddOn("52495");
    model.BuildPatterns(96);
    EXPECT_EQ(barcodeError([&] { model.BuildPatterns(600); }),
              "The add-on needs 1128 columns at 600 pixels per inch, more than the 999 its "
              "pattern holds; use a smaller BarWidth");
    EXPECT_EQ(columnsOf(model.Pattern()), test::expand(ean13Modules("4006381333931"), 24));
    EXPECT_EQ(columnsOf(model.AddOnPattern()), test::expand(ean5Modules("52495"), 4));
}

// The bar width and add-on checks are skipped while loading; whatever a form file held ends
// as a refused build, never as a write past the array.
TEST(PatternWidth, AbsurdLoadedWidthsAreRefusedAtBuild) {
    struct Case {
        const char* name;
        TBarCodeType type;
        const char* data;
        float barWidth;
        float ratio;
    };
    const Case cases[] = {
        {"EAN-13, bar width 1e6", bcEAN_13, "4006381333931", 1e6f, 3},
        {"Interleaved 2 of 5, ratio 1e30", bcInt2of5, "12", 0.015f, 1e30f},
        {"Code 39, ratio 1e30", bcCode39, "A", 0.015f, 1e30f},
        {"PostNet, bar width 1e30", bcPostnet, "12345", 1e30f, 3},
        {"Code 128, bar width 1e30", bcCode128,
         "\xd1"
         "A",
         1e30f, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarcodeModel model;
        model.SetLoading(true);
        model.SetBarCodeType(c.type);
        model.SetBarWidth(c.barWidth);
        model.SetWideBarRatio(c.ratio);
        model.SetData(c.data);
        model.SetLoading(false);
        const std::string error = barcodeError([&] { model.BuildPatterns(600); });
        EXPECT_EQ(error.rfind("The barcode needs ", 0), 0u) << error;
        EXPECT_EQ(columnsOf(model.Pattern()), "");
    }
}

}  // namespace
}  // namespace sivaro
