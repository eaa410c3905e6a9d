#include "util/NumberText.h"

#include <gtest/gtest.h>

#include <limits>

#include "CommaLocale.h"

namespace sivaro {
namespace {

TEST(NumberText, ParsesTheWholeTextWithAPointWhateverTheLocale) {
    testing::CommaLocale comma;
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"2.79", true, 2.79},    {"-1234.56", true, -1234.56},
        {"+0.5", true, 0.5},     {".5", true, 0.5},
        {"5.", true, 5},         {"1e3", true, 1000},
        {"1.5E-2", true, 0.015}, {"-0", true, -0.0},
        {"2,79", false, 0},      {"", false, 0},
        {"-", false, 0},         {"+-1", false, 0},
        {" 1", false, 0},        {"1 ", false, 0},
        {"1e", false, 0},        {"inf", false, 0},
        {"nan", false, 0},       {"0x10", false, 0},
        {"1.2.3", false, 0},     {"1e999", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double value = 42;
        EXPECT_EQ(c.ok, parseDecimal(c.text, value));
        EXPECT_EQ(c.ok ? c.value : 42, value);
    }
    int n = 7;
    EXPECT_TRUE(parseDecimalInt("+21", n));
    EXPECT_EQ(21, n);
    EXPECT_TRUE(parseDecimalInt("-300", n));
    EXPECT_EQ(-300, n);
    EXPECT_FALSE(parseDecimalInt("99999999999", n));
    EXPECT_FALSE(parseDecimalInt("1a", n));
    EXPECT_EQ(-300, n);
    EXPECT_EQ("2.790e+00", scientificText(2.79, 3));
    EXPECT_EQ("-1.5e-07", scientificText(-1.5e-7, 1));
}

TEST(NumberText, FixedFormWithTheGivenPointWhateverTheLocale) {
    testing::CommaLocale comma;
    struct Case {
        double value;
        int decimals;
        char point;
        const char* text;
    };
    const Case cases[] = {
        {0.244, 2, '.', "0.24"},
        {0.245001, 2, ',', "0,25"},
        {12.5, 0, ',', "12"},
        {-3.5, 1, ',', "-3,5"},
        {1e20, 2, '.', "100000000000000000000.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, fixedText(c.value, c.decimals, c.point));
    }
}

}  // namespace
}  // namespace sivaro
