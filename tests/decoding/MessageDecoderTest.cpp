#include "decoding/MessageDecoder.h"

#include "decoding/Base64.h"
#include "decoding/QuotedPrintable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef CORVANE_TEST_DATA
#define CORVANE_TEST_DATA "tests/data"
#endif

using namespace decoding;
using namespace std::string_literals;

namespace {

std::string ReadSample(const std::string& name) {
    std::ifstream in(std::string(CORVANE_TEST_DATA) + "/messages/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Header and body split, end mark, dot-stuffed lines.
TEST(DecodeMessage, SplitsHeaderAndBody) {
    struct Case {
        std::string raw, header, body;
    } cases[] = {
        {"+OK\r\nA: 1\r\n\r\nbody\r\n.\r\n", "+OK\r\nA: 1\r\n", "\r\nbody"},
        {"A: 1\r\n\r\n.\r\n", "A: 1\r\n", ""},                               // empty body
        {"A: 1\r\n\r\n\r\n.\r\n", "A: 1\r\n", "\r\n"},                       // one empty line
        {"no blank line\r\n.\r\n", "", "no blank line"},                     // all body
        {"A: 1\r\n\r\n..x\r\n.\r\n", "A: 1\r\n", "\r\n..x"},                 // no unstuffing
        {"A: 1\r\n\r\nx\r\n.\r\ny\r\n.\r\n", "A: 1\r\n", "\r\nx\r\n.\r\ny"}, // a "." line
        {"A: 1\r\n\r\nx\r\n.\r\n\r\n", "A: 1\r\n", "\r\nx"},       // end mark then a line break
        {"A: 1\r\n\r\nx\r\n.\r\n.\r\n", "A: 1\r\n", "\r\nx\r\n."}, // last line "." kept
        {"A: 1\r\n\r\nx\r\n.", "A: 1\r\n", "\r\nx\r\n."},          // no end mark
        {"", "", ""},
    };
    for (const auto& c : cases) {
        Boundaries b;
        const auto m = DecodeMessage(c.raw, true, b);
        EXPECT_EQ(m.MsgHeader, c.header) << c.raw;
        EXPECT_EQ(m.MsgBody, c.body) << c.raw;
        EXPECT_EQ(m.MsgText, c.body) << c.raw; // no Content-Type: shown as text
        ASSERT_EQ(m.MsgParts.size(), 1u);
        EXPECT_EQ(m.MsgParts[0].Start, std::string::npos);
    }
}

struct SampleCase {
    const char* file;
    bool showHtml;
    std::vector<std::string> entries;
    std::string attachments;
    DecodedView view;
    std::string text, html;
};

class Samples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(Samples, DecodeAsExpected) {
    const auto& c = GetParam();
    Boundaries b;
    const auto m = DecodeMessage(ReadSample(c.file), c.showHtml, b);
    EXPECT_EQ(m.PartEntries, c.entries);
    EXPECT_EQ(m.Attachments, c.attachments);
    EXPECT_EQ(ViewToShow(m), c.view);
    EXPECT_EQ(m.MsgText, c.text);
    EXPECT_EQ(m.MsgHTML, c.html);
    // One record per listed part (the "Image" entry has none), plus the empty last one.
    const std::size_t images = (!c.entries.empty() && c.entries.back() == "Image") ? 1 : 0;
    ASSERT_EQ(m.MsgParts.size(), c.entries.size() - images + 1);
    EXPECT_EQ(m.MsgParts.back().PartType, "");
    EXPECT_EQ(PartContent(m, m.MsgParts.size() - 1), "");
}

const std::string kRelatedPicture = [] {
    std::string bytes;
    for (int i = 0; i < 48; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    return bytes;
}();

INSTANTIATE_TEST_SUITE_P(
    Messages, Samples,
    ::testing::Values(
        SampleCase{"single_plain.eml",
                   true,
                   {},
                   "",
                   DecodedView::Text,
                   "\r\nHello,\r\n..this line arrived dot-stuffed and keeps both dots.\r\n.\r\n"
                   "A line holding one dot stands above.",
                   ""},
        SampleCase{"single_qp.eml",
                   true,
                   {},
                   "",
                   DecodedView::Text,
                   "\r\ncaf\xE9 a=b =3d kept\r\nlinenext",
                   ""},
        SampleCase{"single_base64.eml",
                   true,
                   {},
                   "",
                   DecodedView::Text,
                   "Gr\xFC\xDF"
                   "e aus K\xF6ln.\r\nZweite Zeile.",
                   ""},
        SampleCase{
            "single_html.eml", true, {}, "", DecodedView::Html, "", "\r\n<p>Only <b>HTML</b></p>"},
        SampleCase{
            "single_html.eml", false, {}, "", DecodedView::Text, "\r\n<p>Only <b>HTML</b></p>", ""},
        SampleCase{"alternative.eml",
                   false,
                   {"text/plain", "text/html"},
                   "",
                   DecodedView::Html,
                   "Plain a=b",
                   "<p>Rich</p>"},
        SampleCase{"related_image.eml",
                   true,
                   {"multipart/alternative", "text/plain", "text/html", "image/png", "Image"},
                   "logo.png; ",
                   DecodedView::Html,
                   "See the logo.",
                   "<p>See <img src=\"cid:logo@x\"></p>"},
        SampleCase{"mixed_attachment.eml",
                   true,
                   {"multipart/alternative", "text/plain", "text/html", "application/pdf",
                    "application/zip"},
                   "a.pdf; b.zip; ",
                   DecodedView::Html,
                   "Hi there, caf\xE9.\r\nTwo files attached.",
                   "<html><body><p>Hi <i>there</i></p></body></html>"},
        // Without any boundary every part runs to the end and nothing is decoded.
        SampleCase{"mixed_no_boundaries.eml",
                   true,
                   {"text/plain", "text/html"},
                   "",
                   DecodedView::Html,
                   "First a=3Db\r\nContent-Type: text/html\r\n\r\n<p>Second</p>",
                   "<p>Second</p>"},
        SampleCase{"upper_case.eml",
                   true,
                   {"TEXT/PLAIN", "TEXT/HTML"},
                   "",
                   DecodedView::Html,
                   "PLAIN TEXT",
                   "<P>HTML TEXT</P>"},
        SampleCase{"empty_body.eml", true, {}, "", DecodedView::Body, "", ""},
        SampleCase{"no_blank_line.eml",
                   true,
                   {},
                   "",
                   DecodedView::Text,
                   "From: someone\r\nSubject: header only, no blank line\r\nContent-Type: "
                   "text/html\r\n",
                   ""},
        SampleCase{"hostile_unterminated_boundary.eml",
                   true,
                   {"text/plain", "text/html"},
                   "",
                   DecodedView::Html,
                   "Hello",
                   "PGI+Ym9sZDwvYj4=\r\n"},
        SampleCase{"hostile_boundary_in_content.eml",
                   true,
                   {"text/plain", "text/html"},
                   "",
                   DecodedView::Html,
                   "This text mentions ",
                   "<p>"},
        // The last line, with no line break, opens a name it never closes.
        SampleCase{"hostile_type_at_end.eml",
                   true,
                   {"text/plain", "image/gif", "Image"},
                   "",
                   DecodedView::Text,
                   "tail",
                   ""},
        SampleCase{"hostile_short_boundary.eml",
                   true,
                   {"multipart/mixed", "text/plain"},
                   "",
                   DecodedView::Text,
                   "text\r\n",
                   ""},
        SampleCase{"hostile_part_without_blank.eml",
                   true,
                   {"text/plain", "image/png", "Image"},
                   "\r\nContent-Disposition: attachment; filename=; ",
                   DecodedView::Body,
                   "",
                   ""}),
    [](const auto& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.')) + (info.param.showHtml ? "" : "_textonly");
        return name;
    });

TEST(DecodeMessage, PartContentsOfMixedMessage) {
    Boundaries b;
    const auto m = DecodeMessage(ReadSample("mixed_attachment.eml"), true, b);
    EXPECT_EQ(m.PartBoundaries.MixedBoundary, "mix_7e3c5d");
    EXPECT_EQ(m.PartBoundaries.AlternativeBoundary, "alt_19bb");
    std::string pdf;
    for (int i = 0; i < 4; ++i) {
        pdf += "%PDF-1.4 fake\0\xFF"s;
    }
    EXPECT_EQ(PartContent(m, 0), ""); // the container ends at its first inner boundary
    EXPECT_EQ(PartContent(m, 1), m.MsgText);
    EXPECT_EQ(PartContent(m, 2), m.MsgHTML);
    EXPECT_EQ(PartContent(m, 3), pdf);
    EXPECT_EQ(PartContent(m, 4), "PK\x03\x04zipdata"s);
    EXPECT_EQ(PartContent(m, 99), "");
    EXPECT_EQ(FindPartEntry(m, "text/html"), 2u);
    EXPECT_EQ(FindPartEntry(m, "text/plain"), 1u);
    EXPECT_EQ(FindPartEntry(m, "TEXT/HTML"), std::string::npos);
}

TEST(DecodeMessage, PictureOfRelatedMessage) {
    Boundaries b;
    const auto m = DecodeMessage(ReadSample("related_image.eml"), true, b);
    EXPECT_EQ(b.RelatedBoundary, "----=_rel_0001");
    EXPECT_EQ(b.AlternativeBoundary, "----=_alt_0002"); // declared in the body
    EXPECT_EQ(PartContent(m, 3), kRelatedPicture);
    // The "Image" entry belongs to the empty last record.
    EXPECT_EQ(FindPartEntry(m, ""), 4u);
}

TEST(DecodeMessage, UpperCaseTypesAreNotSelected) {
    Boundaries b;
    const auto m = DecodeMessage(ReadSample("upper_case.eml"), true, b);
    EXPECT_EQ(FindPartEntry(m, "text/html"), std::string::npos);
    EXPECT_EQ(FindPartEntry(m, "TEXT/HTML"), 1u);
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

    struct Case {
        std::string header;
        std::string alternative;
    } cases[] = {
        {"Content-Type: multipart/alternative; boundary=\"b1\"\r\n", "b1"},
        {"Content-Type: multipart/alternative; boundary=\"\"\r\n", ""},
        {"Content-Type: multipart/alternative; boundary=x\r\n", ""}, // too short: empty
        {"Content-Type: multipart/alternative; boundary=\r\n", ""},
        {"CONTENT-TYPE: MULTIPART/ALTERNATIVE;\r\n\tBoundary=\"Folded\"\r\n", "Folded"},
        {"Content-Type: multipart/alternative; boundary=bare12\r\n", "are1"}, // quotes assumed
    };
    for (const auto& c : cases) {
        Boundaries carried{"r", "old", "m"};
        DecodeMessage(c.header + "\r\nContent-Type: text/plain\r\n\r\nx\r\n.\r\n", true, carried);
        EXPECT_EQ(carried.AlternativeBoundary, c.alternative) << c.header;
        EXPECT_EQ(carried.RelatedBoundary, "r");
        EXPECT_EQ(carried.MixedBoundary, "m");
    }
}

TEST(DecodeMessage, EmptyBoundaryNeverMatches) {
    Boundaries b; // all empty
    const std::string body = "\r\nContent-Type: text/plain\r\n\r\nall of it\r\n--x\r\nmore";
    EXPECT_EQ(ExtractPart(body, 2, b), "all of it\r\n--x\r\nmore");
}

// Names: every picture name (empty ones too, "NAME" also inside "FILENAME"); attachment
// names only when not empty; unclosed quotes add nothing.
TEST(DecodeMessage, AttachmentNames) {
    struct Case {
        std::string body, attachments;
    } cases[] = {
        {"Content-Type: image/gif; name=\"a.gif\"\r\n", "a.gif; "},
        {"Content-Type: image/gif; name=\"\"\r\n", "; "},
        {"Content-Type: image/gif; name=\"open\r\n", ""},
        {"Content-Type: image/gif\r\nContent-Disposition: inline; filename=\"f.gif\"\r\n",
         "f.gif; "},
        {"Content-Type: image/gif\r\nContent-Type: image/png; name=\"p.png\"\r\n", "p.png; "},
        {"Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
         "Content-Disposition: attachment; filename=\"\"\r\n"
         "Content-Disposition: attachment; filename=\"b.zip\"\r\n",
         "a.pdf; b.zip; "},
        {"Content-Disposition: attachment; filename=\"open\r\n", ""},
        {"Content-Disposition: ATTACHMENT; FILENAME=\"UP.TXT\"\r\n", "UP.TXT; "},
        // A picture that is also an attachment is named twice.
        {"Content-Type: image/jpeg; name=\"p.jpg\"\r\n"
         "Content-Disposition: attachment; filename=\"p.jpg\"\r\n",
         "p.jpg; p.jpg; "},
    };
    for (const auto& c : cases) {
        Boundaries b;
        const auto m = DecodeMessage("Content-Type: multipart/mixed\r\n\r\n" + c.body, true, b);
        EXPECT_EQ(m.Attachments, c.attachments) << c.body;
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

// ---- ExtractPart against a literal rendering of its steps with 1-based positions ---------

std::size_t Find1(const std::string& s, const std::string& t, std::size_t from) {
    if (t.empty() || from == 0 || from > s.size() + 1) {
        return 0;
    }
    const auto p = s.find(t, from - 1);
    return p == std::string::npos ? 0 : p + 1;
}

std::string Upper(std::string s) {
    for (auto& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return s;
}

std::string Mid1(const std::string& s, std::size_t a, std::size_t n = std::string::npos) {
    return a - 1 >= s.size() ? std::string() : s.substr(a - 1, n);
}

std::string ReferenceExtract(const std::string& body, std::size_t start0, const Boundaries& bd,
                             std::string (*b64)(std::string_view),
                             std::string (*qpDecode)(std::string_view)) {
    const std::size_t start = start0 + 1;
    const long long blank = static_cast<long long>(Find1(body, "\r\n\r\n", start));
    if (blank == 0) {
        return "";
    }
    long long end = static_cast<long long>(Find1(body, bd.RelatedBoundary, start));
    if (end == 0) {
        end = static_cast<long long>(Find1(body, bd.AlternativeBoundary, start));
    }
    if (end == 0) {
        end = static_cast<long long>(Find1(body, bd.MixedBoundary, start));
    }
    if (end > 0) {
        long long last = 0;
        for (long long i = 1; i + 1 <= end; ++i) {
            if (body[i - 1] == '\r' && body[i] == '\n') {
                last = i;
            }
        }
        end = last;
    }
    std::string content =
        end - blank - 4 >= 0 ? Mid1(body, blank + 4, end - blank - 4) : Mid1(body, blank + 4);
    const std::string upper = Upper(body);
    const long long b64Pos = Find1(upper, "CONTENT-TRANSFER-ENCODING: BASE64", start);
    const long long qpPos = Find1(upper, "CONTENT-TRANSFER-ENCODING: QUOTED-PRINTABLE", start);
    if (b64Pos > 0 && b64Pos < end) {
        content = b64(content);
    } else if (qpPos >= 1 && qpPos < end) {
        content = qpDecode(content);
    }
    std::size_t cut = Find1(content, bd.RelatedBoundary, 1);
    if (cut == 0) {
        cut = Find1(content, bd.AlternativeBoundary, 1);
    }
    if (cut == 0) {
        cut = Find1(content, bd.MixedBoundary, 1);
    }
    if (cut > 1) {
        content = content.substr(0, cut - 1);
        if (content.size() >= 2 && content.compare(content.size() - 2, 2, "--") == 0) {
            content.resize(content.size() - 2);
        }
        if (content.size() >= 2 && content.compare(content.size() - 2, 2, "\r\n") == 0) {
            content.resize(content.size() - 2);
        }
    }
    return content;
}

// Random bodies built from the pieces the steps react to; every start position is tried.
TEST(ExtractPart, MatchesLiteralStepsOnRandomBodies) {
    const std::vector<std::string> pieces = {
        "\r\n",
        "\r\n\r\n",
        "--",
        "RB",
        "AB",
        "MB",
        "Content-Type: text/plain",
        "x",
        "y z",
        "Content-Transfer-Encoding: base64",
        "content-transfer-encoding: quoted-printable",
        "SGk=",
        "=3D",
        "\r",
        "\n",
    };
    std::mt19937 rng(12345);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string body;
        const int count = 1 + static_cast<int>(rng() % 14);
        for (int i = 0; i < count; ++i) {
            body += pieces[rng() % pieces.size()];
        }
        Boundaries bd;
        bd.RelatedBoundary = rng() % 3 == 0 ? "RB" : "";
        bd.AlternativeBoundary = rng() % 2 == 0 ? "AB" : "";
        bd.MixedBoundary = rng() % 2 == 0 ? "MB" : "";
        for (std::size_t start = 0; start < body.size(); ++start) {
            const std::string actual = ExtractPart(body, start, bd);
            const std::string expected =
                ReferenceExtract(body, start, bd, &modBase64::Base64Decode, &DecodeQP);
            ASSERT_EQ(actual, expected)
                << "body=" << ::testing::PrintToString(body) << " start=" << start;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

} // namespace
