#include "decoding/QuotedPrintable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using decoding::DecodeQP;
using decoding::HexPairValue;

namespace {

// Literal, slow decoder used as the reference: it rewrites the whole string at each escape
// and keeps 1-based positions, p stepping past a decoded or refused escape's "=" and staying
// put after a soft line break.
std::string ReferenceDecodeQP(std::string s) {
    auto find = [&s](std::size_t from) -> std::size_t { // 1-based, 0 when absent
        const auto pos = s.find('=', from - 1);
        return pos == std::string::npos ? 0 : pos + 1;
    };
    std::size_t p = find(1);
    while (p > 0) {
        if (s.substr(p, 2) != "\r\n") {
            const std::int16_t v = HexPairValue(s.substr(p, 2));
            if (v != 0) {
                s = s.substr(0, p - 1) + static_cast<char>(v) + s.substr(std::min(p + 2, s.size()));
            }
            p = p + 1;
        } else {
            s = s.substr(0, p - 1) + s.substr(p + 2);
        }
        p = p > s.size() ? 0 : find(p);
    }
    return s;
}

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
        EXPECT_EQ(ReferenceDecodeQP(c.input), c.expected) << "reference: " << c.input;
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

TEST(DecodeQP, MatchesReferenceOnRandomText) {
    const std::string alphabet = "=3DA\r\n a0";
    std::mt19937 rng(2024);
    for (int round = 0; round < 50000; ++round) {
        std::string text(rng() % 24, ' ');
        for (auto& c : text) {
            c = alphabet[rng() % alphabet.size()];
        }
        ASSERT_EQ(DecodeQP(text), ReferenceDecodeQP(text)) << text;
    }
}

TEST(DecodeQP, LongBodyWithSoftBreaks) {
    // A long line wrapped at 76 characters and decoded back.
    std::string original;
    for (int i = 0; i < 20000; ++i) {
        original += "caf\xE9 = ";
    }
    std::string encoded;
    std::size_t lineLength = 0;
    for (char c : original) {
        std::string piece(1, c);
        if (c == '=' || static_cast<unsigned char>(c) >= 128) {
            static const char digits[] = "0123456789ABCDEF";
            const auto u = static_cast<unsigned char>(c);
            piece = std::string("=") + digits[u >> 4] + digits[u & 15];
        }
        if (lineLength + piece.size() > 75) {
            encoded += "=\r\n";
            lineLength = 0;
        }
        encoded += piece;
        lineLength += piece.size();
    }
    EXPECT_EQ(DecodeQP(encoded), original);
}
