#include "decoding/Reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using decoding::BuildReplyText;
using decoding::ReplyAddresses;
using decoding::ReplyMenuItem;

namespace {

TEST(ReplyMenu, Items) {
    const struct {
        const char* name;
        ReplyAddresses addresses;
        bool needsMenu;
        std::vector<std::string> visible; // captions of the visible items, in order
        std::size_t allIndex;
        std::string allText;
    } cases[] = {
        {"from only",
         {"ann@x.org", "", "", "", ""},
         false,
         {"From: ann@x.org", "Reply To All"},
         1,
         "ann@x.org, "},
        {"reply-to and cc",
         {"\"Ann\" <ann@x.org>", "ann@home.org", "", "", "bob@x.org"},
         true,
         {"From: \"Ann\" <ann@x.org>", "Reply-To: ann@home.org", "Cc: bob@x.org", "Reply To All"},
         3,
         "\"Ann\" <ann@x.org>, ann@home.org, bob@x.org, "},
        {"all four",
         {"a@x", "r@x", "s@x", "t@x", "c@x"},
         true,
         {"From: a@x", "Reply-To: r@x", "X-Sender: s@x", "X-Apparently-To: t@x", "Cc: c@x",
          "Reply To All"},
         5,
         "a@x, r@x, s@x, t@x, c@x, "},
        {"x-sender only",
         {"a@x", "", "s@x", "", ""},
         true,
         {"From: a@x", "X-Sender: s@x", "Reply To All"},
         2,
         "a@x, s@x, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decoding::NeedsAddressChoice(c.addresses), c.needsMenu);
        const auto items = decoding::ReplyMenuItems(c.addresses);
        std::vector<std::string> visible;
        for (const ReplyMenuItem& item : items) {
            if (item.Visible) {
                visible.push_back(item.Caption);
            } else {
                EXPECT_EQ(item.Caption, "");
            }
        }
        EXPECT_EQ(visible, c.visible);
        EXPECT_EQ(decoding::ChosenAddress(items, c.allIndex), c.allText);
        EXPECT_EQ(decoding::ChosenAddress(items, 0), c.addresses.From);
    }
}

TEST(ReplyMenu, ChosenAddressTakesTextAfterFirstColon) {
    ReplyAddresses addresses{"Ann: The Boss <a@x>", "r@x", "", "", ""};
    const auto items = decoding::ReplyMenuItems(addresses);
    EXPECT_EQ(decoding::ChosenAddress(items, 0), "Ann: The Boss <a@x>");
    EXPECT_EQ(decoding::ChosenAddress(items, 1), "r@x");
    EXPECT_EQ(decoding::ChosenAddress(items, 6), "");
}

TEST(ReplySubject, Rule) {
    EXPECT_EQ(decoding::ReplySubject("Lunch"), "Re: Lunch");
    EXPECT_EQ(decoding::ReplySubject("Re: Lunch"), "Re: Re: Lunch");
    EXPECT_EQ(decoding::ReplySubject(""), "");
}

TEST(Attribution, Name) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"Ann Lee\" <ann@x.org>", "\"Ann Lee\""},
        {"ann@x.org", ""},
        {"\"Ann Lee\"", ""}, // closing quote is the last character
        {"\"Ann Lee\"x", "\"Ann Lee\""},
        {"\"unclosed <a@x>", ""},
        {"x \"A\" \"B\" <a@x>", "\"A\""},
        {"\"\" <a@x>", "\"\""},
    };
    for (const auto& [from, name] : cases) {
        EXPECT_EQ(decoding::AttributionName(from), name) << from;
    }
}

TEST(BuildReplyText, Quoting) {
    const struct {
        const char* name;
        std::string text, from;
        bool html;
        std::string expected;
    } cases[] = {
        {"attribution", "Hi\r\nBye", "\"Ann\" <a@x>", false,
         "\r\n\r\n> \"Ann\" said:\r\n> \r\n> Hi\r\n> Bye"},
        {"no quotes, no attribution", "Hi\r\nBye", "a@x", false, "\r\n\r\n> Hi\r\n> Bye"},
        {"html has no attribution", "Hi", "\"Ann\" <a@x>", true, "\r\n\r\n> Hi"},
        {"one line", "Just one line", "a@x", false, "\r\n\r\n> Just one line"},
        {"empty text", "", "a@x", false, "\r\n\r\n> "},
        {"trailing and empty lines", "a\r\n\r\n", "a@x", false, "\r\n\r\n> a\r\n> \r\n> "},
        {"bare LF and CR are not line breaks", "a\nb\rc", "a@x", false, "\r\n\r\n> a\nb\rc"},
        {"CR CR LF", "a\r\r\nb", "a@x", false, "\r\n\r\n> a\r\r\n> b"},
        {"every line", "1\r\n2\r\n\r\n3\r\n", "\"A\" <a@x>", false,
         "\r\n\r\n> \"A\" said:\r\n> \r\n> 1\r\n> 2\r\n> \r\n> 3\r\n> "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildReplyText(c.text, c.from, c.html), c.expected) << c.name;
    }
}

} // namespace
