// The layout of the symbol checked as values on a recording surface: quiet zone, width and
// height rules, font fitting, stretching, the orientations, printing, and what an invalid or
// failing barcode draws.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "barcode/BarcodeTestUtil.h"
#include "barcode/paint/RecordingSurface.h"
#include "barcode/paint/SymbolMapping.h"
#include "barcode/paint/TVxBarcode.h"

namespace sivaro {
namespace {

using test::Box;
using test::Line;
using test::RecordingPrinter;
using test::RecordingSurface;
using test::TestParent;
using test::Text;

// A control painted on a recording surface of a screen of `resolution` pixels per inch.
struct Painted {
    explicit Painted(float resolution = 96.0f)
        : canvas(static_cast<int>(resolution)), parent(&canvas, resolution) {
        b.SetParent(&parent);
    }
    RecordingSurface canvas;
    TestParent parent;
    TVxBarcode b;
};

// The importer's barcode as its form stores it.
void makeImporterBarcode(TVxBarcode& b) {
    b.SetBarCodeType(bcEAN_13);
    b.SetBarWidth(0.015f);
    b.SetWideBarRatio(3.0f);
    b.SetBounds(0, 0, 115, 95);
}

// The line height of a font of `size` points at `resolution`, as the recording surface has it.
int lineHeight(int size, int resolution = 96) {
    SurfaceFont font;
    font.Size = size;
    font.PixelsPerInch = resolution;
    return RecordingSurface::lineHeight(font.PixelHeight());
}

std::vector<int> barColumns(const std::string& pattern, int offset) {
    std::vector<int> columns;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '1') columns.push_back(offset + static_cast<int>(i));
    }
    return columns;
}

std::vector<int> lineColumns(const std::vector<Line>& lines) {
    std::vector<int> columns;
    for (const Line& l : lines) columns.push_back(l.x0);
    return columns;
}

TEST(BarcodeGeometry, ImporterBarcodeAtTheScreenResolutions) {
    struct Case {
        float resolution;
        int quietZone, symbolWidth, barHeight, fontSize;
    };
    // 96: n = 1, L = 95, Q = Round(9.5) = 10, bars Round(80.75) = 81.
    // 120: w = 1.8, n = 2, L = 190, Q = 19, W = 228, bars Round(161.5) = 162.
    const Case cases[] = {{96.0f, 10, 115, 81, 10}, {120.0f, 19, 228, 162, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resolution);
        Painted p(c.resolution);
        makeImporterBarcode(p.b);
        p.b.SetData("400638133393");
        p.b.Paint();
        EXPECT_EQ(p.b.Data(), "4006381333931");
        EXPECT_EQ(p.b.FQuietZone, c.quietZone);
        const int textLine = lineHeight(p.b.Font().Size, static_cast<int>(c.resolution));
        EXPECT_EQ(p.b.FSymbolWidth, c.symbolWidth);
        EXPECT_EQ(p.b.FSymbolHeight, c.barHeight + textLine);
        EXPECT_EQ(p.b.Width(), c.symbolWidth);
        EXPECT_EQ(p.b.Height(), c.barHeight + textLine);
        // Every bar column of the pattern is one line from the top; the guard bars reach half a
        // text line into the digits.
        const std::string pattern = test::columnsOf(p.b.Pattern());
        EXPECT_EQ(lineColumns(p.canvas.lines), barColumns(pattern, c.quietZone));
        ASSERT_FALSE(p.canvas.lines.empty());
        EXPECT_EQ(p.canvas.lines.front(),
                  (Line{c.quietZone, 0, c.quietZone, c.barHeight + textLine / 2}));
    }
}

TEST(BarcodeGeometry, FontFittedToTheImportersBarcode) {
    // Starts at Round(81 x 0.2) = 16 points and comes down while six digits are wider than 42
    // modules: at 10 points a character is 13 x 6 / 10 = 7 pixels, six are 42.
    Painted p;
    makeImporterBarcode(p.b);
    p.b.SetData("400638133393");
    p.b.Paint();
    EXPECT_EQ(p.b.Font().Size, 10);
    EXPECT_EQ(p.b.Font().Name, "Courier New");
}

