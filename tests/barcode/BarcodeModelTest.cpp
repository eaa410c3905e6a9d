// The published properties: initial values, the rule of each assignment, the loading state
// and the repaint requests.

#include "barcode/BarcodeModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "BarcodeTestUtil.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A model whose repaint requests are counted, as the painting control will receive them.
class ModelTest : public ::testing::Test {
  protected:
    ModelTest() {
        model.SetRepaintRequest([this] { ++repaints; });
    }

    // Sets up without counting: the count starts at 0 for the action under test.
    void given(const std::function<void(BarcodeModel&)>& setup) {
        setup(model);
        repaints = 0;
    }

    BarcodeModel model;
    int repaints = 0;
};

TEST_F(ModelTest, InitialValues) {
    EXPECT_EQ(model.AddOn(), "");
    EXPECT_EQ(model.AutoSize(), true);
    EXPECT_EQ(model.AutoSizeFont(), true);
    EXPECT_EQ(model.BarCodeType(), bcCode39);
    EXPECT_EQ(model.BarColor(), kColorBlack);
    EXPECT_EQ(model.BarWidth(), 0.015f);
    EXPECT_EQ(model.BearerBars(), false);
    EXPECT_EQ(model.CalcCheckDigit(), true);
    EXPECT_EQ(model.Data(), "");
    EXPECT_EQ(model.DataField(), "");
    EXPECT_EQ(model.DataSource(), "");
    EXPECT_EQ(model.FontAlignment(), taLeftJustify);
    EXPECT_EQ(model.MeasurementUnits(), muInches);
    EXPECT_EQ(model.Orientation(), orLeft_Right);
    EXPECT_EQ(model.PrintHumanReadable(), true);
    EXPECT_EQ(model.WideBarRatio(), 3.0f);
    EXPECT_EQ(model.Color(), kColorWhite);
    EXPECT_EQ(model.Font().Name, "Courier New");
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(columnsOf(model.Pattern()), "");
    EXPECT_EQ(columnsOf(model.AddOnPattern()), "");
    EXPECT_EQ(model.FPrintHeight, 0);
    EXPECT_EQ(model.FDrawing, false);
    EXPECT_EQ(model.Loading(), false);
}

TEST(Model, InsideAFormDesignerShowsASampleAtOnce) {
    BarcodeModel designed(true);
    EXPECT_EQ(designed.Designing(), true);
    EXPECT_EQ(designed.BarCodeType(), bcCode39);
    EXPECT_EQ(designed.Data(), "SIVARO");
    EXPECT_EQ(designed.Valid(), true);
    EXPECT_NE(columnsOf(designed.BuildPattern(96)), "");
}

struct Assignment {
    const char* name;
    std::function<void(BarcodeModel&)> assign;
};

// Assigning the stored value does nothing: no check, no repaint (AddOn excepted, below).
TEST_F(ModelTest, AssigningTheStoredValueDoesNothing) {
    const Assignment cases[] = {
        {"AutoSize", [](BarcodeModel& m) { m.SetAutoSize(true); }},
        {"AutoSizeFont", [](BarcodeModel& m) { m.SetAutoSizeFont(true); }},
        {"BarCodeType", [](BarcodeModel& m) { m.SetBarCodeType(bcCode39); }},
        {"BarColor", [](BarcodeModel& m) { m.SetBarColor(kColorBlack); }},
        {"BarWidth", [](BarcodeModel& m) { m.SetBarWidth(0.015f); }},
        {"BearerBars", [](BarcodeModel& m) { m.SetBearerBars(false); }},
        {"CalcCheckDigit", [](BarcodeModel& m) { m.SetCalcCheckDigit(true); }},
        {"Data", [](BarcodeModel& m) { m.SetData(""); }},
        {"DataField", [](BarcodeModel& m) { m.SetDataField("CodEan"); }},
        {"DataSource", [](BarcodeModel& m) { m.SetDataSource("b"); }},
        {"FontAlignment", [](BarcodeModel& m) { m.SetFontAlignment(taLeftJustify); }},
        {"MeasurementUnits", [](BarcodeModel& m) { m.SetMeasurementUnits(muInches); }},
        {"Orientation", [](BarcodeModel& m) { m.SetOrientation(orLeft_Right); }},
        {"PrintHumanReadable", [](BarcodeModel& m) { m.SetPrintHumanReadable(true); }},
        {"WideBarRatio", [](BarcodeModel& m) { m.SetWideBarRatio(3.0f); }},
        {"Color", [](BarcodeModel& m) { m.SetColor(kColorWhite); }},
        {"Font", [](BarcodeModel& m) { m.SetFont(BarcodeFont{}); }},
    };
    for (const Assignment& c : cases) {
        SCOPED_TRACE(c.name);
        repaints = 0;
        EXPECT_EQ(barcodeError([&] { c.assign(model); }), "");
        EXPECT_EQ(repaints, 0);
    }
}

