// GS1 check digits and the one place where the barcode rewrites its own data: building a
// UPC-A or EAN-13 pattern with CalcCheckDigit on. The importer relies on it to correct EAN-13
// codes.

#include <gtest/gtest.h>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"
#include "barcode/UpcEan.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;

TEST(CheckDigit, Gs1Modulo10) {
    struct Case {
        const char* digits;
        char check;
    };
    const Case cases[] = {
        {"400638133393", '1'},  // EAN-13: s = 89
        {"590123412345", '7'},  // EAN-13
        {"978030640615", '7'},  // EAN-13 of an ISBN
        {"789100000000", '7'},  // EAN-13 with a Brazilian prefix
        {"000000000000", '0'},  // a sum of 0 gives 0, not 10
        {"03600029145", '2'},   // UPC-A: s = 58
        {"12345678901", '2'},   // UPC-A: s = 98
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.digits);
        EXPECT_EQ(gs1CheckDigit(c.digits), c.check);
    }
}

TEST(CheckDigit, BuildingRewritesUpcAndEanData) {
    struct Case {
        TBarCodeType type;
        bool calcCheckDigit;
        const char* data;
        const char* after;
    };
    const Case cases[] = {
        {bcEAN_13, true, "400638133393", "4006381333931"},   // completed
        {bcEAN_13, true, "4006381333930", "4006381333931"},  // wrong check digit replaced
        {bcEAN_13, true, "4006381333931", "4006381333931"},
        {bcUPC_A, true, "03600029145", "036000291452"},
        {bcUPC_A, true, "036000291459", "036000291452"},
        {bcEAN_13, false, "4006381333930", "4006381333930"},  // encoded as given
        {bcUPC_A, false, "036000291459", "036000291459"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        BarcodeModel model;
        model.SetBarCodeType(c.type);
        model.SetCalcCheckDigit(c.calcCheckDigit);
        model.SetData(c.data);
        int repaints = 0;
        model.SetRepaintRequest([&] { ++repaints; });
        model.BuildPatterns(96);
        EXPECT_EQ(model.Data(), c.after);
        EXPECT_EQ(model.Valid(), true);
        EXPECT_EQ(repaints, 0);
        EXPECT_EQ(columnsOf(model.Pattern()).size(), 95u);
        model.BuildPatterns(96);
        EXPECT_EQ(model.Data(), c.after);
    }
}

TEST(CheckDigit, InvalidDataIsNotRewritten) {
    BarcodeModel model;
    model.SetBarCodeType(bcEAN_13);
    EXPECT_NE(barcodeError([&] { model.SetData("12345678901"); }), "");
    model.BuildPatterns(96);
    EXPECT_EQ(model.Data(), "12345678901");
    EXPECT_EQ(columnsOf(model.Pattern()), "");
}

TEST(CheckDigit, OtherTypesNeverChangeTheirData) {
    const std::pair<TBarCodeType, const char*> cases[] = {
        {bcInt2of5, "1234"},
        {bcCode39, "abc"},
        {bcCode128,
         "\xd1"
         "AB"},
        {bcPostnet, "12345"},
    };
    for (const auto& [type, data] : cases) {
        SCOPED_TRACE(enumName(type));
        BarcodeModel model;
        model.SetBarCodeType(type);
        model.SetData(data);
        model.BuildPatterns(96);
        EXPECT_EQ(model.Data(), data);
    }
}

// The importer's hidden barcode: assign the first 12 characters of a 13-character code, build,
// read the data back.
TEST(CheckDigit, ImporterCorrectsEan13Codes) {
    struct Case {
        const char* stored;
        const char* readBack;  // empty: the assignment is refused and the code stays
    };
    const Case cases[] = {
        {"4006381333931", "4006381333931"},
        {"4006381333938", "4006381333931"},
        {"7891000315507", "7891000315507"},
        {"7891000315500", "7891000315507"},
        {"0000000000000", "0000000000000"},
        {"40063813339X1", ""},
        {"4006-81333931", ""},
    };
    BarcodeModel b;
    b.SetBarCodeType(bcEAN_13);
    b.SetBarWidth(0.015f);
    b.SetWideBarRatio(3.0f);
    b.SetData("0000000000000");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const std::string first12 = std::string(c.stored).substr(0, 12);
        const std::string error = barcodeError([&] {
            b.SetData(first12);
            b.BuildPatterns(96);
        });
        if (*c.readBack == '\0') {
            EXPECT_EQ(error, "EAN-13 barcodes must be numeric");
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(b.Data(), c.readBack);
        }
    }
}

}  // namespace
}  // namespace sivaro
