#include "decoding/QuotedPrintable.h"

#include <gtest/gtest.h>

#include <string>

using decoding::DecodeQP;
using decoding::HexPairValue;

namespace {

struct Case {
    std::string input;
    std::string expected;
};

} // namespace

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

TEST(DecodeQP, Texts) {
    const Case cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a=3Db", "a=b"},
        {"caf=E9", "caf\xE9"},
        {"line=\r\nnext", "linenext"},
        {"=3d", "=3d"},
        {"=00", "=00"},
        {"= x", "= x"},
        {"=3D=3D", "=="},
        {"=3D=41", "=A"},
        {"=4G", "=4G"},
        {"=G4", "=G4"},
        {"=FG", "=FG"},
        {"end=", "end="},
        {"end=4", "end=4"},
        {"end=\r", "end=\r"},
        {"=  \r\nx", "=  \r\nx"}, // blanks before the break: not a soft break
        {"=\nx", "=\nx"},         // LF alone: not a soft break
        {"=3D3D", "=3D"},         // a decoded "=" never starts an escape
        {"==41", "=A"},           // the refused "=" is kept, the next one decodes
        {"=\r\n=41", "A"},        // after a soft break the next "=" is read afresh
        {"=\r\n=\r\nA", "A"},
        {"==\r\n41", "=41"}, // the break's removal does not reopen the earlier "="
        {"=\r\n\r\n", "\r\n"},
        {std::string("=01=0A=0D", 9), "\x01\n\r"},
        {std::string("a\0=3Db", 6), std::string("a\0=b", 4)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeQP(c.input), c.expected) << c.input;
    }
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
