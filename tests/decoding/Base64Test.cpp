#include "decoding/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using modBase64::Base64Decode;
using modBase64::Base64Encode;

namespace {

// Literal, slow decoder used as the reference: the result is made at full size first, each
// group overwrites it at the write position, and a pad removes the result's last character.
std::string ReferenceDecode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto value = [](char c) -> int {
        if (c == '=') {
            return 64;
        }
        const auto pos = alphabet.find(c);
        return pos == std::string::npos ? -1 : static_cast<int>(pos);
    };
    std::size_t m = 0;
    for (char c : text) {
        m += value(c) >= 0 ? 1 : 0;
    }
    std::string result(m / 4 * 3, ' ');
    std::size_t w = 0;
    int q[4];
    int k = 0;
    for (char c : text) {
        const int v = value(c);
        if (v < 0) {
            continue;
        }
        q[k++] = v;
        if (k < 4) {
            continue;
        }
        const char bytes[3] = {static_cast<char>(((q[0] << 2) & 255) | ((q[1] >> 4) & 3)),
                               static_cast<char>(((q[1] & 15) << 4) | ((q[2] >> 2) & 15)),
                               static_cast<char>((((q[2] & 3) << 6) | q[3]) & 255)};
        for (int i = 0; i < 3 && w + i < result.size(); ++i) {
            result[w + i] = bytes[i];
        }
        w += 3;
        if (q[3] == 64) {
            result.pop_back();
            --w;
        }
        if (q[2] == 64) {
            result.pop_back();
            --w;
        }
        k = 0;
    }
    return result;
}

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}

struct Case {
    std::string input;
    std::string expected;
};

} // namespace

TEST(Base64Encode, KnownTexts) {
    const Case cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"abcd", "YWJjZA=="},
        {"secret password", "c2VjcmV0IHBhc3N3b3Jk"},
        {std::string("\0\0\0", 3), "AAAA"},
        {"\xff\xfe\xfd", "//79"},
        {"\xfb\xff", "+/8="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Encode(c.input), c.expected) << c.input;
    }
}

TEST(Base64Encode, NeverBreaksLines) {
    const std::string encoded = Base64Encode(std::string(3000, 'x'));
    EXPECT_EQ(encoded.size(), 4000u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Decode, KnownTexts) {
    const Case cases[] = {
        {"", ""},
        {"YWJj", "abc"},
        {"YWI=", "ab"},
        {"YQ==", "a"},
        {"QUJD\r\nRA==\r\n", "ABCD"},
        {"QUJDRA==\r\n", "ABCD"},
        {"QUJDRA==", "ABCD"},
        {"QU JD\tR*A=\n=", "ABCD"}, // junk inside groups is skipped
        {"Y", ""},
        {"YW", ""},
        {"YWJ", ""}, // fewer than four values: nothing
        {"YWJjZ", "abc"},
        {"YWJjZA=", "abc"}, // incomplete last group dropped
        {"====", std::string(1, '\0')},
        {"//79", "\xff\xfe\xfd"},
        // "=" is a value wherever it stands.
        {"YQ==YWJj", "aabc"},
        {"YW=j", std::string("a`", 2)},
        {"YWJ=YWJj", "ababc"},
        {"=WJj", std::string("\x01"
                             "bc",
                             3)},
        {"A=AA", std::string(3, '\0')}, // a pad in the second place removes nothing
        {"\r\n\r\n", ""},
        {"!!!!YWJj!!!!", "abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Decode(c.input), c.expected) << c.input;
        EXPECT_EQ(ReferenceDecode(c.input), c.expected) << "reference: " << c.input;
    }
}

TEST(Base64Codec, EveryByteRoundTripsInEveryPosition) {
    const std::string bytes = AllBytes();
    for (int i = 0; i < 256; ++i) {
        const std::string one(1, static_cast<char>(i));
        ASSERT_EQ(Base64Decode(Base64Encode(one)), one) << i;
    }
    // Shifting the start moves each byte through all three places of a group.
    for (std::size_t shift = 0; shift < 3; ++shift) {
        const std::string text = std::string(shift, 'x') + bytes;
        EXPECT_EQ(Base64Decode(Base64Encode(text)), text) << shift;
    }
}

TEST(Base64Codec, RoundTripsEveryLengthAroundGroupBoundaries) {
    std::mt19937 rng(7);
    for (std::size_t length = 0; length <= 70; ++length) {
        std::string text(length, '\0');
        for (auto& c : text) {
            c = static_cast<char>(rng());
        }
        const std::string encoded = Base64Encode(text);
        EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(Base64Decode(encoded), text) << length;
    }
}

TEST(Base64Decode, MailLinesOfAnyLength) {
    // A large part broken into lines as mailers do, with CR LF or LF and any line width.
    std::mt19937 rng(11);
    std::string data(100000 + 2, '\0');
    for (auto& c : data) {
        c = static_cast<char>(rng());
    }
    const std::string encoded = Base64Encode(data);
    for (std::size_t width : {1u, 3u, 4u, 5u, 64u, 76u, 77u}) {
        for (const char* eol : {"\r\n", "\n"}) {
            std::string wrapped;
            for (std::size_t i = 0; i < encoded.size(); i += width) {
                wrapped += encoded.substr(i, width);
                wrapped += eol;
            }
            ASSERT_EQ(Base64Decode(wrapped), data) << width;
        }
    }
}

TEST(Base64Decode, MatchesReferenceOnRandomText) {
    // Small alphabet so that pads, junk and line breaks land everywhere in groups.
    const std::string alphabet = "QWJ/+=\r\n *";
    std::mt19937 rng(1234);
    for (int round = 0; round < 20000; ++round) {
        std::string text(rng() % 40, ' ');
        for (auto& c : text) {
            c = alphabet[rng() % alphabet.size()];
        }
        ASSERT_EQ(Base64Decode(text), ReferenceDecode(text)) << text;
    }
}

TEST(Base64Decode, MatchesReferenceOnLongRandomText) {
    // Long enough to cross the decoder's internal buffer many times, with pads and junk.
    const std::string alphabet = "QWERTYuiop0189+/QWERTYuiop0189+/=\r\n ";
    std::mt19937 rng(77);
    for (int round = 0; round < 20; ++round) {
        std::string text(5000 + rng() % 30000, ' ');
        for (auto& c : text) {
            c = alphabet[rng() % alphabet.size()];
        }
        ASSERT_EQ(Base64Decode(text), ReferenceDecode(text)) << round;
    }
}

TEST(Base64Decode, MatchesReferenceOnRandomBytes) {
    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 200, ' ');
        for (auto& c : text) {
            c = static_cast<char>(rng());
        }
        ASSERT_EQ(Base64Decode(text), ReferenceDecode(text));
    }
}
