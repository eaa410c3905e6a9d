// Text conversions of fields as the importer writes them: dates, numbers, logical, text size,
// empty text, and the errors that name the value and the field.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>

#include "CommaLocale.h"
#include "StoreTestUtil.h"
#include "store/FieldCodec.h"
#include "store/FieldText.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

class FieldText : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::pinSettings(',');
        testing::createFromSchema(m_dir.file("tipos.db"),
                                  "cod\t+\t0\t*\n"
                                  "nome\tA\t5\n"
                                  "dat\tD\t0\n"
                                  "val\tN\t0\n"
                                  "pre\t$\t0\n"
                                  "qtd\tS\t0\n"
                                  "num\tI\t0\n"
                                  "ok\tL\t0\n"
                                  "hora\tT\t0\n"
                                  "quando\t@\t0\n"
                                  "dec\t#\t2\n"
                                  "obs\tM\t10\n");
        m_store = createParadoxStore();
        m_table = testing::openTable(*m_store, m_dir.str(), "TIPOS");
        m_table->insert();
    }
    void TearDown() override { testing::pinSettings('.'); }
    Field& f(const std::string& name) { return m_table->fieldByName(name); }
    testing::TempDir m_dir;
    std::unique_ptr<TableStore> m_store;
    std::unique_ptr<Table> m_table;
};

int currentYear() {
    const auto days = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    return static_cast<int>(std::chrono::year_month_day(days).year());
}

TEST_F(FieldText, DatesReadByTheShortPattern) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"31/12/2010", "31/12/2010"},  {"1/2/2010", "01/02/2010"},   {"01/2/0999", "01/02/0999"},
        {" 5/06/2001 ", "05/06/2001"}, {"29/02/2000", "29/02/2000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        f("dat").setAsString(c.in);
        EXPECT_EQ(c.out, f("dat").asString());
    }
    f("dat").setAsString("01/01/0001");
    EXPECT_EQ(FieldValue(std::int64_t(1)), f("dat").value());  // day 1 is 1 January 0001
}

TEST(CenturyWindow, TwoDigitYearsFallInTheHundredYearsFromWindowYearsBefore) {
    struct Case {
        int twoDigits, currentYear, window, year;
    };
    const Case cases[] = {
        {76, 2026, 50, 1976},  // the first year of the window
        {75, 2026, 50, 2075},  // the last
        {26, 2026, 50, 2026}, {0, 2026, 50, 2000},  {99, 2026, 50, 1999}, {50, 2000, 50, 1950},
        {49, 2000, 50, 2049}, {0, 2050, 50, 2000},  {99, 2050, 50, 2099}, {10, 2026, 10, 2110},
        {15, 2026, 10, 2115}, {16, 2026, 10, 2016}, {76, 2026, 0, 2076},  {5, 1999, 0, 1905},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.twoDigits) + " in " + std::to_string(c.currentYear) +
                     ", window " + std::to_string(c.window));
        EXPECT_EQ(c.year, px::centuryYear(c.twoDigits, c.currentYear, c.window));
    }
}

TEST_F(FieldText, TwoDigitYearsFallInTheCenturyWindow) {
    // The window of 50: the 100 years from 50 years before the current one.
    const int first = currentYear() - 50;
    const int last = first + 99;
    char buf[32];
    std::snprintf(buf, sizeof buf, "01/01/%02d", first % 100);
    f("dat").setAsString(buf);
    EXPECT_EQ("01/01/" + std::to_string(first), f("dat").asString());
    std::snprintf(buf, sizeof buf, "01/01/%02d", last % 100);
    f("dat").setAsString(buf);
    EXPECT_EQ("01/01/" + std::to_string(last), f("dat").asString());
    std::snprintf(buf, sizeof buf, "7/3/%d", first % 10);  // one digit counts as two
    f("dat").setAsString(buf);
    const int y = first - first % 100 + first % 10;
    EXPECT_EQ("07/03/" + std::to_string(y < first ? y + 100 : y), f("dat").asString());
}