TEST(BarcodeGeometry, Ean13Digits) {
    Painted p;
    makeImporterBarcode(p.b);
    p.b.SetData("400638133393");
    p.b.Paint();
    // Q = 10, n = 1, y1 = 81, TextHeight("5") = 14; the cells are cleared with the background.
    const std::vector<Box> fills = {{13, 81, 55, 95, kColorWhite}, {60, 81, 102, 95, kColorWhite}};
    EXPECT_EQ(p.canvas.fills, fills);
    const std::vector<Text> texts = {
        {13, 81, 0, "006381", 13}, {60, 81, 0, "333931", 13}, {1, 81, 0, "4", 13}};
    EXPECT_EQ(p.canvas.texts, texts);
}

TEST(BarcodeGeometry, Ean13WithoutTextEndsAllBarsAtTheirBottom) {
    Painted p;
    makeImporterBarcode(p.b);
    p.b.SetPrintHumanReadable(false);
    p.b.SetData("400638133393");
    p.b.Paint();
    EXPECT_TRUE(p.canvas.texts.empty());
    EXPECT_TRUE(p.canvas.fills.empty());
    for (const Line& l : p.canvas.lines) EXPECT_EQ(l.y1, 81);
    EXPECT_EQ(p.b.Width(), 115);
    EXPECT_EQ(p.b.Height(), 81);
}

TEST(BarcodeGeometry, UpcADigitsWithTheOuterOnesAtHalfSize) {
    Painted p;
    p.b.SetBarCodeType(bcUPC_A);
    p.b.SetData("03600029145");
    p.b.Paint();
    EXPECT_EQ(p.b.Data(), "036000291452");
    // L = 95, Q = 10, bars Round(71.25) = 71; fitted to 10 points (five digits 35 <= 36).
    EXPECT_EQ(p.b.Font().Size, 10);
    const std::vector<Box> fills = {{20, 71, 55, 85, kColorWhite}, {60, 71, 95, 85, kColorWhite}};
    EXPECT_EQ(p.canvas.fills, fills);
    // Half size is 5 points, 7 pixels, a character 4 wide; both outer digits 5 div 2 lower.
    const std::vector<Text> texts = {{20, 71, 0, "36000", 13},
                                     {60, 71, 0, "29145", 13},
                                     {1, 73, 0, "0", 7},
                                     {95 + 10 + 4, 73, 0, "2", 7}};
    EXPECT_EQ(p.canvas.texts, texts);
}

TEST(BarcodeGeometry, AddOnBesideTheSymbol) {
    Painted p;
    makeImporterBarcode(p.b);
    p.b.SetData("400638133393");
    p.b.SetAddOn("12");
    p.b.Paint();
    // EAN-2: 20 modules, 9 modules apart: W = 115 + 9 + 20.
    const std::string addOn = test::columnsOf(p.b.AddOnPattern());
    ASSERT_EQ(addOn.size(), 20u);
    EXPECT_EQ(p.b.FSymbolWidth, 144);
    const int textLine = lineHeight(10);
    std::vector<Line> addOnLines;
    for (const Line& l : p.canvas.lines) {
        if (l.x0 >= 114) addOnLines.push_back(l);
    }
    EXPECT_EQ(lineColumns(addOnLines), barColumns(addOn, 114));
    for (const Line& l : addOnLines) {
        EXPECT_EQ(l.y0, textLine);
        EXPECT_EQ(l.y1, 81);
    }
    // Right-aligned to the add-on's end, in the line above its bars.
    ASSERT_FALSE(p.canvas.texts.empty());
    EXPECT_EQ(p.canvas.texts.back(), (Text{114 + 20 - 14, 0, 0, "12", 13}));
}

TEST(BarcodeGeometry, PostnetHeights) {
    Painted p;
    p.b.SetBarCodeType(bcPostnet);
    p.b.SetData("12345");
    p.b.Paint();
    // n = 1: bars Round(6.25) + 1 = 7 high, a short bar from Round(4.2) = 4; no quiet zone.
    EXPECT_EQ(p.b.FQuietZone, 0);
    const std::string pattern = test::columnsOf(p.b.Pattern());
    EXPECT_EQ(p.b.FSymbolWidth, static_cast<int>(pattern.size()));
    ASSERT_GE(p.canvas.lines.size(), 2u);
    EXPECT_EQ(p.canvas.lines[0], (Line{0, 0, 0, 7}));  // the frame bar
    EXPECT_EQ(p.canvas.lines[1], (Line{3, 4, 3, 7}));  // digit 1 begins with a short bar
    EXPECT_EQ(p.canvas.lines.size(), 32u);
}

