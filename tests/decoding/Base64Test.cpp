#include "decoding/Base64.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using modBase64::Base64Decode;
using modBase64::Base64Encode;

namespace {

TEST(Base64Encode, KnownTexts) {
    for (const auto& row : testdata::Table("codecs/base64-encode.table", 2)) {
        EXPECT_EQ(Base64Encode(row[0]), row[1]) << row[0];
    }
    EXPECT_EQ(Base64Encode(""), "");
    const std::string long_ = Base64Encode(std::string(3000, 'x'));
    EXPECT_EQ(long_.size(), 4000u); // one line, never broken
    EXPECT_EQ(long_.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Decode, Table) {
    for (const auto& row : testdata::Table("codecs/base64-decode.table", 2, 20)) {
        EXPECT_EQ(Base64Decode(row[0]), row[1]) << testing::PrintToString(row[0]);
    }
    EXPECT_EQ(Base64Decode(""), "");
    // Pads and junk all through a text longer than the decoder's buffer.
    std::string padded, expected;
    for (int i = 0; i < 5000; ++i) {
        padded += "YQ== YW=j\r\n";
        expected += "aa`";
    }
    EXPECT_EQ(Base64Decode(padded), expected);
}

// Every byte in each place of a group, every length around group ends, and a large part
// wrapped at any line width with CR LF or LF.
TEST(Base64Codec, RoundTrips) {
    const std::string all = testdata::AllBytes();
    for (std::size_t shift = 0; shift < 3; ++shift) {
        const std::string text = std::string(shift, 'x') + all;
        EXPECT_EQ(Base64Decode(Base64Encode(text)), text) << shift;
    }
    for (std::size_t length = 0; length <= 70; ++length) {
        const std::string text = testdata::RandomBytes(length, static_cast<unsigned>(length));
        const std::string encoded = Base64Encode(text);
        EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(Base64Decode(encoded), text) << length;
    }
    const std::string data = testdata::RandomBytes(100000 + 2, 11);
    const std::string encoded = Base64Encode(data);
    for (std::size_t width : {1u, 3u, 4u, 5u, 76u, 77u}) {
        for (const char* eol : {"\r\n", "\n"}) {
            std::string wrapped;
            for (std::size_t i = 0; i < encoded.size(); i += width) {
                wrapped += encoded.substr(i, width) + eol;
            }
            ASSERT_EQ(Base64Decode(wrapped), data) << width;
        }
    }
}

} // namespace