TEST_F(FieldText, TextsThatDoNotConvertNameValueAndField) {
    struct Case {
        const char* field;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"dat", "32/01/2010", "'32/01/2010' is not a valid date value for field 'dat'"},
        {"dat", "31/12/2010 10:30", "'31/12/2010 10:30' is not a valid date value for field 'dat'"},
        {"dat", "2010-12-31", "'2010-12-31' is not a valid date value for field 'dat'"},
        {"num", "12A", "'12A' is not a valid integer value for field 'num'"},
        {"qtd", "70000", "'70000' is not a valid integer value for field 'qtd'"},
        {"num", "1,5", "'1,5' is not a valid integer value for field 'num'"},
        {"val", "1.234,5", "'1.234,5' is not a valid floating point value for field 'val'"},
        {"val", "1234.5", "'1234.5' is not a valid floating point value for field 'val'"},
        {"pre", "R$ 10", "'R$ 10' is not a valid floating point value for field 'pre'"},
        {"ok", "sim", "'sim' is not a valid boolean value for field 'ok'"},
        {"hora", "25:00", "'25:00' is not a valid time value for field 'hora'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            f(c.field).setAsString(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(c.message, std::string(e.what()));
        }
    }
}

TEST_F(FieldText, NumbersUseTheLocaleSeparator) {
    f("val").setAsString("1234,56");
    EXPECT_EQ(FieldValue(1234.56), f("val").value());
    EXPECT_EQ("1234,56", f("val").asString());
    f("pre").setAsString("-0,5");
    EXPECT_EQ(-0.5, f("pre").asCurrency());
    f("dec").setAsString("12,345");  // two decimals kept, the rest rounded
    EXPECT_EQ("12,35", f("dec").asString());
    f("num").setAsString(" -42 ");
    EXPECT_EQ(-42, f("num").asInteger());
    testing::pinSettings('.');
    f("val").setAsString("1234.5");
    EXPECT_EQ("1234.5", f("val").asString());
    f("val").setAsString("1E3");
    EXPECT_EQ(1000.0, f("val").asCurrency());
}

// A window toolkit sets the C library's numeric locale from the desktop; under a decimal comma
// the conversions must read and write exactly what they do under any other locale.
TEST_F(FieldText, NumbersDoNotDependOnTheCLibrarysLocale) {
    testing::CommaLocale comma;
    ASSERT_TRUE(comma.active());
    struct Case {
        const char* field;
        const char* text;
        double value;
        const char* shown;
    };
    const Case cases[] = {
        {"val", "2,79", 2.79, "2,79"},
        {"val", "1234,56", 1234.56, "1234,56"},
        {"val", "0,5", 0.5, "0,5"},
        {"val", "-0,000001", -0.000001, "-0,000001"},
        {"val", "1,5E3", 1500, "1500"},
        {"pre", "2,79", 2.79, "2,79"},
        {"pre", "-1234,5", -1234.5, "-1234,5"},
        {"dec", "12,345", 12.35, "12,35"},
        {"dec", "-0,07", -0.07, "-0,07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.text);
        f(c.field).setAsString(c.text);
        EXPECT_EQ(c.value, f(c.field).asCurrency());
        EXPECT_EQ(c.shown, f(c.field).asString());
    }
    m_table->post();
    m_table->first();
    EXPECT_EQ(-0.07, f("dec").asCurrency()) << "read back from the table";
    EXPECT_EQ("0.30000000000000004", px::shortestNumber(0.30000000000000004));
    EXPECT_EQ("1E+21", px::shortestNumber(1e21));
}

TEST_F(FieldText, EmptyTextClearsNumbersAndDates) {
    const std::pair<const char*, const char*> samples[] = {
        {"dat", "01/01/2000"}, {"val", "1"}, {"pre", "1"},      {"qtd", "1"},
        {"num", "1"},          {"ok", "T"},  {"hora", "10:00"}, {"quando", "01/01/2000 10:00:00"},
        {"dec", "1"}};
    for (const auto& [name, sample] : samples) {
        SCOPED_TRACE(name);
        f(name).setAsString(sample);
        EXPECT_FALSE(f(name).isNull());
        f(name).setAsString("");
        EXPECT_TRUE(f(name).isNull());
        EXPECT_EQ("", f(name).asString());
    }
}

TEST_F(FieldText, TextKeepsAtMostItsSize) {
    f("nome").setAsString("ABCDEFGH");
    EXPECT_EQ("ABCDE", f("nome").asString());
    f("nome").setAsString("");
    EXPECT_TRUE(f("nome").isNull());
    f("obs").setAsString(std::string(5000, 'x'));  // memo: no limit
    EXPECT_EQ(5000u, f("obs").asString().size());
}

TEST_F(FieldText, LogicalWithoutRegardToCase) {
    const std::pair<const char*, bool> cases[] = {{"T", true},      {"t", true},     {"True", true},
                                                  {"TRUE", true},   {"F", false},    {"f", false},
                                                  {"false", false}, {"FaLsE", false}};
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        f("ok").setAsString(text);
        EXPECT_EQ(FieldValue(value), f("ok").value());
    }
    EXPECT_EQ("False", f("ok").asString());
}