TEST_F(ModelTest, SameDataTwiceIsNotCheckedAgain) {
    given([](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); });
    EXPECT_EQ(barcodeError([&] { model.SetData("12345678901"); }),
              "EAN-13 barcodes must be 12 digits (13 with check digit)");
    repaints = 0;
    EXPECT_EQ(barcodeError([&] { model.SetData("12345678901"); }), "");
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(model.Valid(), false);
}

// A new value is stored and asks for one repaint.
TEST_F(ModelTest, ANewValueIsStoredAndRepainted) {
    struct Case {
        const char* name;
        std::function<void(BarcodeModel&)> assign;
        std::function<bool(const BarcodeModel&)> stored;
    };
    const Case cases[] = {
        {"AutoSize", [](BarcodeModel& m) { m.SetAutoSize(false); },
         [](const BarcodeModel& m) { return !m.AutoSize(); }},
        {"AutoSizeFont", [](BarcodeModel& m) { m.SetAutoSizeFont(false); },
         [](const BarcodeModel& m) { return !m.AutoSizeFont(); }},
        {"BarCodeType", [](BarcodeModel& m) { m.SetBarCodeType(bcInt2of5); },
         [](const BarcodeModel& m) { return m.BarCodeType() == bcInt2of5; }},
        {"BarColor", [](BarcodeModel& m) { m.SetBarColor(0x0000FF); },
         [](const BarcodeModel& m) { return m.BarColor() == 0x0000FF; }},
        {"BarWidth", [](BarcodeModel& m) { m.SetBarWidth(0.02f); },
         [](const BarcodeModel& m) { return m.BarWidth() == 0.02f; }},
        {"CalcCheckDigit", [](BarcodeModel& m) { m.SetCalcCheckDigit(false); },
         [](const BarcodeModel& m) { return !m.CalcCheckDigit(); }},
        {"Data", [](BarcodeModel& m) { m.SetData("ABC"); },
         [](const BarcodeModel& m) { return m.Data() == "ABC" && m.Valid(); }},
        {"FontAlignment", [](BarcodeModel& m) { m.SetFontAlignment(taCenter); },
         [](const BarcodeModel& m) { return m.FontAlignment() == taCenter; }},
        {"MeasurementUnits", [](BarcodeModel& m) { m.SetMeasurementUnits(muMMs); },
         [](const BarcodeModel& m) { return m.MeasurementUnits() == muMMs; }},
        {"Orientation", [](BarcodeModel& m) { m.SetOrientation(orTop_Bottom); },
         [](const BarcodeModel& m) { return m.Orientation() == orTop_Bottom; }},
        {"PrintHumanReadable", [](BarcodeModel& m) { m.SetPrintHumanReadable(false); },
         [](const BarcodeModel& m) { return !m.PrintHumanReadable(); }},
        {"WideBarRatio", [](BarcodeModel& m) { m.SetWideBarRatio(2.5f); },
         [](const BarcodeModel& m) { return m.WideBarRatio() == 2.5f; }},
        {"Color", [](BarcodeModel& m) { m.SetColor(kColorWindow); },
         [](const BarcodeModel& m) { return m.Color() == kColorWindow; }},
        {"Font",
         [](BarcodeModel& m) {
             m.SetFont(BarcodeFont{"Arial", 10});
         },
         [](const BarcodeModel& m) { return m.Font().Name == "Arial"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarcodeModel fresh;
        int count = 0;
        fresh.SetRepaintRequest([&] { ++count; });
        EXPECT_EQ(barcodeError([&] { c.assign(fresh); }), "");
        EXPECT_TRUE(c.stored(fresh));
        EXPECT_EQ(count, 1);
    }
}

TEST_F(ModelTest, DataFieldAndDataSourceAreInert) {
    model.SetDataField("CodEan");
    model.SetDataSource("b");
    EXPECT_EQ(model.DataField(), "");
    EXPECT_EQ(model.DataSource(), "");
    EXPECT_EQ(repaints, 0);
}

// A refused value leaves the stored one and asks for no repaint.
TEST_F(ModelTest, ChecksRefuseWithTheirMessages) {
    struct Case {
        const char* name;
        std::function<void(BarcodeModel&)> setup;
        std::function<void(BarcodeModel&)> assign;
        const char* message;
        std::function<bool(const BarcodeModel&)> unchanged;
    };
    const auto noSetup = [](BarcodeModel&) {};
    const auto addOnEmpty = [](const BarcodeModel& m) { return m.AddOn().empty(); };
    const auto widthKept = [](const BarcodeModel& m) { return m.BarWidth() == 0.015f; };
    const auto ean13 = [](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); };
    const Case cases[] = {
        {"add-on of 3", ean13, [](BarcodeModel& m) { m.SetAddOn("123"); },
         "Add-on codes must be either 2 or 5 digits", addOnEmpty},
        {"add-on of 1", ean13, [](BarcodeModel& m) { m.SetAddOn("1"); },
         "Add-on codes must be either 2 or 5 digits", addOnEmpty},
        {"add-on length before type", noSetup, [](BarcodeModel& m) { m.SetAddOn("1234"); },
         "Add-on codes must be either 2 or 5 digits", addOnEmpty},
        {"add-on on Code 39", noSetup, [](BarcodeModel& m) { m.SetAddOn("12"); },
         "Only UPC-A and EAN-13 barcodes can have add-on codes", addOnEmpty},
        {"AutoSize off on PostNet", [](BarcodeModel& m) { m.SetBarCodeType(bcPostnet); },
         [](BarcodeModel& m) { m.SetAutoSize(false); }, "PostNet barcodes must be AutoSize'd",
         [](const BarcodeModel& m) { return m.AutoSize(); }},
        {"AutoSizeFont off on EAN-13", ean13, [](BarcodeModel& m) { m.SetAutoSizeFont(false); },
         "EAN-13 and UPC-A barcodes must have AutoSizeFont = true",
         [](const BarcodeModel& m) { return m.AutoSizeFont(); }},
        {"AutoSizeFont off on UPC-A", [](BarcodeModel& m) { m.SetBarCodeType(bcUPC_A); },
         [](BarcodeModel& m) { m.SetAutoSizeFont(false); },
         "EAN-13 and UPC-A barcodes must have AutoSizeFont = true",
         [](const BarcodeModel& m) { return m.AutoSizeFont(); }},
        {"bar width 0.0039 in", noSetup, [](BarcodeModel& m) { m.SetBarWidth(0.0039f); },
         "The barwidth must be at least 0.004 inches! (0.10 mm)", widthKept},
        {"bar width 0.1001 in", noSetup, [](BarcodeModel& m) { m.SetBarWidth(0.1001f); },
         "The barwidth must be no more than 0.10 inches! (2.54 mm)", widthKept},
        {"bar width 0", noSetup, [](BarcodeModel& m) { m.SetBarWidth(0); },
         "The barwidth must be at least 0.004 inches! (0.10 mm)", widthKept},
        // Not a number would pass both comparisons and reach the pixel arithmetic.
        {"bar width NaN", noSetup, [](BarcodeModel& m) { m.SetBarWidth(kNaN); },
         "The barwidth must be at least 0.004 inches! (0.10 mm)", widthKept},
        {"bearer bars on Code 39", noSetup, [](BarcodeModel& m) { m.SetBearerBars(true); },
         "Only Interleaved 2 of 5 barcodes can have bearer bars",
         [](const BarcodeModel& m) { return !m.BearerBars(); }},
        {"wide bar ratio 0", noSetup, [](BarcodeModel& m) { m.SetWideBarRatio(0); },
         "The wide bar ratio must be greater than 0",
         [](const BarcodeModel& m) { return m.WideBarRatio() == 3.0f; }},
        {"wide bar ratio -1", noSetup, [](BarcodeModel& m) { m.SetWideBarRatio(-1); },
         "The wide bar ratio must be greater than 0",
         [](const BarcodeModel& m) { return m.WideBarRatio() == 3.0f; }},
        {"wide bar ratio NaN", noSetup, [](BarcodeModel& m) { m.SetWideBarRatio(kNaN); },
         "The wide bar ratio must be greater than 0",
         [](const BarcodeModel& m) { return m.WideBarRatio() == 3.0f; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarcodeModel fresh;
        c.setup(fresh);
        int count = 0;
        fresh.SetRepaintRequest([&] { ++count; });
        EXPECT_EQ(barcodeError([&] { c.assign(fresh); }), c.message);
        EXPECT_TRUE(c.unchanged(fresh));
        EXPECT_EQ(count, 0);
    }
}

TEST_F(ModelTest, AddOnIsCheckedAndRepaintedEvenWhenUnchanged) {
    given([](BarcodeModel& m) {
        m.SetBarCodeType(bcEAN_13);
        m.SetAddOn("12");
    });
    model.SetAddOn("12");
    EXPECT_EQ(repaints, 1);

    // The type may change under an add-on; assigning the same add-on then is refused.
    model.SetBarCodeType(bcCode39);
    EXPECT_EQ(model.AddOn(), "12");
    EXPECT_EQ(barcodeError([&] { model.SetAddOn("12"); }),
              "Only UPC-A and EAN-13 barcodes can have add-on codes");
    EXPECT_EQ(barcodeError([&] { model.SetAddOn(""); }), "");
    EXPECT_EQ(model.AddOn(), "");
}

TEST_F(ModelTest, BarWidthLimitsInBothUnits) {
    struct Case {
        TMeasurementUnits units;
        float width;
        const char* message;
    };
    const char* tooNarrow = "The barwidth must be at least 0.004 inches! (0.10 mm)";
    const char* tooWide = "The barwidth must be no more than 0.10 inches! (2.54 mm)";
    const Case cases[] = {
        {muInches, 0.004f, ""},       {muInches, 0.10f, ""},    {muInches, 0.0039f, tooNarrow},
        {muInches, 0.1001f, tooWide}, {muMMs, 0.1f, tooNarrow}, {muMMs, 0.102f, ""},
        {muMMs, 2.54f, ""},           {muMMs, 2.55f, tooWide},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + (c.units == muMMs ? " mm" : " in"));
        BarcodeModel fresh;
        fresh.SetMeasurementUnits(c.units);
        EXPECT_EQ(barcodeError([&] { fresh.SetBarWidth(c.width); }), c.message);
    }
}

TEST_F(ModelTest, MeasurementUnitsConvertBarWidthAndBackToTheSameFloat) {
    model.SetMeasurementUnits(muMMs);
    EXPECT_FLOAT_EQ(model.BarWidth(), 0.381f);
    EXPECT_FLOAT_EQ(model.WidthInInches(model.BarWidth()), 0.015f);
    model.SetMeasurementUnits(muInches);
    EXPECT_EQ(model.BarWidth(), 0.015f);
    EXPECT_EQ(model.WidthInInches(0.02f), 0.02f);
    EXPECT_EQ(repaints, 2);
}

TEST_F(ModelTest, WidthInInchesUnderMillimetresIsA32BitFloat) {
    model.SetMeasurementUnits(muMMs);
    EXPECT_EQ(model.WidthInInches(2.54f), static_cast<float>(2.54f / 25.4L));
    EXPECT_EQ(model.WidthInInches(0.381f), static_cast<float>(0.381f / 25.4L));
}

TEST_F(ModelTest, DataIsStoredBeforeItsCheck) {
    given([](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); });
    EXPECT_EQ(barcodeError([&] { model.SetData("12345678901"); }),
              "EAN-13 barcodes must be 12 digits (13 with check digit)");
    EXPECT_EQ(model.Data(), "12345678901");
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(repaints, 1);
    // Such a barcode gets no pattern and is drawn as its background only.
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), "");

    model.SetData("400638133393");
    EXPECT_EQ(model.Valid(), true);
    model.SetData("");
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(repaints, 3);
}