TEST(BarcodeGeometry, BearerBarsAboveAndBelowTheBars) {
    Painted p;
    p.b.SetBarCodeType(bcInt2of5);
    p.b.SetBearerBars(true);
    p.b.SetData("1234567890");
    p.b.Paint();
    // L = 4 + 10 x 11 + 6 = 120, Q = Round(3.6) = 4, W = 128, bars Round(76.8) = 77.
    EXPECT_EQ(p.b.FQuietZone, 4);
    EXPECT_EQ(p.b.FSymbolWidth, 128);
    ASSERT_GE(p.canvas.fills.size(), 2u);
    EXPECT_EQ(p.canvas.fills[0], (Box{0, 0, 128, 3, kColorBlack}));
    EXPECT_EQ(p.canvas.fills[1], (Box{0, 74, 128, 77, kColorBlack}));
}

TEST(BarcodeGeometry, TextAlignmentOfTheOtherSymbologies) {
    struct Case {
        TBarCodeType type;
        std::string data;
        TAlignment alignment;
        std::string shown;
    };
    const Case cases[] = {
        {bcCode39, "ABC", taLeftJustify, "ABC"},
        {bcCode39, "ABC", taRightJustify, "ABC"},
        {bcCode39, "ABC", taCenter, "ABC"},
        {bcCode128,
         "\xD1"
         "A\xCA"
         "Bc",
         taLeftJustify, "ABc"},  // code set characters left out
        {bcInt2of5, "1234", taCenter, "1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        Painted p;
        p.b.SetBarCodeType(c.type);
        p.b.SetFontAlignment(c.alignment);
        p.b.SetData(c.data);
        p.b.Paint();
        ASSERT_EQ(p.canvas.texts.size(), 1u);
        const Text& t = p.canvas.texts[0];
        EXPECT_EQ(t.text, c.shown);
        const int width = static_cast<int>(c.shown.size()) * RecordingSurface::charWidth(t.height);
        const int expected = c.alignment == taLeftJustify    ? 0
                             : c.alignment == taRightJustify ? p.b.FSymbolWidth - width
                                                             : (p.b.FSymbolWidth - width) / 2;
        EXPECT_EQ(t.x, expected);
        EXPECT_EQ(t.y, p.b.FSymbolHeight - lineHeight(p.b.Font().Size));
    }
}

TEST(BarcodeGeometry, AutoSizeOffStretchesToTheControl) {
    Painted p;
    p.b.SetBarCodeType(bcCode39);
    p.b.SetAutoSize(false);
    p.b.SetBounds(0, 0, 60, 40);
    p.b.SetData("ABC");
    p.b.Paint();
    const int y1 = 40 - lineHeight(p.b.Font().Size);
    EXPECT_EQ(p.b.FSymbolWidth, 60);
    EXPECT_EQ(p.b.FSymbolHeight, 40);
    EXPECT_EQ(p.b.Width(), 60);
    EXPECT_EQ(p.b.Height(), 40);
    ASSERT_FALSE(p.canvas.lines.empty());
    for (const Line& l : p.canvas.lines) {
        EXPECT_EQ(l.y1, y1);
        EXPECT_LE(l.x0, 60);
    }
    // The pattern is wider than the control: its columns past the width are not drawn.
    const std::vector<int> all = barColumns(test::columnsOf(p.b.Pattern()), 0);
    EXPECT_GT(all.back(), 60);
    EXPECT_EQ(p.canvas.lines.size(), static_cast<std::size_t>(std::count_if(
                                         all.begin(), all.end(), [](int x) { return x <= 60; })));
}

TEST(BarcodeGeometry, AutoSizeOffAtAnotherResolutionScalesTheControl) {
    // A control on a 96 pixel per inch screen drawn for 192: twice as many device pixels.
    Painted p;
    p.b.SetBarCodeType(bcCode39);
    p.b.SetAutoSize(false);
    p.b.SetBounds(0, 0, 60, 40);
    p.b.SetData("ABC");
    p.b.BuildPatterns(192.0f);
    RecordingSurface device(192);
    p.b.DrawBarcode(device, 0, 0, 192.0f);
    EXPECT_EQ(p.b.FSymbolWidth, 120);
    EXPECT_EQ(p.b.FSymbolHeight, 80);
}

TEST(BarcodeGeometry, TopToBottomTurnsTheControlAndTheText) {
    Painted p;
    makeImporterBarcode(p.b);
    p.b.SetOrientation(orTop_Bottom);
    p.b.SetData("400638133393");
    p.b.Paint();
    const int height = 81 + lineHeight(10);
    EXPECT_EQ(p.b.Width(), height);
    EXPECT_EQ(p.b.Height(), 115);
    ASSERT_FALSE(p.canvas.texts.empty());
    for (const Text& t : p.canvas.texts) EXPECT_EQ(t.angle, 270);
    // The first guard bar, column 10, runs from the right edge leftwards.
    EXPECT_EQ(p.canvas.lines.front(), (Line{height, 10, height - (81 + lineHeight(10) / 2), 10}));
    // Digit 1 at symbol (1, 81).
    EXPECT_EQ(p.canvas.texts.back(), (Text{height - 81, 1, 270, "4", 13}));
}

TEST(BarcodeGeometry, OrientationsSizeTheControl) {
    struct Case {
        TBCOrientation orientation;
        int angle;
        bool turned;
    };
    const Case cases[] = {{orLeft_Right, 0, false},
                          {orRight_Left, 180, false},
                          {orTop_Bottom, 270, true},
                          {orBottom_Top, 90, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(enumName(c.orientation));
        Painted p;
        p.b.SetBarCodeType(bcCode128);
        p.b.SetOrientation(c.orientation);
        p.b.SetData("\xD1SIVARO");
        p.b.Paint();
        EXPECT_EQ(p.b.Width(), c.turned ? p.b.FSymbolHeight : p.b.FSymbolWidth);
        EXPECT_EQ(p.b.Height(), c.turned ? p.b.FSymbolWidth : p.b.FSymbolHeight);
        ASSERT_EQ(p.canvas.texts.size(), 1u);
        EXPECT_EQ(p.canvas.texts[0].angle, c.angle);
    }
}

TEST(BarcodeGeometry, PointMappingsOfTheOrientations) {
    struct Case {
        TBCOrientation orientation;
        DevicePoint line, corner, text;
        int angle;
    };
    // Symbol point (3, 4) of a symbol at (100, 200) whose device extents are 50 by 30.
    const Case cases[] = {
        {orLeft_Right, {103, 204}, {103, 204}, {103, 204}, 0},
        {orRight_Left, {146, 226}, {147, 226}, {147, 226}, 180},
        {orTop_Bottom, {146, 203}, {146, 203}, {146, 203}, 270},
        {orBottom_Top, {104, 226}, {104, 226}, {104, 227}, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(enumName(c.orientation));
        const SymbolMapping map(c.orientation, 100, 200, 50, 30);
        EXPECT_EQ(map.Line(3, 4), c.line);
        EXPECT_EQ(map.Corner(3, 4), c.corner);
        EXPECT_EQ(map.TextOrigin(3, 4), c.text);
        EXPECT_EQ(map.TextAngle(), c.angle);
    }
}

TEST(BarcodeGeometry, InvalidBarcodeDrawsItsBackgroundAndKeepsItsSize) {
    Painted p;
    p.b.SetBarCodeType(bcEAN_13);
    p.b.SetBounds(5, 6, 70, 30);
    EXPECT_EQ(test::barcodeError([&] { p.b.SetData("12345678901"); }),
              "EAN-13 barcodes must be 12 digits (13 with check digit)");
    p.b.Paint();
    EXPECT_EQ(p.canvas.rectangles, (std::vector<Box>{{0, 0, 70, 30, kColorWhite}}));
    EXPECT_TRUE(p.canvas.lines.empty());
    EXPECT_TRUE(p.canvas.texts.empty());
    EXPECT_EQ(p.b.Width(), 70);
    EXPECT_EQ(p.b.Height(), 30);
}

TEST(BarcodeGeometry, InvalidBarcodeInADesignerGetsADashedOutline) {
    RecordingSurface canvas;
    TestParent parent(&canvas);
    TVxBarcode b(true);
    b.SetParent(&parent);
    b.SetData("");
    b.Paint();
    ASSERT_EQ(canvas.rectangles.size(), 2u);
    EXPECT_EQ(canvas.rectangleDashed, (std::vector<bool>{false, true}));
    EXPECT_EQ(canvas.rectangles[1].x2, 100);
    EXPECT_EQ(canvas.rectangles[1].y2, 50);
}

TEST(BarcodeGeometry, Code128ErrorRaisedAfterTheBackground) {
    Painted p;
    p.b.SetBarCodeType(bcCode128);
    p.b.SetBounds(0, 0, 80, 40);
    p.b.SetData("AB");
    EXPECT_EQ(test::barcodeError([&] { p.b.Paint(); }),
              "A Code128 symbol MUST start with #208, #209 or #210. Please refer to the help "
              "file, since Code128 is different than the other symbologies");
    EXPECT_FALSE(p.b.Valid());
    EXPECT_EQ(p.canvas.rectangles, (std::vector<Box>{{0, 0, 80, 40, kColorWhite}}));
    EXPECT_EQ(p.b.Width(), 80);
    EXPECT_EQ(p.b.Height(), 40);
}

TEST(BarcodeGeometry, SymbolTooWideForItsPatternDrawsNoStalePattern) {
    // Valid on the screen, too wide for the pattern at 2400 pixels per inch: the printer page
    // gets the background and the error, not the screen's columns at the printer's scale.
    RecordingPrinter printer(2400, 0, 0);
    TVxBarcode b;
    b.SetBarCodeType(bcEAN_13);
    b.SetBarWidth(0.05f);
    b.SetData("400638133393");
    b.SetPrinter(&printer);
    b.Paint();
    ASSERT_TRUE(b.Valid());
    EXPECT_NE(test::barcodeError([&] { b.PrintBarcode(0, 0, 0); }), "");
    EXPECT_EQ(printer.recording().rectangles.size(), 1u);
    EXPECT_TRUE(printer.recording().lines.empty());
}

TEST(BarcodeGeometry, PrintingFromThePhysicalCornerOfThePage) {
    // 1 inch on a 600 dpi printer whose printable area starts 25 pixels in: x = 575.
    RecordingPrinter printer(600, 25, 25);
    TVxBarcode b;
    b.SetBarCodeType(bcEAN_13);
    b.SetData("400638133393");
    b.SetAutoSize(false);  // never stretched on the printer
    b.SetPrinter(&printer);
    b.PrintBarcode(1.0f, 1.0f, 0.5f);
    RecordingSurface& page = printer.recording();
    ASSERT_FALSE(page.rectangles.empty());
    EXPECT_EQ(page.rectangles[0].x1, 575);
    EXPECT_EQ(page.rectangles[0].y1, 575);
    // n = 9, L = 855, Q = Round(85.5) = 86; the bars are 300 printer pixels high.
    EXPECT_EQ(b.FQuietZone, 86);
    EXPECT_EQ(b.FPrintHeight, 300);
    ASSERT_FALSE(page.lines.empty());
    EXPECT_EQ(page.lines.front().x0, 575 + 86);
    EXPECT_EQ(page.lines.front().y0, 575);
    const int textLine = lineHeight(b.Font().Size, 600);
    EXPECT_EQ(b.FSymbolHeight, 300 + textLine);
    EXPECT_EQ(page.lines.front().y1, 575 + 300 + textLine / 2);
    // The text is sized for the printer's pixels per inch.
    SurfaceFont printed;
    printed.Size = b.Font().Size;
    printed.PixelsPerInch = 600;
    EXPECT_EQ(page.texts.front().height, printed.PixelHeight());
    // The printer's height stays until the next paint.
    EXPECT_EQ(b.FPrintHeight, 300);
    b.Paint();
    EXPECT_EQ(b.FPrintHeight, 0);
}

TEST(BarcodeGeometry, PrintingInMillimetres) {
    RecordingPrinter printer(600, 25, 25);
    TVxBarcode b;
    b.SetBarCodeType(bcCode39);
    b.SetMeasurementUnits(muMMs);
    b.SetData("ABC");
    b.SetPrinter(&printer);
    b.PrintBarcode(25.4f, 12.7f, 12.7f);
    EXPECT_EQ(printer.recording().rectangles[0].x1, 575);
    EXPECT_EQ(printer.recording().rectangles[0].y1, 275);
    EXPECT_EQ(b.FPrintHeight, 300);
}

TEST(BarcodeGeometry, PrintingWithoutAPrinterIsRefused) {
    TVxBarcode b;
    EXPECT_EQ(test::barcodeError([&] { b.PrintBarcode(1, 1, 1); }),
              "There is no printer to print the barcode on");
}

TEST(BarcodeGeometry, FontFittingStopsAtItsLowerBound) {
    // 0.004 inch at 96 pixels per inch rounds to no pixel at all: no text could ever fit.
    Painted p;
    p.b.SetBarCodeType(bcEAN_13);
    p.b.SetBarWidth(0.004f);
    p.b.SetData("400638133393");
    p.b.Paint();
    EXPECT_EQ(p.b.Font().Size, TVxBarcode::kMinFittedFontSize);
    EXPECT_EQ(p.b.Data(), "4006381333931");
}

TEST(BarcodeGeometry, PaintDoesNotReenterWhileDrawing) {
    struct Counting : TVxBarcode {
        int draws = 0;
        void DrawBarcode(DrawingSurface& canvas, std::int32_t x, std::int32_t y,
                         float resolution) override {
            ++draws;
            TVxBarcode::DrawBarcode(canvas, x, y, resolution);
        }
    };
    RecordingSurface canvas;
    TestParent parent(&canvas);
    Counting b;
    b.SetParent(&parent);
    b.SetBarCodeType(bcEAN_13);
    b.SetData("400638133393");
    // A parent that repaints at once: the font the fitting stores asks for a repaint.
    parent.onRepaint = [&] { b.Paint(); };
    const int before = b.draws;
    parent.repaints = 0;
    BarcodeFont font = b.Font();
    font.Size = 30;
    b.SetFont(font);  // one paint of its own, during which the fitting changes the font again
    EXPECT_EQ(b.draws - before, 1);
    EXPECT_EQ(parent.repaints, 2);
    EXPECT_FALSE(b.FDrawing);
}

TEST(BarcodeGeometry, DrawingGoesThroughTheOverridableOperations) {
    struct Tracing : TVxBarcode {
        std::vector<std::string> calls;
        void DoMoveTo(DrawingSurface& c, std::int32_t x, std::int32_t y) override {
            calls.push_back("move");
            TVxBarcode::DoMoveTo(c, x, y);
        }
        void DoLineTo(DrawingSurface& c, std::int32_t x, std::int32_t y) override {
            calls.push_back("line");
            TVxBarcode::DoLineTo(c, x, y);
        }
        void DoTextOut(DrawingSurface& c, const SurfaceFont& f, std::int32_t x, std::int32_t y,
                       int angle, const std::string& text) override {
            calls.push_back("text " + text);
            TVxBarcode::DoTextOut(c, f, x, y, angle, text);
        }
    };
    RecordingSurface canvas;
    TestParent parent(&canvas);
    Tracing b;
    b.SetParent(&parent);
    b.SetBarCodeType(bcPostnet);
    b.SetData("12345");
    b.calls.clear();
    b.Paint();
    // The pen goes to the start, then each of the 32 bars is a move and a line, then the text.
    ASSERT_EQ(b.calls.size(), 1u + 32u * 2u + 1u);
    EXPECT_EQ(b.calls.front(), "move");
    EXPECT_EQ(b.calls[2], "line");
    EXPECT_EQ(b.calls.back(), "text 12345");
    EXPECT_EQ(canvas.lines.size(), 32u);
}

TEST(BarcodeGeometry, CanvasFontRestoredAfterDrawing) {
    Painted p;
    p.canvas.Font.Name = "Arial";
    p.canvas.Font.Size = 14;
    makeImporterBarcode(p.b);
    p.b.SetData("400638133393");
    p.b.Paint();
    EXPECT_EQ(p.canvas.Font.Name, "Arial");
    EXPECT_EQ(p.canvas.Font.Size, 14);
}

}  // namespace
}  // namespace sivaro
