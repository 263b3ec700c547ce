// Whatever arrives, decoding must survive it: sample files, every truncation of some of them,
// third-party sample mail when installed, and hand-made hostile shapes.
#include "decoding/Attachments.h"
#include "decoding/MessageDecoder.h"
#include "decoding/MimeTree.h"
#include "html/HtmlPrepare.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace decoding;
using testdata::ReadFile;
namespace fs = std::filesystem;

namespace {

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

// The tree of the message: every part inside the text and its parent, every file's content
// no longer than the text, every name safe.
void SurviveTree(const std::string& raw) {
    const std::string_view text = MessageText(raw);
    const MimeTree tree = ParseMime(text);
    ASSERT_FALSE(tree.Parts.empty());
    ASSERT_LE(tree.Parts.size(), MaxMimeParts);
    for (std::size_t i = 0; i < tree.Parts.size(); ++i) {
        const MimePart& p = tree.Parts[i];
        ASSERT_TRUE(p.HeadStart <= p.HeadEnd && p.HeadEnd <= p.BodyStart &&
                    p.BodyStart <= p.BodyEnd && p.BodyEnd <= text.size());
        ASSERT_TRUE(i == 0 || (p.Parent < i && p.Depth == tree.Parts[p.Parent].Depth + 1));
        ASSERT_LT(p.Depth, MaxMimeDepth);
    }
    const std::vector<Attachment> files = FindAttachments(tree);
    ASSERT_LE(files.size(), MaxAttachments);
    for (std::size_t i = 0; i < files.size() && i < 200; ++i) {
        EXPECT_LE(AttachmentContent(text, tree, files[i]).size(), text.size());
    }
    for (const std::string& name : SaveNames(files)) {
        EXPECT_FALSE(name.empty() || name.find('/') != std::string::npos);
    }
}

// Decodes with both options and with fresh, sample and pathological carried boundaries, and
// checks the shape of the result. partLimit bounds how many parts have their content built.
void Survive(const std::string& raw, std::size_t partLimit = 5000) {
    const Boundaries carried[] = {
        {},
        {"----=_rel_0001", "alt_19bb", "mix_7e3c5d"},
        {"\r\n", "-", "="}, // match nearly everywhere
    };
    for (const auto& start : carried) {
        for (const bool showHtml : {true, false}) {
            Boundaries b = start;
            const auto m = DecodeMessage(raw, showHtml, b);
            ASSERT_FALSE(m.MsgParts.empty());
            EXPECT_EQ(m.MsgParts.back().Start, std::string::npos);
            EXPECT_EQ(m.MsgParts.back().PartType, "");
            const std::size_t listed = m.MsgParts.size() - 1;
            ASSERT_TRUE(m.PartEntries.size() == listed || m.PartEntries.size() == listed + 1);
            ASSERT_LE(listed, MaxListedParts);
            EXPECT_LE(m.MsgHeader.size() + m.MsgBody.size(), raw.size() + m.QPText.size());
            for (std::size_t i = 0; i < listed; ++i) {
                ASSERT_LT(m.MsgParts[i].Start, m.MsgBody.size());
                ASSERT_LE(m.MsgParts[i].PartType.size(), MaxPartTypeLength);
                if (i < partLimit || i + 10 > listed) {
                    const std::string content = PartContent(m, i);
                    EXPECT_LE(content.size(), m.MsgBody.size());
                }
            }
            EXPECT_EQ(PartContent(m, listed), "");
            if (start.RelatedBoundary.empty() && showHtml) {
                SurviveTree(raw);
            }
            html::HtmlOptions options{true, true, "example.org"};
            html::PrepareHTML(m.MsgHTML, options);
            options.NoPictures = false;
            html::PrepareHTML(m.MsgText, options);
        }
    }
}

std::vector<fs::path> FilesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

TEST(Garbage, EveryDataFile) {
    const auto files = FilesUnder(testdata::Path(""));
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        Survive(ReadFile(file));
    }
}

TEST(Garbage, EveryTruncation) {
    for (const char* name :
         {"mixed_attachment.eml", "related_image.eml", "alternative.eml", "single_qp.eml"}) {
        const std::string raw = ReadFile(testdata::Path("messages/" + std::string(name)));
        ASSERT_FALSE(raw.empty()) << name;
        for (std::size_t n = 0; n <= raw.size(); ++n) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(n));
            Survive(raw.substr(0, n));
        }
    }
}

TEST(Garbage, PythonEmailSamples) {
    const fs::path folder = "/usr/lib/python3.11/test/test_email/data";
    if (!fs::is_directory(folder)) {
        GTEST_SKIP() << "libpython3.11-testsuite is not installed";
    }
    const auto files = FilesUnder(folder);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const std::string raw = ReadFile(file);
        Survive(raw);
        Survive(WithCrLf(raw));
    }
}

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

