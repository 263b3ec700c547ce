#include "session/HeaderRow.h"
#include "decoding/Charset.h"
#include "decoding/TestData.h"
#include "session/HeaderList.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using decoding::TextUnits;
using decoding::Utf8Offset;
using session::BuildHeaderRow;
using session::RowWithMark;

namespace {

std::string Top(const std::string& header) {
    return "+OK top follows\r\n" + header + "\r\nFirst body line\r\n.\r\n";
}

// Each row of the table: the header, the size from LIST ("-": none), the row built.
TEST(HeaderRow, Table) {
    const session::HeaderValueDecoder decode = [](std::string_view raw) {
        return decoding::DecodeEncodedWords(raw);
    };
    for (const auto& row : testdata::Table("pop3/header-rows.table")) {
        ASSERT_EQ(row.size(), 3u);
        const std::optional<int> size =
            row[1] == "-" ? std::nullopt : std::optional<int>(std::stoi(row[1]));
        EXPECT_EQ(BuildHeaderRow(Top(row[0]), size, decode), row[2]) << row[0];
    }
}

// Senders are told apart by the address of the sender the row shows, whole, in any case:
// two senders whose column is cut alike stay apart.
TEST(HeaderRow, SenderAddress) {
    const struct {
        const char* header;
        const char* address;
    } cases[] = {
        {"From: Customer Service Team <help@bank.example>", "help@bank.example"},
        {"From: Customer Service Team <help@bank.example.evil>", "help@bank.example.evil"},
        {"From: \"Smith, <Ann>\" <Ann.Smith@X.ORG>", "ann.smith@x.org"},
        {"From:   ann@x.org  ", "ann@x.org"},
        {"From: Ann <ann@x.org", "ann@x.org"},
        {"Return-Path: <Bounce@x.org>", "bounce@x.org"},
        {"Return-Path: <b@x.org>\r\nFrom: A <a@x.org>", "a@x.org"},
        {"Subject: no sender", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session::SenderAddress(Top(c.header)), c.address) << c.header;
    }
}

// The mark goes in its column counted in characters; the header list keeps each row with
// its number.
TEST(HeaderRow, MarksAndNumbers) {
    const std::string row = "            | Ünïcödé Ñämé Lóngére.. | |4k café ok";
    EXPECT_EQ(RowWithMark(row, "R", TextUnits::Utf8).substr(Utf8Offset(row, 36), 4), " |R|");
    session::HeaderList list;
    list.add(7, row);
    list.setMark(0, 'D');
    EXPECT_EQ(list.number(0), 7);
    EXPECT_EQ(list.shown(0), RowWithMark(row, "D", TextUnits::Utf8));
    EXPECT_EQ(list.number(1), 0);
}

TEST(RowWithMark, RewritesColumn39) {
    const std::string row = "15 Jan 2024 | ann@x.org              | |2k Hello";
    std::string marked = row;
    marked[38] = 'R';
    const struct {
        std::string row, mark, expected;
    } cases[] = {
        {row, "R", marked},
        {marked, " ", row},
        {row, "RD", marked},
        {marked, "", row}, // no mark means a blank, the columns stay
        {"short", "D", "short" + std::string(33, ' ') + "D"},
        {std::string(38, 'x'), "D", std::string(38, 'x') + "D"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RowWithMark(c.row, c.mark), c.expected) << c.row << "/" << c.mark;
    }
}

TEST(RowTests, SpamExplicitAndViewRow) {
    EXPECT_TRUE(session::IsSpamRow("x | [spam] offer"));
    EXPECT_FALSE(session::IsSpamRow("x | [SPAM] offer"));
    EXPECT_TRUE(session::IsSexuallyExplicitRow("a | Sexually Explicit: b"));
    EXPECT_FALSE(session::IsSexuallyExplicitRow("a | Sexually-Explicit"));
    const struct {
        const char* row;
        int selected, count;
        bool filter;
        int expected;
    } cases[] = {
        {"[spam] a", 0, 3, true, 1}, {"[spam] a", 2, 3, true, 0}, {"[spam] a", 1, 3, false, 1},
        {"plain", 1, 3, true, 1},    {"[spam] a", 0, 1, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session::ViewRow(c.row, c.selected, c.count, c.filter), c.expected)
            << c.row << " " << c.selected;
    }
}

} // namespace
