// The text form of the published properties: what is saved, loading in published order with
// the loading state on, and clear errors for malformed lines.

#include "barcode/BarcodeForm.h"

#include <gtest/gtest.h>

#include "BarcodeTestUtil.h"

namespace sivaro {
namespace {

using test::barcodeError;

std::string convertError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EConvertError& error) {
        return error.what();
    }
    return {};
}

// Properties equal to their declared defaults are left out; those without one are written.
TEST(BarcodeForm, SavingANewBarcode) {
    BarcodeModel model;
    EXPECT_EQ(saveBarcodeForm(model),
              "AddOn = ''\n"
              "BarCodeType = bcCode39\n"
              "BarColor = Black\n"
              "BarWidth = 0.015\n"
              "Data = ''\n"
              "DataField = ''\n"
              "DataSource =\n"
              "WideBarRatio = 3\n"
              "Color = White\n"
              "Font.Name = 'Courier New'\n"
              "Font.Size = 8\n"
              "Font.Color = WindowText\n"
              "Font.Style = []\n");
}

TEST(BarcodeForm, SavingWritesWhatDiffersFromTheDefaults) {
    BarcodeModel model;
    model.SetBarCodeType(bcInt2of5);
    model.SetAutoSize(false);
    model.SetBearerBars(true);
    model.SetCalcCheckDigit(false);
    model.SetData("1234");
    model.SetFontAlignment(taCenter);
    model.SetMeasurementUnits(muMMs);
    model.SetOrientation(orBottom_Top);
    model.SetPrintHumanReadable(false);
    model.SetColor(kColorWindow);
    model.SetBarColor(0x123456);
    model.SetFont({"Arial", 10, kColorBlack, true, false, true, false});
    EXPECT_EQ(saveBarcodeForm(model),
              "AddOn = ''\n"
              "AutoSize = False\n"
              "BarCodeType = bcInt2of5\n"
              "BarColor = 0x123456\n"
              "BarWidth = 0.38099998\n"  // 0.015 inch in millimetres, as a 32-bit float
              "BearerBars = True\n"
              "CalcCheckDigit = False\n"
              "Data = '1234'\n"
              "DataField = ''\n"
              "DataSource =\n"
              "FontAlignment = taCenter\n"
              "MeasurementUnits = muMMs\n"
              "Orientation = orBottom_Top\n"
              "PrintHumanReadable = False\n"
              "WideBarRatio = 3\n"
              "Font.Name = 'Arial'\n"
              "Font.Size = 10\n"
              "Font.Color = Black\n"
              "Font.Style = [Bold, Underline]\n");
}

TEST(BarcodeForm, RoundTrip) {
    BarcodeModel model;
    model.SetBarCodeType(bcCode128);
    model.SetData(
        "\xd1"
        "It's \"ok\"\xcc"
        "12");
    model.SetAutoSize(false);
    model.SetMeasurementUnits(muMMs);
    model.SetBarWidth(0.5f);
    model.SetWideBarRatio(2.25f);
    model.SetOrientation(orTop_Bottom);
    model.SetColor(0x80000010);
    model.SetFont({"Courier New", 12, 0x0000FF, false, true, false, true});
    const std::string text = saveBarcodeForm(model);
    EXPECT_NE(text.find("Data = #209'It''s \"ok\"'#204'12'\n"), std::string::npos) << text;

    BarcodeModel loaded;
    EXPECT_TRUE(loadBarcodeForm(loaded, text).empty());
    EXPECT_EQ(saveBarcodeForm(loaded), text);
    EXPECT_EQ(loaded.Data(), model.Data());
    EXPECT_EQ(loaded.BarWidth(), 0.5f);
    EXPECT_EQ(loaded.Font(), model.Font());
    EXPECT_EQ(loaded.Valid(), true);
}

TEST(BarcodeForm, FloatsSurviveTheRoundTripExactly) {
    for (float width : {0.015f, 0.381f, 0.004f, 0.0123456789f}) {
        BarcodeModel model;
        model.SetLoading(true);
        model.SetBarWidth(width);
        BarcodeModel loaded;
        loadBarcodeForm(loaded, saveBarcodeForm(model));
        EXPECT_EQ(loaded.BarWidth(), width);
    }
}

