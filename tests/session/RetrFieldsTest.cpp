#include "session/RetrFields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using session::PickRetrFields;
using session::RetrFields;

namespace {

std::string Retr(const std::string& header, const std::string& body = "Hello\r\n") {
    return "+OK 300 octets\r\n" + header + "\r\n\r\n" + body + ".\r\n";
}

using Opt = std::optional<std::string>;
const Opt none;

struct FieldCase {
    const char* name;
    std::string reply;
    Opt date, from, apparentlyTo, xSender, replyTo, cc, subject;
};

const FieldCase kFieldCases[] = {
    {"every field",
     Retr("Date: Mon, 15 Jan 2024 10:00:00 +0000\r\nFrom: \"Ann\" <ann@x.org>\r\n"
          "X-Apparently-To: me@y.org\r\nX-Sender: list@z.org\r\nReply-To: ann@home.org\r\n"
          "Cc: bob@x.org\r\nSubject: Lunch"),
     "Mon, 15 Jan 2024", "\"Ann\" <ann@x.org>", "me@y.org", "list@z.org", "ann@home.org",
     "bob@x.org", "Lunch"},
    {"no subject, no date", Retr("From: a@x.org"), none, "a@x.org", none, none, none, none, none},
    {"exact-case labels not found in lower case",
     Retr("subject: s\r\nfrom: f@x.org\r\ndate: Tue, 2 Jan 2024"), none, none, none, none, none,
     none, none},
    {"any-case labels found in lower case",
     Retr("reply-to: r@x.org\r\ncc: c@x.org\r\nx-sender: s@x.org\r\nX-APPARENTLY-TO: t@x.org"),
     none, none, "t@x.org", "s@x.org", "r@x.org", "c@x.org", none},
    {"value kept as received", Retr("REPLY-TO:   Mixed Case <R@X.org>  "), none, none, none, none,
     "  Mixed Case <R@X.org>  ", none, none},
    {"one-character value is not stored", Retr("Cc: a\r\nSubject: x\r\nFrom: \r\nReply-To: ab"),
     none, none, none, none, "ab", none, none},
    {"first occurrence counts", Retr("From: first@x.org\r\nFrom: second@x.org"), none,
     "first@x.org", none, none, none, none, none},
    {"quoted line of the body used when the header lacks it",
     Retr("Date: Wed, 3 Jan 2024 09:00:00", "> hi\r\nFrom: quoted@x.org\r\n"), "Wed, 3 Jan 2024 ",
     "quoted@x.org", none, none, none, none, none},
    {"Bcc is not Cc", Retr("Bcc: hidden@x.org"), none, none, none, none, none, none, none},
    {"short date stays on its line", Retr("Date: 3 Jan\r\nFrom: a@x.org"), "3 Jan", "a@x.org", none,
     none, none, none, none},
};

class RetrFieldsTest : public testing::TestWithParam<FieldCase> {};

TEST_P(RetrFieldsTest, Picks) {
    const FieldCase& c = GetParam();
    const RetrFields f = PickRetrFields(c.reply);
    EXPECT_EQ(f.FromDate, c.date);
    EXPECT_EQ(f.FromAddress, c.from);
    EXPECT_EQ(f.ApparentlyToField, c.apparentlyTo);
    EXPECT_EQ(f.XSenderField, c.xSender);
    EXPECT_EQ(f.ReplyToField, c.replyTo);
    EXPECT_EQ(f.CcField, c.cc);
    EXPECT_EQ(f.FromSubject, c.subject);
}

INSTANTIATE_TEST_SUITE_P(Replies, RetrFieldsTest, testing::ValuesIn(kFieldCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

TEST(RetrFields, StoreClearsWhatTheMessageLacks) {
    decoding::MessageFields fields;
    fields.FromSubject = "Old subject";
    fields.FromDate = "Old date";
    fields.CcField = "old@x.org";
    session::StoreRetrFields(PickRetrFields(Retr("From: a@x.org")), fields);
    EXPECT_EQ(fields.FromAddress, "a@x.org");
    EXPECT_EQ(fields.FromSubject, "");
    EXPECT_EQ(fields.FromDate, "");
    EXPECT_EQ(fields.CcField, "");
}

} // namespace
