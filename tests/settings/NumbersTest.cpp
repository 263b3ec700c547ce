#include "settings/Numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using settings::LeadingNumber;
using settings::ToInt16;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LeadingNumber, Texts) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {".", 0},
        {"+.e5", 0},
        {"3", 3},
        {"1440", 1440},
        {"2527.5", 2527.5},
        {"9.75", 9.75},
        {"5999.5", 5999.5},
        {"-120", -120},
        {"+7", 7},
        {".5", 0.5},
        {"5.", 5},
        {"007", 7},
        {"  12", 12},
        {"\t12", 12},
        {"12abc", 12},
        {"12 34", 12},
        {"1.5.5", 1.5},
        {"1E+07", 1e7},
        {"2.5e-1", 0.25},
        {"2e", 2},
        {"2e+", 2},
        {"2ex", 2},
        {"1,5", 1},
        {"True", 0},
        {"0x10", 0},
        {"nan", 0},
        {"inf", 0},
        {"1e-400", 0},
        {"1e400", kInf},
        {"-" + std::string(400, '9'), -kInf},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
    }
}

TEST(ToInt16, RoundsHalvesToEvenAndClamps) {
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
        {kInf, 32767},
        {-kInf, -32768},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {0.49999999999999994, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToInt16(c.value), c.expected) << c.value;
    }
}
