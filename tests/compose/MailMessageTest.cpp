#include "compose/MailMessage.h"

#include "decoding/Base64.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>

using namespace compose;

namespace {

TEST(MailMessage, AddressListsForTheEnvelopeTheHeaderAndAReply) {
    for (const auto& r : testdata::Table("compose/addresses.table")) {
        std::string read;
        if (r[0] == "envelope") {
            for (const std::string& a : EnvelopeAddresses(r[1])) {
                read += (read.empty() ? "" : " | ") + a;
            }
        } else {
            read = r[0] == "header" ? EncodeAddressList(r[1]) : ReplyAddressText(r[1], {});
        }
        EXPECT_EQ(read, r[2]) << r[0] << " " << r[1];
    }
}

TEST(MailMessage, AttachmentNamesOutsideAsciiUseBothEncodings) {
    for (const auto& r : testdata::Table("compose/attachment-names.table")) {
        EXPECT_EQ(AttachmentDisposition(r[0]), r[1]);
        EXPECT_EQ(AttachmentContentType("application/pdf", r[0]), "application/pdf" + r[2]);
    }
}

TEST(MailMessage, LongHeaderValuesFoldIntoWordsOfWholeCharacters) {
    EXPECT_EQ(EncodeHeaderValue("Plain subject", 9), "Plain subject");
    std::string text, decoded;
    for (int i = 0; i < 60; ++i) {
        text += "\xC3\xA9 "; // é
    }
    const std::string encoded = "\r\n " + EncodeHeaderValue(text, 0);
    for (std::size_t at = 0; at < encoded.size(); at = encoded.find("\r\n ", at + 3)) {
        const std::string_view word = std::string_view(encoded).substr(at + 3).substr(0, 75);
        const std::string bytes(modBase64::Base64Decode(word.substr(10, word.find("?=") - 10)));
        EXPECT_TRUE(word.starts_with("=?UTF-8?B?") && (bytes[0] & 0xC0) != 0x80) << word;
        decoded += bytes;
    }
    EXPECT_EQ(decoded, text);
}

TEST(MailMessage, LineEndsDatesAndNames) {
    EXPECT_EQ(WithCrLf("a\nb\r\nc\rd\n\r\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\n\r\n");
    std::tm t{};
    std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_wday, t.tm_hour, t.tm_min, t.tm_sec) =
        std::tuple(124, 2, 5, 2, 14, 3, 1);
    EXPECT_EQ(MailDate(t, 3600), "Tue, 05 Mar 2024 14:03:01 +0100");
    EXPECT_EQ(MailDate(t, -(5 * 3600 + 30 * 60)), "Tue, 05 Mar 2024 14:03:01 -0530");
    EXPECT_EQ(AttachmentName("C:\\docs\\a.txt") + AttachmentName("mixed/dir\\b.bin") +
                  AttachmentName("plain.txt"),
              "a.txtb.binplain.txt");
}

} // namespace
