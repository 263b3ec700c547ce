#include "compose/MailMessage.h"

#include "decoding/Base64.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>
#include <string_view>
#include <vector>

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

// The lines of a header "Name: value", each without its CR LF.
std::vector<std::string> lines(const std::string& header) {
    std::vector<std::string> out;
    for (std::size_t at = 0;;) {
        const std::size_t end = header.find("\r\n", at);
        out.push_back(header.substr(at, end - at));
        if (end == std::string::npos) {
            return out;
        }
        at = end + 2;
    }
}

// True when s holds whole UTF-8 characters: none starts before it or ends after it.
bool wholeCharacters(std::string_view s) {
    std::size_t pending = 0; // continuation bytes still to come
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if ((u & 0xC0) == 0x80 ? pending-- == 0 : pending != 0) {
            return false;
        }
        pending = (u & 0xC0) == 0x80 ? pending : u >= 0xF0 ? 3 : u >= 0xE0 ? 2 : u >= 0xC0 ? 1 : 0;
    }
    return pending == 0;
}

// Characters of one to four bytes, at every start column: each encoded word holds whole
// characters (it must decode on its own, RFC 2047 section 5) and each line stays within 76.
TEST(MailMessage, LongHeaderValuesFoldIntoWordsOfWholeCharacters) {
    std::string text;
    for (int i = 0; i < 12; ++i) {
        text += "a \xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80"; // a é 日😀
    }
    for (std::size_t column = 0; column < 12; ++column) {
        const std::vector<std::string> folded =
            lines(std::string(column, 'S') + EncodeHeaderValue(text, column));
        std::string decoded;
        for (std::size_t i = 0; i < folded.size(); ++i) {
            const std::string_view word = std::string_view(folded[i]).substr(i == 0 ? column : 1);
            ASSERT_TRUE(word.starts_with("=?UTF-8?B?") && word.ends_with("?=")) << word;
            const std::string bytes(modBase64::Base64Decode(word.substr(10, word.size() - 12)));
            EXPECT_TRUE(wholeCharacters(bytes)) << "column " << column << ": " << word;
            EXPECT_LE(folded[i].size(), 76u);
            decoded += bytes;
        }
        EXPECT_EQ(decoded, text);
    }
}

// Long headers fold at blanks or between addresses: lines within 78 where possible, never
// over 998 (RFC 5322 section 2.1.1), and unfolded they read as before.
TEST(MailMessage, LongHeadersFoldIntoLinesAServerTakes) {
    std::string fifty, envelope;
    for (int i = 1; i <= 50; ++i) {
        const std::string address = "recipient" + std::to_string(i) + "@example.org";
        fifty +=
            (i % 7 == 0 ? "J\xC3\xB6rg " + std::to_string(i) + " <" + address + ">" : address) +
            ", ";
        envelope += (envelope.empty() ? "" : " ") + address;
    }
    const std::string longName = "\xC3\xA9" + std::string(200, 'x') + " <long@example.org>";
    const std::string blanks = std::string(60, 'w') + " " + std::string(60, 'v') + " end";
    const std::string run(1200, 'r');
    // Each header, its longest line and its number of lines.
    const std::tuple<std::string, std::size_t, std::size_t> cases[] = {
        {"To: " + EncodeAddressList(fifty, 4), 78, 19}, // three addresses a line
        {"To: " + EncodeAddressList(longName + ", a@x.org", 4), 76, 5},
        {"Subject: " + EncodeHeaderValue(blanks, 9), 69, 2},
        {"Subject: " + EncodeHeaderValue(run, 9), 76, 27}, // 48 bytes a word
        {"Subject: " + EncodeHeaderValue("short one", 9), 18, 1},
    };
    for (const auto& [header, longest, count] : cases) {
        const std::vector<std::string> folded = lines(header);
        for (const std::string& line : folded) {
            EXPECT_TRUE(line.size() <= longest && (&line == &folded[0] || line[0] == ' ')) << line;
        }
        EXPECT_EQ(folded.size(), count) << header;
    }
    std::string read;
    for (const std::string& a : EnvelopeAddresses(EncodeAddressList(fifty, 4))) {
        read += (read.empty() ? "" : " ") + a;
    }
    EXPECT_EQ(read, envelope);
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
