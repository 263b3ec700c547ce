#include "session/ReplyScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using session::DotUnstuff;
using session::ReplyScanner;

namespace {

const std::vector<std::string> kReplies = {
    "+OK\r\n.\r\n",
    "+OK 2 messages\r\n1 120\r\n2 2000\r\n.\r\n",
    "+OK\r\nline\r\n..dotted\r\n.\r\n",
    "+OK\r\nno end yet\r\n",
    "+OK\r\n\r\r\n.\r\n",        // CR before the mark
    "+OK\r\n.\r.\r\n.\r\n",      // a false start inside the mark
    "+OK\r\n\r\n.\r\r\n.\r\n",   // the mark broken at its fourth byte, then whole
    "+OK\r\nx\r\n.\r\n+OK next", // bytes after the mark
    "+OK\r\n.x\r\n.\r",          // incomplete, ends in a partial mark
    "-ERR no such message\r\n",
};

// The scanner's verdict for reply cut into pieces at the given offsets.
std::pair<bool, std::size_t> Scan(const std::string& reply, const std::vector<std::size_t>& cuts) {
    ReplyScanner scanner;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        scanner.Feed(std::string_view(reply).substr(from, cut - from));
        from = cut;
    }
    scanner.Feed(std::string_view(reply).substr(from));
    EXPECT_EQ(scanner.BytesSeen(), reply.size());
    return {scanner.Complete(), scanner.Complete() ? scanner.EndOffset() : 0};
}

TEST(ReplyScanner, EveryChunkingAgreesWithSearchingTheWhole) {
    for (const std::string& reply : kReplies) {
        const std::size_t at = reply.find("\r\n.\r\n");
        const std::pair<bool, std::size_t> expected{at != std::string::npos,
                                                    at == std::string::npos ? 0 : at + 5};
        const std::size_t n = reply.size();
        for (std::size_t i = 0; i <= n; ++i) {
            for (std::size_t j = i; j <= n; ++j) {
                ASSERT_EQ(Scan(reply, {i, j}), expected) << reply << " cut at " << i << "," << j;
            }
        }
        std::vector<std::size_t> bytes;
        for (std::size_t i = 1; i < n; ++i) {
            bytes.push_back(i);
        }
        EXPECT_EQ(Scan(reply, bytes), expected) << reply << " byte by byte";
    }
}

TEST(ReplyScanner, CapAndReset) {
    ReplyScanner scanner(10);
    scanner.Feed("+OK\r\n12345");
    EXPECT_FALSE(scanner.TooLarge());
    scanner.Feed("6");
    EXPECT_TRUE(scanner.TooLarge());
    scanner.Reset();
    EXPECT_FALSE(scanner.TooLarge());
    EXPECT_TRUE(scanner.Feed("+OK\r\n.\r\n"));
    EXPECT_EQ(scanner.EndOffset(), 8u);
    EXPECT_FALSE(scanner.TooLarge());
}

TEST(DotUnstuff, Lines) {
    const std::pair<std::string, std::string> cases[] = {
        {"+OK\r\n.\r\n", "+OK\r\n.\r\n"},
        {"+OK\r\nA\r\n..x\r\n.\r\n", "+OK\r\nA\r\n.x\r\n.\r\n"},
        {"+OK\r\n..\r\n.\r\n", "+OK\r\n.\r\n.\r\n"}, // a body line "." survives
        {"+OK\r\n...\r\n.\r\n", "+OK\r\n..\r\n.\r\n"},
        {"+OK\r\n.x\r\n.\r\n", "+OK\r\nx\r\n.\r\n"},        // unstuffed dot lines lose the dot
        {"+OK\r\na..b\r\n.\r\n", "+OK\r\na..b\r\n.\r\n"},   // only the line start counts
        {"+OK\r\nx\r\n.\r\n+OK more", "+OK\r\nx\r\n.\r\n"}, // nothing after the end mark
        {"+OK\r\n\r\n.\r\n", "+OK\r\n\r\n.\r\n"},           // empty body line kept
        {"+OK\r\n..a\r\n..", "+OK\r\n.a\r\n."},             // no end mark: unstuffed to the end
        {"..status", "..status"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DotUnstuff(in), out) << testing::PrintToString(in);
    }
}

} // namespace
