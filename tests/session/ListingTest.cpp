#include "session/ListingLoop.h"
#include "session/StripTrailingNewline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ListCase {
    std::string reply;
    std::string index; // "Number:Size" from element 1 on
    int count;
    bool outOfRange;
    std::vector<int> asked; // the numbers the listing sends TOP for
};

const ListCase kListCases[] = {
    {"+OK 2 messages\r\n1 120\r\n2 2000\r\n.\r\n", "1:120 2:2000 0:0", 2, false, {1, 2}},
    {"+OK 0 messages\r\n.\r\n", "0:0", 0, false, {}},
    {"+OK", "", 0, false, {}}, // no line end at all
    {"+OK\r\n1   120 \r\n.\r\n", "1:120 0:0", 1, false, {1}},
    {"+OK\r\n 1 120\r\n.\r\n", "0:0", 1, false, {1}}, // a leading blank ends the index
    // A line without a blank takes the size after the next blank.
    {"+OK\r\n1 100\r\n2\r\n3 300\r\n.\r\n", "1:100 2:300 3:300 0:0", 3, false, {1, 2, 3}},
    {"+OK\r\n1 99999999999999999999999\r\n.\r\n", "1:2147483647 0:0", 1, false, {1}},
    {"+OK\r\n7 12ab\r\n.\r\n", "7:12 0:0", 7, false, {1, 2, 3, 4, 5, 6, 7}},
    // Numbers past 16 bits: the index stops there and only its messages are asked for.
    {"+OK\r\n1 5\r\n2 6\r\n40000 7\r\n.\r\n", "1:5 2:6 0:0", 2, true, {1, 2}},
    {"+OK\r\n3 5\r\n99999999999999999999 6\r\n.\r\n", "3:5 0:0", 1, true, {3}},
};

TEST(ListingLoop, IndexCountAndTheTopsAskedFor) {
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.reply);
        const session::ListReply parsed = session::ParseListReply(c.reply);
        std::string index;
        for (std::size_t i = 1; i < parsed.MessageIndex.size(); ++i) {
            const auto& e = parsed.MessageIndex[i];
            index += (i > 1 ? " " : "") + std::to_string(e.Number) + ":" + std::to_string(e.Size);
        }
        EXPECT_EQ(index, c.index);
        session::ListingLoop loop;
        loop.begin(c.reply);
        EXPECT_EQ(loop.total(), c.count);
        EXPECT_EQ(loop.incomplete(), c.outOfRange);
        std::vector<int> asked;
        int rows = 0;
        while (!loop.allAsked()) {
            const session::ListingItem item = loop.nextItem();
            EXPECT_EQ(item.position, static_cast<int>(asked.size()) + 1);
            asked.push_back(item.number);
            rows += item.number != 2;
            loop.answered(item.number != 2); // message 2 gives no row
        }
        EXPECT_EQ(asked, c.asked);
        EXPECT_TRUE(loop.finished());
        // Shown: the count from LIST, or the rows listed when the index was cut short.
        EXPECT_EQ(loop.listedCount(), c.outOfRange ? rows : c.count);
    }
}

TEST(ListingLoop, StartsAndSizes) {
    session::ListingLoop loop;
    EXPECT_EQ(loop.begin("+OK"), session::ListingLoop::Start::Unreadable);
    EXPECT_EQ(loop.begin("+OK\r\n.\r\n"), session::ListingLoop::Start::Empty);
    EXPECT_EQ(loop.begin("+OK\r\n1 120\r\n2 2000\r\n.\r\n"), session::ListingLoop::Start::Listing);
    EXPECT_EQ(loop.sizeAt(2), 2000);
    EXPECT_EQ(loop.sizeAt(3), std::nullopt);
    EXPECT_EQ(loop.sizeAt(0), std::nullopt);
    // Several TOPs may be asked for before the first answer.
    loop.nextItem();
    loop.nextItem();
    EXPECT_TRUE(loop.allAsked());
    EXPECT_FALSE(loop.finished());
    loop.answered(true);
    loop.answered(true);
    EXPECT_TRUE(loop.finished());
}

TEST(StripTrailingNewline, OneLineEndOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},         {"abc", "abc"},       {"abc\r\n", "abc"},         {"abc\n", "abc"},
        {"abc\r", "abc"}, {"abc\n\r", "abc\n"}, {"abc\r\n\r\n", "abc\r\n"}, {"\n\n", "\n"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(session::StripTrailingNewline(in), out);
    }
}

} // namespace