TEST_F(FieldText, TimesAndTimestamps) {
    f("hora").setAsString("9:05");
    EXPECT_EQ("09:05:00", f("hora").asString());
    EXPECT_EQ(FieldValue(std::int64_t(9 * 3600000 + 5 * 60000)), f("hora").value());
    f("quando").setAsString("31/12/2010 10:30:00");
    EXPECT_EQ("31/12/2010 10:30:00", f("quando").asString());
    f("quando").setAsString("31/12/2010");
    EXPECT_EQ("31/12/2010", f("quando").asString());
}

TEST_F(FieldText, IntegerCurrencyAndValueAccess) {
    f("num").setAsInteger(123456);
    EXPECT_EQ("123456", f("num").asString());
    f("val").setAsCurrency(2.5);
    EXPECT_EQ(2, f("val").asInteger());  // half to even, as the original's Round
    f("val").setAsCurrency(3.5);
    EXPECT_EQ(4, f("val").asInteger());
}

TEST_F(FieldText, WritingOutsideEditOrInsertIsRefused) {
    m_table->cancel();
    EXPECT_THROW(f("nome").setAsString("x"), EDatabaseError);
}

// Values of damaged tables that the fuzz targets found: past every calendar, not a number, out
// of an integer's range. They read as their number or are refused, and never overflow.
TEST_F(FieldText, ValuesPastEveryCalendarAndRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Shown {
        double days;
        std::string text;
    };
    // Shown as the milliseconds they hold, with the locale's separator.
    const Shown timestamps[] = {{nan, "NAN"},
                                {inf, "INF"},
                                {-inf, "-INF"},
                                {1e300, "8,64E+307"},
                                {-2e12, "-172800000000000000000"}};
    for (const Shown& c : timestamps) {
        SCOPED_TRACE(c.days);
        f("quando").setValue(c.days);
        EXPECT_EQ(c.text, f("quando").asString());
    }
    struct Refused {
        const char* field;
        double value;
    };
    const Refused refused[] = {{"dat", nan},  {"dat", 1e300}, {"dat", -3e9}, {"hora", inf},
                               {"hora", 5e9}, {"val", nan},   {"val", -inf}};
    for (const Refused& c : refused) {
        SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.value));
        EXPECT_THROW(f(c.field).setValue(c.value), EConvertError);
    }
}

// A number field whose stored bytes are not a number: shown as such, refused as an integer.
TEST_F(FieldText, StoredNotANumberIsRefusedAsAnInteger) {
    f("val").setValue(1.0);
    m_table->post();
    m_table->close();
    std::uint8_t one[8], nan[8];
    px::encodeDouble(one, 1.0);
    px::encodeDouble(nan, std::numeric_limits<double>::quiet_NaN());
    const std::string path = m_dir.file("tipos.db");
    std::string bytes = testing::readFileText(path);
    const std::size_t at = bytes.find(std::string(reinterpret_cast<char*>(one), 8));
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 8, std::string(reinterpret_cast<char*>(nan), 8));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    m_table->open();
    m_table->first();
    EXPECT_EQ("NAN", f("val").asString());
    EXPECT_THROW(f("val").asInteger(), EConvertError);
}

