#include "decoding/TestData.h"
#include "session/ListingLoop.h"
#include "session/StripTrailingNewline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ListingLoop, IndexCountAndTheTopsAskedFor) {
    for (const auto& row : testdata::Table("pop3/list-replies.table")) {
        ASSERT_EQ(row.size(), 5u);
        SCOPED_TRACE(row[0]);
        const session::ListReply parsed = session::ParseListReply(row[0]);
        std::string index;
        for (std::size_t i = 1; i < parsed.MessageIndex.size(); ++i) {
            const auto& e = parsed.MessageIndex[i];
            index += (i > 1 ? " " : "") + std::to_string(e.Number) + ":" + std::to_string(e.Size);
        }
        EXPECT_EQ(index, row[1]);
        session::ListingLoop loop;
        loop.begin(row[0]);
        const int count = std::stoi(row[2]);
        const bool cut = row[3] == "cut";
        EXPECT_EQ(loop.total(), count);
        EXPECT_EQ(loop.incomplete(), cut);
        std::string asked;
        int position = 0, rows = 0;
        while (!loop.allAsked()) {
            const session::ListingItem item = loop.nextItem();
            EXPECT_EQ(item.position, ++position);
            asked += (asked.empty() ? "" : " ") + std::to_string(item.number);
            rows += item.number != 2;
            loop.answered(item.number != 2); // message 2 gives no row
        }
        EXPECT_EQ(asked, row[4]);
        EXPECT_TRUE(loop.finished());
        // Shown: the count from LIST, or the rows listed when the index was cut short.
        EXPECT_EQ(loop.listedCount(), cut ? rows : count);
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
