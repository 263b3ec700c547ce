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

TEST(RetrFields, StoreClearsWhatTheMessageLacks) {
    decoding::MessageFields fields;
    fields.FromSubject = "Old subject";
    fields.FromDate = "Old date";
    fields.CcField = "old@x.org";
    session::StoreRetrFields(PickRetrFields(Retr("From: a@x.org", "")), fields);
    EXPECT_EQ(fields.FromAddress, "a@x.org");
    EXPECT_EQ(fields.FromSubject, "");
    EXPECT_EQ(fields.FromDate, "");
    EXPECT_EQ(fields.CcField, "");
}

} // namespace