// pxtool shows a timestamp past every calendar as its number of days.
TEST_F(FieldText, PxtoolDumpsTimestampsPastEveryCalendarAsNumbers) {
    f("quando").setValue(std::numeric_limits<double>::infinity());
    m_table->post();
    m_table->insert();
    f("quando").setValue(1e300);
    m_table->post();
    m_table->close();
    int code = -1;
    const std::string out = testing::runPxtool("dump " + m_dir.file("tipos.db"), &code);
    EXPECT_EQ(0, code) << out;
    EXPECT_EQ(
        "cod\tnome\tdat\tval\tpre\tqtd\tnum\tok\thora\tquando\tdec\tobs\n"
        "1\t\t\t\t\t\t\t\t\tINF\t\t\n"
        "2\t\t\t\t\t\t\t\t\t1E+300\t\t\n",
        out);
}

TEST(FieldCodec, NumbersKeepByteOrderAsValueOrder) {
    const double values[] = {-1e300, -2.5, -1, -0.0001, 0, 0.0001, 1, 2.5, 1e300};
    std::uint8_t prev[8], cur[8];
    px::encodeDouble(prev, values[0]);
    for (std::size_t i = 1; i < std::size(values); ++i) {
        px::encodeDouble(cur, values[i]);
        EXPECT_LT(std::memcmp(prev, cur, 8), 0) << values[i];
        EXPECT_EQ(values[i], px::decodeDouble(cur));
        std::memcpy(prev, cur, 8);
    }
    std::uint8_t b[4];
    px::encodeInt(b, 4, -1);
    EXPECT_EQ(-1, px::decodeInt(b, 4));
    px::encodeInt(b, 2, 0);
    EXPECT_EQ(0x80, b[0]);  // zero is not NULL
}

TEST(FieldCodec, BcdRoundTrip) {
    struct Case {
        double v;
        int decimals;
    };
    for (const Case c : {Case{1.23, 2}, Case{-1.23, 2}, Case{0, 0}, Case{123456789, 0},
                         Case{0.123, 32}, Case{-13.123457, 6}}) {
        std::uint8_t b[17];
        ASSERT_TRUE(px::encodeBcd(b, c.decimals, c.v));
        EXPECT_EQ(c.v, px::decodeBcd(b, c.decimals));
    }
    std::uint8_t b[17];
    EXPECT_FALSE(px::encodeBcd(b, 30, 1000));  // three integer digits do not fit in two
}

TEST(FieldCodec, ShortestNumberReadsBack) {
    const std::pair<double, const char*> cases[] = {{0.1, "0.1"},
                                                    {1234.5, "1234.5"},
                                                    {1e21, "1E+21"},
                                                    {100000000, "100000000"},
                                                    {-0.000001, "-0.000001"},
                                                    {0.30000000000000004, "0.30000000000000004"},
                                                    {0, "0"}};
    for (const auto& [v, text] : cases) EXPECT_EQ(text, px::shortestNumber(v));
}

TEST(FieldCodec, CivilDays) {
    EXPECT_EQ(1, px::daysFromCivil(1, 1, 1));
    EXPECT_EQ(719163, px::daysFromCivil(1970, 1, 1));
    EXPECT_EQ(0, px::daysFromCivil(2001, 2, 29));
    int y, m, d;
    px::civilFromDays(px::daysFromCivil(2024, 2, 29), y, m, d);
    EXPECT_EQ(2024, y);
    EXPECT_EQ(2, m);
    EXPECT_EQ(29, d);
    // Day numbers past any calendar (found by the fuzz targets) give the zero date.
    for (const std::int64_t days :
         {std::int64_t{2000000000}, std::int64_t{-1500000000},
          std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
        SCOPED_TRACE(days);
        px::civilFromDays(days, y, m, d);
        EXPECT_EQ(0, y);
        EXPECT_EQ(0, m);
        EXPECT_EQ(0, d);
    }
}

}  // namespace
}  // namespace sivaro
