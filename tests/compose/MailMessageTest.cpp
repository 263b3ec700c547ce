#include "compose/MailMessage.h"

#include "decoding/Base64.h"

#include <gtest/gtest.h>

using namespace compose;
using Texts = std::vector<std::string>;

namespace {

TEST(MailMessage, EnvelopeTakesEveryAddressOfTheList) {
    const std::pair<const char*, Texts> cases[] = {
        {"  Bob <bob@example.net>", {"bob@example.net"}},
        {"\"Lee, Ann\" <ann@x>, carl@y, ", {"ann@x", "carl@y"}},
        {"a@x; b@y", {"a@x", "b@y"}},
        {"\"a <fake@x>\" <real@y>", {"real@y"}},
        {"c@z (Carl, the boss)", {"c@z"}},
        {", , ", {}},
        {"Dora <d@w", {"d@w"}}, // unclosed bracket: the rest is the address
    };
    for (const auto& [to, expected] : cases) {
        EXPECT_EQ(EnvelopeAddresses(to), expected) << to;
    }
}

TEST(MailMessage, AddressesAsHeaderAndAsReply) {
    const std::pair<const char*, const char*> header[] = {
        {"a@x, b@y, ", "a@x, b@y"},
        {"\"Lee, Ann\" <ann@x>", "\"Lee, Ann\" <ann@x>"},
        {"\"J\xC3\xB6rg\" <j@x>, k@y", "=?UTF-8?B?SsO2cmc=?= <j@x>, k@y"},
        {"evil  Bcc: v@example.test <r@x>", "\"evil  Bcc: v@example.test\" <r@x>"},
    };
    for (const auto& [to, text] : header) {
        EXPECT_EQ(EncodeAddressList(to), text) << to;
    }
    // A reply's recipient from a received field: names decoded, quoted when they need it.
    const std::pair<const char*, const char*> reply[] = {
        {"\"Ann Lee\" <ann@example.com>", "\"Ann Lee\" <ann@example.com>"},
        {"=?utf-8?q?evil=0D=0ABcc:_victim@example.test?= <r@example.test>",
         "\"evil  Bcc: victim@example.test\" <r@example.test>"},
        {"=?utf-8?q?Lee=2C_Ann?= <a@x>,\r\n b@y", "\"Lee, Ann\" <a@x>, b@y"},
        {"=?utf-8?q?J=C3=B6rg?= <s@x>", "J\xC3\xB6rg <s@x>"},
        {"=?utf-8?q?say_=22hi=22?= <x@y>", "\"say \\\"hi\\\"\" <x@y>"},
        {"c@z (=?utf-8?q?Carl?=)", "c@z (Carl)"},
        {"c@z (=?utf-8?q?x=29_eve@evil?=)", "c@z"}, // a comment that would add an address
    };
    for (const auto& [raw, text] : reply) {
        EXPECT_EQ(ReplyAddressText(raw, {}), text) << raw;
    }
}

TEST(MailMessage, AttachmentNamesOutsideAsciiUseBothEncodings) {
    const std::string type = "application/pdf";
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"a \"b\".pdf", "attachment; filename=\"a \\\"b\\\".pdf\"", "; name=\"a \\\"b\\\".pdf\""},
        {"\xC3\xBC \xD1\x84 \xE6\x97\xA5.pdf",
         "attachment;\r\n filename*=UTF-8''%C3%BC%20%D1%84%20%E6%97%A5.pdf",
         ";\r\n name=\"=?UTF-8?B?w7wg0YQg5pelLnBkZg==?=\""},
        {"a\nb", "attachment;\r\n filename*=UTF-8''a%0Ab", ";\r\n name=\"=?UTF-8?B?YQpi?=\""},
    };
    for (const auto& [name, disposition, parameter] : cases) {
        EXPECT_EQ(AttachmentDisposition(name), disposition);
        EXPECT_EQ(AttachmentContentType(type, name), type + parameter);
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
    EXPECT_EQ(AttachmentName("C:\\docs\\a.txt"), "a.txt");
    EXPECT_EQ(AttachmentName("mixed/dir\\b.bin"), "b.bin");
    EXPECT_EQ(AttachmentName("plain.txt"), "plain.txt");
}

} // namespace