// A hand-written form may list the data first: the type is still set before it.
TEST(BarcodeForm, LoadsInPublishedOrderWhateverTheTextOrder) {
    BarcodeModel model;
    int repaints = 0;
    model.SetRepaintRequest([&] { ++repaints; });
    loadBarcodeForm(model,
                    "Data = '400638133393'\n"
                    "AddOn = '12'\n"
                    "BarCodeType = bcEAN_13\n");
    EXPECT_EQ(model.BarCodeType(), bcEAN_13);
    EXPECT_EQ(model.Data(), "400638133393");
    EXPECT_EQ(model.AddOn(), "12");
    EXPECT_EQ(model.Valid(), true);
    EXPECT_EQ(model.Loading(), false);
    EXPECT_EQ(repaints, 0);
}

// The main window's hidden barcode, as its form stores it.
TEST(BarcodeForm, TheImportersBarcode) {
    BarcodeModel b;
    const std::vector<FormEntry> control = loadBarcodeForm(b,
                                                           "Left = -200\r\n"
                                                           "Top = 8\r\n"
                                                           "Width = 115\r\n"
                                                           "Height = 95\r\n"
                                                           "BarCodeType = bcEAN_13\r\n"
                                                           "BarColor = Black\r\n"
                                                           "BarWidth = 0.015\r\n"
                                                           "Data = '0000000000000'\r\n"
                                                           "DataSource = b\r\n"
                                                           "WideBarRatio = 3\r\n"
                                                           "Color = White\r\n"
                                                           "Font.Name = 'Courier New'\r\n"
                                                           "Visible = False\r\n"
                                                           "OnClick = bClick\r\n");
    EXPECT_EQ(b.BarCodeType(), bcEAN_13);
    EXPECT_EQ(b.Data(), "0000000000000");
    EXPECT_EQ(b.DataSource(), "");
    EXPECT_EQ(b.Valid(), true);
    ASSERT_EQ(control.size(), 6u);
    EXPECT_EQ(control[0].name, "Left");
    EXPECT_EQ(control[0].value, "-200");
    EXPECT_EQ(control[4].name, "Visible");
    EXPECT_EQ(control[4].value, "False");
    EXPECT_EQ(control[5].name, "OnClick");
    EXPECT_EQ(control[5].line, 14);
}

