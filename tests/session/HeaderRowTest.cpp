#include "session/HeaderRow.h"
#include "decoding/Charset.h"
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

// date (11) + " | " + sender (22) + " | |" + size + "k " + subject, or " | | " + subject.
std::string Row(const std::string& date, const std::string& sender, std::optional<int> size,
                const std::string& subject) {
    std::string row = date + std::string(11 - date.size(), ' ') + " | " + sender +
                      std::string(22 - sender.size(), ' ');
    row += size ? " | |" + std::to_string(*size / 1000) + "k " : " | | ";
    return row + subject;
}

struct RowCase {
    const char* name;
    std::string header;
    std::optional<int> size;
    std::string row;
};

const RowCase kRowCases[] = {
    {"weekday dropped",
     "Date: Mon, 15 Jan 2024 10:00:00 +0000\r\nFrom: ann@example.org\r\nSubject: Hello", 120,
     Row("15 Jan 2024", "ann@example.org", 120, "Hello")},
    {"one-digit day keeps a trailing blank",
     "Date: 1 Jan 2024 10:00:00 +0000\r\nFrom: ann@example.org\r\nSubject: Hi", 2000,
     Row("1 Jan 2024 ", "ann@example.org", 2000, "Hi")},
    {"display name gets two blanks", "From: \"Ann\" <ann@x.org>\r\nSubject: s", 12345,
     Row("", "\"Ann\"  <ann@x.org>", 12345, "s")},
    {"blank inserted before glued address", "From: Ann<ann@x.org>\r\nSubject: s", 0,
     Row("", "Ann <ann@x.org>", 0, "s")},
    {"address alone", "From: <ann@x.org>\r\nSubject: s", 0, Row("", "<ann@x.org>", 0, "s")},
    {"long sender cut to 20 and ..", "From: Annabel Lee <annabel@example.org>\r\nSubject: s",
     std::nullopt, Row("", "Annabel Lee  <annabe..", std::nullopt, "s")},
    {"22 characters fit", "From: abcdefghijklmnopqrstuv\r\n", std::nullopt,
     Row("", "abcdefghijklmnopqrstuv", std::nullopt, "")},
    {"23 characters are cut", "From: abcdefghijklmnopqrstuvw\r\n", std::nullopt,
     Row("", "abcdefghijklmnopqrst..", std::nullopt, "")},
    {"blanks trimmed", "From:    ann@x.org   \r\n", 1000, Row("", "ann@x.org", 1000, "")},
    {"return-path fallback", "Return-Path: <bounce@x.org>\r\nSubject: s", 999,
     Row("", "<bounce@x.org>", 999, "s")},
    {"empty return-path", "Return-Path: \r\nSubject: s", 999, Row("", "", 999, "s")},
    {"from wins over return-path", "Return-Path: <b@x.org>\r\nFrom: a@x.org", 0,
     Row("", "a@x.org", 0, "")},
    {"no subject ends with k", "From: a@x.org", 5000, Row("", "a@x.org", 5000, "")},
    {"no subject, no size", "From: a@x.org", std::nullopt, Row("", "a@x.org", std::nullopt, "")},
    {"first header line counts", "From: a@x.org\r\nSubject: one\r\nFrom: b@x.org\r\nSubject: two",
     0, Row("", "a@x.org", 0, "one")},
    {"labels are case-sensitive", "from: a@x.org\r\nsubject: s\r\ndate: 1 Jan 2024 10:00", 0,
     Row("", "", 0, "")},
    // A short value never picks up the next header line.
    {"short lines stay on their line", "Date: 1 Jan\r\nFrom:\r\nSubject:\r\nTo: x, y", 0,
     Row("1 Jan", "", 0, "")},
    {"comma at the end of the date", "Date: Monday,\r\n", 0, Row("", "", 0, "")},
};

class HeaderRowTest : public testing::TestWithParam<RowCase> {};

TEST_P(HeaderRowTest, Row) {
    const RowCase& c = GetParam();
    const std::string row = BuildHeaderRow(Top(c.header), c.size);
    EXPECT_EQ(row, c.row);
    ASSERT_GE(row.size(), 40u);
    EXPECT_EQ(row.substr(11, 3), " | ");
    EXPECT_EQ(row.substr(36, 4), " | |");
}

INSTANTIATE_TEST_SUITE_P(Headers, HeaderRowTest, testing::ValuesIn(kRowCases));

TEST(HeaderRow, BodyLineUsedOnlyWhenHeaderLacksIt) {
    const std::string reply = "+OK\r\nDate: 2 Feb 2020 01:02:03\r\n\r\n> From: quoted@x.org\r\n"
                              "From: body@x.org\r\n.\r\n";
    EXPECT_EQ(BuildHeaderRow(reply, 0), Row("2 Feb 2020 ", "body@x.org", 0, ""));
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
    const std::string row = Row("15 Jan 2024", "ann@x.org", 2000, "Hello");
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
