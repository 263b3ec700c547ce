#include "decoding/Reply.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using decoding::ReplyMenuItem;

namespace {

TEST(ReplyMenu, Items) {
    for (const auto& row : testdata::Table("decoder/reply-menu.table", 9)) {
        SCOPED_TRACE(row[6]);
        const decoding::ReplyAddresses addresses{row[0], row[1], row[2], row[3], row[4]};
        EXPECT_EQ(decoding::NeedsAddressChoice(addresses), row[5] == "1");
        const auto items = decoding::ReplyMenuItems(addresses);
        std::string visible;
        for (const ReplyMenuItem& item : items) {
            if (item.Visible) {
                visible += (visible.empty() ? "" : "|") + item.Caption;
            } else {
                EXPECT_EQ(item.Caption, "");
            }
        }
        EXPECT_EQ(visible, row[6]);
        EXPECT_EQ(decoding::ChosenAddress(items, std::stoul(row[7])), row[8]);
        EXPECT_EQ(decoding::ChosenAddress(items, 0), addresses.From);
    }
}

TEST(ReplyMenu, ChosenAddressTakesTextAfterFirstColon) {
    const auto items = decoding::ReplyMenuItems({"Ann: The Boss <a@x>", "r@x", "", "", ""});
    EXPECT_EQ(decoding::ChosenAddress(items, 0), "Ann: The Boss <a@x>");
    EXPECT_EQ(decoding::ChosenAddress(items, 1), "r@x");
    EXPECT_EQ(decoding::ChosenAddress(items, 6), "");
}

TEST(Reply, SubjectAttributionAndQuoting) {
    EXPECT_EQ(decoding::ReplySubject("Lunch"), "Re: Lunch");
    EXPECT_EQ(decoding::ReplySubject("Re: Lunch"), "Re: Re: Lunch");
    EXPECT_EQ(decoding::ReplySubject(""), "");
    for (const auto& row : testdata::Table("decoder/attribution.table", 2)) {
        EXPECT_EQ(decoding::AttributionName(row[0]), row[1]) << row[0];
    }
    for (const auto& row : testdata::Table("decoder/reply-quote.table", 4)) {
        EXPECT_EQ(decoding::BuildReplyText(row[0], row[1], row[2] == "1"), row[3])
            << testing::PrintToString(row[0]);
    }
}

} // namespace
