#include "compose/MailMessage.h"

#include "decoding/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace compose;

namespace {

TEST(MailMessage, EnvelopeTakesEveryAddressOfTheList) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"  bob@example.net  ", {"bob@example.net"}},
        {"Bob <bob@example.net>", {"bob@example.net"}},
        {"\"Lee, Ann\" <ann@example.net>, carl@example.org, ",
         {"ann@example.net", "carl@example.org"}},
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

TEST(MailMessage, ToHeaderEncodesOrQuotesNamesAndKeepsAddresses) {
    const std::pair<const char*, const char*> cases[] = {
        {"a@x, b@y, ", "a@x, b@y"},
        {"\"Lee, Ann\" <ann@x>", "\"Lee, Ann\" <ann@x>"},
        {"J\xC3\xB6rg <j@x>", "=?UTF-8?B?SsO2cmc=?= <j@x>"},
        {"\"J\xC3\xB6rg\" <j@x>, k@y", "=?UTF-8?B?SsO2cmc=?= <j@x>, k@y"},
        {"evil  Bcc: v@example.test <r@x>", "\"evil  Bcc: v@example.test\" <r@x>"},
        {"Ann B. Lee <a@x>", "Ann B. Lee <a@x>"},
    };
    for (const auto& [to, header] : cases) {
        EXPECT_EQ(EncodeAddressList(to), header) << to;
    }
}

TEST(MailMessage, ReplyAddressesDecodeNamesAndQuoteThemWhenNeeded) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"Ann Lee\" <ann@example.com>", "\"Ann Lee\" <ann@example.com>"},
        {"=?utf-8?q?evil=0D=0ABcc:_victim@example.test?= <r@example.test>",
         "\"evil  Bcc: victim@example.test\" <r@example.test>"},
        {"=?utf-8?q?Lee=2C_Ann?= <a@x>,\r\n b@y", "\"Lee, Ann\" <a@x>, b@y"},
        {"=?utf-8?q?J=C3=B6rg?= <s@x>", "J\xC3\xB6rg <s@x>"},
        {"=?utf-8?q?say_=22hi=22?= <x@y>", "\"say \\\"hi\\\"\" <x@y>"},
        {"c@z (=?utf-8?q?Carl?=)", "c@z (Carl)"},
        {"c@z (=?utf-8?q?x=29_eve@evil?=)", "c@z"}, // a comment that would add an address
        {"<bare@x>", "<bare@x>"},
    };
    for (const auto& [raw, text] : cases) {
        EXPECT_EQ(ReplyAddressText(raw, {}), text) << raw;
        EXPECT_LE(EnvelopeAddresses(text).size(), EnvelopeAddresses(raw).size()) << raw;
    }
}

TEST(MailMessage, AttachmentNamesOutsideAsciiUseBothEncodings) {
    struct Case {
        const char* name;
        const char* disposition;
        const char* type;
    };
    const Case cases[] = {
        {"data.bin", "attachment; filename=\"data.bin\"",
         "application/octet-stream; name=\"data.bin\""},
        {"a \"b\".txt", "attachment; filename=\"a \\\"b\\\".txt\"",
         "application/octet-stream; name=\"a \\\"b\\\".txt\""},
        {"\xC3\xBC \xD1\x84 \xE6\x97\xA5.pdf",
         "attachment;\r\n filename*=UTF-8''%C3%BC%20%D1%84%20%E6%97%A5.pdf",
         "application/octet-stream;\r\n name=\"=?UTF-8?B?w7wg0YQg5pelLnBkZg==?=\""},
        {"a\nb", "attachment;\r\n filename*=UTF-8''a%0Ab",
         "application/octet-stream;\r\n name=\"=?UTF-8?B?YQpi?=\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AttachmentDisposition(c.name), c.disposition);
        EXPECT_EQ(AttachmentContentType("application/octet-stream", c.name), c.type);
    }
}

TEST(MailMessage, LongHeaderValuesFoldIntoWordsOfWholeCharacters) {
    EXPECT_EQ(EncodeHeaderValue("Plain subject", 9), "Plain subject");
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "\xC3\xA9"; // é
    }
    text += " end";
    const std::string encoded = EncodeHeaderValue(text, 9);
    std::string decoded;
    std::size_t start = 0;
    for (std::size_t line = 0; start <= encoded.size(); ++line) {
        const std::size_t end = std::min(encoded.find("\r\n", start), encoded.size());
        const std::string word =
            encoded.substr(start + (line ? 1 : 0), end - start - (line ? 1 : 0));
        EXPECT_LE(word.size() + (line ? 1 : 9), 76u) << word;
        ASSERT_TRUE(word.starts_with("=?UTF-8?B?") && word.ends_with("?=")) << word;
        const std::string bytes = modBase64::Base64Decode(word.substr(10, word.size() - 12));
        EXPECT_NE(static_cast<unsigned char>(bytes.front()) & 0xC0, 0x80) << "split character";
        decoded += bytes;
        start = end + 2;
    }
    EXPECT_EQ(decoded, text);
}

TEST(MailMessage, LineBreaksDatesAndNames) {
    for (const std::string& bad :
         std::vector<std::string>{"a\r\nb", "a\nb", "a\rb", std::string("a\0b", 3)}) {
        EXPECT_TRUE(HasLineBreakOrNul(bad));
    }
    EXPECT_FALSE(HasLineBreakOrNul("bob@example.net"));
    EXPECT_EQ(WithCrLf("a\nb\r\nc\rd\n\r\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\n\r\n");

    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_wday = 2;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 1;
    EXPECT_EQ(MailDate(t, 3600), "Tue, 05 Mar 2024 14:03:01 +0100");
    EXPECT_EQ(MailDate(t, -(5 * 3600 + 30 * 60)), "Tue, 05 Mar 2024 14:03:01 -0530");

    EXPECT_EQ(AttachmentName("C:\\docs\\a.txt"), "a.txt");
    EXPECT_EQ(AttachmentName("mixed/dir\\b.bin"), "b.bin");
    EXPECT_EQ(AttachmentName("plain.txt"), "plain.txt");
}

} // namespace