std::string ManyParts(std::size_t parts) {
    std::string raw = "+OK\r\nContent-Type: multipart/mixed; boundary=\"part_sep_0042\"\r\n\r\n";
    for (std::size_t i = 0; i < parts; ++i) {
        raw += "--part_sep_0042\r\nContent-Type: text/plain\r\n"
               "Content-Transfer-Encoding: quoted-printable\r\n\r\npart " +
               std::to_string(i) + " a=3Db\r\n";
    }
    return raw + "--part_sep_0042--\r\n.\r\n";
}

// Each row is a shape that once broke, or could break, a decoder of this kind. Parts that find
// no blank line or no boundary scan to the end: only a few of them have their content built.
TEST(Garbage, HostileMessages) {
    const std::string mixed = "Content-Type: multipart/mixed\r\n\r\n";
    const std::pair<const char*, std::string> rows[] = {
        {"missing boundary lines",
         "Content-Type: multipart/alternative; boundary=\"gone\"\r\n\r\nContent-Type: text/plain"
         "\r\nContent-Transfer-Encoding: base64\r\n\r\nSGVsbG8=\r\n"},
        {"unterminated boundary", "Content-Type: multipart/related; boundary=\"open"},
        {"boundary only in body, no line end",
         mixed + "Content-Type: multipart/alternative; boundary=\"x"},
        {"boundary inside content",
         "Content-Type: multipart/alternative; boundary=\"b\"\r\n\r\n--b\r\n"
         "Content-Type: text/html\r\n\r\n<b>b</b>b--b\r\n--b--\r\n"},
        {"content type at the very end", "Content-Type: x/y\r\n\r\nContent-Type: "},
        {"content type at the very end 2", "A: b\r\n\r\nCONTENT-TYPE: image"},
        {"short boundary parameters",
         "Content-Type: multipart/related; boundary=\r\nContent-Type: multipart/alternative; "
         "boundary=\"\r\n\r\nContent-Type: multipart/mixed; boundary=\r\nContent-Type: "
         "text/plain\r\n\r\nx"},
        {"boundary parameter at the end", "Content-Type: multipart/mixed; boundary="},
        {"part without blank line",
         "Content-Type: multipart/mixed; boundary=\"q\"\r\n\r\n--q\r\n"
         "Content-Type: text/plain\r\n--q\r\nContent-Type: text/html\r\n--q--"},
        {"binary junk", testdata::RandomBytes(1 << 16, 1)},
        {"NULs", std::string("Content-Type: multipart/mixed; boundary=\"\0\0\"\r\n\r\n", 48) +
                     std::string(1000, '\0') +
                     std::string("Content-Type: \0\r\n\r\n\0\r\n--\0\0", 26)},
        {"junk after headers",
         "Content-Type: multipart/mixed; boundary=\"j\"\r\n\r\n" + testdata::RandomBytes(20000, 2) +
             "\r\n--j\r\nContent-Type: text/html\r\n\r\n" + testdata::RandomBytes(20000, 3)},
        {"100000 content type lines", mixed + Repeat("CONTENT-TYPE: \r\n", 100000)},
        {"content types on one line", mixed + Repeat("Content-Type: ", 150000)},
        {"many image names", mixed + Repeat("Content-Type: image/gif; name=\"\"\r\n", 20000) +
                                 Repeat("Content-Disposition: attachment; filename=\"", 20000)},
        {"bare line feeds", "Content-Type: multipart/alternative; boundary=\"lf\"\n\n" +
                                Repeat("--lf\nContent-Type: text/plain\n\nx\n", 1000)},
        {"40000 parts", ManyParts(40000)},
        {"nested beyond the cap",
         Repeat("Content-Type: multipart/mixed; boundary=n\r\n\r\n--n\r\n", 5000)},
        {"nested with many boundaries",
         [] {
             std::string raw;
             for (int i = 0; i < 3000; ++i) {
                 raw += "Content-Type: multipart/related; boundary=\"" + std::to_string(i) +
                        "\"\r\n\r\n--" + std::to_string(i) + "\r\n";
             }
             return raw;
         }()},
        {"RFC 2231 sections out of order", mixed + "Content-Type: a/b; name*999*=x; name*0=y; "
                                                   "name*1*=%; name*2*=%G0\r\n\r\n"},
    };
    for (const auto& [name, raw] : rows) {
        SCOPED_TRACE(name);
        Survive(raw, 20);
    }
}

TEST(Garbage, FortyThousandPartsAreAllListedAndMoreAreCapped) {
    Boundaries b;
    const auto m = DecodeMessage(ManyParts(40000), true, b);
    ASSERT_EQ(m.PartEntries.size(), 40000u);
    EXPECT_EQ(m.MsgText, "part 0 a=b");
    EXPECT_EQ(PartContent(m, 39999), "part 39999 a=b");
    const auto capped = DecodeMessage("Content-Type: multipart/mixed\r\n\r\n" +
                                          Repeat("Content-Type: a\r\n", MaxListedParts + 5),
                                      true, b);
    EXPECT_EQ(capped.PartEntries.size(), MaxListedParts);
    EXPECT_EQ(capped.MsgParts.size(), MaxListedParts + 1);
}

} // namespace
