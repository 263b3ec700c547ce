#include "decoding/Charset.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using decoding::CharsetRun;
using decoding::DecodeEncodedWordRuns;
using decoding::DecodeEncodedWords;
using decoding::FindCharset;

namespace {

TEST(FindCharset, Table) {
    for (const auto& row : testdata::Table("charsets/content-type.table", 2, 20)) {
        EXPECT_EQ(FindCharset(row[0]), row[1]) << testing::PrintToString(row[0]);
    }
    EXPECT_EQ(FindCharset(""), "");
}

TEST(DecodeEncodedWordRuns, Table) {
    for (const auto& row : testdata::Table("charsets/encoded-words.table", 0, 20)) {
        ASSERT_EQ(row.size() % 2, 1u);
        std::vector<CharsetRun> runs;
        for (std::size_t i = 1; i < row.size(); i += 2) {
            runs.push_back({row[i], row[i + 1]});
        }
        EXPECT_EQ(DecodeEncodedWordRuns(row[0]), runs) << testing::PrintToString(row[0]);
    }
    EXPECT_TRUE(DecodeEncodedWordRuns("").empty());
}

TEST(DecodeEncodedWords, FallbackToUtf8) {
    for (const auto& row : testdata::Table("charsets/header-words.table", 2)) {
        EXPECT_EQ(DecodeEncodedWords(row[0]), row[1]) << row[0];
    }
}

TEST(DecodeEncodedWords, ConverterGetsWholeCharacters) {
    std::vector<std::pair<std::string, std::string>> calls;
    const auto convert = [&](std::string_view charset, std::string_view bytes) {
        calls.emplace_back(charset, bytes);
        return charset == "shift_jis" && bytes == "\x82\xA0" ? std::string("あ")
                                                             : std::string("\xFF?");
    };
    // "あ" in Shift_JIS is 82 A0, split over two words.
    EXPECT_EQ(DecodeEncodedWords("=?Shift_JIS?B?gg==?= =?shift_jis?B?oA==?= x", convert), "あÿ?");
    const std::vector<std::pair<std::string, std::string>> expected = {{"shift_jis", "\x82\xA0"},
                                                                       {"", " x"}};
    EXPECT_EQ(calls, expected);
}

// Adjacent words of one charset are joined before conversion; alternating ones are not.
TEST(DecodeEncodedWords, ManyWords) {
    std::string adjacent, alternating, e, ae;
    for (int i = 0; i < 5000; ++i) {
        adjacent += "=?utf-8?q?=C3?= =?utf-8?q?=A9?= ";
        alternating += "=?utf-8?q?a?= =?iso-8859-1?q?=E9?= ";
        e += "é";
        ae += "aé";
    }
    EXPECT_EQ(DecodeEncodedWords(adjacent), e + " ");
    int calls = 0;
    const auto count = [&](std::string_view charset, std::string_view bytes) {
        ++calls;
        return decoding::FallbackConvert(charset, bytes);
    };
    EXPECT_EQ(DecodeEncodedWords(alternating, count), ae + " ");
    EXPECT_EQ(calls, 10001);
}

// Malformed or endless words come back as the text they were, in linear time.
TEST(DecodeEncodedWords, HostileInputsKeepTheirText) {
    std::string markers, openWords;
    for (int i = 0; i < 10000; ++i) {
        markers += "=?=?";
        openWords += "=?utf-8?q?";
    }
    for (const std::string& input : {std::string(100000, '=') + "?", markers, openWords,
                                     "=?" + std::string(100000, 'a') + "?q?x?=",
                                     "=?utf-8?q?" + std::string(100000, '=') + "?="}) {
        std::string joined;
        for (const CharsetRun& run : DecodeEncodedWordRuns(input)) {
            joined += run.Bytes;
        }
        EXPECT_EQ(joined, input.starts_with("=?utf-8?q?==") ? std::string(100000, '=') : input);
    }
}

TEST(Utf8, LengthOffsetAndLeft) {
    for (const auto& row : testdata::Table("charsets/utf8-length.table", 2)) {
        EXPECT_EQ(decoding::Utf8Length(row[0]), std::stoul(row[1])) << row[0];
    }
    EXPECT_EQ(decoding::Utf8Length(""), 0u);
    for (const auto& row : testdata::Table("charsets/utf8-left.table", 3)) {
        EXPECT_EQ(decoding::Utf8Left(row[0], std::stoul(row[1])), row[2]) << row[0];
    }
    EXPECT_EQ(decoding::CharOffset("héllo", 2, decoding::TextUnits::Bytes), 2u);
    EXPECT_EQ(decoding::CharOffset("héllo", 2, decoding::TextUnits::Utf8), 3u);
}

TEST(Utf8, SanitizeAndWindows1252) {
    EXPECT_EQ(decoding::SanitizeUtf8("ok é 😀"), "ok é 😀");
    EXPECT_EQ(decoding::SanitizeUtf8("\x80"), "€");
    EXPECT_EQ(decoding::SanitizeUtf8("\xED\xA0\x80"), "í\xC2\xA0€");
    EXPECT_EQ(decoding::Windows1252ToUtf8("\x81\x8D\x9F\xFF"), "\xC2\x81\xC2\x8DŸÿ");
    EXPECT_EQ(decoding::Windows1252ToUtf8("\x93q\x94"), "“q”");
}

} // namespace
