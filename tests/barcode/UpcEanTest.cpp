// UPC-A, EAN-13 and the EAN-2 and EAN-5 add-ons: the number sets and parity tables as whole
// symbols show them, and whole symbols against published module strings.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"
#include "barcode/UpcEan.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;
using test::expand;

// ISO/IEC 15420 number sets A, B and C.
struct NumberSetRow {
    int digit;
    const char* a;
    const char* b;
    const char* c;
};
const NumberSetRow kNumberSets[] = {
    {0, "0001101", "0100111", "1110010"}, {1, "0011001", "0110011", "1100110"},
    {2, "0010011", "0011011", "1101100"}, {3, "0111101", "0100001", "1000010"},
    {4, "0100011", "0011101", "1011100"}, {5, "0110001", "0111001", "1001110"},
    {6, "0101111", "0000101", "1010000"}, {7, "0111011", "0010001", "1000100"},
    {8, "0110111", "0001001", "1001000"}, {9, "0001011", "0010111", "1110100"},
};

// The 7 modules of `digit` in number set 'A', 'B' or 'C', from the table above.
std::string digitModules(char numberSet, int digit) {
    const NumberSetRow& row = kNumberSets[digit];
    return numberSet == 'A' ? row.a : numberSet == 'B' ? row.b : row.c;
}
std::string digitModules(char numberSet, char digit) {
    return digitModules(numberSet, digit - '0');
}

// A UPC-A or EAN-13 symbol from its left half's sets and its digits.
std::string mainSymbol(std::string_view leftSets, std::string_view left, std::string_view right) {
    std::string modules = "101";
    for (std::size_t i = 0; i < left.size(); ++i) modules += digitModules(leftSets[i], left[i]);
    modules += "01010";
    for (char d : right) modules += digitModules('C', d);
    return modules + "101";
}

// An add-on from the sets of its digits.
std::string addOn(std::string_view sets, std::string_view digits) {
    std::string modules = "1011";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0) modules += "01";
        modules += digitModules(sets[i], digits[i]);
    }
    return modules;
}

std::string times(std::string_view modules, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += modules;
    return out;
}

// UPC-A is sets A then C; EAN-13 with first digit 1 uses "AABABB": each set of each digit
// shows in a whole symbol of that digit.
TEST(UpcEan, NumberSets) {
    for (const NumberSetRow& row : kNumberSets) {
        SCOPED_TRACE(row.digit);
        const char d = static_cast<char>('0' + row.digit);
        const std::string a = row.a, b = row.b, c = row.c;
        EXPECT_EQ(upcAModules(std::string(12, d)),
                  "101" + times(a, 6) + "01010" + times(c, 6) + "101");
        EXPECT_EQ(ean13Modules("1" + std::string(12, d)),
                  "101" + a + a + b + a + b + b + "01010" + times(c, 6) + "101");
    }
}

// The first digit shows only in the sets of digits 2 to 7.
TEST(UpcEan, FirstDigitParity) {
    const char* const expected[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                      "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    for (int digit = 0; digit < 10; ++digit) {
        SCOPED_TRACE(digit);
        const std::string data = std::to_string(digit) + "000000000000";
        EXPECT_EQ(ean13Modules(data), mainSymbol(expected[digit], "000000", "000000"));
    }
}

// EAN-2 "0v" has value v; in EAN-5 "0000d" the checksum is 3 x d, whose last digit runs
// through all ten.
TEST(UpcEan, AddOnParity) {
    const char* const ean2[4] = {"AA", "AB", "BA", "BB"};
    for (int v = 0; v < 4; ++v) {
        const std::string data = "0" + std::to_string(v);
        EXPECT_EQ(ean2Modules(data), addOn(ean2[v], data)) << v;
    }
    const char* const ean5[10] = {"BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA",
                                  "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB"};
    for (int d = 0; d < 10; ++d) {
        const std::string data = "0000" + std::to_string(d);
        EXPECT_EQ(ean5Modules(data), addOn(ean5[3 * d % 10], data)) << d;
    }
}

