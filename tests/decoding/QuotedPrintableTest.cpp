#include "decoding/QuotedPrintable.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using decoding::DecodeQP;
using decoding::HexPairValue;

TEST(HexPairValue, Pairs) {
    for (const auto& row : testdata::Table("codecs/hex-pair.table", 2)) {
        EXPECT_EQ(HexPairValue(row[0]), std::stoi(row[1])) << row[0];
    }
}

TEST(DecodeQP, Table) {
    for (const auto& row : testdata::Table("codecs/qp-decode.table", 2, 25)) {
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

// Plain runs are scanned a word at a time: an escape, a soft break or a lone "=" must be
// found at every offset within and across words, and at the very end.
TEST(DecodeQP, EscapesAtEveryOffset) {
    for (std::size_t before = 0; before <= 17; ++before) {
        for (std::size_t after = 0; after <= 17; ++after) {
            const std::string a(before, 'a'), b(after, 'b');
            EXPECT_EQ(DecodeQP(a + "=41" + b), a + "A" + b) << before << " " << after;
            EXPECT_EQ(DecodeQP(a + "=\r\n" + b), a + b);
            EXPECT_EQ(DecodeQP(a + "=4" + b), a + "=4" + b);
            EXPECT_EQ(DecodeQP(a + "=e9=E9" + b), a + "=e9\xE9" + b);
        }
        EXPECT_EQ(DecodeQP(std::string(before, 'c') + "="), std::string(before, 'c') + "=");
    }
}