TEST_F(ModelTest, TypeChangeChecksTheDataAndKeepsTheNewType) {
    given([](BarcodeModel& m) {
        m.SetBarCodeType(bcEAN_13);
        m.SetData("4006381333931");
        m.SetAutoSize(false);
    });
    EXPECT_EQ(barcodeError([&] { model.SetBarCodeType(bcCode39); }), "");
    EXPECT_EQ(model.Valid(), true);
    EXPECT_EQ(repaints, 1);

    repaints = 0;
    EXPECT_EQ(barcodeError([&] { model.SetBarCodeType(bcPostnet); }),
              "PostNet barcodes must be 5, 9, or 11 digits long");
    EXPECT_EQ(model.BarCodeType(), bcPostnet);
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(model.AutoSize(), true);
    EXPECT_EQ(repaints, 2);  // AutoSize switched on through its own rule, then the failed check
}

TEST_F(ModelTest, TypeChangeToUpcOrEanSwitchesAutoSizeFontOnWithoutARepaintOfItsOwn) {
    given([](BarcodeModel& m) { m.SetAutoSizeFont(false); });
    model.SetBarCodeType(bcUPC_A);
    EXPECT_EQ(model.AutoSizeFont(), true);
    EXPECT_EQ(repaints, 1);
}

TEST_F(ModelTest, TypeChangeLeavesAddOnAndBearerBars) {
    given([](BarcodeModel& m) {
        m.SetBarCodeType(bcInt2of5);
        m.SetBearerBars(true);
    });
    model.SetBarCodeType(bcCode39);
    EXPECT_EQ(model.BearerBars(), true);

    model.SetBarCodeType(bcEAN_13);
    model.SetAddOn("12");
    model.SetBarCodeType(bcCode128);
    EXPECT_EQ(model.AddOn(), "12");
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(96)), "");
}

