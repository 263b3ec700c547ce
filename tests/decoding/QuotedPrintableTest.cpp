#include "decoding/QuotedPrintable.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using decoding::DecodeQP;
using decoding::HexPairValue;

TEST(HexPairValue, Pairs) {
    const struct {
        std::string pair;
        int value;
    } cases[] = {
        {"3D", 61}, {"E9", 233}, {"FF", 255}, {"00", 0}, {"01", 1},       {"A0", 160},
        {"3d", 0},  {"e9", 0},   {"4G", 0},   {"G4", 0}, {"FG", 0},       {" 3", 0},
        {"", 0},    {"3", 0},    {"3D0", 0},  {"=3", 0}, {"\xC3\x89", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexPairValue(c.pair), c.value) << c.pair;
    }
}

TEST(DecodeQP, Table) {
    const auto rows = testdata::Table("codecs/qp-decode.table");
    ASSERT_GE(rows.size(), 25u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(DecodeQP(row[0]), row[1]) << testing::PrintToString(row[0]);
    }
    EXPECT_EQ(DecodeQP(""), "");
}

TEST(DecodeQP, EveryEscapeValue) {
    for (int v = 0; v < 256; ++v) {
        static const char digits[] = "0123456789ABCDEF";
        const std::string escape = std::string("=") + digits[v >> 4] + digits[v & 15];
        const std::string expected = v == 0 ? escape : std::string(1, static_cast<char>(v));
        EXPECT_EQ(DecodeQP("<" + escape + ">"), "<" + expected + ">") << v;
    }
}

TEST(DecodeQP, LongBodyWithSoftBreaks) {
    std::string encoded, expected;
    for (int i = 0; i < 20000; ++i) {
        encoded += "caf=E9 =3D =\r\n";
        expected += "caf\xE9 = ";
    }
    EXPECT_EQ(DecodeQP(encoded), expected);
}
