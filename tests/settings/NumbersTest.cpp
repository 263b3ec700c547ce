#include "settings/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

using settings::LeadingNumber;
using settings::ToInt16;

TEST(LeadingNumber, Texts) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"", 0},        {"abc", 0},       {"-", 0},           {".", 0},       {"+.e5", 0},
        {"3", 3},       {"1440", 1440},   {"2527.5", 2527.5}, {"9.75", 9.75}, {"5999.5", 5999.5},
        {"-120", -120}, {"+7", 7},        {".5", 0.5},        {"5.", 5},      {"007", 7},
        {"  12", 12},   {"\t12", 12},     {"12abc", 12},      {"12 34", 12},  {"1.5.5", 1.5},
        {"1E+07", 1e7}, {"2.5e-1", 0.25}, {"2e", 2},          {"2e+", 2},     {"2ex", 2},
        {"1,5", 1},     {"True", 0},      {"0x10", 0},        {"nan", 0},     {"inf", 0},
        {"1e-400", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
    }
}

TEST(LeadingNumber, OverflowIsInfinite) {
    EXPECT_EQ(LeadingNumber("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(LeadingNumber("-" + std::string(400, '9')), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(ToInt16(LeadingNumber("1e400")), 32767);
}

TEST(LeadingNumber, IgnoresTheLocale) {
    // The desktop may run in a locale whose decimal separator is a comma.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    }
    EXPECT_EQ(LeadingNumber("2527.5"), 2527.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ToInt16, Rounding) {
    const struct {
        double value;
        int expected;
    } cases[] = {
        {0, 0},
        {0.4, 0},
        {0.5, 0},
        {0.6, 1},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {-2.6, -3},
        {5999.5, 6000},
        {2527.5, 2528},
        {70.62, 71},
        {32766.5, 32766},
        {32767.4, 32767},
        {32767.5, 32767},
        {32768, 32767},
        {1e300, 32767},
        {-32768.5, -32768},
        {-32769, -32768},
        {-1e300, -32768},
        {0.49999999999999994, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToInt16(c.value), c.expected) << c.value;
    }
}

TEST(ToInt16, NonFinite) {
    EXPECT_EQ(ToInt16(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(ToInt16(-std::numeric_limits<double>::infinity()), -32768);
    EXPECT_EQ(ToInt16(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ToInt16, StoredCounts) {
    // Counts and codes go through both operations.
    EXPECT_EQ(ToInt16(LeadingNumber("3")), 3);
    EXPECT_EQ(ToInt16(LeadingNumber("")), 0);
    EXPECT_EQ(ToInt16(LeadingNumber("-1")), -1);
    EXPECT_EQ(ToInt16(LeadingNumber("99999")), 32767);
}