// Switching the flag changes which lengths UPC-A and EAN-13 data may have, so the data is
// checked again rather than reaching the builder a digit short.
TEST_F(ModelTest, SwitchingCalcCheckDigitChecksUpcAndEanDataAgain) {
    given([](BarcodeModel& m) {
        m.SetBarCodeType(bcEAN_13);
        m.SetData("400638133393");
    });
    EXPECT_EQ(barcodeError([&] { model.SetCalcCheckDigit(false); }),
              "EAN-13 barcodes must be 13 digits including the check digit");
    EXPECT_EQ(model.CalcCheckDigit(), false);
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), "");
    EXPECT_EQ(model.Data(), "400638133393");

    EXPECT_EQ(barcodeError([&] { model.SetCalcCheckDigit(true); }), "");
    EXPECT_EQ(model.Valid(), true);
    EXPECT_EQ(columnsOf(model.BuildPattern(96)).size(), 95u);
    EXPECT_EQ(model.Data(), "4006381333931");
}

TEST_F(ModelTest, SwitchingCalcCheckDigitLeavesOtherTypesAlone) {
    given([](BarcodeModel& m) {
        m.SetBarCodeType(bcCode128);
        m.SetData("AB");  // refused only when its pattern is built
    });
    EXPECT_THROW(model.BuildPattern(96), EBarCodeError);
    EXPECT_EQ(model.Valid(), false);
    model.SetCalcCheckDigit(false);
    EXPECT_EQ(model.Valid(), false);
}

