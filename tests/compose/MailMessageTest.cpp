#include "compose/MailMessage.h"

#include "decoding/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace compose;

namespace {

TEST(MailMessage, EnvelopeAddressesTakeEveryAddressOfTheList) {
    struct Case {
        const char* to;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"bob@example.net", {"bob@example.net"}},
        {"  bob@example.net  ", {"bob@example.net"}},
        {"Bob <bob@example.net>", {"bob@example.net"}},
        {"\"Lee, Ann\" <ann@example.net>, carl@example.org, ",
         {"ann@example.net", "carl@example.org"}},
        {"a@x; b@y", {"a@x", "b@y"}},
        {"\"a <fake@x>\" <real@y>", {"real@y"}},
        {"c@z (Carl, the boss)", {"c@z"}},
        {", , ", {}},
        {"", {}},
        {"Dora <d@w", {"d@w"}}, // unclosed bracket: the rest is the address
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EnvelopeAddresses(c.to), c.expected) << c.to;
    }
}

TEST(MailMessage, AddressListHeaderDropsEmptyEntriesAndEncodesNamesOnly) {
    EXPECT_EQ(EncodeAddressList("a@x, b@y, "), "a@x, b@y");
    EXPECT_EQ(EncodeAddressList("\"Lee, Ann\" <ann@x>"), "\"Lee, Ann\" <ann@x>");
    EXPECT_EQ(EncodeAddressList("J\xC3\xB6rg <j@x>"), "=?UTF-8?B?SsO2cmc=?= <j@x>");
    EXPECT_EQ(EncodeAddressList("\"J\xC3\xB6rg\" <j@x>, k@y"), "=?UTF-8?B?SsO2cmc=?= <j@x>, k@y");
}

TEST(MailMessage, HeaderValuesOutsideAsciiBecomeEncodedWordsOfWholeCharacters) {
    EXPECT_EQ(EncodeHeaderValue("Plain subject", 9), "Plain subject");
    EXPECT_EQ(EncodeHeaderValue("", 9), "");

    // A long subject of two-byte characters: every line within 76 characters, every word
    // decodes on its own to whole characters, and together they give the text back.
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "\xC3\xA9"; // é
    }
    text += " end";
    const std::string encoded = EncodeHeaderValue(text, 9);
    std::string decoded;
    std::size_t lineStart = 0;
    std::size_t lineNumber = 0;
    while (lineStart <= encoded.size()) {
        std::size_t lineEnd = encoded.find("\r\n", lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = encoded.size();
        }
        std::string line = encoded.substr(lineStart, lineEnd - lineStart);
        EXPECT_LE(line.size() + (lineNumber == 0 ? 9 : 0), 76u) << line;
        if (lineNumber > 0) {
            ASSERT_EQ(line[0], ' ');
            line.erase(0, 1);
        }
        ASSERT_EQ(line.rfind("=?UTF-8?B?", 0), 0u) << line;
        ASSERT_EQ(line.substr(line.size() - 2), "?=");
        const std::string word = modBase64::Base64Decode(line.substr(10, line.size() - 12));
        EXPECT_NE(static_cast<unsigned char>(word.front()) & 0xC0, 0x80) << "split character";
        decoded += word;
        lineStart = lineEnd + 2;
        ++lineNumber;
    }
    EXPECT_GT(lineNumber, 1u);
    EXPECT_EQ(decoded, text);
}

TEST(MailMessage, LineBreaksAndNulAreFound) {
    EXPECT_FALSE(HasLineBreakOrNul("bob@example.net"));
    EXPECT_TRUE(HasLineBreakOrNul("bob@x\r\nRCPT TO:<eve@y>"));
    EXPECT_TRUE(HasLineBreakOrNul("a\nb"));
    EXPECT_TRUE(HasLineBreakOrNul("a\rb"));
    EXPECT_TRUE(HasLineBreakOrNul(std::string("a\0b", 3)));
}

TEST(MailMessage, EveryLineEndBecomesCrLf) {
    EXPECT_EQ(WithCrLf("a\nb\r\nc\rd\n"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(WithCrLf("\r\r\n\n"), "\r\n\r\n\r\n");
    EXPECT_EQ(WithCrLf("no break"), "no break");
}

TEST(MailMessage, DateIsEnglishWithItsOffset) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_wday = 2;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 1;
    EXPECT_EQ(MailDate(t, 3600), "Tue, 05 Mar 2024 14:03:01 +0100");
    EXPECT_EQ(MailDate(t, -(5 * 3600 + 30 * 60)), "Tue, 05 Mar 2024 14:03:01 -0530");
    EXPECT_EQ(MailDate(t, 0), "Tue, 05 Mar 2024 14:03:01 +0000");
}

TEST(MailMessage, AttachmentNameIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(AttachmentName("C:\\docs\\a.txt"), "a.txt");
    EXPECT_EQ(AttachmentName("/home/ann/report.pdf"), "report.pdf");
    EXPECT_EQ(AttachmentName("mixed/dir\\b.bin"), "b.bin");
    EXPECT_EQ(AttachmentName("plain.txt"), "plain.txt");
    EXPECT_EQ(AttachmentName("dir/"), "");
}

} // namespace
