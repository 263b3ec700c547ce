#include "session/ListReply.h"
#include "session/StripTrailingNewline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using session::ListedSize;
using session::MessageIndexEntry;
using session::ParseListReply;
using session::StripTrailingNewline;

namespace {

struct ListCase {
    const char* name;
    std::string reply;
    std::vector<std::pair<int, int>> index; // (Number, Size) from element 0 on
    int count;
    bool outOfRange;
};

const ListCase kListCases[] = {
    {"two messages",
     "+OK 2 messages\r\n1 120\r\n2 2000\r\n.\r\n",
     {{0, 0}, {1, 120}, {2, 2000}, {0, 0}},
     2,
     false},
    {"empty mailbox", "+OK 0 messages\r\n.\r\n", {{0, 0}, {0, 0}}, 0, false},
    {"bare status", "+OK\r\n.\r\n", {{0, 0}, {0, 0}}, 0, false},
    {"no line end at all", "+OK", {}, 0, false},
    {"extra blanks", "+OK\r\n1   120 \r\n.\r\n", {{0, 0}, {1, 120}, {0, 0}}, 1, false},
    {"line starting with a blank ends the index",
     "+OK\r\n 1 120\r\n.\r\n",
     {{0, 0}, {0, 0}},
     1,
     false},
    // A line without a blank takes the size after the next blank, as the server's lines
    // are read blank to line end.
    {"line without a blank",
     "+OK\r\n1 100\r\n2\r\n3 300\r\n.\r\n",
     {{0, 0}, {1, 100}, {2, 300}, {3, 300}, {0, 0}},
     3,
     false},
    {"size beyond 32 bits",
     "+OK\r\n1 99999999999999999999999\r\n.\r\n",
     {{0, 0}, {1, 2147483647}, {0, 0}},
     1,
     false},
    {"size with junk", "+OK\r\n7 12ab\r\n.\r\n", {{0, 0}, {7, 12}, {0, 0}}, 7, false},
    {"number above 16 bits stops the index",
     "+OK\r\n32767 5\r\n32768 6\r\n.\r\n",
     {{0, 0}, {32767, 5}, {0, 0}},
     32767,
     true},
    {"huge count is capped",
     "+OK\r\n1 5\r\n99999999999999999999 6\r\n.\r\n",
     {{0, 0}, {1, 5}, {0, 0}},
     32767,
     true},
};

class ListReplyTest : public testing::TestWithParam<ListCase> {};

TEST_P(ListReplyTest, IndexAndCount) {
    const ListCase& c = GetParam();
    const auto result = ParseListReply(c.reply);
    std::vector<std::pair<int, int>> index;
    for (const MessageIndexEntry& e : result.MessageIndex) {
        index.emplace_back(e.Number, e.Size);
    }
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(result.MessageCount, c.count);
    EXPECT_EQ(result.NumbersOutOfRange, c.outOfRange);
}

INSTANTIATE_TEST_SUITE_P(Replies, ListReplyTest, testing::ValuesIn(kListCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

TEST(ListReply, ManyLines) {
    std::string reply = "+OK\r\n";
    for (int n = 1; n <= 5000; ++n) {
        reply += std::to_string(n) + " " + std::to_string(n * 10) + "\r\n";
    }
    reply += ".\r\n";
    const auto result = ParseListReply(reply);
    ASSERT_EQ(result.MessageIndex.size(), 5002u);
    EXPECT_EQ(result.MessageCount, 5000);
    EXPECT_EQ(result.MessageIndex[4321].Number, 4321);
    EXPECT_EQ(result.MessageIndex[4321].Size, 43210);
    EXPECT_EQ(result.MessageIndex[5001].Number, 0);
}

TEST(ListReply, SizeOnlyBelowUpperBound) {
    const auto index = ParseListReply("+OK\r\n1 120\r\n2 2000\r\n.\r\n").MessageIndex;
    const struct {
        int number;
        std::optional<std::int32_t> size;
    } cases[] = {{0, std::nullopt}, {1, 120}, {2, 2000}, {3, std::nullopt}, {-1, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(ListedSize(index, c.number), c.size) << c.number;
    }
    EXPECT_EQ(ListedSize({}, 1), std::nullopt);
}

TEST(StripTrailingNewline, OneLineEndOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},         {"abc", "abc"},       {"abc\r\n", "abc"},         {"abc\n", "abc"},
        {"abc\r", "abc"}, {"abc\n\r", "abc\n"}, {"abc\r\n\r\n", "abc\r\n"}, {"\r\n", ""},
        {"\n\n", "\n"},   {"a\r\nb", "a\r\nb"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(StripTrailingNewline(in), out) << testing::PrintToString(in);
    }
}

} // namespace