TEST(BarcodeForm, LoadingSkipsSomeChecksAndRunsOthers) {
    struct Case {
        const char* name;
        const char* text;
        const char* message;  // empty: loads
    };
    const Case cases[] = {
        {"add-on of another length", "AddOn = '123'\nBarCodeType = bcEAN_13", ""},
        {"add-on on Code 39", "AddOn = '12'", ""},
        {"bar width out of range", "BarWidth = 5", ""},
        {"units do not convert", "BarWidth = 0.381\nMeasurementUnits = muMMs", ""},
        {"AutoSize off, then PostNet", "AutoSize = False\nBarCodeType = bcPostnet", ""},
        {"data unsuitable for its type", "BarCodeType = bcEAN_13\nData = 'ABC'",
         "EAN-13 barcodes must be 12 digits (13 with check digit)"},
        // AutoSizeFont comes before the type, which then switches it on again.
        {"AutoSizeFont off, then EAN-13", "BarCodeType = bcEAN_13\nAutoSizeFont = False", ""},
        {"bearer bars on Code 39", "BearerBars = True",
         "Only Interleaved 2 of 5 barcodes can have bearer bars"},
        {"bearer bars on Interleaved 2 of 5", "BearerBars = True\nBarCodeType = bcInt2of5", ""},
        {"wide bar ratio 0", "WideBarRatio = 0", "The wide bar ratio must be greater than 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarcodeModel model;
        EXPECT_EQ(barcodeError([&] { loadBarcodeForm(model, c.text); }), c.message);
        EXPECT_EQ(model.Loading(), false);
    }
}

TEST(BarcodeForm, LoadedValuesAreStoredAsGiven) {
    BarcodeModel model;
    loadBarcodeForm(model,
                    "AutoSize = False\nBarCodeType = bcPostnet\nBarWidth = 0.381\n"
                    "MeasurementUnits = muMMs\n");
    EXPECT_EQ(model.AutoSize(), true);  // the type's rule switched it on
    EXPECT_EQ(model.BarWidth(), 0.381f);
    EXPECT_EQ(model.MeasurementUnits(), muMMs);
}

TEST(BarcodeForm, NamesAndKeywordsIgnoreCase) {
    BarcodeModel model;
    loadBarcodeForm(model,
                    "barcodetype = BCEAN_13\nprinthumanreadable = false\n"
                    "font.style = [bold]\nbarcolor = white\n");
    EXPECT_EQ(model.BarCodeType(), bcEAN_13);
    EXPECT_EQ(model.PrintHumanReadable(), false);
    EXPECT_EQ(model.Font().Bold, true);
    EXPECT_EQ(model.BarColor(), kColorWhite);
}

// A malformed form is refused before anything is applied.
TEST(BarcodeForm, MalformedLinesNameTheLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"Data = 'A'\nBarCodeType bcEAN_13", "Barcode form, line 2: expected Name = value"},
        {"Data = 'A'\n\nColour = White", "Barcode form, line 3: unknown property \"Colour\""},
        {"Data = 'A'\nDATA = 'B'", "Barcode form, line 2: Data is given twice (first on line 1)"},
        {"Data = 'A",
         "Barcode form, line 1: Data needs a quoted text such as 'abc', with #N for "
         "other bytes, not \"'A\""},
        {"Data = A",
         "Barcode form, line 1: Data needs a quoted text such as 'abc', with #N for "
         "other bytes, not \"A\""},
        {"Data = #256",
         "Barcode form, line 1: Data needs a quoted text such as 'abc', with #N "
         "for other bytes, not \"#256\""},
        {"AutoSize = yes", "Barcode form, line 1: AutoSize needs True or False, not \"yes\""},
        {"BarWidth = 0,015",
         "Barcode form, line 1: BarWidth needs a number such as 0.015, not "
         "\"0,015\""},
        {"BarWidth = nan",
         "Barcode form, line 1: BarWidth needs a number such as 0.015, not "
         "\"nan\""},
        {"BarWidth = inf",
         "Barcode form, line 1: BarWidth needs a number such as 0.015, not "
         "\"inf\""},
        {"BarCodeType = bcEAN13",
         "Barcode form, line 1: BarCodeType needs bcUPC_A, bcEAN_13, "
         "bcInt2of5, bcCode128, bcCode39 or bcPostnet, not \"bcEAN13\""},
        {"Color = clRed",
         "Barcode form, line 1: Color needs Black, White, Window, WindowText or "
         "0xRRGGBB, not \"clRed\""},
        {"Font.Size = big", "Barcode form, line 1: Font.Size needs a whole number, not \"big\""},
        {"Font.Style = [Heavy]",
         "Barcode form, line 1: Font.Style needs a list such as [Bold, "
         "Italic], not \"[Heavy]\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BarcodeModel model;
        EXPECT_EQ(convertError([&] { loadBarcodeForm(model, c.text); }), c.message);
        EXPECT_EQ(model.Data(), "");
        EXPECT_EQ(model.BarCodeType(), bcCode39);
    }
}

TEST(BarcodeForm, TextLiterals) {
    const std::pair<const char*, std::string> cases[] = {
        {"Data = ''", ""},
        {"Data =", ""},
        {"Data = 'a''b'", "a'b"},
        {"Data = #209'AB'#204'12'",
         "\xd1"
         "AB\xcc"
         "12"},
        {"Data = 'A' 'B'", "AB"},
        {"Data = '  spaced  '", "  spaced  "},
    };
    for (const auto& [text, data] : cases) {
        SCOPED_TRACE(text);
        BarcodeModel model;
        model.SetBarCodeType(bcCode128);
        loadBarcodeForm(model, text);
        EXPECT_EQ(model.Data(), data);
    }
}

}  // namespace
}  // namespace sivaro
