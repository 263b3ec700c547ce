#include "decoding/TestData.h"
#include "session/ListingLoop.h"
#include "session/StripTrailingNewline.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(ListingLoop, AnIdGivenTwiceNamesNeitherMessage) {
    session::ListingLoop loop;
    loop.begin("+OK\r\n1 10\r\n2 20\r\n3 30\r\n4 40\r\n.\r\n");
    EXPECT_FALSE(loop.setUids(session::ParseUidlReply("+OK\r\n1 a\r\n2 b\r\n3 a\r\n4 c\r\n.\r\n")));
    EXPECT_EQ(loop.uidAt(1) + loop.uidAt(3), "");
    EXPECT_EQ(loop.uidAt(2) + loop.uidAt(4), "bc");
}

TEST(ListingLoop, UniqueIdReplies) {
    for (const auto& row : testdata::Table("pop3/uidl-replies.table", 3)) {
        const session::UidlReply parsed = session::ParseUidlReply(row[0]);
        std::string ids;
        for (const auto& [number, uid] :
             std::map<int, std::string>(parsed.uids.begin(), parsed.uids.end())) {
            ids += (ids.empty() ? "" : " ") + std::to_string(number) + ":" + uid;
        }
        EXPECT_EQ(ids, row[1]);
        EXPECT_EQ(parsed.complete, row[2] == "complete");
        // Read as it arrives, split anywhere (a line end too): the same ids.
        for (std::size_t cut = 0; cut <= row[0].size(); ++cut) {
            session::UidlReader reader;
            reader.feed(std::string_view(row[0]).substr(0, cut));
            reader.feed(std::string_view(row[0]).substr(cut));
            const session::UidlReply pieces = reader.finish();
            EXPECT_EQ(pieces.uids, parsed.uids) << cut;
            EXPECT_EQ(pieces.complete, parsed.complete) << cut;
        }
    }
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
