#include "session/RetrFields.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using session::PickRetrFields;
using session::RetrFields;

namespace {

std::string Retr(const std::string& header, const std::string& body) {
    return "+OK 300 octets\r\n" + header + "\r\n\r\n" + (body.empty() ? "Hello\r\n" : body) +
           ".\r\n";
}

// Each row: header, body, then the seven fields the message gives ("-": not there).
TEST(RetrFields, Table) {
    for (const auto& row : testdata::Table("pop3/retr-fields.table")) {
        ASSERT_EQ(row.size(), 9u);
        const RetrFields f = PickRetrFields(Retr(row[0], row[1]));
        std::vector<std::string> got;
        for (const auto& field : {f.FromDate, f.FromAddress, f.ApparentlyToField, f.XSenderField,
                                  f.ReplyToField, f.CcField, f.FromSubject}) {
            got.push_back(field.value_or("-"));
        }
        EXPECT_EQ(got, std::vector<std::string>(row.begin() + 2, row.end())) << row[0];
    }
}

// Every one of the seven fields of the message before goes when the next message lacks it.
TEST(RetrFields, StoreClearsWhatTheMessageLacks) {
    decoding::MessageFields fields;
    session::StoreRetrFields(
        PickRetrFields(Retr("Date: Tue, 05 Mar 2024 14:03:01 +0100\r\nFrom: a@x.org\r\n"
                            "Subject: Old\r\nReply-To: r@x.org\r\nX-Sender: s@x.org\r\n"
                            "X-Apparently-To: t@x.org\r\nCc: c@x.org",
                            "")),
        fields);
    const auto all = [&fields] {
        return std::vector<std::string>{
            fields.FromDate,     fields.FromAddress,       fields.FromSubject, fields.ReplyToField,
            fields.XSenderField, fields.ApparentlyToField, fields.CcField};
    };
    EXPECT_EQ(all(), (std::vector<std::string>{"Tue, 05 Mar 2024", "a@x.org", "Old", "r@x.org",
                                               "s@x.org", "t@x.org", "c@x.org"}));
    session::StoreRetrFields(PickRetrFields(Retr("X-Mailer: none of them", "")), fields);
    EXPECT_EQ(all(), std::vector<std::string>(7));
}

// A message file has no line break before its first line: that line counts as if it had one.
TEST(RetrFields, FirstLineOfAFile) {
    for (const std::string text :
         {"From: a@x.org\r\nSubject: Hi\r\n", "cc: c@x.org\r\nCC: d@x.org\r\n",
          "Date: Tue, 05 Mar 2024\r\n", "From: a", "Subject", "X-From: a@x.org\r\n", ""}) {
        const RetrFields direct = PickRetrFields(text, true),
                         prefixed = PickRetrFields("\r\n" + text);
        EXPECT_EQ(
            std::vector({direct.FromDate, direct.FromAddress, direct.CcField, direct.FromSubject}),
            std::vector(
                {prefixed.FromDate, prefixed.FromAddress, prefixed.CcField, prefixed.FromSubject}))
            << text;
    }
}

} // namespace