// Module strings of well-known published symbols.
TEST(UpcEan, PublishedSymbols) {
    struct Case {
        const char* name;
        std::string modules;
        const char* expected;
    };
    const Case cases[] = {
        {"EAN-13 4006381333931", ean13Modules("4006381333931"),
         "10100011010100111010111101111010001001011001101010100001010000101000010111010010000101"
         "100110101"},
        {"EAN-13 5901234123457", ean13Modules("5901234123457"),
         "10100010110100111011001100100110111101001110101010110011011011001000010101110010011101"
         "000100101"},
        {"UPC-A 036000291452", upcAModules("036000291452"),
         "10100011010111101010111100011010001101000110101010110110011101001100110101110010011101"
         "101100101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.modules, c.expected);
        EXPECT_EQ(c.modules.size(), 95u);
    }
}

// First digit 4 picks "ABAABB" for digits 2 to 7 (0 0 6 3 8 1); digits 8 to 13 use set C.
TEST(UpcEan, Ean13LeftHalfFollowsTheFirstDigit) {
    const std::string modules = ean13Modules("4006381333931");
    const std::string left = digitModules('A', 0) + digitModules('B', 0) + digitModules('A', 6) +
                             digitModules('A', 3) + digitModules('B', 8) + digitModules('B', 1);
    EXPECT_EQ(modules.substr(0, 3), "101");
    EXPECT_EQ(modules.substr(3, 42), left);
    EXPECT_EQ(modules.substr(45, 5), "01010");
    EXPECT_EQ(modules.substr(50, 7), digitModules('C', 3));
    EXPECT_EQ(modules.substr(92), "101");
}

TEST(UpcEan, AddOnSymbols) {
    // EAN-5 52495: s = 3 x (5 + 4 + 5) + 9 x (2 + 9) = 141, parity "BABAA".
    EXPECT_EQ(ean5Modules("52495"), "10110111001010010011010011101010001011010110001");
    // EAN-2 12: 12 mod 4 = 0, parity "AA".
    EXPECT_EQ(ean2Modules("12"), "10110011001010010011");
    EXPECT_EQ(ean2Modules("07"), "1011" + digitModules('B', 0) + "01" + digitModules('B', 7));
}

// 0.015 inch at 96 pixels per inch is one column a module, at 120 two.
TEST(UpcEan, PatternAtScreenResolutions) {
    BarcodeModel model;
    model.SetBarCodeType(bcEAN_13);
    model.SetData("4006381333931");
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), ean13Modules("4006381333931"));
    EXPECT_EQ(columnsOf(model.BuildPattern(120)), expand(ean13Modules("4006381333931"), 2));

    BarcodeModel upc;
    upc.SetBarCodeType(bcUPC_A);
    upc.SetData("03600029145");
    EXPECT_EQ(columnsOf(upc.BuildPattern(96)), upcAModules("036000291452"));
}

TEST(UpcEan, AddOnPatterns) {
    BarcodeModel model;
    model.SetBarCodeType(bcEAN_13);
    model.SetData("4006381333931");
    model.SetAddOn("52495");
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(96)), ean5Modules("52495"));
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(120)), expand(ean5Modules("52495"), 2));
    model.SetAddOn("12");
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(96)), ean2Modules("12"));
    model.SetAddOn("");
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(96)), "");
}

TEST(UpcEan, AddOnIgnoresTheValidityOfTheData) {
    BarcodeModel model;
    model.SetBarCodeType(bcUPC_A);
    model.SetAddOn("12");
    EXPECT_NE(barcodeError([&] { model.SetData("1"); }), "");
    model.BuildPatterns(96);
    EXPECT_EQ(columnsOf(model.Pattern()), "");
    EXPECT_EQ(columnsOf(model.AddOnPattern()), ean2Modules("12"));
}

// The add-on's assignment checks only its length; its pattern build refuses anything but
// digits before a column is written, signs included.
TEST(UpcEan, AddOnThatIsNotAllDigitsFailsItsBuild) {
    const char* const cases[] = {"1a", "+5", " 5", "1234a", "-1234"};
    for (const char* addOn : cases) {
        SCOPED_TRACE(addOn);
        BarcodeModel model;
        model.SetBarCodeType(bcEAN_13);
        model.SetData("4006381333931");
        model.SetAddOn("12");
        model.BuildPatterns(96);
        model.SetAddOn(addOn);
        EXPECT_EQ(barcodeError([&] { model.BuildPatterns(96); }), "Add-on codes must be numeric");
        EXPECT_EQ(columnsOf(model.AddOnPattern()), ean2Modules("12"));  // kept
        EXPECT_EQ(columnsOf(model.Pattern()), ean13Modules("4006381333931"));
        EXPECT_EQ(model.Valid(), true);
    }
}

// Only a form file can store an add-on of another length, its check being skipped while
// loading; building it says what is wrong instead of dropping it silently.
TEST(UpcEan, LoadedAddOnOfAnotherLengthFailsItsBuild) {
    BarcodeModel model;
    model.SetLoading(true);
    model.SetAddOn("123");
    model.SetBarCodeType(bcEAN_13);
    model.SetLoading(false);
    EXPECT_EQ(barcodeError([&] { model.BuildAddOnPattern(96); }),
              "Add-on codes must be either 2 or 5 digits");
}

TEST(UpcEan, AddOnOnOtherTypesHasNoPattern) {
    BarcodeModel model;
    model.SetLoading(true);
    model.SetAddOn("12");
    model.SetLoading(false);
    model.SetData("ABC");
    EXPECT_EQ(columnsOf(model.BuildAddOnPattern(96)), "");
}

}  // namespace
}  // namespace sivaro
