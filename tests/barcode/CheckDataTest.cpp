// The data check of each type: its tests in order, each with its message.

#include <gtest/gtest.h>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"

namespace sivaro {
namespace {

using test::barcodeError;

struct Case {
    TBarCodeType type;
    bool calcCheckDigit;
    std::string data;
    std::string message;  // empty: accepted
};

const char* const kUpcLength = "UPC-A barcodes must be 11 digits (12 with check digit)";
const char* const kUpcNoCheck = "UPC-A barcodes must be 12 digits including the check digit";
const char* const kUpcNumeric = "UPC-A barcodes must be numeric";
const char* const kEanLength = "EAN-13 barcodes must be 12 digits (13 with check digit)";
const char* const kEanNoCheck = "EAN-13 barcodes must be 13 digits including the check digit";
const char* const kEanNumeric = "EAN-13 barcodes must be numeric";
const char* const kItfNumeric = "Interleaved 2 of 5 barcodes must be numeric";
const char* const kItfEven = "Interleaved 2 of 5 barcodes must have an even number of digits";
const char* const kCode39 =
    "Code 39 barcodes can only contain \"A\"-\"Z\", \"0\"-\"9\", \"$\", \"%\", \"+\", \"-\", "
    "\".\", \"/\" or \" \"";
const char* const kPostnetNumeric = "PostNet barcodes must be numeric";
const char* const kPostnetLength = "PostNet barcodes must be 5, 9, or 11 digits long";

TEST(CheckData, EachTypeInOrder) {
    const Case cases[] = {
        // UPC-A: length, then length without check digit, then digits.
        {bcUPC_A, true, "0360002914", kUpcLength},
        {bcUPC_A, true, "0360002914520", kUpcLength},
        {bcUPC_A, true, "abc", kUpcLength},
        {bcUPC_A, true, "03600029145", ""},
        {bcUPC_A, true, "036000291452", ""},
        {bcUPC_A, false, "03600029145", kUpcNoCheck},
        {bcUPC_A, false, "0360002914a", kUpcNoCheck},
        {bcUPC_A, false, "036000291452", ""},
        {bcUPC_A, true, "0360002914a", kUpcNumeric},
        {bcUPC_A, true, "03600029145 ", kUpcNumeric},
        // EAN-13 likewise.
        {bcEAN_13, true, "12345678901", kEanLength},
        {bcEAN_13, true, "12345678901234", kEanLength},
        {bcEAN_13, true, "400638133393", ""},
        {bcEAN_13, true, "4006381333931", ""},
        {bcEAN_13, false, "400638133393", kEanNoCheck},
        {bcEAN_13, false, "4006381333930", ""},
        {bcEAN_13, true, "40063813339a", kEanNumeric},
        {bcEAN_13, true, "-400638133393", kEanNumeric},
        // Interleaved 2 of 5: digits, then an even count.
        {bcInt2of5, true, "1234", ""},
        {bcInt2of5, true, "12", ""},
        {bcInt2of5, true, "123", kItfEven},
        {bcInt2of5, true, "123a", kItfNumeric},
        {bcInt2of5, true, "abc", kItfNumeric},
        // Code 128 is checked while its pattern is built.
        {bcCode128, true, "anything at all", ""},
        // Code 39: its 43 characters, lower-case letters too.
        {bcCode39, true, "abc-1", ""},
        {bcCode39, true, "AZ09 $%+-./", ""},
        {bcCode39, true, "AB*C", kCode39},
        {bcCode39, true, "a_b", kCode39},
        {bcCode39, true, "\xe9", kCode39},
        // PostNet: digits and "-", then 5, 9 or 11 digits.
        {bcPostnet, true, "12345", ""},
        {bcPostnet, true, "12345-6789", ""},
        {bcPostnet, true, "12345678901", ""},
        {bcPostnet, true, "1-2-3-4-5", ""},
        {bcPostnet, true, "1234", kPostnetLength},
        {bcPostnet, true, "1234567890", kPostnetLength},
        {bcPostnet, true, "-----", kPostnetLength},
        {bcPostnet, true, "12a45", kPostnetNumeric},
        {bcPostnet, true, "a", kPostnetNumeric},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(enumName(c.type)) + " '" + c.data + "'");
        BarcodeModel model;
        model.SetBarCodeType(c.type);
        model.SetCalcCheckDigit(c.calcCheckDigit);
        EXPECT_EQ(barcodeError([&] { model.SetData(c.data); }), c.message);
        EXPECT_EQ(model.Valid(), c.message.empty());
        EXPECT_EQ(model.Data(), c.data);
    }
}

TEST(CheckData, EmptyDataOnlyClearsValid) {
    BarcodeModel model;
    model.SetData("ABC");
    model.SetData("");
    EXPECT_EQ(barcodeError([&] { model.CheckData(); }), "");
    EXPECT_EQ(model.Valid(), false);
}

}  // namespace
}  // namespace sivaro
