#include "decoding/MessageDecoder.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace decoding;
namespace fs = std::filesystem;

namespace {

std::string ReadSample(const std::string& name) {
    return testdata::ReadFile(testdata::Path("messages/" + name));
}

// A message without a Content-Type field is shown as its body text.
TEST(DecodeMessage, SplitsHeaderAndBody) {
    for (const auto& row : testdata::Table("decoder/split.table")) {
        ASSERT_EQ(row.size(), 3u);
        Boundaries b;
        const auto m = DecodeMessage(row[0], true, b);
        EXPECT_EQ(m.MsgHeader, row[1]) << testing::PrintToString(row[0]);
        EXPECT_EQ(m.MsgBody, row[2]) << testing::PrintToString(row[0]);
        EXPECT_EQ(m.MsgText, row[2]) << testing::PrintToString(row[0]);
        ASSERT_EQ(m.MsgParts.size(), 1u);
    }
}

// Each sample X.eml has its expected decoding in X.expected (X.textonly.expected with the HTML
// option off): "entry" rows list the part list, "partN" rows give PartContent(N).
TEST(DecodeMessage, Samples) {
    int samples = 0;
    for (const auto& file : fs::directory_iterator(testdata::Path("messages"))) {
        const std::string name = file.path().filename().string();
        if (!name.ends_with(".expected")) {
            continue;
        }
        SCOPED_TRACE(name);
        ++samples;
        Boundaries b;
        const auto m = DecodeMessage(ReadSample(name.substr(0, name.find('.')) + ".eml"),
                                     name.find(".textonly") == std::string::npos, b);
        const char* const views[] = {"Html", "Text", "Body"};
        const std::map<std::string, std::string> actual = {
            {"view", views[static_cast<int>(ViewToShow(m))]},
            {"attachments", m.Attachments},
            {"text", m.MsgText},
            {"html", m.MsgHTML},
            {"related", b.RelatedBoundary},
            {"alternative", b.AlternativeBoundary},
            {"mixed", b.MixedBoundary}};
        std::vector<std::string> entries;
        for (const auto& row : testdata::Table("messages/" + name)) {
            ASSERT_EQ(row.size(), 2u);
            if (row[0] == "entry") {
                entries.push_back(row[1]);
            } else if (row[0].starts_with("part")) {
                EXPECT_EQ(PartContent(m, std::stoul(row[0].substr(4))), row[1]) << row[0];
            } else {
                ASSERT_TRUE(actual.contains(row[0])) << row[0];
                EXPECT_EQ(actual.at(row[0]), row[1]) << row[0];
            }
        }
        EXPECT_EQ(m.PartEntries, entries);
        // One record per listed part (the "Image" entry has none), plus the empty last one.
        const std::size_t images = !entries.empty() && entries.back() == "Image" ? 1 : 0;
        ASSERT_EQ(m.MsgParts.size(), entries.size() - images + 1);
        EXPECT_EQ(PartContent(m, m.MsgParts.size() - 1), "");
    }
    EXPECT_GE(samples, 15);
}

// Part types keep their letter case; only an exact match is selected.
TEST(DecodeMessage, FindPartEntry) {
    Boundaries b;
    const auto mixed = DecodeMessage(ReadSample("mixed_attachment.eml"), true, b);
    EXPECT_EQ(FindPartEntry(mixed, "text/html"), 2u);
    EXPECT_EQ(FindPartEntry(mixed, "text/plain"), 1u);
    EXPECT_EQ(FindPartEntry(mixed, "TEXT/HTML"), std::string::npos);
    const auto related = DecodeMessage(ReadSample("related_image.eml"), true, b);
    EXPECT_EQ(FindPartEntry(related, ""), 4u); // "Image" belongs to the empty last record
    const auto upper = DecodeMessage(ReadSample("upper_case.eml"), true, b);
    EXPECT_EQ(FindPartEntry(upper, "text/html"), std::string::npos);
    EXPECT_EQ(FindPartEntry(upper, "TEXT/HTML"), 1u);
}

TEST(DecodeMessage, QuotedPrintableBody) {
    Boundaries b;
    const auto m = DecodeMessage(ReadSample("single_qp.eml"), true, b);
    EXPECT_TRUE(m.BodyDecodedQP);
    EXPECT_EQ(m.QPText, m.MsgBody);
    const auto plain = DecodeMessage(ReadSample("single_plain.eml"), true, b);
    EXPECT_FALSE(plain.BodyDecodedQP);
    EXPECT_EQ(plain.QPText, "");
}

TEST(DecodeBodyQP, DecodesFromTheBodysOwnMarker) {
    struct Case {
        std::string body, expectedBody, expectedQP;
    } cases[] = {
        {"a=3Db", "a=b", "a=b"},
        {"keep=3D\r\ncontent-transfer-encoding: quoted-printable\r\n\r\nx=3Dy",
         "keep=3D\r\ncontent-transfer-encoding: quoted-printable\r\n\r\nx=y",
         "content-transfer-encoding: quoted-printable\r\n\r\nx=y"},
        {"=\r\n", "=\r\n", ""}, // decodes to nothing: the body stays
        {"", "", ""},
    };
    for (auto& c : cases) {
        std::string body = c.body, qp = "old";
        DecodeBodyQP(body, qp);
        EXPECT_EQ(body, c.expectedBody);
        EXPECT_EQ(qp, c.expectedQP);
    }
}

// Boundaries come from the header (or, for alternative and mixed, the body) and stay until a
// later message declares its own.
TEST(DecodeMessage, BoundariesAreCarried) {
    Boundaries b;
    DecodeMessage(ReadSample("related_image.eml"), true, b);
    DecodeMessage(ReadSample("mixed_attachment.eml"), true, b);
    EXPECT_EQ(b.RelatedBoundary, "----=_rel_0001");
    EXPECT_EQ(b.AlternativeBoundary, "alt_19bb"); // the body's own, not the earlier one
    EXPECT_EQ(b.MixedBoundary, "mix_7e3c5d");
    // Single-part messages and messages without declarations change nothing.
    DecodeMessage(ReadSample("single_plain.eml"), true, b);
    const auto m = DecodeMessage(ReadSample("mixed_no_boundaries.eml"), true, b);
    EXPECT_EQ(b.MixedBoundary, "mix_7e3c5d");
    EXPECT_EQ(m.PartBoundaries.RelatedBoundary, "----=_rel_0001");

    // The header's declaration wins; an empty one gives way to the body's.
    const std::string alt = "Content-Type: multipart/alternative; boundary=";
    const std::pair<std::string, std::string> cases[] = {
        {alt + "\"b1\"\r\n\r\n", "b1"},
        {alt + "\"\"\r\n\r\n", ""},
        {alt + "x\r\n\r\n", ""}, // too short: empty
        {alt + "\r\n\r\n", ""},
        {"CONTENT-TYPE: MULTIPART/ALTERNATIVE;\r\n\tBoundary=\"Folded\"\r\n\r\n", "Folded"},
        {alt + "bare12\r\n\r\n", "are1"}, // quotes assumed
        {alt + "\"\"\r\n\r\n" + alt + "\"inner\"\r\n", "inner"},
        {alt + "\"outer\"\r\n\r\n" + alt + "\"inner\"\r\n", "outer"},
    };
    for (const auto& [message, alternative] : cases) {
        Boundaries carried{"r", "old", "m"};
        DecodeMessage(message + "Content-Type: text/plain\r\n\r\nx\r\n.\r\n", true, carried);
        EXPECT_EQ(carried.AlternativeBoundary, alternative) << message;
        EXPECT_EQ(carried.RelatedBoundary, "r");
        EXPECT_EQ(carried.MixedBoundary, "m");
    }
}

TEST(DecodeMessage, AttachmentNames) {
    for (const auto& row : testdata::Table("decoder/names.table")) {
        ASSERT_EQ(row.size(), 2u);
        Boundaries b;
        const auto m = DecodeMessage("Content-Type: multipart/mixed\r\n\r\n" + row[0], true, b);
        EXPECT_EQ(m.Attachments, row[1]) << row[0];
    }
}

TEST(DecodeMessage, PartTypeIsCutAtSemicolonAndCapped) {
    Boundaries b;
    const std::string longType(1000, 't');
    const auto m = DecodeMessage("Content-Type: multipart/mixed\r\n\r\nContent-Type: a/b;c\r\n"
                                 "Content-Type: \r\nContent-Type: " +
                                     longType + "\r\nContent-Type: last",
                                 true, b);
    ASSERT_EQ(m.PartEntries.size(), 4u);
    EXPECT_EQ(m.PartEntries[0], "a/b");
    EXPECT_EQ(m.PartEntries[1], "");
    EXPECT_EQ(m.PartEntries[2], longType.substr(0, MaxPartTypeLength));
    EXPECT_EQ(m.PartEntries[3], "last");
    EXPECT_EQ(m.MsgParts[3].Start, m.MsgBody.rfind("Content-Type: last"));
}

// A part runs from the blank line after its Content-Type line to the line break before the
// next boundary (related, else alternative, else mixed); it is transfer-decoded only when the
// marker stands between its start and that end, base64 before quoted-printable; an inner
// boundary inside the content cuts it again, with its "--" and line break. The part starts at
// the last "Content-Type" of each body.
TEST(ExtractPart, Table) {
    const Boundaries none, alt{"", "AB", ""}, relAlt{"RB", "AB", ""}, mixed{"", "", "MB"};
    const std::string qp = "Content-Transfer-Encoding: quoted-printable\r\n";
    const std::string b64 = "content-transfer-encoding: BASE64\r\n";
    const struct {
        std::string body;
        const Boundaries& boundaries;
        std::string content;
    } cases[] = {
        {"Content-Type: a\r\n\r\nhello\r\n--AB\r\nnext", alt, "hello"},
        {"Content-Type: a\r\n\r\nline 1\r\nline 2\r\n--MB--", mixed, "line 1\r\nline 2"},
        {"Content-Type: a\r\nhello\r\n--AB", alt, ""}, // no blank line, no body
        {"Content-Type: a\r\n\r\nall of it\r\n--x\r\nmore", none, "all of it\r\n--x\r\nmore"},
        {"Content-Type: a\r\n" + qp + "\r\na=3Db\r\n--AB", alt, "a=b"},
        {"Content-Type: a\r\n" + b64 + "\r\nSGVs\r\nbG8=\r\n--AB", alt, "Hello"},
        {"Content-Type: a\r\n" + qp + b64 + "\r\nSGk=\r\n--AB", alt, "Hi"},
        {"Content-Type: a\r\n\r\nSGk=\r\n--AB\r\n" + b64, alt, "SGk="}, // marker after the end
        {"Content-Type: a\r\n" + b64 + "\r\nSGk=", none, "SGk="},       // no end: no decoding
        {"Content-Type: a\r\n" + qp + "\r\n=41", alt, "=41"},
        {"Content-Type: a\r\n\r\nx\r\n--AB\r\ny\r\n--RB", relAlt, "x"}, // cut at the inner one
        {"Content-Type: a\r\n\r\nx\r\ny--AB\r\n--RB", relAlt, "x\r\ny"},
        {"Content-Type: a\r\n\r\nx--AB", alt, "x"}, // no line break before the boundary
        {"Content-Type: a\r\n\r\n--AB", alt, ""},
        {"Content-Type: a\r\n\r\none\r\n--AB\r\nContent-Type: b\r\n\r\ntwo\r\n--AB", alt, "two"},
        {"Content-Type: a\r\n" + qp + "\r\none\r\n--AB\r\nContent-Type: b\r\n\r\nt=3D\r\n--AB", alt,
         "t=3D"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractPart(c.body, c.body.rfind("Content-Type"), c.boundaries), c.content)
            << testing::PrintToString(c.body);
    }
}

} // namespace
