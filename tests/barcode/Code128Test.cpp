// Code 128 with explicit code sets: the symbol table, the code-set machine with its shift, the
// checksum and every error by its message.

#include "barcode/Code128.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BarcodeTestUtil.h"
#include "barcode/BarcodeModel.h"

namespace sivaro {
namespace {

using test::barcodeError;
using test::columnsOf;

// Control characters of the data, by the codes the data uses for them.
const std::string kStartA = "\xd0";  // #208
const std::string kStartB = "\xd1";  // #209
const std::string kStartC = "\xd2";  // #210
const std::string kFnc3 = "\xc9";    // #201
const std::string kFnc2 = "\xca";    // #202
const std::string kShift = "\xcb";   // #203
const std::string kCodeC = "\xcc";   // #204
const std::string kCodeB = "\xcd";   // #205
const std::string kCodeA = "\xce";   // #206
const std::string kFnc1 = "\xcf";    // #207

// ISO/IEC 15417 symbol character table, spot-checked by value.
const std::map<int, std::string> kSymbolTable = {
    {0, "11011001100"},   {1, "11001101100"},   {16, "10011101100"},  {33, "10100011000"},
    {34, "10001011000"},  {64, "10100001100"},  {65, "10010110000"},  {95, "10111101000"},
    {98, "11110100010"},  {99, "10111011110"},  {100, "10111101110"}, {101, "11101011110"},
    {102, "11110101110"}, {103, "11010000100"}, {104, "11010010000"}, {105, "11010011100"},
};
// Stop character and final bar.
const std::string kStop = "1100011101011";

// The modules that buildCode128 writes for symbol values, at one column a module.
std::string modulesOf(const std::vector<int>& symbols) {
    return test::written([&](PatternWriter& out) { buildCode128(out, symbols, 1); });
}

TEST(Code128, SymbolTable) {
    for (const auto& [value, modules] : kSymbolTable) {
        SCOPED_TRACE(value);
        EXPECT_EQ(modulesOf({value}), modules + kStop);
    }
}

// Every symbol: 11 modules, three bars and three spaces, bar first; no two alike.
TEST(Code128, SymbolTableShape) {
    std::set<std::string> seen;
    for (int value = 0; value <= 105; ++value) {
        SCOPED_TRACE(value);
        const std::string whole = modulesOf({value});
        ASSERT_EQ(whole.substr(whole.size() - kStop.size()), kStop);
        const std::string modules = whole.substr(0, whole.size() - kStop.size());
        EXPECT_EQ(modules.size(), 11u);
        EXPECT_EQ(modules.front(), '1');
        EXPECT_EQ(modules.back(), '0');
        int bars = 0;
        for (std::size_t i = 0; i < modules.size(); ++i) {
            if (modules[i] == '1' && (i == 0 || modules[i - 1] == '0')) ++bars;
        }
        EXPECT_EQ(bars, 3);
        seen.insert(modules);
    }
    EXPECT_EQ(seen.size(), 106u);
}

TEST(Code128, SymbolsAndChecksum) {
    struct Case {
        const char* name;
        std::string data;
        std::vector<int> symbols;  // start, data, check
    };
    const Case cases[] = {
        {"B: AB", kStartB + "AB", {104, 33, 34, 102}},
        {"C: 1234", kStartC + "1234", {105, 12, 34, 82}},
        {"start only", kStartB, {104, 1}},
        {"B: lower case and DEL", kStartB + "a\x7f", {104, 65, 95, 50}},
        {"A: control characters #211 and #242", kStartA + "\xd3\xf2", {103, 64, 95, 48}},
        {"A: space and underscore", kStartA + " _", {103, 0, 63, 23}},
        {"shift from A reads one character in B", kStartA + kShift + "aB", {103, 98, 65, 34, 21}},
        {"shift from B reads one character in A",
         kStartB + kShift + "\xd3" + "a",
         {104, 98, 64, 65, 10}},
        {"B to C", kStartB + kCodeC + "12", {104, 99, 12, 21}},
        {"C to B", kStartC + "12" + kCodeB + "a", {105, 12, 100, 65, 100}},
        {"C to A", kStartC + "12" + kCodeA + "A", {105, 12, 101, 33, 6}},
        {"FNC4 in B keeps set B", kStartB + kCodeB + "a", {104, 100, 65, 25}},
        {"FNC4 in A keeps set A", kStartA + kCodeA + "A", {103, 101, 33, 64}},
        {"FNC1, FNC3, FNC2 in B",
         kStartB + kFnc1 + kFnc3 + kFnc2 + "A",
         {104, 102, 96, 97, 33, 100}},
        {"FNC1 in C", kStartC + kFnc1 + "12", {105, 102, 12, 25}},
        {"characters without a symbol are skipped",
         kStartB + "A\x01\x80\xc8\xf3" + "B",
         {104, 33, 34, 102}},
        // A shift's end takes any set but A to A, also after a switch to C.
        {"switch to C while shifted", kStartA + kShift + kCodeC + "12", {103, 98, 99, 17, 18, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(code128Symbols(c.data), c.symbols);
    }
}

// The checksum is reduced as it goes; a long run gives the same check symbol as the sum.
TEST(Code128, ChecksumOfLongData) {
    const std::string data = kStartB + std::string(5000, 'z');
    const std::vector<int> symbols = code128Symbols(data);
    long long sum = 104;
    for (long long weight = 1; weight <= 5000; ++weight) sum += weight * ('z' - 32);
    EXPECT_EQ(symbols.back(), static_cast<int>(sum % 103));
}

TEST(Code128, Errors) {
    const char* const notStart =
        "A Code128 symbol MUST start with #208, #209 or #210. Please refer to the help file, "
        "since Code128 is different than the other symbologies";
    struct Case {
        std::string data;
        const char* message;
    };
    const Case cases[] = {
        {"AB", notStart},
        {"", notStart},
        {kCodeB + "AB", notStart},
        {"\xd3", notStart},
        {kStartB + "A" + kStartA, "You cannot have a START code in the middle of the symbol"},
        {kStartC + kStartC, "You cannot have a START code in the middle of the symbol"},
        {kStartA + "a", "Only CODE B can contain the character \"a\""},
        {kStartA + "`", "Only CODE B can contain the character \"`\""},
        {kStartC + "{", "Only CODE B can contain the character \"{\""},
        {kStartB + "\xd3", "Only CODE A can contain characters #211 through #242"},
        {kStartC + "\xf2", "Only CODE A can contain characters #211 through #242"},
        {kStartC + "123", "The CODE C portion must contain an even number of digits"},
        {kStartB + kCodeC + "1", "The CODE C portion must contain an even number of digits"},
        {kStartC + "1A", "The CODE C portion must be numeric"},
        {kStartC + "A1", "The CODE C portion must be numeric"},
        {kStartC + "1" + kFnc1, "The CODE C portion must be numeric"},
        {kStartC + kFnc3, "CODE C does not utilize characters #201 through #204"},
        {kStartC + kFnc2, "CODE C does not utilize characters #201 through #204"},
        {kStartC + kShift, "CODE C does not utilize characters #201 through #204"},
        {kStartC + kCodeC, "CODE C does not utilize characters #201 through #204"},
        {kStartA + kShift + kShift, "You cannot have two shift codes in a row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data));
        EXPECT_EQ(barcodeError([&] { code128Symbols(c.data); }), c.message);
    }
}

TEST(Code128, PatternIsTheSymbolsAndTheStop) {
    BarcodeModel model;
    model.SetBarCodeType(bcCode128);
    model.SetData(kStartB + "AB");
    std::string expected;
    for (int value : {104, 33, 34, 102}) expected += kSymbolTable.at(value);
    expected += kStop;
    EXPECT_EQ(columnsOf(model.BuildPattern(96)), expected);
    EXPECT_EQ(columnsOf(model.BuildPattern(120)), test::expand(expected, 2));
}

// A failed build raises to the caller, keeps the stored pattern and marks the data invalid,
// so that nothing is drawn until the data changes.
TEST(Code128, FailedBuildKeepsThePatternAndInvalidatesTheData) {
    BarcodeModel model;
    model.SetBarCodeType(bcCode128);
    model.SetData(kStartB + "AB");
    model.BuildPatterns(96);
    const std::string stored = columnsOf(model.Pattern());
    ASSERT_NE(stored, "");

    model.SetData(kStartA + "a");
    EXPECT_EQ(model.Valid(), true);  // not checked before its pattern is built
    EXPECT_EQ(barcodeError([&] { model.BuildPatterns(96); }),
              "Only CODE B can contain the character \"a\"");
    EXPECT_EQ(model.Valid(), false);
    EXPECT_EQ(columnsOf(model.Pattern()), stored);
    EXPECT_EQ(model.Data(), kStartA + "a");

    model.BuildPatterns(96);
    EXPECT_EQ(columnsOf(model.Pattern()), "");
}

}  // namespace
}  // namespace sivaro
