#include "session/HeaderRow.h"
#include "decoding/Charset.h"
#include "decoding/TestData.h"
#include "session/HeaderList.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using decoding::TextUnits;
using decoding::Utf8Length;
using decoding::Utf8Offset;
using session::BuildHeaderRow;
using session::RowWithMark;

namespace {

std::string Top(const std::string& header) {
    return "+OK top follows\r\n" + header + "\r\nFirst body line\r\n.\r\n";
}

// Each row of the table: the header, the size from LIST ("-": none), the row built.
TEST(HeaderRow, Table) {
    for (const auto& row : testdata::Table("pop3/header-rows.table")) {
        ASSERT_EQ(row.size(), 3u);
        const std::optional<int> size =
            row[1] == "-" ? std::nullopt : std::optional<int>(std::stoi(row[1]));
        EXPECT_EQ(BuildHeaderRow(Top(row[0]), size), row[2]) << row[0];
    }
}

TEST(HeaderRow, BodyLineUsedOnlyWhenHeaderLacksIt) {
    const std::string reply = "+OK\r\nDate: 2 Feb 2020 01:02:03\r\n\r\n> From: quoted@x.org\r\n"
                              "From: body@x.org\r\n.\r\n";
    EXPECT_EQ(BuildHeaderRow(reply, 0), "2 Feb 2020  | body@x.org             | |0k ");
}

TEST(HeaderRow, DecodedSenderIsCutByCharacters) {
    const session::HeaderValueDecoder decode = [](std::string_view raw) {
        return decoding::DecodeEncodedWords(raw);
    };
    // "Ünïcödé Ñämé Lóngérer" in UTF-8 base64, then an address: 32 characters, more bytes.
    const std::string header =
        "From: =?UTF-8?B?w5xuw69jw7Zkw6kgw5HDpG3DqSBMw7NuZ8OpcmVy?= <u@x.org>\r\n"
        "Subject: =?utf-8?q?caf=C3?= =?utf-8?q?=A9?= ok";
    const std::string row = BuildHeaderRow(Top(header), 4096, decode);
    const std::string sender =
        row.substr(Utf8Offset(row, 14), Utf8Offset(row, 36) - Utf8Offset(row, 14));
    EXPECT_EQ(sender, "Ünïcödé Ñämé Lóngére..");
    EXPECT_EQ(Utf8Length(sender), 22u);
    EXPECT_EQ(row.substr(Utf8Offset(row, 36), 6), " | |4k");
    EXPECT_TRUE(row.ends_with("k café ok"));
    EXPECT_EQ(RowWithMark(row, "R", TextUnits::Utf8).substr(Utf8Offset(row, 36), 4), " |R|");
    // The header list keeps the row with its number and shows the mark in its column.
    session::HeaderList list;
    list.add(7, row);
    list.setMark(0, 'D');
    EXPECT_EQ(list.number(0), 7);
    EXPECT_EQ(list.shown(0), RowWithMark(row, "D", TextUnits::Utf8));
    EXPECT_EQ(list.number(1), 0);
    // A decoded line break would break the row apart: it becomes a blank.
    EXPECT_TRUE(
        BuildHeaderRow(Top("Subject: =?us-ascii?q?a=0D=0Ab?="), 0, decode).ends_with("0k a  b"));
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