TEST_F(ModelTest, WhileLoadingOnlySomeChecksRunAndNothingIsRepainted) {
    struct Case {
        const char* name;
        std::function<void(BarcodeModel&)> setup;
        std::function<void(BarcodeModel&)> assign;
        const char* message;  // empty: accepted while loading
    };
    const auto noSetup = [](BarcodeModel&) {};
    const Case cases[] = {
        {"add-on length", noSetup, [](BarcodeModel& m) { m.SetAddOn("123"); }, ""},
        {"add-on on Code 39", noSetup, [](BarcodeModel& m) { m.SetAddOn("12"); }, ""},
        {"bar width", noSetup, [](BarcodeModel& m) { m.SetBarWidth(5); }, ""},
        {"type with unsuitable data", [](BarcodeModel& m) { m.SetData("ABC"); },
         [](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); }, ""},
        {"AutoSize", [](BarcodeModel& m) { m.SetBarCodeType(bcPostnet); },
         [](BarcodeModel& m) { m.SetAutoSize(false); }, "PostNet barcodes must be AutoSize'd"},
        {"AutoSizeFont", [](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); },
         [](BarcodeModel& m) { m.SetAutoSizeFont(false); },
         "EAN-13 and UPC-A barcodes must have AutoSizeFont = true"},
        {"BearerBars", noSetup, [](BarcodeModel& m) { m.SetBearerBars(true); },
         "Only Interleaved 2 of 5 barcodes can have bearer bars"},
        {"WideBarRatio", noSetup, [](BarcodeModel& m) { m.SetWideBarRatio(0); },
         "The wide bar ratio must be greater than 0"},
        {"Data", [](BarcodeModel& m) { m.SetBarCodeType(bcEAN_13); },
         [](BarcodeModel& m) { m.SetData("ABC"); },
         "EAN-13 barcodes must be 12 digits (13 with check digit)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarcodeModel fresh;
        c.setup(fresh);
        int count = 0;
        fresh.SetRepaintRequest([&] { ++count; });
        fresh.SetLoading(true);
        EXPECT_EQ(barcodeError([&] { c.assign(fresh); }), c.message);
        EXPECT_EQ(count, 0);
    }
}

TEST_F(ModelTest, WhileLoadingATypeChangeMarksDataValidUnchecked) {
    given([](BarcodeModel& m) {
        m.SetData("ABC");
        m.SetLoading(true);
    });
    model.SetBarCodeType(bcEAN_13);
    EXPECT_EQ(model.Valid(), true);
    // The data's own assignment would have checked it; when it never comes, building the
    // pattern still refuses it rather than encoding three letters as an EAN-13.
    model.SetLoading(false);
    EXPECT_EQ(barcodeError([&] { model.BuildPattern(96); }),
              "EAN-13 barcodes must be 12 digits (13 with check digit)");
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(model.Data(), "ABC");
}

TEST_F(ModelTest, WhileLoadingMeasurementUnitsDoNotConvertBarWidth) {
    given([](BarcodeModel& m) {
        m.SetLoading(true);
        m.SetBarWidth(0.381f);
    });
    model.SetMeasurementUnits(muMMs);
    EXPECT_EQ(model.BarWidth(), 0.381f);
    EXPECT_EQ(repaints, 0);
}

}  // namespace
}  // namespace sivaro
